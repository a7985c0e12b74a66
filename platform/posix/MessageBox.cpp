// Message boxes. A library running on a POSIX system cannot count on a desktop, so the box
// becomes one line on the standard error stream, where a user of a terminal or a service log
// sees it, and the call answers as if OK had been pressed.
#include <plinth/win32.h>

#include <cstdio>

extern "C" int MessageBoxA(HWND /*owner*/, LPCSTR text, LPCSTR caption, UINT /*type*/) {
  std::fprintf(stderr, "%s: %s\n", caption ? caption : "Error", text ? text : "");
  std::fflush(stderr);
  return IDOK;
}
