#pragma once
/// \file
/// The Win32 API as the library uses it. On Windows this is <windows.h> itself; elsewhere it
/// declares the subset the library calls, implemented by the platform layer (platform/posix).
/// Library code includes this header and nothing operating-system specific.
///
/// This reference shows the POSIX declarations. Every call of the platform layer reports its
/// failure as on Windows: by its result, with a Win32 error code in the calling thread's last
/// error (GetLastError), except the registry calls, which return the code, and the C runtime
/// functions, which set errno. The services are declared by the headers included at the end:
/// <plinth/win32/Processes.h>, <plinth/win32/Registry.h>, <plinth/win32/Files.h>, and so on.

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

/// Scalar types with their Windows widths. On LP64 `unsigned long` and `long` are 64-bit, so
/// values that are 32-bit on Windows (DWORD, LONG, ULONG, HRESULT) use fixed-width types;
/// the pointer-sized ones (UINT_PTR, LONG_PTR, WPARAM, LPARAM, …) follow the pointer. WCHAR is
/// the 32-bit wchar_t of Linux, while OLECHAR, the unit of automation strings, is 16-bit
/// (char16_t). TCHAR is char: the library is built for ANSI text.
///@{
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
///@}

/// Pointer types of the Win32 declarations: LP…STR are NUL-terminated texts (T for TCHAR, W
/// for 32-bit wchar_t), the others pointers to the types above.
///@{
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
///@}

/// The values of BOOL. The calls of the platform layer that return BOOL give exactly one of them.
///@{
#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
///@}

// Handles are opaque pointers, as on 64-bit Windows.
struct HKEY__;
/// A registry key: a predefined key, or one RegOpenKeyExA or RegCreateKeyExA gave.
typedef HKEY__* HKEY;
/// A kernel object: a process, thread or token handle of the platform layer's tables, a search
/// of FindFirstFileA, the process heap, or the current-process pseudo-handle. These are not
/// file descriptors.
typedef void* HANDLE;
struct HWND__;
typedef HWND__* HWND;  ///< A window: here only a record of a viewer program the layer started.
struct HINSTANCE__;
typedef HINSTANCE__* HINSTANCE;  ///< A module instance; ShellExecuteA's result is one by type only.
typedef HINSTANCE HMODULE;       ///< A loaded library (LoadLibraryA).

/// The failure value of FindFirstFileA and the current-process pseudo-handle's value alike,
/// as on Windows ((HANDLE)-1).
#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)

/// Times, as file and registry calls report them: 100-nanosecond intervals since 1 January 1601
/// (UTC), low half first. Times before 1601 read as 0.
struct FILETIME {
  DWORD dwLowDateTime;   ///< Low 32 bits of the count.
  DWORD dwHighDateTime;  ///< High 32 bits of the count.
};
/// Pointers to a FILETIME.
///@{
typedef FILETIME* PFILETIME;
typedef FILETIME* LPFILETIME;
///@}

/// Security of a new object (registry key, process) and whether its handle is inherited. The
/// POSIX layer accepts the record and ignores it: keys take no security, and process creation
/// decides inheritance by its own argument.
struct SECURITY_ATTRIBUTES {
  DWORD nLength;                ///< sizeof(SECURITY_ATTRIBUTES).
  LPVOID lpSecurityDescriptor;  ///< A security descriptor, or null for the default.
  BOOL bInheritHandle;          ///< Whether a child process inherits the new handle.
};
/// Pointers to a SECURITY_ATTRIBUTES.
///@{
typedef SECURITY_ATTRIBUTES* PSECURITY_ATTRIBUTES;
typedef SECURITY_ATTRIBUTES* LPSECURITY_ATTRIBUTES;
///@}

// ---------------------------------------------------------------------------------------------
/// Result codes. HRESULTs are 32-bit and negative on failure; assigned to a `long` they
/// sign-extend, so `hr < 0` tests for failure on every platform. The group holds the common
/// HRESULTs, the success and failure tests, and the macros that build an HRESULT (of a
/// facility, or from a Win32 error code as Windows does: 0 and negative values unchanged).
///@{
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
///@}

/// Win32 error codes (GetLastError, registry results), with the values of Windows. Each
/// service header adds the codes its calls report.
///@{
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
///@}

// ---------------------------------------------------------------------------------------------
// Last-error code, per thread.
extern "C" {
/// The calling thread's last-error code: the Win32 error code of the last call that set one.
/// Calls that succeed leave it alone unless their documentation says otherwise; every thread
/// starts with ERROR_SUCCESS.
PLINTH_API DWORD GetLastError(void);
/// Sets the calling thread's last-error code; any value is kept as given.
PLINTH_API void SetLastError(DWORD code);
}

// ---------------------------------------------------------------------------------------------
// Code pages. The ANSI code page follows the process locale's character set (UTF-8 gives
// 65001, the Japanese, Chinese and Korean double-byte sets give 932, 936, 949 and 950, an
// 8-bit Latin set gives 1252); the "C" locale is taken as UTF-8, the usual text of a Linux
// system.
#define CP_ACP 0       ///< The ANSI code page of the process (GetACP).
#define CP_OEMCP 1     ///< The OEM code page; on POSIX the same as CP_ACP.
#define CP_UTF8 65001  ///< UTF-8.
/// WideCharToMultiByte: no best-fit mapping. Accepted; no best-fit mapping is ever done here.
#define WC_NO_BEST_FIT_CHARS 0x00000400
/// MultiByteToWideChar: fail with ERROR_NO_UNICODE_TRANSLATION on bytes the page does not define.
#define MB_ERR_INVALID_CHARS 0x00000008

extern "C" {
/// The ANSI code page of the process, from the locale's character set at each call: UTF-8 gives
/// 65001, the Japanese, Chinese and Korean double-byte sets give 932, 936, 949 and 950, any
/// other set (an 8-bit Latin one) 1252; the "C" locale and ASCII are taken as UTF-8, the usual
/// text of a Linux system.
PLINTH_API UINT GetACP(void);
/// Converts 32-bit wide text (one code point per wchar_t) to the given code page. Follows the
/// Win32 size protocol: cbMultiByte 0 asks for the size needed; cchWideChar -1 converts up to and
/// including the terminating NUL. Characters the code page cannot hold become the default
/// character ('?'), and *lpUsedDefaultChar is set.
///
/// Known pages: CP_ACP and CP_OEMCP (the ANSI page), UTF-8, 1252, 28591, 20127, 932, 936, 949
/// and 950. Surrogate pairs in the wide text are joined; an invalid code point becomes U+FFFD
/// in UTF-8 and the default character elsewhere. defaultChar (one character of the target
/// page) replaces '?' when given. As on Windows, CP_UTF8 takes neither defaultChar nor
/// usedDefaultChar.
/// \return the bytes written (or needed); 0 with ERROR_INVALID_PARAMETER (unknown page, null
/// or empty input, negative sizes, a null output with a nonzero size, defaultChar or
/// usedDefaultChar with CP_UTF8) or ERROR_INSUFFICIENT_BUFFER.
PLINTH_API int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int cchWideChar,
                                   LPSTR multiByte, int cbMultiByte, LPCSTR defaultChar,
                                   LPBOOL usedDefaultChar);
}

// ---------------------------------------------------------------------------------------------
// Multibyte string functions of the C runtime. They step over double-byte characters of the
// active multibyte code page, so a trail byte is never taken for a character of its own (a
// Shift-JIS trail byte 0x5C is not a backslash). Single-byte behaviour by default.
/// _setmbcp arguments: single-byte, and the OEM, ANSI and locale code pages (on POSIX all three
/// are the process's ANSI page, GetACP).
///@{
#define _MB_CP_SBCS 0
#define _MB_CP_OEM (-2)
#define _MB_CP_ANSI (-3)
#define _MB_CP_LOCALE (-4)
///@}

extern "C" {
/// Selects the multibyte code page: 0 (_MB_CP_SBCS) for single-byte, 932, 936, 949, 950 for the
/// double-byte sets, 65001 and the single-byte Windows code pages as single-byte, _MB_CP_ANSI,
/// _MB_CP_OEM and _MB_CP_LOCALE for the code page of the process locale. Returns 0, or -1 (errno
/// EINVAL) for a code page it does not know, leaving the current one in force.
/// The page is one for the whole process, as in the C runtime.
PLINTH_API int _setmbcp(int codePage);
/// The multibyte code page in force: 0 for a single-byte one, else its number (65001 for UTF-8).
PLINTH_API int _getmbcp(void);
/// Whether the low byte of c is a lead (trail) byte of the page in force (only the low byte
/// counts, so a sign-extended char works). Always 0 under a single-byte page.
///@{
PLINTH_API int _ismbblead(unsigned int c);
PLINTH_API int _ismbbtrail(unsigned int c);
///@}

/// Common rules of the string functions below: a character is one byte, or two when a lead
/// byte of the page in force is followed by one of its trail bytes (a lead byte without a
/// valid trail is a character of its own). Arguments must not be null. Letter case folds only
/// single-byte characters (ASCII always, other bytes by the C locale); double-byte characters
/// compare as they are. None of them sets the last error.
///
/// _mbsstr: the first occurrence of sub that starts on a character boundary; str for an empty
/// sub; null when there is none.
PLINTH_API unsigned char* _mbsstr(const unsigned char* str, const unsigned char* sub);
/// The first (last) character equal to ch (a double-byte character as lead × 256 + trail), or
/// null; a trail byte is never taken for a character. ch 0 finds the terminating NUL.
///@{
PLINTH_API unsigned char* _mbschr(const unsigned char* str, unsigned int ch);
PLINTH_API unsigned char* _mbsrchr(const unsigned char* str, unsigned int ch);
///@}
/// Compare at most count bytes (_mbsnbcmp, _mbsnbicmp without regard to case) or count
/// characters (_mbsnicmp), or the whole texts (_mbsicmp): negative, 0 or positive. A
/// double-byte character cut by the byte count counts as the end of the text.
///@{
PLINTH_API int _mbsnbcmp(const unsigned char* a, const unsigned char* b, size_t count);
PLINTH_API int _mbsnbicmp(const unsigned char* a, const unsigned char* b, size_t count);
PLINTH_API int _mbsnicmp(const unsigned char* a, const unsigned char* b, size_t count);
PLINTH_API int _mbsicmp(const unsigned char* a, const unsigned char* b);
///@}
/// Bytes at the start of str made of characters in (_mbsspn) or not in (_mbscspn) set,
/// character by character.
///@{
PLINTH_API size_t _mbsspn(const unsigned char* str, const unsigned char* set);
PLINTH_API size_t _mbscspn(const unsigned char* str, const unsigned char* set);
///@}
/// Copies whole characters of src, at most count bytes, and fills the rest of the count bytes
/// with NULs; a double-byte character that does not fit is left out rather than cut. dest is
/// not terminated when src fills all count bytes.
PLINTH_API unsigned char* _mbsnbcpy(unsigned char* dest, const unsigned char* src, size_t count);
/// Sets the first count bytes of str (at most up to its NUL) to ch, a single- or double-byte
/// character. Never leaves half a character: a byte that would be cut becomes a blank, as
/// does the NUL half of a double-byte ch.
PLINTH_API unsigned char* _mbsnbset(unsigned char* str, unsigned int ch, size_t count);
/// Lower-case (upper-case) the single-byte characters of str in place; returns str.
///@{
PLINTH_API unsigned char* _mbslwr(unsigned char* str);
PLINTH_API unsigned char* _mbsupr(unsigned char* str);
///@}
/// The character after the one at p (one or two bytes on).
PLINTH_API unsigned char* _mbsinc(const unsigned char* p);
/// Length of str in characters (in bytes under a single-byte page, UTF-8 included).
PLINTH_API size_t _mbslen(const unsigned char* str);
}

// ---------------------------------------------------------------------------------------------
// User interface: the one message box the library may show. Without a desktop the text goes
// to the standard error stream and the call answers IDOK.
/// MessageBoxA types: the OK button and the error and warning icons. Accepted and ignored on
/// POSIX.
///@{
#define MB_OK 0x00000000L
#define MB_ICONERROR 0x00000010L
#define MB_ICONEXCLAMATION 0x00000030L
///@}
#define IDOK 1  ///< MessageBoxA result: OK was pressed (always, on POSIX).

extern "C" {
/// Shows a message. On POSIX the text goes to the standard error stream as one line,
/// "caption: text" ("Error" for a null caption), flushed at once; owner and type are ignored.
/// \return IDOK.
PLINTH_API int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
}

// ---------------------------------------------------------------------------------------------
// Windows Sockets start-up. On POSIX the socket API needs no start-up, so it always succeeds.
/// A WORD of two bytes, lo in the low byte: a sockets version is MAKEWORD(major, minor).
#define MAKEWORD(lo, hi) ((WORD)(((BYTE)(lo)) | (((WORD)((BYTE)(hi))) << 8)))
/// What WSAStartup reports of the sockets library.
struct WSADATA {
  WORD wVersion;               ///< The version the caller will use: the one asked for, at most 2.2.
  WORD wHighVersion;           ///< The highest version there is: 2.2.
  char szDescription[257];     ///< "POSIX sockets".
  char szSystemStatus[129];    ///< "Running".
  unsigned short iMaxSockets;  ///< 0 (no limit reported).
  unsigned short iMaxUdpDg;    ///< 0 (no limit reported).
  char* lpVendorInfo;          ///< Null.
};
typedef WSADATA* LPWSADATA;  ///< Pointer to a WSADATA.

extern "C" {
/// Starts the sockets library; each successful start needs its own WSACleanup. *data (when not
/// null) is filled in even when the version is refused.
/// \return 0; WSAVERNOTSUPPORTED (10092) for a major version 0; WSASYSNOTREADY (10091) only
/// under PLINTH_FAULT_INJECT=WSAStartup. The last error is not set.
PLINTH_API int WSAStartup(WORD versionRequested, LPWSADATA data);
/// Ends one start of the sockets library.
/// \return 0; -1 (SOCKET_ERROR) with the last error WSANOTINITIALISED (10093) when no start is
/// left to match.
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
