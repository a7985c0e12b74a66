// The POSIX window services and the built-in HTML Help control: the control loads only while an
// executable viewer is registered, its entry starts that viewer with the path as its one
// argument and gives back a window of the layer's table, which keeps the placement asked for.
#include <gtest/gtest.h>
#include <plinth/win32.h>
#include <plinth/win32/HtmlHelp.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/ChildProgram.h"
#include "support/TempTree.h"

namespace {

std::string Describe(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
         "," + std::to_string(r.bottom);
}

TEST(Screen, NominalSizeAndItsOverride) {
  struct Case {
    const char* setting;  // null: unset
    int width, height;
  } cases[] = {{nullptr, 1024, 768},     {"1280x1024", 1280, 1024}, {"1025X768", 1025, 768},
               {"65535x1", 65535, 1},    {"0x768", 1024, 768},      {"800x", 1024, 768},
               {"65536x600", 1024, 768}, {"800x600 ", 1024, 768},   {"-800x600", 1024, 768}};
  HDC dc = GetDC(nullptr);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.setting ? c.setting : "(unset)");
    c.setting ? setenv("PLINTH_SCREEN", c.setting, 1) : unsetenv("PLINTH_SCREEN");
    EXPECT_EQ(GetDeviceCaps(dc, HORZRES), c.width);
    EXPECT_EQ(GetDeviceCaps(dc, VERTRES), c.height);
  }
  unsetenv("PLINTH_SCREEN");
  EXPECT_EQ(ReleaseDC(nullptr, dc), 1);
  EXPECT_EQ(ReleaseDC(nullptr, dc), 0);
  EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 0) << "a released context";
}

TEST(Cursors, SystemCursorsAndTheCurrentOne) {
  HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
  HCURSOR wait = LoadCursorA(nullptr, IDC_WAIT);
  ASSERT_TRUE(arrow && wait && arrow != wait);
  EXPECT_EQ(LoadCursorA(nullptr, MAKEINTRESOURCEA(32513)), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
  HCURSOR before = SetCursor(arrow);
  EXPECT_EQ(SetCursor(wait), arrow);
  EXPECT_EQ(SetCursor(before), wait);
}

// The control's registration is one key of the store: when ctest runs each test in a process
// of its own, each gets a store of its own.
class HtmlHelpControl : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* store = getenv("PLINTH_REGISTRY"))
      setenv("PLINTH_REGISTRY",
             (std::string(store) + "." +
              ::testing::UnitTest::GetInstance()->current_test_info()->name())
                 .c_str(),
             1);
    plinth::test::LinkChild(viewer_);
    setenv(plinth::test::kChildRecordMarker, record_.c_str(), 1);
    RegDeleteKeyA(HKEY_CLASSES_ROOT, PLINTH_HTMLHELP_CONTROL_KEY);
  }
  void TearDown() override {
    unsetenv(plinth::test::kChildRecordMarker);
    RegDeleteKeyA(HKEY_CLASSES_ROOT, PLINTH_HTMLHELP_CONTROL_KEY);
  }

  static void Register(const std::string& file) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, PLINTH_HTMLHELP_CONTROL_KEY, 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(file.c_str()),
                   static_cast<DWORD>(file.size() + 1));
    RegCloseKey(key);
  }
  static PLINTH_HTMLHELPA Entry(HMODULE control, LPCSTR name) {
    return reinterpret_cast<PLINTH_HTMLHELPA>(
        reinterpret_cast<void (*)(void)>(GetProcAddress(control, name)));
  }

  // A viewer's window, once the viewer has run (and read its script, so the folder may go).
  HWND OpenViewer(const char* file, std::vector<std::string>* arguments = nullptr) {
    Register(viewer_);
    unlink(record_.c_str());
    PLINTH_HTMLHELPA htmlHelp = Entry(LoadLibraryA(viewer_.c_str()), MAKEINTRESOURCEA(14));
    HWND window = htmlHelp ? htmlHelp(nullptr, file, HH_DISPLAY_TOPIC, 0) : nullptr;
    auto recorded = plinth::test::ReadChildRecord(record_, std::chrono::seconds(window ? 10 : 0));
    if (arguments && recorded) *arguments = recorded->arguments;
    return window;
  }

  plinth::test::TempTree tree_;
  const std::string viewer_ = tree_.Text() + "/viewer";
  const std::string record_ = tree_.Text() + "/record";
};

TEST_F(HtmlHelpControl, LoadsOnlyWhileAnExecutableViewerIsRegistered) {
  tree_.File("not-executable", "#!/bin/sh\n");
  const std::string missing = tree_.Text() + "/missing";
  struct Case {
    std::string registered;  // "" for none
    std::string loaded;
    bool loads;
  } cases[] = {
      {"", "hhctrl.ocx", false},
      {"", viewer_, false},
      {viewer_, viewer_, true},
      {viewer_, "hhctrl.ocx", true},
      {viewer_, "C:\\Windows\\System32\\HHCTRL.OCX", true},
      {"C:" + viewer_, "C:" + viewer_, true},
      {viewer_, tree_.Text() + "/other", false},
      {missing, missing, false},
      {missing, "hhctrl.ocx", false},
      {tree_.Text() + "/not-executable", "hhctrl.ocx", false},
      {tree_.Text(), tree_.Text(), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.registered + " <- " + c.loaded);
    RegDeleteKeyA(HKEY_CLASSES_ROOT, PLINTH_HTMLHELP_CONTROL_KEY);
    if (!c.registered.empty()) Register(c.registered);
    SetLastError(0);
    HMODULE control = LoadLibraryA(c.loaded.c_str());
    EXPECT_EQ(control != nullptr, c.loads);
    const DWORD error = GetLastError();
    EXPECT_EQ(control ? LoadLibraryA("hhctrl.ocx") : nullptr, control) << "one per viewer";
    EXPECT_EQ(error, control ? 0u : static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  }
}

TEST_F(HtmlHelpControl, EntriesByExportNumber) {
  Register(viewer_);
  HMODULE control = LoadLibraryA("hhctrl.ocx");
  PLINTH_HTMLHELPA htmlHelp = Entry(control, MAKEINTRESOURCEA(14));
  EXPECT_NE(htmlHelp, nullptr);
  EXPECT_EQ(Entry(control, "HtmlHelpA"), htmlHelp);
  // Numbers are never read as text, in any module.
  for (HMODULE module : {control, LoadLibraryA("advapi32.dll"), LoadLibraryA("libc.so.6")}) {
    for (WORD number : {0, 1, 13, 15, 0xFFFF}) {
      EXPECT_EQ(Entry(module, MAKEINTRESOURCEA(number)), nullptr) << number;
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
    }
  }
  EXPECT_EQ(htmlHelp(nullptr, "help.chm::/page.htm", 0x0001, 0), nullptr) << "another command";
  EXPECT_EQ(htmlHelp(nullptr, nullptr, HH_DISPLAY_TOPIC, 0), nullptr);
  ASSERT_EQ(unlink(viewer_.c_str()), 0);
  EXPECT_EQ(htmlHelp(nullptr, "help.chm::/page.htm", HH_DISPLAY_TOPIC, 0), nullptr)
      << "the viewer went away after the control was loaded";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(HtmlHelpControl, TheViewerGetsThePathUnchanged) {
  const char* paths[] = {
      "my help.chm::/a b;$(touch x)/p'q.htm",
      "C:\\Help Files\\x.chm::/dir\\page.htm",
      "ends in backslashes\\\\",
      "a quote\" and \\\" escaped ones\\\\\"",
      "\"\"",
      "tab\tand *?[glob]",
  };
  HWND previous = nullptr;
  for (const char* path : paths) {
    SCOPED_TRACE(path);
    std::vector<std::string> arguments;
    HWND window = OpenViewer(path, &arguments);
    EXPECT_EQ(arguments, std::vector<std::string>{path});
    EXPECT_TRUE(window && window != previous && IsWindowVisible(window));
    EXPECT_EQ(GetTopWindow(nullptr), window) << "a new viewer opens on top";
    previous = window;
  }
  EXPECT_EQ(plinth::test::ChildrenOfThisProcess(std::chrono::seconds(10)), 0);
}

TEST_F(HtmlHelpControl, WindowsKeepThePlacementAskedFor) {
  HWND window = OpenViewer("help.chm");
  HWND other = OpenViewer("help.chm");
  ASSERT_TRUE(window && other);
  struct Case {
    HWND insertAfter;
    int x, y, cx, cy;
    UINT flags;
    const char* placed;
    bool visible;
    HWND top;
  } cases[] = {
      {HWND_TOP, 512, 0, 512, 256, SWP_SHOWWINDOW, "512,0,1024,256", true, window},
      {other, 10, 20, 999, 999, SWP_NOSIZE, "10,20,522,276", true, other},
      {HWND_TOP, 99, 99, 100, 50, SWP_NOMOVE | SWP_HIDEWINDOW, "10,20,110,70", false, window},
      {other, 5, 6, 7, 8, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW, "10,20,110,70",
       true, window},
      {HWND_TOP, -30, -40, -1, -2, 0, "-30,-40,-30,-40", true, window},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.placed);
    ASSERT_TRUE(SetWindowPos(window, c.insertAfter, c.x, c.y, c.cx, c.cy, c.flags));
    RECT rect{};
    ASSERT_TRUE(GetWindowRect(window, &rect));
    EXPECT_EQ(Describe(rect), c.placed);
    EXPECT_EQ(IsWindowVisible(window) != FALSE, c.visible);
    EXPECT_EQ(GetTopWindow(nullptr), c.top);
  }
  HWND bogus = reinterpret_cast<HWND>(0x1234);
  RECT rect{};
  EXPECT_FALSE(SetWindowPos(bogus, HWND_TOP, 0, 0, 1, 1, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  EXPECT_FALSE(GetWindowRect(bogus, &rect) || IsWindow(bogus) || GetDC(bogus));
  EXPECT_FALSE(GetWindowRect(window, nullptr));
}

}  // namespace
