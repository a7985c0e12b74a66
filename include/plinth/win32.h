#pragma once
// The Win32 API as the library uses it. On Windows this is <windows.h> itself; elsewhere it
// declares the subset the library calls, implemented by the platform layer (platform/posix).
// Library code includes this header and nothing operating-system specific.

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <io.h>
#include <mbctype.h>
#include <mbstring.h>
#include <stdio.h>
#include <stdlib.h>
#else

#include <plinth/Export.h>

#include <cstddef>
#include <cstdint>

// ---------------------------------------------------------------------------------------------
// Scalar types. DWORD and friends keep their Windows widths; on LP64 `unsigned long` and
// `long` are 64-bit, so values that are 32-bit on Windows use the fixed-width names below.
typedef uint32_t DWORD;
typedef uint16_t WORD;
typedef uint8_t BYTE;
typedef int BOOL;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef unsigned int UINT;
typedef int INT;
typedef int64_t LONGLONG;
typedef uint64_t ULONGLONG;
typedef uintptr_t UINT_PTR;
typedef intptr_t INT_PTR;
typedef uintptr_t ULONG_PTR;
typedef intptr_t LONG_PTR;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef size_t SIZE_T;
typedef char CHAR;
typedef char TCHAR;
typedef wchar_t WCHAR;
typedef char16_t OLECHAR;
typedef int32_t HRESULT;
typedef int32_t SCODE;
typedef void VOID;

typedef char* LPSTR;
typedef const char* LPCSTR;
typedef char* LPTSTR;
typedef const char* LPCTSTR;
typedef wchar_t* LPWSTR;
typedef const wchar_t* LPCWSTR;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef BYTE* LPBYTE;
typedef DWORD* LPDWORD;
typedef BOOL* LPBOOL;
typedef LONG* PLONG;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

// Handles are opaque pointers, as on 64-bit Windows.
struct HKEY__;
typedef HKEY__* HKEY;
typedef void* HANDLE;
struct HWND__;
typedef HWND__* HWND;
struct HINSTANCE__;
typedef HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;

#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)

// Times, as file and registry calls report them: 100-nanosecond intervals since 1 January 1601
// (UTC), low half first.
struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};
typedef FILETIME* PFILETIME;
typedef FILETIME* LPFILETIME;

// Security of a new object (registry key, process) and whether its handle is inherited.
struct SECURITY_ATTRIBUTES {
  DWORD nLength;
  LPVOID lpSecurityDescriptor;
  BOOL bInheritHandle;
};
typedef SECURITY_ATTRIBUTES* PSECURITY_ATTRIBUTES;
typedef SECURITY_ATTRIBUTES* LPSECURITY_ATTRIBUTES;

// ---------------------------------------------------------------------------------------------
// Result codes. HRESULTs are 32-bit and negative on failure; assigned to a `long` they
// sign-extend, so `hr < 0` tests for failure on every platform.
#define S_OK ((HRESULT)0)
#define S_FALSE ((HRESULT)1)
#define E_FAIL ((HRESULT)0x80004005L)
#define E_OUTOFMEMORY ((HRESULT)0x8007000EL)
#define E_INVALIDARG ((HRESULT)0x80070057L)
#define E_POINTER ((HRESULT)0x80004003L)
#define E_NOTIMPL ((HRESULT)0x80004001L)
#define FACILITY_ITF 4
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)
#define MAKE_HRESULT(sev, fac, code) \
  ((HRESULT)(((uint32_t)(sev) << 31) | ((uint32_t)(fac) << 16) | ((uint32_t)(code))))
#define HRESULT_FROM_WIN32(x) \
  ((HRESULT)(x) <= 0 ? ((HRESULT)(x)) : ((HRESULT)(((x)&0x0000FFFF) | (7 << 16) | 0x80000000)))

// Win32 error codes (GetLastError, registry results).
#define ERROR_SUCCESS 0L
#define NO_ERROR 0L
#define ERROR_INVALID_FUNCTION 1L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_PATH_NOT_FOUND 3L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_OUTOFMEMORY 14L
#define ERROR_NO_MORE_FILES 18L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_INVALID_NAME 123L
#define ERROR_MORE_DATA 234L
#define ERROR_NO_MORE_ITEMS 259L
#define ERROR_NO_UNICODE_TRANSLATION 1113L

// ---------------------------------------------------------------------------------------------
// Last-error code, per thread.
extern "C" {
PLINTH_API DWORD GetLastError(void);
PLINTH_API void SetLastError(DWORD code);
}

// ---------------------------------------------------------------------------------------------
// Code pages. The ANSI code page follows the process locale's character set (UTF-8 gives
// 65001, the Japanese, Chinese and Korean double-byte sets give 932, 936, 949 and 950, an
// 8-bit Latin set gives 1252); the "C" locale is taken as UTF-8, the usual text of a Linux
// system.
#define CP_ACP 0
#define CP_OEMCP 1
#define CP_UTF8 65001
#define WC_NO_BEST_FIT_CHARS 0x00000400
#define MB_ERR_INVALID_CHARS 0x00000008

extern "C" {
PLINTH_API UINT GetACP(void);
// Converts 32-bit wide text (one code point per wchar_t) to the given code page. Follows the
// Win32 size protocol: cbMultiByte 0 asks for the size needed; cchWideChar -1 converts up to and
// including the terminating NUL. Characters the code page cannot hold become the default
// character ('?'), and *lpUsedDefaultChar is set.
PLINTH_API int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int cchWideChar,
                                   LPSTR multiByte, int cbMultiByte, LPCSTR defaultChar,
                                   LPBOOL usedDefaultChar);
}

// ---------------------------------------------------------------------------------------------
// Multibyte string functions of the C runtime. They step over double-byte characters of the
// active multibyte code page, so a trail byte is never taken for a character of its own (a
// Shift-JIS trail byte 0x5C is not a backslash). Single-byte behaviour by default.
#define _MB_CP_SBCS 0
#define _MB_CP_OEM (-2)
#define _MB_CP_ANSI (-3)
#define _MB_CP_LOCALE (-4)

extern "C" {
// Selects the multibyte code page: 0 (_MB_CP_SBCS) for single-byte, 932, 936, 949, 950 for the
// double-byte sets, 65001 and the single-byte Windows code pages as single-byte, _MB_CP_ANSI,
// _MB_CP_OEM and _MB_CP_LOCALE for the code page of the process locale. Returns 0, or -1 (errno
// EINVAL) for a code page it does not know, leaving the current one in force.
PLINTH_API int _setmbcp(int codePage);
// The multibyte code page in force: 0 for a single-byte one, else its number (65001 for UTF-8).
PLINTH_API int _getmbcp(void);
// Whether the low byte of c is a lead (trail) byte of the page in force.
PLINTH_API int _ismbblead(unsigned int c);
PLINTH_API int _ismbbtrail(unsigned int c);

PLINTH_API unsigned char* _mbsstr(const unsigned char* str, const unsigned char* sub);
PLINTH_API unsigned char* _mbschr(const unsigned char* str, unsigned int ch);
PLINTH_API unsigned char* _mbsrchr(const unsigned char* str, unsigned int ch);
PLINTH_API int _mbsnbcmp(const unsigned char* a, const unsigned char* b, size_t count);
PLINTH_API int _mbsnbicmp(const unsigned char* a, const unsigned char* b, size_t count);
PLINTH_API int _mbsnicmp(const unsigned char* a, const unsigned char* b, size_t count);
PLINTH_API int _mbsicmp(const unsigned char* a, const unsigned char* b);
PLINTH_API size_t _mbsspn(const unsigned char* str, const unsigned char* set);
PLINTH_API size_t _mbscspn(const unsigned char* str, const unsigned char* set);
PLINTH_API unsigned char* _mbsnbcpy(unsigned char* dest, const unsigned char* src, size_t count);
PLINTH_API unsigned char* _mbsnbset(unsigned char* str, unsigned int ch, size_t count);
PLINTH_API unsigned char* _mbslwr(unsigned char* str);
PLINTH_API unsigned char* _mbsupr(unsigned char* str);
PLINTH_API unsigned char* _mbsinc(const unsigned char* p);
PLINTH_API size_t _mbslen(const unsigned char* str);
}

// ---------------------------------------------------------------------------------------------
// User interface: the one message box the library may show. Without a desktop the text goes
// to the standard error stream and the call answers IDOK.
#define MB_OK 0x00000000L
#define MB_ICONERROR 0x00000010L
#define MB_ICONEXCLAMATION 0x00000030L
#define IDOK 1

extern "C" {
PLINTH_API int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
}

// ---------------------------------------------------------------------------------------------
// Windows Sockets start-up. On POSIX the socket API needs no start-up, so it always succeeds.
#define MAKEWORD(lo, hi) ((WORD)(((BYTE)(lo)) | (((WORD)((BYTE)(hi))) << 8)))
struct WSADATA {
  WORD wVersion;
  WORD wHighVersion;
  char szDescription[257];
  char szSystemStatus[129];
  unsigned short iMaxSockets;
  unsigned short iMaxUdpDg;
  char* lpVendorInfo;
};
typedef WSADATA* LPWSADATA;

extern "C" {
PLINTH_API int WSAStartup(WORD versionRequested, LPWSADATA data);
PLINTH_API int WSACleanup(void);
}

#include <plinth/win32/Automation.h>
#include <plinth/win32/Environment.h>
#include <plinth/win32/Files.h>
#include <plinth/win32/Memory.h>
#include <plinth/win32/Modules.h>
#include <plinth/win32/Power.h>
#include <plinth/win32/Processes.h>
#include <plinth/win32/Registry.h>
#include <plinth/win32/Security.h>
#include <plinth/win32/Shell.h>
#include <plinth/win32/Tokens.h>
#include <plinth/win32/UserInterface.h>
#include <plinth/win32/Version.h>

#endif  // !_WIN32
