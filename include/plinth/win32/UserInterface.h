#pragma once
/// \file
/// Windows, device contexts and cursors, as Windows declares them in <windows.h>. Included by
/// <plinth/win32.h> on POSIX only.
///
/// A POSIX system without a desktop has no windows of its own: the only windows this layer
/// knows are those of viewer programs it started for the library (the help viewer, see
/// Modules.h), kept as records of the placement asked for. The layer cannot see a viewer's
/// real windows, only its process, so a record lives as long as the process that asked for it
/// and its placement stays readable after the viewer has ended.
///
/// The screen is a nominal one of 1024 x 768 pixels, the size the library's placement rules
/// were made for. A host that knows better (or a test) sets PLINTH_SCREEN to "WIDTHxHEIGHT"
/// (each 1 to 65535, for example "1280x1024"); it is read at each GetDeviceCaps call, and a
/// value that is not of that form is ignored.

#include <plinth/Export.h>

struct HDC__;
typedef HDC__* HDC;  ///< A device context: here only of the nominal screen (GetDC).
struct HCURSOR__;
typedef HCURSOR__* HCURSOR;  ///< A cursor: here only the system cursors of LoadCursorA.

/// A rectangle in screen pixels; right and bottom lie just outside it.
struct RECT {
  LONG left;    ///< Left edge.
  LONG top;     ///< Top edge.
  LONG right;   ///< Right edge, exclusive: left + width.
  LONG bottom;  ///< Bottom edge, exclusive: top + height.
};
typedef RECT* LPRECT;  ///< Pointer to a RECT.

#define ERROR_INVALID_WINDOW_HANDLE 1400L    ///< Not a window of the layer's table.
#define ERROR_INVALID_CURSOR_HANDLE 1402L    ///< Not a cursor handle.
#define ERROR_RESOURCE_NAME_NOT_FOUND 1814L  ///< LoadCursorA: no such cursor.

/// GetDeviceCaps indexes: the screen's width and height in pixels, bits per pixel, colour
/// planes, and logical pixels per inch across and down.
///@{
#define HORZRES 8
#define VERTRES 10
#define BITSPIXEL 12
#define PLANES 14
#define LOGPIXELSX 88
#define LOGPIXELSY 90
///@}

/// SetWindowPos: put the window at the top of the window order.
#define HWND_TOP ((HWND)0)
/// SetWindowPos flags: keep the size, keep the position, keep the window order, show, hide.
///@{
#define SWP_NOSIZE 0x0001
#define SWP_NOMOVE 0x0002
#define SWP_NOZORDER 0x0004
#define SWP_SHOWWINDOW 0x0040
#define SWP_HIDEWINDOW 0x0080
///@}

/// A resource number in the place of a name: a "pointer" below 0x10000. GetProcAddress takes
/// export numbers the same way.
#define MAKEINTRESOURCEA(i) ((LPSTR)((ULONG_PTR)((WORD)(i))))
/// The system cursors LoadCursorA knows: the arrow and the hourglass.
///@{
#define IDC_ARROW MAKEINTRESOURCEA(32512)
#define IDC_WAIT MAKEINTRESOURCEA(32514)
///@}
/// Whether p is a resource number (MAKEINTRESOURCEA) rather than a pointer to text.
#define IS_INTRESOURCE(p) ((((ULONG_PTR)(p)) >> 16) == 0)

extern "C" {

/// A device context of the screen; window is null (the whole screen) or a window of the table,
/// else null with ERROR_INVALID_WINDOW_HANDLE. Each context is released with ReleaseDC.
PLINTH_API HDC GetDC(HWND window);
/// Releases a context of GetDC (window is not looked at).
/// 1 when the context was given out by GetDC (for any window) and is now released, else 0.
/// Sets no last error.
PLINTH_API int ReleaseDC(HWND window, HDC dc);
/// Reads a property of the screen behind a context of GetDC.
/// HORZRES and VERTRES: the nominal screen's size; BITSPIXEL 32, PLANES 1, LOGPIXELSX and
/// LOGPIXELSY 96. Any other index, or a context that is not held, gives 0.
/// The screen's size follows PLINTH_SCREEN when set (see the file description), read at each
/// call. Sets no last error.
PLINTH_API int GetDeviceCaps(HDC dc, int index);
/// Moves, sizes, orders, shows or hides a window: here it records the placement asked for.
/// What it keeps: position unless SWP_NOMOVE, size unless SWP_NOSIZE (a negative size
/// is taken as 0), the top of the window order for HWND_TOP unless SWP_NOZORDER, shown with
/// SWP_SHOWWINDOW and hidden with SWP_HIDEWINDOW. Other insert-after windows of the table
/// place the window just below them. FALSE with ERROR_INVALID_WINDOW_HANDLE for a window that
/// is not in the table.
/// Nothing moves on the screen: the viewer's real window is out of reach.
PLINTH_API BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy,
                             UINT flags);
/// The window's rectangle in screen coordinates: the recorded placement.
/// A window that was never placed is empty at (0, 0). FALSE with
/// ERROR_INVALID_WINDOW_HANDLE (window) or ERROR_INVALID_PARAMETER (null rect).
PLINTH_API BOOL GetWindowRect(HWND window, LPRECT rect);
/// Whether window is a record of the layer's window table (one stays after its viewer has
/// ended, for as long as the process that asked for it runs). Sets no last error.
PLINTH_API BOOL IsWindow(HWND window);
/// Whether the window was shown last (a viewer's window starts shown); FALSE for a window
/// that is not in the table.
PLINTH_API BOOL IsWindowVisible(HWND window);
/// The child window at the top of parent's window order.
/// parent null: the window at the top of the window order among the table's windows, null when
/// there is none. The table's windows have no children, so any other parent gives null.
PLINTH_API HWND GetTopWindow(HWND parent);
/// Loads a cursor: the system cursors IDC_ARROW and IDC_WAIT (instance null); anything else gives
/// null with ERROR_RESOURCE_NAME_NOT_FOUND. Without a desktop a cursor has no visible effect.
PLINTH_API HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR cursorName);
/// Makes cursor (null for none) the current one of the calling thread and returns the previous
/// one (null at first).
/// Any value is accepted and nothing is checked.
PLINTH_API HCURSOR SetCursor(HCURSOR cursor);

}  // extern "C"
