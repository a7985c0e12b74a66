// One page of a compiled help file in the HTML Help viewer, in the upper third of the right
// half of the screen. The control is found at run time, where its class registration says,
// so that a program runs on systems without it: there the page is simply not shown.
#include <plinth/KaShowHtmlPage.h>
#include <plinth/afx/WinApp.h>
#include <plinth/win32.h>
#include <plinth/win32/HtmlHelp.h>

namespace {

// The registered file, or "hhctrl.ocx" by name when the registration is missing or its file
// will not load. Loaded once: the module stays for the life of the process, and so does a
// failure, so that a system without the control is asked only once.
PLINTH_HTMLHELPA LoadHtmlHelp() {
  HMODULE control = nullptr;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, PLINTH_HTMLHELP_CONTROL_KEY, 0, KEY_QUERY_VALUE, &key) ==
      ERROR_SUCCESS) {
    // One byte more than a path may take, so that the text always ends in a zero.
    char file[MAX_PATH + 1] = {};
    DWORD type = 0;
    DWORD size = MAX_PATH;
    if (RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<LPBYTE>(file), &size) ==
            ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ) && file[0] != '\0')
      control = LoadLibraryA(file);
    RegCloseKey(key);
  }
  if (!control) control = LoadLibraryA("hhctrl.ocx");
  if (!control) return nullptr;
  return reinterpret_cast<PLINTH_HTMLHELPA>(reinterpret_cast<void (*)(void)>(
      GetProcAddress(control, MAKEINTRESOURCEA(PLINTH_HTMLHELPA_ORDINAL))));
}

}  // namespace

void KaShowHtmlPage(HWND parent, const CString& helpFile, const CString& page) {
  CWaitCursor wait;
  // Thread-safe, and run to the end once, by the first caller.
  static const PLINTH_HTMLHELPA htmlHelp = LoadHtmlHelp();
  if (!htmlHelp) return;
  const CString path = helpFile + "::/" + page;
  HWND viewer = htmlHelp(parent, path, HH_DISPLAY_TOPIC, 0);
  if (!viewer) return;
  HDC screen = GetDC(viewer);
  const int width = GetDeviceCaps(screen, HORZRES);
  const int height = GetDeviceCaps(screen, VERTRES);
  SetWindowPos(viewer, HWND_TOP, width - width / 2, 0, width / 2, height / 3, SWP_SHOWWINDOW);
  ReleaseDC(viewer, screen);
}
