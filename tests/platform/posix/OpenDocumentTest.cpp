// Opening a document goes to the desktop's opener first; the type's registered command is only
// the fallback. A recording xdg-open on PATH stands in for the desktop.
#include <gtest/gtest.h>

#include <plinth/KaShell.h>
#include <plinth/Registry.h>
#include <plinth/win32.h>

#include <fstream>
#include <string>

#include "support/RecordingProgram.h"
#include "support/TempTree.h"

namespace {

class OpenDocument : public ::testing::Test {
 protected:
  void SetUp() override {
    savedPath_ = std::getenv("PATH") ? std::getenv("PATH") : "";
    temp_.Folder("desktop");
    temp_.Folder("registered");
    type_ = ".pltopen" + std::to_string(getpid());
    class_ = "PlinthOpen" + std::to_string(getpid());
    registered_ = plinth::test::WriteRecordingProgram(Native("registered/editor"));
    CRegistry classes(HKEY_CLASSES_ROOT);
    ASSERT_TRUE(classes.SaveKey(type_.c_str(), "", class_.c_str()));
    ASSERT_TRUE(classes.SaveKey((class_ + "\\shell\\open\\command").c_str(), "",
                                (Native("registered/editor") + " \"%1\"").c_str()));
    temp_.File("note.txt", "text");
    SetEnvironmentVariableA("PATH", Native("desktop").c_str());
  }
  void TearDown() override {
    SetEnvironmentVariableA("PATH", savedPath_.c_str());
    CRegistry::DeleteKey(type_.c_str(), nullptr, HKEY_CLASSES_ROOT);
    CRegistry::DeleteKey(class_.c_str(), nullptr, HKEY_CLASSES_ROOT);
  }
  std::string Native(const std::string& relative) const { return temp_.Text() + "/" + relative; }

  plinth::test::TempTree temp_;
  std::string savedPath_;
  std::string type_;
  std::string class_;
  std::string registered_;
};

TEST_F(OpenDocument, DesktopThatOpensItLeavesTheRegisteredCommandAlone) {
  const std::string opened = plinth::test::WriteRecordingProgram(Native("desktop/xdg-open"), 0);
  EXPECT_TRUE(CKaShell::LaunchApplicationEx(Native("note.txt").c_str(), SW_SHOWNORMAL,
                                            type_.c_str(), nullptr));
  const auto arguments = plinth::test::ReadRecord(opened);
  ASSERT_TRUE(arguments);
  EXPECT_EQ(*arguments, std::vector<std::string>{Native("note.txt")});
  EXPECT_FALSE(plinth::test::ReadRecord(registered_, std::chrono::milliseconds(300)));
}

TEST_F(OpenDocument, DesktopWithoutHandlerFallsBackToTheRegisteredCommand) {
  // xdg-open's status for "no application found".
  const std::string asked = plinth::test::WriteRecordingProgram(Native("desktop/xdg-open"), 3);
  EXPECT_TRUE(CKaShell::LaunchApplicationEx(Native("note.txt").c_str(), SW_SHOWNORMAL,
                                            type_.c_str(), nullptr));
  EXPECT_TRUE(plinth::test::ReadRecord(asked));
  const auto arguments = plinth::test::ReadRecord(registered_);
  ASSERT_TRUE(arguments);
  EXPECT_EQ(*arguments, std::vector<std::string>{Native("note.txt")});
}

}  // namespace
