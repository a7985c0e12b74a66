// KaShowHtmlPage against the POSIX help control: a recording viewer program registered as the
// control's file shows which path the library asks for, and the window table where it put the
// viewer. The control is looked for once per process, so each scenario runs in a process of
// its own (a death-test child that starts the test program afresh) with a registry store of
// its own. POSIX only: a Windows system's own viewer cannot be replaced by a script.
#include <gtest/gtest.h>

#if !defined(_WIN32)

#include <plinth/KaShowHtmlPage.h>
#include <plinth/win32.h>
#include <plinth/win32/HtmlHelp.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "support/RecordingProgram.h"
#include "support/TempTree.h"

namespace {

using plinth::test::ReadRecord;
using plinth::test::TempTree;

// The child's checks: each failure is told on the standard error stream, which the parent
// shows when the exit status is not 0.
class Scenario {
 public:
  Scenario() {
    setenv("PLINTH_REGISTRY", (tree_.Text() + "/registry.db").c_str(), 1);
    viewer_ = tree_.Text() + "/viewer";
  }

  const TempTree& Tree() const { return tree_; }

  // Registers file as the control's; the viewer program is written there unless it is ours.
  void RegisterViewer(const std::string& file) {
    record_ = plinth::test::WriteRecordingProgram(file);
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_CLASSES_ROOT, PLINTH_HTMLHELP_CONTROL_KEY, 0, nullptr, 0, KEY_ALL_ACCESS,
                    nullptr, &key, nullptr);
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(file.c_str()),
                   static_cast<DWORD>(file.size() + 1));
    RegCloseKey(key);
  }
  void RegisterViewer() { RegisterViewer(viewer_); }

  // Shows the page and checks what the viewer got, where its window went, and that the cursor
  // is the one from before the call.
  void ExpectShown(const char* helpFile, const char* page, const std::string& path,
                   const RECT& placed) {
    const std::string what = std::string("'") + helpFile + "' '" + page + "'";
    unlink(record_.c_str());
    HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    SetCursor(arrow);
    KaShowHtmlPage(nullptr, helpFile, page);
    Check(SetCursor(nullptr) == arrow, what + ": the cursor before the call is back");
    const auto arguments = ReadRecord(record_);
    const bool gotPath = arguments && *arguments == std::vector<std::string>{path};
    Check(gotPath, what + ": the viewer got '" + path + "'" +
                       (arguments && !arguments->empty() ? ", not '" + arguments->front() + "'"
                                                         : ""));
    HWND window = GetTopWindow(nullptr);
    RECT rect{-1, -1, -1, -1};
    const bool placedRight = window && window != lastWindow_ && GetWindowRect(window, &rect) &&
                             rect.left == placed.left && rect.top == placed.top &&
                             rect.right == placed.right && rect.bottom == placed.bottom &&
                             IsWindowVisible(window);
    Check(placedRight, what + ": a new window, shown, placed at " + Describe(placed) + ", not " +
                           Describe(rect));
    lastWindow_ = window;
  }

  void ExpectNothingShown(const char* what) {
    unlink(record_.c_str());
    HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    SetCursor(arrow);
    KaShowHtmlPage(nullptr, "help.chm", "page.htm");
    Check(SetCursor(nullptr) == arrow, std::string(what) + ": the cursor before the call is back");
    Check(GetTopWindow(nullptr) == nullptr, std::string(what) + ": no window");
    Check(!ReadRecord(record_, std::chrono::milliseconds(300)),
          std::string(what) + ": the viewer did not run");
  }

  void Check(bool ok, const std::string& what) {
    if (ok) return;
    std::fprintf(stderr, "failed: %s\n", what.c_str());
    ++failures_;
  }

  // The exit status of the child.
  int Failures() const { return failures_; }

 private:
  static std::string Describe(const RECT& r) {
    return "(" + std::to_string(r.left) + ", " + std::to_string(r.top) + ") to (" +
           std::to_string(r.right) + ", " + std::to_string(r.bottom) + ")";
  }

  TempTree tree_;
  std::string viewer_;
  std::string record_ = "/nonexistent";
  HWND lastWindow_ = nullptr;
  int failures_ = 0;
};

int ShowPages() {
  Scenario scenario;
  scenario.RegisterViewer();
  const RECT upperThird{512, 0, 1024, 256};
  struct Case {
    const char* helpFile;
    const char* page;
    const char* path;  // nothing removed or added
  } pages[] = {
      {"file.chm", "page.htm", "file.chm::/page.htm"},
      {"file.chm", "/page.htm", "file.chm:://page.htm"},
      {"file.chm", "", "file.chm::/"},
      {"", "page.htm", "::/page.htm"},
      {"C:\\Help Files\\my help.chm", "dir\\a b.htm#top", "C:\\Help Files\\my help.chm::/dir\\a b.htm#top"},
  };
  for (const Case& c : pages) scenario.ExpectShown(c.helpFile, c.page, c.path, upperThird);

  struct Screen {
    const char* size;
    RECT placed;  // left W - W/2, top 0, width W/2, height H/3
  } screens[] = {
      {"1024x768", {512, 0, 1024, 256}}, {"1025x768", {513, 0, 1025, 256}},
      {"1280x1024", {640, 0, 1280, 341}}, {"1x1", {1, 0, 1, 0}},
      {"65535x65535", {32768, 0, 65535, 21845}},
  };
  for (const Screen& s : screens) {
    setenv("PLINTH_SCREEN", s.size, 1);
    scenario.ExpectShown("file.chm", s.size, std::string("file.chm::/") + s.size, s.placed);
  }
  return scenario.Failures();
}

int ShowNothingWithoutAViewer() {
  Scenario scenario;
  scenario.ExpectNothingShown("no viewer registered");
  // The control was looked for once; a viewer registered now is not looked for.
  scenario.RegisterViewer();
  scenario.ExpectNothingShown("a viewer registered after the first call");
  return scenario.Failures();
}

int ShowNothingWithAViewerThatMayNotRun() {
  Scenario scenario;
  scenario.RegisterViewer();
  chmod((scenario.Tree().Text() + "/viewer").c_str(), 0644);
  scenario.ExpectNothingShown("a registered viewer that may not run");
  return scenario.Failures();
}

// A registration longer than a path is not loaded; the control is then loaded by its name,
// which the POSIX layer resolves through the registration again.
int LoadTheControlByNameAfterALongRegistration() {
  Scenario scenario;
  const std::string folder = std::string(150, 'a') + "/" + std::string(150, 'b');
  scenario.Tree().Folder(folder);
  scenario.RegisterViewer(scenario.Tree().Text() + "/" + folder + "/viewer");
  scenario.ExpectShown("file.chm", "page.htm", "file.chm::/page.htm", RECT{512, 0, 1024, 256});
  return scenario.Failures();
}

class ShowHtmlPage : public ::testing::Test {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(ShowHtmlPage, CombinedPathAndPlacement) {
  EXPECT_EXIT(std::exit(ShowPages()), ::testing::ExitedWithCode(0), "");
}

TEST_F(ShowHtmlPage, WithoutAViewerNothingIsShownAndTheFailureIsKept) {
  EXPECT_EXIT(std::exit(ShowNothingWithoutAViewer()), ::testing::ExitedWithCode(0), "");
}

TEST_F(ShowHtmlPage, AViewerThatMayNotRunShowsNothing) {
  EXPECT_EXIT(std::exit(ShowNothingWithAViewerThatMayNotRun()), ::testing::ExitedWithCode(0), "");
}

TEST_F(ShowHtmlPage, ARegistrationLongerThanAPathFallsBackToTheControlsName) {
  EXPECT_EXIT(std::exit(LoadTheControlByNameAfterALongRegistration()),
              ::testing::ExitedWithCode(0), "");
}

}  // namespace

#endif  // !_WIN32
