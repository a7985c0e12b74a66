#pragma once
// The operating-system version record. Included by <plinth/win32.h> on POSIX only.
//
// GetVersionExA describes the running Linux kernel as a system of the NT family: platform
// VER_PLATFORM_WIN32_NT, major, minor and build the first three numbers of the kernel release
// and szCSDVersion the whole release text (uname -r), so "6.1.0-18-amd64" reads 6.1, build 0,
// "6.1.0-18-amd64". A missing number is 0. The extended record adds service pack 0.0, no suite
// and VER_NT_WORKSTATION.

#define VER_PLATFORM_WIN32s 0
#define VER_PLATFORM_WIN32_WINDOWS 1
#define VER_PLATFORM_WIN32_NT 2

#define VER_NT_WORKSTATION 0x0000001
#define VER_NT_DOMAIN_CONTROLLER 0x0000002
#define VER_NT_SERVER 0x0000003

typedef struct _OSVERSIONINFOA {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  CHAR szCSDVersion[128];
} OSVERSIONINFOA, *POSVERSIONINFOA, *LPOSVERSIONINFOA;

typedef struct _OSVERSIONINFOEXA {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  CHAR szCSDVersion[128];
  WORD wServicePackMajor;
  WORD wServicePackMinor;
  WORD wSuiteMask;
  BYTE wProductType;
  BYTE wReserved;
} OSVERSIONINFOEXA, *POSVERSIONINFOEXA, *LPOSVERSIONINFOEXA;

extern "C" {

// dwOSVersionInfoSize must be sizeof(OSVERSIONINFOA) or sizeof(OSVERSIONINFOEXA), else the call
// fails with ERROR_INSUFFICIENT_BUFFER and changes nothing.
PLINTH_API BOOL GetVersionExA(LPOSVERSIONINFOA info);

}  // extern "C"
