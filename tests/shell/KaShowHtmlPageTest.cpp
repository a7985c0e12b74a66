// KaShowHtmlPage against the POSIX help control: this test program, registered as the control's
// viewer, records which path the library asks for; the window table shows where it was put.
// The control is looked for once per process, so each scenario runs in a process of its own (a
// death-test child that starts the test program afresh) with a registry store of its own.
// POSIX only: a Windows system's own viewer cannot be replaced by a stand-in.
#include <gtest/gtest.h>

#if !defined(_WIN32)

#include <plinth/KaShowHtmlPage.h>
#include <plinth/win32.h>
#include <plinth/win32/HtmlHelp.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/ChildProgram.h"
#include "support/TempTree.h"

namespace {

// The checks of a child: each failure goes to the standard error stream, which the parent
// shows when the child's exit status (the number of failures) is not 0.
class Scenario {
 public:
  Scenario() {
    setenv("PLINTH_REGISTRY", (tree_.Text() + "/registry.db").c_str(), 1);
    setenv(plinth::test::kChildRecordMarker, record_.c_str(), 1);
  }

  void RegisterViewer(const std::string& folder = "") {
    if (!folder.empty()) tree_.Folder(folder);
    const std::string viewer = tree_.Text() + "/" + folder + "viewer";
    plinth::test::LinkChild(viewer);
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_CLASSES_ROOT, PLINTH_HTMLHELP_CONTROL_KEY, 0, nullptr, 0, KEY_ALL_ACCESS,
                    nullptr, &key, nullptr);
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(viewer.c_str()),
                   static_cast<DWORD>(viewer.size() + 1));
    RegCloseKey(key);
  }

  // Shows the page; path is what the viewer must get, placed where its window must go (null
  // when nothing may be shown). The cursor from before the call must be back after it.
  void Show(const char* helpFile, const char* page, const std::string& path, const char* placed) {
    unlink(record_.c_str());
    HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    SetCursor(arrow);
    KaShowHtmlPage(nullptr, helpFile, page);
    const std::string what = std::string("'") + helpFile + "' '" + page + "': ";
    Check(SetCursor(nullptr) == arrow, what + "the cursor is back");
    const auto record =
        plinth::test::ReadChildRecord(record_, std::chrono::seconds(placed ? 10 : 0));
    const std::string got =
        record && record->arguments.size() == 1 ? record->arguments.front() : "-";
    Check(placed ? got == path : !record, what + "the viewer got '" + got + "'");
    HWND window = GetTopWindow(nullptr);
    RECT r{-1, -1, -1, -1};
    if (window) GetWindowRect(window, &r);
    const std::string rect = std::to_string(r.left) + "," + std::to_string(r.top) + "," +
                             std::to_string(r.right) + "," + std::to_string(r.bottom);
    const bool newWindow = window && window != lastWindow_ && IsWindowVisible(window);
    Check(placed ? newWindow && rect == placed : !window, what + "the window at " + rect);
    lastWindow_ = window;
  }

  int Failures() const { return failures_; }

 private:
  void Check(bool ok, const std::string& what) {
    if (ok) return;
    std::fprintf(stderr, "failed: %s\n", what.c_str());
    ++failures_;
  }

  plinth::test::TempTree tree_;
  const std::string record_ = tree_.Text() + "/record";
  HWND lastWindow_ = nullptr;
  int failures_ = 0;
};

int ShowPages() {
  Scenario scenario;
  scenario.RegisterViewer();
  struct Case {
    const char* screen;  // PLINTH_SCREEN
    const char* helpFile;
    const char* page;
    const char* path;    // nothing removed or added
    const char* placed;  // left W - W/2, top 0, width W/2, height H/3
  } cases[] = {
      {"1024x768", "file.chm", "page.htm", "file.chm::/page.htm", "512,0,1024,256"},
      {"1024x768", "file.chm", "/page.htm", "file.chm:://page.htm", "512,0,1024,256"},
      {"1024x768", "file.chm", "", "file.chm::/", "512,0,1024,256"},
      {"1024x768", "", "page.htm", "::/page.htm", "512,0,1024,256"},
      {"1024x768", "C:\\Help\\my help.chm", "a\\b c.htm#x", "C:\\Help\\my help.chm::/a\\b c.htm#x",
       "512,0,1024,256"},
      {"1025x768", "file.chm", "page.htm", "file.chm::/page.htm", "513,0,1025,256"},
      {"1280x1024", "file.chm", "page.htm", "file.chm::/page.htm", "640,0,1280,341"},
      {"1x1", "file.chm", "page.htm", "file.chm::/page.htm", "1,0,1,0"},
      {"65535x65535", "file.chm", "page.htm", "file.chm::/page.htm", "32768,0,65535,21845"},
  };
  for (const Case& c : cases) {
    setenv("PLINTH_SCREEN", c.screen, 1);
    scenario.Show(c.helpFile, c.page, c.path, c.placed);
  }
  return scenario.Failures();
}

int ShowNothingWithoutAViewer() {
  Scenario scenario;
  scenario.Show("help.chm", "page.htm", "", nullptr);
  // The control was looked for once; a viewer registered now is not looked for.
  scenario.RegisterViewer();
  scenario.Show("help.chm", "page.htm", "", nullptr);
  return scenario.Failures();
}

// A registration longer than a path is not loaded; the control is then loaded by its name,
// which the POSIX layer resolves through the registration.
int LoadTheControlByNameAfterALongRegistration() {
  Scenario scenario;
  scenario.RegisterViewer(std::string(150, 'a') + "/" + std::string(150, 'b') + "/");
  scenario.Show("file.chm", "page.htm", "file.chm::/page.htm", "512,0,1024,256");
  return scenario.Failures();
}

TEST(ShowHtmlPage, EachScenarioInAProcessOfItsOwn) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  for (int (*scenario)() :
       {ShowPages, ShowNothingWithoutAViewer, LoadTheControlByNameAfterALongRegistration})
    EXPECT_EXIT(std::exit(scenario()), ::testing::ExitedWithCode(0), "");
}

}  // namespace

#endif  // !_WIN32
