// The HTML Help control without Windows. The registration that names the control's file on
// Windows names a viewer program here: loading the control (by that registered text, or by the
// control's own file name) gives a module bound to that viewer, and its HtmlHelpA starts the
// viewer with the help path as its one argument. A system without a registered viewer has no
// control, so the library shows nothing there, as it does on Windows without one.
//
// The entry is a plain function pointer that cannot carry its module, so each control module
// (one per distinct viewer, which in practice means one) owns one of a few fixed entries.
#include "platform/posix/HtmlHelpControl.h"

#include <plinth/win32.h>
#include <plinth/win32/HtmlHelp.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/posix/ChildProcesses.h"
#include "platform/posix/NativePaths.h"
#include "platform/posix/WindowTable.h"

namespace {

struct ControlModule {
  std::string viewer;  // a POSIX path; empty while the slot is free
};

const size_t kControlModules = 8;
std::mutex g_lock;
ControlModule g_modules[kControlModules];

// A registered text longer than this is no path anyone meant.
const DWORD kLongestRegistration = 32768;

std::string RegisteredControlFile() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, PLINTH_HTMLHELP_CONTROL_KEY, 0, KEY_QUERY_VALUE, &key) !=
      ERROR_SUCCESS)
    return std::string();
  std::string value;
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExA(key, nullptr, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
      (type == REG_SZ || type == REG_EXPAND_SZ) && size > 0 && size <= kLongestRegistration) {
    value.resize(size);
    if (RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<LPBYTE>(&value[0]),
                         &size) == ERROR_SUCCESS)
      value.resize(strnlen(value.data(), std::min<size_t>(size, value.size())));
    else
      value.clear();
  }
  RegCloseKey(key);
  return value;
}

bool IsProgram(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
         access(path.c_str(), X_OK) == 0;
}

// HH_DISPLAY_TOPIC only: the viewer of the slot gets file, unchanged, as its one argument.
HWND ShowTopic(size_t slot, LPCSTR file, UINT command) {
  if (command != HH_DISPLAY_TOPIC || !file || !*file) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::string viewer;
  {
    std::lock_guard<std::mutex> lock(g_lock);
    viewer = g_modules[slot].viewer;
  }
  // The viewer lives as long as its reader wants, apart from the host's process group so that
  // an interrupt meant for the host leaves it open; nobody waits for it, the process layer
  // reaps it.
  PROCESS_INFORMATION started;
  if (!plinth::posix::StartProgram(viewer, {viewer, file}, CREATE_NEW_PROCESS_GROUP, started))
    return nullptr;
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
  return plinth::posix::CreateViewerWindow(static_cast<pid_t>(started.dwProcessId));
}

// caller: not used (a viewer program has no owner here). file: the help path. command:
// HH_DISPLAY_TOPIC. data: not used. The viewer's window, or null with the last error
// ERROR_INVALID_PARAMETER (another command, no file) or that of starting the viewer.
template <size_t Slot>
HWND WINAPI HtmlHelpEntry(HWND /*caller*/, LPCSTR file, UINT command, ULONG_PTR /*data*/) {
  return ShowTopic(Slot, file, command);
}

const PLINTH_HTMLHELPA kEntries[kControlModules] = {
    &HtmlHelpEntry<0>, &HtmlHelpEntry<1>, &HtmlHelpEntry<2>, &HtmlHelpEntry<3>,
    &HtmlHelpEntry<4>, &HtmlHelpEntry<5>, &HtmlHelpEntry<6>, &HtmlHelpEntry<7>};

// The slot of module, or kControlModules when it is not a control module.
size_t SlotOf(HMODULE module) {
  for (size_t slot = 0; slot < kControlModules; ++slot)
    if (reinterpret_cast<const void*>(module) == &g_modules[slot]) return slot;
  return kControlModules;
}

HMODULE NotFound() {
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

}  // namespace

namespace plinth::posix {

bool NamesHtmlHelpControl(const char* fileName) {
  const char* base = fileName;
  for (const char* c = fileName; *c; ++c)
    if (IsSeparator(*c)) base = c + 1;
  return strcasecmp(base, "hhctrl.ocx") == 0;
}

HMODULE LoadHtmlHelpControl(const char* fileName) {
  const std::string registered = RegisteredControlFile();
  if (registered.empty() || (!NamesHtmlHelpControl(fileName) && registered != fileName))
    return NotFound();
  const std::string viewer = NativePath(registered);
  if (!IsProgram(viewer)) return NotFound();
  std::lock_guard<std::mutex> lock(g_lock);
  size_t free = kControlModules;
  for (size_t slot = 0; slot < kControlModules; ++slot) {
    if (g_modules[slot].viewer == viewer) return reinterpret_cast<HMODULE>(&g_modules[slot]);
    if (g_modules[slot].viewer.empty() && free == kControlModules) free = slot;
  }
  if (free == kControlModules) {
    // Eight different viewers in one process: the slots are never given back.
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  g_modules[free].viewer = viewer;
  return reinterpret_cast<HMODULE>(&g_modules[free]);
}

bool IsHtmlHelpControl(HMODULE module) { return SlotOf(module) != kControlModules; }

FARPROC HtmlHelpControlEntry(HMODULE module, LPCSTR procName) {
  const size_t slot = SlotOf(module);
  const bool byOrdinal = IS_INTRESOURCE(procName);
  if (slot != kControlModules &&
      ((byOrdinal && reinterpret_cast<ULONG_PTR>(procName) == PLINTH_HTMLHELPA_ORDINAL) ||
       (!byOrdinal && std::strcmp(procName, "HtmlHelpA") == 0)))
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)(void)>(kEntries[slot]));
  SetLastError(ERROR_PROC_NOT_FOUND);
  return nullptr;
}

}  // namespace plinth::posix
