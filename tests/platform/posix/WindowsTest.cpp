// The POSIX window services and the built-in HTML Help control: the control loads only while a
// viewer program is registered, its entry starts that viewer and gives back a window of the
// layer's table, and the table keeps the placement asked for.
#include <gtest/gtest.h>
#include <plinth/win32.h>
#include <plinth/win32/HtmlHelp.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/RecordingProgram.h"
#include "support/TempTree.h"

namespace {

using plinth::test::ReadRecord;
using plinth::test::TempTree;
using plinth::test::WriteRecordingProgram;

bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string Describe(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
         "," + std::to_string(r.bottom);
}

TEST(Screen, NominalSizeAndItsOverride) {
  struct Case {
    const char* setting;  // null: unset
    int width;
    int height;
  } cases[] = {
      {nullptr, 1024, 768}, {"1280x1024", 1280, 1024}, {"1025X768", 1025, 768},
      {"1x1", 1, 1},        {"65535x65535", 65535, 65535},
      // Not of the form: the nominal screen.
      {"", 1024, 768}, {"0x768", 1024, 768}, {"800x", 1024, 768}, {"x600", 1024, 768},
      {"65536x600", 1024, 768}, {"800x600 ", 1024, 768}, {"-800x600", 1024, 768},
      {"800*600", 1024, 768}, {"99999999999999999999x1", 1024, 768},
  };
  HDC dc = GetDC(nullptr);
  ASSERT_NE(dc, nullptr);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.setting ? c.setting : "(unset)");
    if (c.setting)
      setenv("PLINTH_SCREEN", c.setting, 1);
    else
      unsetenv("PLINTH_SCREEN");
    EXPECT_EQ(GetDeviceCaps(dc, HORZRES), c.width);
    EXPECT_EQ(GetDeviceCaps(dc, VERTRES), c.height);
  }
  unsetenv("PLINTH_SCREEN");
  EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 32);
  EXPECT_EQ(GetDeviceCaps(dc, 9999), 0);
  EXPECT_EQ(ReleaseDC(nullptr, dc), 1);
  // A released or made-up context answers nothing.
  EXPECT_EQ(ReleaseDC(nullptr, dc), 0);
  EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 0);
  EXPECT_EQ(GetDeviceCaps(reinterpret_cast<HDC>(0x1234), HORZRES), 0);
  EXPECT_EQ(GetDeviceCaps(nullptr, HORZRES), 0);
}

TEST(Cursors, SystemCursorsAndTheCurrentOne) {
  HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
  HCURSOR wait = LoadCursorA(nullptr, IDC_WAIT);
  ASSERT_NE(arrow, nullptr);
  ASSERT_NE(wait, nullptr);
  EXPECT_NE(arrow, wait);
  EXPECT_EQ(LoadCursorA(nullptr, IDC_WAIT), wait);
  SetLastError(0);
  EXPECT_EQ(LoadCursorA(nullptr, MAKEINTRESOURCEA(32513)), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
  EXPECT_EQ(LoadCursorA(nullptr, "arrow"), nullptr);

  HCURSOR before = SetCursor(arrow);
  EXPECT_EQ(SetCursor(wait), arrow);
  EXPECT_EQ(SetCursor(nullptr), wait);
  EXPECT_EQ(SetCursor(before), nullptr);
}

// Each test has a registry store of its own when it runs in a process of its own (as ctest
// runs them), since the control's registration is one key for the whole store.
class HtmlHelpControl : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* store = getenv("PLINTH_REGISTRY"))
      setenv("PLINTH_REGISTRY",
             (std::string(store) + "." +
              ::testing::UnitTest::GetInstance()->current_test_info()->name())
                 .c_str(),
             1);
    viewer_ = tree_.Text() + "/viewer";
    record_ = WriteRecordingProgram(viewer_);
    Unregister();
  }
  void TearDown() override { Unregister(); }

  void Register(const std::string& file) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, PLINTH_HTMLHELP_CONTROL_KEY, 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(file.c_str()),
                             static_cast<DWORD>(file.size() + 1)),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
  void Unregister() { RegDeleteKeyA(HKEY_CLASSES_ROOT, PLINTH_HTMLHELP_CONTROL_KEY); }

  static PLINTH_HTMLHELPA Entry(HMODULE control, LPCSTR name) {
    return reinterpret_cast<PLINTH_HTMLHELPA>(
        reinterpret_cast<void (*)(void)>(GetProcAddress(control, name)));
  }

  // A window of a viewer started through the control, with the arguments the viewer got (the
  // viewer has read its script by then, so the scratch folder may go).
  HWND OpenViewer(const char* file = "help.chm::/page.htm",
                  std::vector<std::string>* arguments = nullptr) {
    Register(viewer_);
    unlink(record_.c_str());
    HMODULE control = LoadLibraryA(viewer_.c_str());
    PLINTH_HTMLHELPA htmlHelp = control ? Entry(control, MAKEINTRESOURCEA(14)) : nullptr;
    HWND window = htmlHelp ? htmlHelp(nullptr, file, HH_DISPLAY_TOPIC, 0) : nullptr;
    if (window) {
      auto recorded = ReadRecord(record_);
      EXPECT_TRUE(recorded) << "the viewer did not run";
      if (recorded && arguments) *arguments = *recorded;
    }
    return window;
  }

  TempTree tree_;
  std::string viewer_;
  std::string record_;
};

TEST_F(HtmlHelpControl, LoadsOnlyWhileAnExecutableViewerIsRegistered) {
  tree_.File("not-executable", "#!/bin/sh\n");
  const std::string windowsSpelling = "C:" + viewer_;
  struct Case {
    const char* what;
    std::string registered;  // "" for no registration
    std::string loaded;
    bool loads;
  } cases[] = {
      {"nothing registered", "", "hhctrl.ocx", false},
      {"nothing registered, by path", "", viewer_, false},
      {"a viewer, by its path", viewer_, viewer_, true},
      {"a viewer, by the control's name", viewer_, "hhctrl.ocx", true},
      {"a viewer, by the name in a folder", viewer_, "C:\\Windows\\System32\\HHCTRL.OCX", true},
      {"a viewer, as Windows spells it", windowsSpelling, windowsSpelling, true},
      {"a viewer, by another path", viewer_, tree_.Text() + "/other", false},
      {"a missing program", tree_.Text() + "/missing", tree_.Text() + "/missing", false},
      {"a missing program, by name", tree_.Text() + "/missing", "hhctrl.ocx", false},
      {"a file that may not run", tree_.Text() + "/not-executable", "hhctrl.ocx", false},
      {"a folder", tree_.Text(), tree_.Text(), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Unregister();
    if (!c.registered.empty()) Register(c.registered);
    SetLastError(0);
    HMODULE control = LoadLibraryA(c.loaded.c_str());
    EXPECT_EQ(control != nullptr, c.loads);
    if (!control) {
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
      continue;
    }
    // One module for one viewer, whatever name loaded it.
    EXPECT_EQ(LoadLibraryA("hhctrl.ocx"), control);
    EXPECT_TRUE(FreeLibrary(control));
  }
}

TEST_F(HtmlHelpControl, EntriesByExportNumber) {
  Register(viewer_);
  HMODULE control = LoadLibraryA("hhctrl.ocx");
  ASSERT_NE(control, nullptr);
  PLINTH_HTMLHELPA byNumber = Entry(control, MAKEINTRESOURCEA(14));
  EXPECT_NE(byNumber, nullptr);
  EXPECT_EQ(Entry(control, "HtmlHelpA"), byNumber);
  // Numbers are never read as text, in any module.
  for (WORD number : {0, 1, 13, 15, 0xFFFF}) {
    SetLastError(0);
    EXPECT_EQ(Entry(control, MAKEINTRESOURCEA(number)), nullptr) << number;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
  }
  EXPECT_EQ(Entry(control, "HtmlHelpW"), nullptr);
  HMODULE advapi = LoadLibraryA("advapi32.dll");
  ASSERT_NE(advapi, nullptr);
  EXPECT_EQ(Entry(advapi, MAKEINTRESOURCEA(14)), nullptr);
  HMODULE shared = LoadLibraryA("libc.so.6");
  ASSERT_NE(shared, nullptr);
  EXPECT_EQ(Entry(shared, MAKEINTRESOURCEA(14)), nullptr);
  FreeLibrary(shared);
}

TEST_F(HtmlHelpControl, StartsTheViewerWithThePathAsItsOneArgument) {
  const char* path = "my help.chm::/a b;$(touch x)/p'q\".htm";
  std::vector<std::string> arguments;
  HWND window = OpenViewer(path, &arguments);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(arguments, std::vector<std::string>{path});
  EXPECT_TRUE(IsWindow(window));
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_EQ(GetTopWindow(nullptr), window);
  RECT rect{1, 2, 3, 4};
  ASSERT_TRUE(GetWindowRect(window, &rect));
  EXPECT_TRUE(SameRect(rect, RECT{0, 0, 0, 0})) << Describe(rect);
  // The viewer has ended; the layer reaped it.
  EXPECT_EQ(plinth::test::ZombieChildrenAfter(std::chrono::seconds(10)), 0);
}

TEST_F(HtmlHelpControl, NothingShownWhenTheViewerCannotStart) {
  Register(viewer_);
  HMODULE control = LoadLibraryA("hhctrl.ocx");
  ASSERT_NE(control, nullptr);
  PLINTH_HTMLHELPA htmlHelp = Entry(control, MAKEINTRESOURCEA(14));
  ASSERT_NE(htmlHelp, nullptr);
  SetLastError(0);
  EXPECT_EQ(htmlHelp(nullptr, "help.chm::/page.htm", 0x0001, 0), nullptr);  // another command
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(htmlHelp(nullptr, nullptr, HH_DISPLAY_TOPIC, 0), nullptr);
  EXPECT_EQ(htmlHelp(nullptr, "", HH_DISPLAY_TOPIC, 0), nullptr);
  // The viewer went away after the control was loaded.
  ASSERT_EQ(unlink(viewer_.c_str()), 0);
  SetLastError(0);
  EXPECT_EQ(htmlHelp(nullptr, "help.chm::/page.htm", HH_DISPLAY_TOPIC, 0), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(HtmlHelpControl, WindowsKeepThePlacementAskedFor) {
  HWND window = OpenViewer();
  ASSERT_NE(window, nullptr);
  struct Case {
    int x, y, cx, cy;
    UINT flags;
    RECT expected;
    bool visible;
  } cases[] = {
      {512, 0, 512, 256, SWP_SHOWWINDOW, {512, 0, 1024, 256}, true},
      {10, 20, 999, 999, SWP_NOSIZE, {10, 20, 522, 276}, true},
      {999, 999, 100, 50, SWP_NOMOVE | SWP_HIDEWINDOW, {10, 20, 110, 70}, false},
      {5, 6, 7, 8, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW, {10, 20, 110, 70}, true},
      {-30, -40, -1, -2, 0, {-30, -40, -30, -40}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.flags);
    ASSERT_TRUE(SetWindowPos(window, HWND_TOP, c.x, c.y, c.cx, c.cy, c.flags));
    RECT rect{};
    ASSERT_TRUE(GetWindowRect(window, &rect));
    EXPECT_TRUE(SameRect(rect, c.expected)) << Describe(rect);
    EXPECT_EQ(IsWindowVisible(window) != FALSE, c.visible);
  }

  HDC dc = GetDC(window);
  EXPECT_NE(dc, nullptr);
  EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 1024);
  EXPECT_EQ(ReleaseDC(window, dc), 1);

  HWND bogus = reinterpret_cast<HWND>(0x1234);
  RECT rect{};
  for (HWND w : {bogus, static_cast<HWND>(nullptr)}) {
    SetLastError(0);
    EXPECT_FALSE(SetWindowPos(w, HWND_TOP, 0, 0, 1, 1, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_FALSE(GetWindowRect(w, &rect));
    EXPECT_FALSE(IsWindow(w));
    EXPECT_FALSE(IsWindowVisible(w));
  }
  SetLastError(0);
  EXPECT_EQ(GetDC(bogus), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  SetLastError(0);
  EXPECT_FALSE(GetWindowRect(window, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(HtmlHelpControl, WindowOrder) {
  HWND first = OpenViewer();
  HWND second = OpenViewer();
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first, second);
  EXPECT_EQ(GetTopWindow(nullptr), second);  // the newest viewer opens on top
  EXPECT_EQ(GetTopWindow(first), nullptr);
  ASSERT_TRUE(SetWindowPos(first, HWND_TOP, 0, 0, 1, 1, SWP_NOZORDER));
  EXPECT_EQ(GetTopWindow(nullptr), second);
  ASSERT_TRUE(SetWindowPos(first, HWND_TOP, 0, 0, 1, 1, 0));
  EXPECT_EQ(GetTopWindow(nullptr), first);
  ASSERT_TRUE(SetWindowPos(first, second, 0, 0, 1, 1, SWP_NOMOVE | SWP_NOSIZE));
  EXPECT_EQ(GetTopWindow(nullptr), second);
}

}  // namespace
