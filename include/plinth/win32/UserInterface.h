#pragma once
// Windows, device contexts and cursors, as Windows declares them in <windows.h>. Included by
// <plinth/win32.h> on POSIX only.
//
// A POSIX system without a desktop has no windows of its own: the only windows this layer
// knows are those of viewer programs it started for the library (see Modules.h), kept as
// records of the placement asked for. The screen is a nominal one, whose size the layer
// documents with GetDeviceCaps.

#include <plinth/Export.h>

struct HDC__;
typedef HDC__* HDC;
struct HCURSOR__;
typedef HCURSOR__* HCURSOR;

struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};
typedef RECT* LPRECT;

// GetDeviceCaps indexes.
#define HORZRES 8
#define VERTRES 10

// SetWindowPos.
#define HWND_TOP ((HWND)0)
#define SWP_NOSIZE 0x0001
#define SWP_NOMOVE 0x0002
#define SWP_NOZORDER 0x0004
#define SWP_SHOWWINDOW 0x0040
#define SWP_HIDEWINDOW 0x0080

// Cursors.
#define MAKEINTRESOURCEA(i) ((LPSTR)((ULONG_PTR)((WORD)(i))))
#define IDC_ARROW MAKEINTRESOURCEA(32512)
#define IDC_WAIT MAKEINTRESOURCEA(32514)

extern "C" {

PLINTH_API HDC GetDC(HWND window);
PLINTH_API int ReleaseDC(HWND window, HDC dc);
PLINTH_API int GetDeviceCaps(HDC dc, int index);
PLINTH_API BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy,
                             UINT flags);
PLINTH_API BOOL GetWindowRect(HWND window, LPRECT rect);
PLINTH_API BOOL IsWindow(HWND window);
PLINTH_API HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR cursorName);
PLINTH_API HCURSOR SetCursor(HCURSOR cursor);

}  // extern "C"
