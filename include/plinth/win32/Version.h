#pragma once
/// \file
/// The operating-system version record. Included by <plinth/win32.h> on POSIX only.
///
/// GetVersionExA describes the running Linux kernel as a system of the NT family: platform
/// VER_PLATFORM_WIN32_NT, major, minor and build the first three numbers of the kernel release
/// and szCSDVersion the whole release text (uname -r), so "6.1.0-18-amd64" reads 6.1, build 0,
/// "6.1.0-18-amd64". A missing number is 0. The extended record adds service pack 0.0, no suite
/// and VER_NT_WORKSTATION.

/// Platform identifiers (dwPlatformId). POSIX always reports VER_PLATFORM_WIN32_NT.
///@{
#define VER_PLATFORM_WIN32s 0
#define VER_PLATFORM_WIN32_WINDOWS 1
#define VER_PLATFORM_WIN32_NT 2
///@}

/// Product types (wProductType). POSIX always reports VER_NT_WORKSTATION.
///@{
#define VER_NT_WORKSTATION 0x0000001
#define VER_NT_DOMAIN_CONTROLLER 0x0000002
#define VER_NT_SERVER 0x0000003
///@}

/// The version record; dwOSVersionInfoSize must hold its size before GetVersionExA.
typedef struct _OSVERSIONINFOA {
  DWORD dwOSVersionInfoSize;  ///< sizeof(OSVERSIONINFOA), set by the caller.
  DWORD dwMajorVersion;       ///< First number of the kernel release.
  DWORD dwMinorVersion;       ///< Second number of the kernel release.
  DWORD dwBuildNumber;        ///< Third number of the kernel release.
  DWORD dwPlatformId;         ///< VER_PLATFORM_WIN32_NT.
  CHAR szCSDVersion[128];     ///< The whole kernel release text (uname -r), cut to fit.
} OSVERSIONINFOA, *POSVERSIONINFOA, *LPOSVERSIONINFOA;
/// \typedef POSVERSIONINFOA
/// Pointer to an OSVERSIONINFOA.
/// \typedef LPOSVERSIONINFOA
/// Pointer to an OSVERSIONINFOA (or to an OSVERSIONINFOEXA, by its size field).

/// The extended version record: OSVERSIONINFOA and the fields after szCSDVersion.
typedef struct _OSVERSIONINFOEXA {
  DWORD dwOSVersionInfoSize;  ///< sizeof(OSVERSIONINFOEXA), set by the caller.
  DWORD dwMajorVersion;       ///< First number of the kernel release.
  DWORD dwMinorVersion;       ///< Second number of the kernel release.
  DWORD dwBuildNumber;        ///< Third number of the kernel release.
  DWORD dwPlatformId;         ///< VER_PLATFORM_WIN32_NT.
  CHAR szCSDVersion[128];     ///< The whole kernel release text (uname -r), cut to fit.
  WORD wServicePackMajor;     ///< 0.
  WORD wServicePackMinor;     ///< 0.
  WORD wSuiteMask;            ///< 0: no suite.
  BYTE wProductType;          ///< VER_NT_WORKSTATION.
  BYTE wReserved;             ///< 0.
} OSVERSIONINFOEXA, *POSVERSIONINFOEXA, *LPOSVERSIONINFOEXA;
/// \typedef POSVERSIONINFOEXA
/// Pointer to an OSVERSIONINFOEXA.
/// \typedef LPOSVERSIONINFOEXA
/// Pointer to an OSVERSIONINFOEXA.

extern "C" {

/// Fills a version record describing the running kernel (see the file description).
/// dwOSVersionInfoSize must be sizeof(OSVERSIONINFOA) or sizeof(OSVERSIONINFOEXA), else the call
/// fails with ERROR_INSUFFICIENT_BUFFER and changes nothing.
/// \return TRUE; FALSE with ERROR_INSUFFICIENT_BUFFER, ERROR_INVALID_PARAMETER (null info) or
/// ERROR_INVALID_FUNCTION (the kernel cannot be asked).
PLINTH_API BOOL GetVersionExA(LPOSVERSIONINFOA info);

}  // extern "C"
