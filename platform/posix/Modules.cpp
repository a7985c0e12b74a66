// LoadLibraryA and GetProcAddress: built-in stand-ins for the Windows system libraries the
// library loads by name (the HTML Help control among them, see HtmlHelpControl.cpp), dlopen
// for everything else. A built-in module's handle is the address of its table entry, so it can
// never collide with a dlopen handle. Entries are found by name only, except the control's,
// which Windows programs look up by export number.
#include <dlfcn.h>
#include <strings.h>

#include <plinth/win32.h>

#include <cstring>
#include <string>

#include "platform/FaultInjection.h"
#include "platform/posix/HtmlHelpControl.h"

namespace {

// Through the generic function type, which converts to and from any other without a warning.
template <class F>
FARPROC AsProc(F* function) {
  return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)(void)>(function));
}

struct Entry {
  const char* name;
  FARPROC address;
};

struct BuiltinModule {
  const char* name;  // without ".dll"
  const Entry* entries;
  size_t count;
};

const Entry kAdvapi32[] = {
    {"InitiateSystemShutdownExA", AsProc(&InitiateSystemShutdownExA)},
    {"AdjustTokenPrivileges", AsProc(&AdjustTokenPrivileges)},
    {"LookupPrivilegeValueA", AsProc(&LookupPrivilegeValueA)},
    {"OpenProcessToken", AsProc(&OpenProcessToken)},
    {"LookupAccountSidA", AsProc(&LookupAccountSidA)},
    {"GetFileSecurityA", AsProc(&GetFileSecurityA)},
};

const Entry kUser32[] = {
    {"ExitWindowsEx", AsProc(&ExitWindowsEx)},
    {"MessageBoxA", AsProc(&MessageBoxA)},
};

const BuiltinModule kBuiltins[] = {
    {"advapi32", kAdvapi32, sizeof kAdvapi32 / sizeof kAdvapi32[0]},
    {"user32", kUser32, sizeof kUser32 / sizeof kUser32[0]},
};

const BuiltinModule* FindBuiltin(const char* fileName) {
  std::string name(fileName);
  const size_t slash = name.find_last_of("\\/");
  if (slash != std::string::npos) name.erase(0, slash + 1);
  if (name.size() > 4 && strcasecmp(name.c_str() + name.size() - 4, ".dll") == 0)
    name.resize(name.size() - 4);
  for (const BuiltinModule& module : kBuiltins)
    if (strcasecmp(module.name, name.c_str()) == 0) return &module;
  return nullptr;
}

const BuiltinModule* AsBuiltin(HMODULE module) {
  for (const BuiltinModule& builtin : kBuiltins)
    if (reinterpret_cast<const void*>(module) == &builtin) return &builtin;
  return nullptr;
}

}  // namespace

extern "C" {

// fileName: a built-in module's name, the HTML Help control's, or a shared object for dlopen.
// The module, or null with ERROR_MOD_NOT_FOUND.
HMODULE LoadLibraryA(LPCSTR fileName) {
  if (!fileName || !*fileName || plinth::platform::FaultInjected("LoadLibraryA")) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  if (const BuiltinModule* builtin = FindBuiltin(fileName))
    return reinterpret_cast<HMODULE>(const_cast<BuiltinModule*>(builtin));
  if (plinth::posix::NamesHtmlHelpControl(fileName))
    return plinth::posix::LoadHtmlHelpControl(fileName);
  void* handle = dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
  // A viewer program registered as the control's file is no shared object: only the registry
  // tells it apart from a missing library, so it is read only when dlopen has failed.
  if (!handle) return plinth::posix::LoadHtmlHelpControl(fileName);
  return static_cast<HMODULE>(handle);
}

// module: a module LoadLibraryA gave. procName: an entry's name, or an export number (a value
// below 0x10000, never read as text). The entry, or null with ERROR_PROC_NOT_FOUND (or
// ERROR_INVALID_HANDLE for a null module).
FARPROC GetProcAddress(HMODULE module, LPCSTR procName) {
  if (!module || !procName || plinth::platform::FaultInjected("GetProcAddress")) {
    SetLastError(module ? ERROR_PROC_NOT_FOUND : ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (plinth::posix::IsHtmlHelpControl(module))
    return plinth::posix::HtmlHelpControlEntry(module, procName);
  // Neither the other built-in modules nor shared objects have export numbers.
  if (IS_INTRESOURCE(procName)) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  if (const BuiltinModule* builtin = AsBuiltin(module)) {
    for (size_t i = 0; i < builtin->count; ++i)
      if (std::strcmp(builtin->entries[i].name, procName) == 0) return builtin->entries[i].address;
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  void* address = dlsym(module, procName);
  if (!address) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)(void)>(address));
}

// module: a module LoadLibraryA gave. Built-in modules stay; shared objects are closed. FALSE
// with ERROR_INVALID_HANDLE for a null module or one dlclose refuses.
BOOL FreeLibrary(HMODULE module) {
  if (!module) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (AsBuiltin(module) || plinth::posix::IsHtmlHelpControl(module)) return TRUE;
  if (dlclose(module) != 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

}  // extern "C"
