#pragma once
/// \file
/// Automation strings (BSTR), GUID text, the conversion of code-page text to 16-bit code units and
/// the case-insensitive comparison of 16-bit text, as the Windows automation and runtime
/// libraries provide them. Included by <plinth/win32.h> on POSIX only.
///
/// A BSTR points at the first of its 16-bit code units. The four bytes before it hold the byte
/// length (a DWORD, without the terminator) and two NUL bytes follow the last byte, so the text
/// may hold embedded NULs and still reads as a C string up to the first of them. Strings come
/// from the C runtime's heap; release them with SysFreeString only. The BSTR calls report
/// failure by their result alone and do not set the last error.

#include <plinth/Export.h>

#include <cstdint>

typedef OLECHAR* LPOLESTR;         ///< 16-bit text (char16_t code units), NUL-terminated.
typedef const OLECHAR* LPCOLESTR;  ///< Read-only 16-bit text, NUL-terminated.
/// An automation string: points at its first code unit, with the byte length before it (see
/// the file description). Null counts as the empty string in every call here.
typedef OLECHAR* BSTR;
typedef BSTR* LPBSTR;  ///< Where a new BSTR is stored.

/// A globally unique identifier, in the Windows field layout.
struct GUID {
  DWORD Data1;    ///< First 8 hex digits.
  WORD Data2;     ///< Next 4.
  WORD Data3;     ///< Next 4.
  BYTE Data4[8];  ///< The last 16, two bytes and six bytes, in written order.
};
typedef GUID IID;    ///< A GUID naming an interface.
typedef GUID CLSID;  ///< A GUID naming a class.
/// References to a GUID, as the calls take them (C++ references here).
///@{
#define REFGUID const GUID&
#define REFIID const IID&
#define REFCLSID const CLSID&
///@}

/// The code page of the calling thread; on POSIX the process's ANSI code page (GetACP).
#define CP_THREAD_ACP 3

extern "C" {
/// A new string holding text up to its NUL; null for a null text or when out of memory.
PLINTH_API BSTR SysAllocString(const OLECHAR* text);
/// A new string of length code units copied from text; zero-filled when text is null
/// (SysAllocStringLen(nullptr, 0) is an allocated empty string). Null when out of memory or
/// when the length does not fit the 32-bit byte count.
PLINTH_API BSTR SysAllocStringLen(const OLECHAR* text, UINT length);
/// A new string of exactly byteLength bytes from bytes (zero-filled when bytes is null); an odd
/// byte length is kept, and SysStringLen rounds it down.
/// Null when out of memory or when the length does not fit the 32-bit byte count.
PLINTH_API BSTR SysAllocStringByteLen(LPCSTR bytes, UINT byteLength);
/// Length in code units and in bytes; 0 for null. Read from the length prefix, so embedded
/// NULs count.
///@{
PLINTH_API UINT SysStringLen(BSTR text);
PLINTH_API UINT SysStringByteLen(BSTR text);
///@}
/// Frees a string; null is accepted.
PLINTH_API void SysFreeString(BSTR text);
/// *result = left followed by right (a null side counts as empty). S_OK, E_INVALIDARG for a null
/// result pointer, E_OUTOFMEMORY when the string cannot be allocated.
/// Embedded NULs are kept; *result is null after a failure.
PLINTH_API HRESULT VarBstrCat(BSTR left, BSTR right, LPBSTR result);
/// Writes the GUID as {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX} (uppercase) and a NUL; returns 39,
/// or 0 when buffer holds fewer than 39 code units.
/// A null buffer also gives 0. Sets no last error.
PLINTH_API int StringFromGUID2(REFGUID guid, LPOLESTR buffer, int bufferLength);
/// Converts code-page text to UTF-16 code units, as Windows does: the wide side is 16-bit here
/// too (unlike WideCharToMultiByte, which reads 32-bit wchar_t). cbMultiByte -1 converts up to
/// and including the NUL; cchWideChar 0 asks for the count needed. Known pages: UTF-8, 1252,
/// 28591, 20127 and the double-byte 932, 936, 949, 950. A byte sequence the page does not
/// define becomes U+FFFD, or fails with ERROR_NO_UNICODE_TRANSLATION under MB_ERR_INVALID_CHARS.
/// Errors: ERROR_INVALID_PARAMETER, ERROR_INSUFFICIENT_BUFFER, ERROR_NOT_ENOUGH_MEMORY.
///
/// CP_ACP, CP_OEMCP and CP_THREAD_ACP mean the ANSI page (GetACP). Only UTF-8 and the
/// double-byte pages have undefined sequences: as on Windows, 1252 reads its five undefined
/// bytes as the C1 code points and 20127 drops the high bit. ERROR_INVALID_PARAMETER covers an
/// unknown page, null or empty input (cbMultiByte 0), sizes below -1 (input) or 0 (output),
/// and a null output with a nonzero count.
/// \return the number of code units written (or needed), or 0 with the last error set.
PLINTH_API int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByte, int cbMultiByte,
                                   LPOLESTR wide, int cchWideChar);
/// Compares two NUL-terminated 16-bit texts with A-Z folded to a-z (the "C" locale), code unit
/// by code unit: negative, 0 or positive.
/// Other letters are compared as they are. Neither text may be null.
PLINTH_API int _wcsicmp(const OLECHAR* a, const OLECHAR* b);
}
