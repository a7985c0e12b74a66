// Windows, device contexts and cursors without a desktop. The library only ever places a
// viewer's window and reads the screen size to do so, so a window here is a record of the
// placement asked for, the screen a nominal one, and a cursor a value handed back and forth.
#include <plinth/win32.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <mutex>
#include <set>
#include <vector>

#include "platform/posix/WindowTable.h"

namespace {

const int kDefaultScreenWidth = 1024;
const int kDefaultScreenHeight = 768;
const long kLargestScreenSide = 65535;

struct WindowRecord {
  pid_t processId;
  RECT rect;
  bool visible;
};

// Handles are counters well above the range of resource numbers (IS_INTRESOURCE) and spaced
// apart, so that a handle of one kind is never mistaken for another.
const uintptr_t kFirstWindow = 0x20000;
const uintptr_t kFirstDeviceContext = 0x40000000;
const uintptr_t kHandleStep = 0x10;

std::mutex g_lock;
std::map<uintptr_t, WindowRecord> g_windows;
std::vector<uintptr_t> g_windowOrder;  // the top first
uintptr_t g_nextWindow = kFirstWindow;
std::set<uintptr_t> g_deviceContexts;
uintptr_t g_nextDeviceContext = kFirstDeviceContext;

uintptr_t Key(const void* handle) { return reinterpret_cast<uintptr_t>(handle); }

// One side of PLINTH_SCREEN: digits only, 1 to 65535; advances text past them.
bool ParseSide(const char*& text, int& side) {
  long value = 0;
  const char* start = text;
  while (*text >= '0' && *text <= '9') {
    value = value * 10 + (*text - '0');
    if (value > kLargestScreenSide) return false;
    ++text;
  }
  if (text == start || value == 0) return false;
  side = static_cast<int>(value);
  return true;
}

void ScreenSize(int& width, int& height) {
  width = kDefaultScreenWidth;
  height = kDefaultScreenHeight;
  const char* text = std::getenv("PLINTH_SCREEN");
  if (!text) return;
  int parsedWidth = 0;
  int parsedHeight = 0;
  if (!ParseSide(text, parsedWidth) || (*text != 'x' && *text != 'X')) return;
  ++text;
  if (!ParseSide(text, parsedHeight) || *text) return;
  width = parsedWidth;
  height = parsedHeight;
}

// Cursors are the per-thread input state of Windows; without a desktop nothing else sees them.
thread_local HCURSOR t_cursor = nullptr;

// The two system cursors, as distinct static objects.
struct SystemCursor {
  WORD id;
};
SystemCursor g_arrow{32512};
SystemCursor g_wait{32514};

void MoveToTop(uintptr_t window) {
  g_windowOrder.erase(std::remove(g_windowOrder.begin(), g_windowOrder.end(), window),
                      g_windowOrder.end());
  g_windowOrder.insert(g_windowOrder.begin(), window);
}

void MoveBelow(uintptr_t window, uintptr_t above) {
  g_windowOrder.erase(std::remove(g_windowOrder.begin(), g_windowOrder.end(), window),
                      g_windowOrder.end());
  auto at = std::find(g_windowOrder.begin(), g_windowOrder.end(), above);
  g_windowOrder.insert(at == g_windowOrder.end() ? at : at + 1, window);
}

}  // namespace

namespace plinth::posix {

HWND CreateViewerWindow(pid_t processId) {
  std::lock_guard<std::mutex> lock(g_lock);
  const uintptr_t window = g_nextWindow;
  g_nextWindow += kHandleStep;
  g_windows[window] = WindowRecord{processId, RECT{0, 0, 0, 0}, true};
  g_windowOrder.insert(g_windowOrder.begin(), window);
  return reinterpret_cast<HWND>(window);
}

}  // namespace plinth::posix

extern "C" {

// window: null for the screen, or a window of the table. Returns a new device context, or
// null with ERROR_INVALID_WINDOW_HANDLE.
HDC GetDC(HWND window) {
  std::lock_guard<std::mutex> lock(g_lock);
  if (window && g_windows.count(Key(window)) == 0) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  const uintptr_t context = g_nextDeviceContext;
  g_nextDeviceContext += kHandleStep;
  g_deviceContexts.insert(context);
  return reinterpret_cast<HDC>(context);
}

// window is not looked at: every context here is one of the screen. 1 when dc was held.
int ReleaseDC(HWND /*window*/, HDC dc) {
  std::lock_guard<std::mutex> lock(g_lock);
  return g_deviceContexts.erase(Key(dc)) == 1 ? 1 : 0;
}

// dc: a held context; index: HORZRES, VERTRES, BITSPIXEL, PLANES, LOGPIXELSX or LOGPIXELSY.
// The value, or 0 for anything else.
int GetDeviceCaps(HDC dc, int index) {
  {
    std::lock_guard<std::mutex> lock(g_lock);
    if (g_deviceContexts.count(Key(dc)) == 0) return 0;
  }
  int width = 0;
  int height = 0;
  ScreenSize(width, height);
  switch (index) {
    case HORZRES: return width;
    case VERTRES: return height;
    case BITSPIXEL: return 32;
    case PLANES: return 1;
    case LOGPIXELSX:
    case LOGPIXELSY: return 96;
    default: return 0;
  }
}

// window: a window of the table; insertAfter: HWND_TOP or a window of the table (another
// value leaves the order alone); x, y, cx, cy and flags as on Windows. TRUE, or FALSE with
// ERROR_INVALID_WINDOW_HANDLE.
BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
  std::lock_guard<std::mutex> lock(g_lock);
  auto found = g_windows.find(Key(window));
  if (found == g_windows.end()) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  WindowRecord& record = found->second;
  const LONG width = record.rect.right - record.rect.left;
  const LONG height = record.rect.bottom - record.rect.top;
  if (!(flags & SWP_NOMOVE)) {
    record.rect.left = x;
    record.rect.top = y;
  }
  const LONG newWidth = (flags & SWP_NOSIZE) ? width : std::max(cx, 0);
  const LONG newHeight = (flags & SWP_NOSIZE) ? height : std::max(cy, 0);
  record.rect.right = record.rect.left + newWidth;
  record.rect.bottom = record.rect.top + newHeight;
  if (!(flags & SWP_NOZORDER) && insertAfter != window) {
    if (insertAfter == HWND_TOP)
      MoveToTop(Key(window));
    else if (g_windows.count(Key(insertAfter)) != 0)
      MoveBelow(Key(window), Key(insertAfter));
  }
  if (flags & SWP_SHOWWINDOW) record.visible = true;
  if (flags & SWP_HIDEWINDOW) record.visible = false;
  return TRUE;
}

// window: a window of the table; rect receives its placement. FALSE with
// ERROR_INVALID_WINDOW_HANDLE or ERROR_INVALID_PARAMETER.
BOOL GetWindowRect(HWND window, LPRECT rect) {
  std::lock_guard<std::mutex> lock(g_lock);
  auto found = g_windows.find(Key(window));
  if (found == g_windows.end()) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if (!rect) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *rect = found->second.rect;
  return TRUE;
}

// Whether window is in the table.
BOOL IsWindow(HWND window) {
  std::lock_guard<std::mutex> lock(g_lock);
  return g_windows.count(Key(window)) != 0 ? TRUE : FALSE;
}

// Whether window is in the table and shown.
BOOL IsWindowVisible(HWND window) {
  std::lock_guard<std::mutex> lock(g_lock);
  auto found = g_windows.find(Key(window));
  return found != g_windows.end() && found->second.visible ? TRUE : FALSE;
}

// parent: null. The top window of the table, or null.
HWND GetTopWindow(HWND parent) {
  std::lock_guard<std::mutex> lock(g_lock);
  if (parent || g_windowOrder.empty()) return nullptr;
  return reinterpret_cast<HWND>(g_windowOrder.front());
}

// instance: null; cursorName: IDC_ARROW or IDC_WAIT. The cursor, or null with
// ERROR_RESOURCE_NAME_NOT_FOUND.
HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR cursorName) {
  if (!instance && IS_INTRESOURCE(cursorName)) {
    const WORD id = static_cast<WORD>(reinterpret_cast<uintptr_t>(cursorName));
    if (id == g_arrow.id) return reinterpret_cast<HCURSOR>(&g_arrow);
    if (id == g_wait.id) return reinterpret_cast<HCURSOR>(&g_wait);
  }
  SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
  return nullptr;
}

// cursor: any value LoadCursorA gave, or null. The calling thread's previous cursor.
HCURSOR SetCursor(HCURSOR cursor) {
  HCURSOR previous = t_cursor;
  t_cursor = cursor;
  return previous;
}

}  // extern "C"
