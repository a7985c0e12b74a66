// Starting programs, waiting for them and opening documents, seen from the child's side: the
// child is this test program again (support/ChildProgram.h).
#include <gtest/gtest.h>

#include <plinth/KaShell.h>
#include <plinth/Registry.h>
#include <plinth/win32.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "support/ChildProgram.h"
#include "support/TempTree.h"

namespace {

using Strings = std::vector<std::string>;
using Text = std::optional<std::string>;  // nullopt: unset
const std::string kAppPaths = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
constexpr char kSlash = std::filesystem::path::preferred_separator;

const plinth::test::ChildProgram& Child() {
  static const plinth::test::ChildProgram child;
  return child;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

Text Environment(const char* name) {
  char buffer[8192];
  SetLastError(ERROR_SUCCESS);
  const DWORD length = ::GetEnvironmentVariableA(name, buffer, sizeof buffer);
  if (length == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
  return std::string(buffer, length < sizeof buffer ? length : 0);
}

void SetEnvironment(const char* name, const Text& value) {
  SetEnvironmentVariableA(name, value ? value->c_str() : nullptr);
}

// What PATH must read after a launch: an empty one is removed.
Text Restored(const Text& old) { return old && !old->empty() ? old : std::nullopt; }

class LaunchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedPath_ = Environment("PATH");
    SetEnvironmentVariableA(plinth::test::kChildRecordMarker, record_.c_str());
  }
  void TearDown() override {
    SetEnvironmentVariableA(plinth::test::kChildRecordMarker, nullptr);
    SetEnvironment("PATH", savedPath_);
    for (const std::string& key : {kAppPaths + Child().Name(), kAppPaths + Child().Name() + ".exe"})
      CRegistry::DeleteKey(key.c_str(), nullptr, HKEY_LOCAL_MACHINE);
    CRegistry::DeleteKey(type_.c_str(), nullptr, HKEY_CLASSES_ROOT);
    CRegistry::DeleteKey(class_.c_str(), nullptr, HKEY_CLASSES_ROOT);
  }

  std::string ChildCommand(const std::string& arguments) const {
    return Quoted(Child().Command()) + " " + arguments;
  }
  void SetAppPath(const std::string& program, const CRegVal& value) const {
    ASSERT_TRUE(
        CRegistry::SaveKey((kAppPaths + program).c_str(), "Path", value, HKEY_LOCAL_MACHINE));
  }
  // The type's class and its open command, "CHILD" standing for the child program.
  void SetOpenCommand(std::string command) const {
    if (command.rfind("CHILD", 0) == 0) command.replace(0, 5, Quoted(Child().Command()));
    CRegistry classes(HKEY_CLASSES_ROOT);
    ASSERT_TRUE(classes.SaveKey(type_.c_str(), "", class_.c_str()));
    ASSERT_TRUE(classes.SaveKey((class_ + "\\shell\\open\\command").c_str(), "", command.c_str()));
  }
  bool Open(const std::string& document) const {
    return CKaShell::LaunchApplicationEx(document.c_str(), SW_HIDE, type_.c_str(), nullptr);
  }
  plinth::test::ChildRecord Received() const {
    const auto record = plinth::test::ReadChildRecord(record_);
    EXPECT_TRUE(record) << "the child wrote nothing";
    return record.value_or(plinth::test::ChildRecord());
  }

  plinth::test::TempTree temp_;
  const std::string record_ = temp_.Text() + kSlash + "record";
  const std::string missing_ = temp_.Text() + kSlash + "missing";
  const std::string type_ = ".plinth" + Child().Name();
  const std::string class_ = "PlinthTest." + Child().Name();
  Text savedPath_;
};

TEST_F(LaunchTest, EnvironmentVariable) {
  for (const Text& value : {Text(), Text(""), Text("value")}) {
    SetEnvironment("PLINTH_TEST_VARIABLE", value);
    EXPECT_EQ(std::string(CKaShell::GetEnvironmentVariableA("PLINTH_TEST_VARIABLE")),
              value.value_or(""));
  }
}

// The registered search path goes in front of PATH for the child only. Windows always writes
// the ";"; POSIX rebuilds the list with ":" and no empty element.
TEST_F(LaunchTest, ChildSeesTheRegisteredPathInFrontOfPath) {
  const struct {
    Text registered, old, windows, posix;
  } cases[] = {
      {{}, "/w", ";/w", "/w"},
      {"/p", "/w", "/p;/w", "/p:/w"},
      {"/p;;/q;", "/w", "/p;;/q;;/w", "/p:/q:/w"},
      {"/p:/q", "/w", "/p:/q;/w", "/p:/q:/w"},
      {"c:\\p\\q;/r", "/w", "c:\\p\\q;/r;/w", "/p/q:/r:/w"},
      {"/p", {}, "/p;", "/p"},
      {"/p", "", "/p;", "/p"},
      {{}, {}, ";", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.windows.value_or("-"));
    CRegistry::DeleteKey((kAppPaths + Child().FileName()).c_str(), nullptr, HKEY_LOCAL_MACHINE);
    if (c.registered) SetAppPath(Child().FileName(), CRegVal(c.registered->c_str()));
    SetEnvironment("PATH", c.old);
    ASSERT_TRUE(CKaShell::LaunchApplication(ChildCommand("-x").c_str(), SW_HIDE));
    EXPECT_EQ(Environment("PATH"), Restored(c.old));
    const auto received = Received();
    EXPECT_EQ(received.path, kSlash == '\\' ? c.windows : c.posix);
    EXPECT_EQ(received.arguments, Strings{"-x"});
  }
  // A value that is not text counts as none.
  SetAppPath(Child().FileName(), CRegVal(7ul));
  SetEnvironment("PATH", "/w");
  ASSERT_TRUE(CKaShell::LaunchApplication(ChildCommand("").c_str(), SW_HIDE));
  EXPECT_EQ(Received().path, kSlash == '\\' ? ";/w" : "/w");
}

TEST_F(LaunchTest, PathIsRestoredWhenTheProgramCannotStart) {
  for (const Text& old : {Text("/w"), Text(), Text("")}) {
    SetEnvironment("PATH", old);
    EXPECT_FALSE(CKaShell::LaunchApplication((Quoted(missing_) + " -x").c_str(), SW_HIDE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(Environment("PATH"), Restored(old));
  }
  EXPECT_FALSE(CKaShell::LaunchApplication("", SW_HIDE));
}

// The key is the program's last path component as written, extension and all.
TEST_F(LaunchTest, AppPathsKeyIsTheProgramsBaseName) {
  if (Child().Folder().find(' ') != std::string::npos) GTEST_SKIP() << "folder with blanks";
  SetAppPath(Child().Name() + ".exe", CRegVal("/with-extension"));
  SetAppPath(Child().Name(), CRegVal("/without-extension"));
  const std::string program = Child().Folder() + kSlash + Child().Name();
  for (const auto& [commandLine, pathStart] :
       {std::pair<std::string, std::string>{Quoted(program + ".exe") + " -x", "/with-extension"},
        {program + " -x", "/without-extension"}}) {
    ASSERT_TRUE(CKaShell::LaunchApplication(commandLine.c_str(), SW_HIDE)) << commandLine;
    EXPECT_EQ(Received().path.value_or("").rfind(pathStart, 0), 0u) << commandLine;
  }
}

TEST_F(LaunchTest, CallerKeepsTheHandlesWhenItAsks) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  ASSERT_TRUE(
      CKaShell::LaunchApplication(ChildCommand("--exit=5").c_str(), &startup, &process, false));
  EXPECT_EQ(WaitForSingleObject(process.hProcess, INFINITE), static_cast<DWORD>(WAIT_OBJECT_0));
  DWORD exitCode = 0;
  EXPECT_TRUE(GetExitCodeProcess(process.hProcess, &exitCode));
  EXPECT_EQ(exitCode, 5u);
  EXPECT_TRUE(CloseHandle(process.hThread));
  EXPECT_TRUE(CloseHandle(process.hProcess));
}

TEST_F(LaunchTest, WaitGivesTheExitCodeOrWhyThereIsNone) {
  const std::string hold = temp_.Text() + kSlash + "hold";
  std::ofstream(hold) << "";
  const struct {
    std::string commandLine;
    int limit;
    bool result;
    DWORD exitCode;
  } cases[] = {
      {ChildCommand("--exit=0"), -1, true, 0},
      {ChildCommand("--exit=7"), 30, true, 7},
      {ChildCommand("--exit=200"), -1, true, 200},
      {ChildCommand("--hold=" + Quoted(hold)), 0, false, STILL_ACTIVE},
      {Quoted(missing_) + " -x", -1, false, ERROR_FILE_NOT_FOUND},
  };
  for (const auto& c : cases) {
    DWORD exitCode = 12345;
    EXPECT_EQ(CKaShell::LaunchApplicationAndWait(c.commandLine.c_str(), temp_.Text().c_str(),
                                                 SW_HIDE, c.limit, &exitCode),
              c.result)
        << c.commandLine;
    EXPECT_EQ(exitCode, c.exitCode) << c.commandLine;
    if (c.result) {
      EXPECT_TRUE(std::filesystem::equivalent(Received().folder, temp_.Root()));
    }
  }
  std::filesystem::remove(hold);
  Received();  // the held child ends once let go
}

// The template is cut before its placeholder and " " + the document appended. An unclosed
// quote before the cut keeps the blanks visible in the child's one argument.
TEST_F(LaunchTest, OpenCommandIsCutBeforeThePlaceholder) {
  const struct {
    std::string command;
    Strings expected;
  } cases[] = {
      {"CHILD /open \"%1\" /x", {"/open", missing_}},
      {"CHILD %1", {missing_}},
      {"CHILD", {missing_}},
      {"CHILD \"[ \"%1\" /x", {"[  " + missing_}},
      {"CHILD \"[ %1 /x", {"[  " + missing_}},
      {"CHILD \"[", {"[ " + missing_}},
      {"CHILD \"%1%1\"", {" " + missing_}},
      // Longer than the 520 bytes a fixed buffer would hold: built whole.
      {"CHILD " + std::string(520, 'p') + " \"%1\"", {std::string(520, 'p'), missing_}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    SetOpenCommand(c.command);
    ASSERT_TRUE(Open(missing_));
    EXPECT_EQ(Received().arguments, c.expected);
  }
}

TEST_F(LaunchTest, OpenWithoutUsableRegistrationStartsNothing) {
  EXPECT_FALSE(CKaShell::LaunchApplicationEx(missing_.c_str(), SW_HIDE, nullptr, nullptr));
  // No type key; a class without an open command; a class name longer than any key name.
  EXPECT_TRUE(Open(missing_));
  CRegistry classes(HKEY_CLASSES_ROOT);
  ASSERT_TRUE(classes.SaveKey(type_.c_str(), "", class_.c_str()));
  EXPECT_TRUE(Open(missing_));
  ASSERT_TRUE(classes.SaveKey(type_.c_str(), "", std::string(600, 'c').c_str()));
  EXPECT_TRUE(Open(missing_));
  EXPECT_FALSE(std::filesystem::exists(record_));
}

}  // namespace
