// The version record from the kernel release (uname). Linux numbers its releases
// major.minor.patch followed by a distribution suffix; the three numbers become the record's
// major, minor and build, and the whole text its service-pack text.
#include <sys/utsname.h>

#include <plinth/win32.h>

#include <cstring>

namespace {

// Reads a decimal number at *text and moves past it and one following '.'; 0 when none.
DWORD TakeNumber(const char*& text) {
  DWORD value = 0;
  bool any = false;
  while (*text >= '0' && *text <= '9') {
    const DWORD digit = static_cast<DWORD>(*text - '0');
    value = value > (0xFFFFFFFFu - digit) / 10 ? 0xFFFFFFFFu : value * 10 + digit;
    ++text;
    any = true;
  }
  if (any && *text == '.') ++text;
  return value;
}

}  // namespace

extern "C" BOOL GetVersionExA(LPOSVERSIONINFOA info) {
  if (!info) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const DWORD size = info->dwOSVersionInfoSize;
  if (size != sizeof(OSVERSIONINFOA) && size != sizeof(OSVERSIONINFOEXA)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  struct utsname names;
  if (uname(&names) != 0) {
    SetLastError(ERROR_INVALID_FUNCTION);
    return FALSE;
  }
  const char* release = names.release;
  info->dwMajorVersion = TakeNumber(release);
  info->dwMinorVersion = TakeNumber(release);
  info->dwBuildNumber = TakeNumber(release);
  info->dwPlatformId = VER_PLATFORM_WIN32_NT;
  std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
  std::strncpy(info->szCSDVersion, names.release, sizeof info->szCSDVersion - 1);
  if (size == sizeof(OSVERSIONINFOEXA)) {
    OSVERSIONINFOEXA* extended = reinterpret_cast<OSVERSIONINFOEXA*>(info);
    extended->wServicePackMajor = 0;
    extended->wServicePackMinor = 0;
    extended->wSuiteMask = 0;
    extended->wProductType = VER_NT_WORKSTATION;
    extended->wReserved = 0;
  }
  return TRUE;
}
