#pragma once
/// \file
/// CKaBstr: an automation string (BSTR) with conversions, byte-wise access, trims and paths.

#include <plinth/Export.h>
#include <plinth/afx/ComBSTR.h>
#include <plinth/win32.h>

#include <type_traits>

/// An automation string (BSTR, 16-bit code units) with construction from byte and wide
/// text, lengths and GUIDs, a case-insensitive comparison, byte-wise access to the code units,
/// trimming of spaces and joining of path texts. It adds a virtual destructor and no data to
/// ATL::CComBSTR.
///
/// The byte-wise members (GetAt, SetAt, the trims, ConcatenatePath's backslash tests) look only
/// at the low 8 bits of a code unit: 0x20 there is a space, 0x5C a backslash.
///
/// Wide text: wchar_t is 16-bit UTF-16 on Windows and a 32-bit code point elsewhere, where it is
/// converted (a code point above U+FFFF becomes a surrogate pair, one that is no character
/// U+FFFD). The char16_t forms take UTF-16 on every platform: CKaBstr(u"C:\\dir").
///
/// Choices made where the behaviour is open:
/// - GetAt and SetAt with a negative position read 0 and change nothing.
/// - CKaBstr(int, const wchar_t*) with 32-bit wchar_t takes n wchar_t, which may give more code
///   units than n: CKaBstr(1, L"\U0001F600") has length 2.
/// - CKaBstr(int, const char*) with any negative n converts up to the NUL, as n = -1 does.
/// - CompareNoCase folds A-Z to a-z only, and stops at an embedded NUL.
/// - ConcatenatePath with the object itself as other appends the text as it was before.
///
/// Allocation failures, and a byte conversion that fails, throw CMemoryException*; the trims
/// never throw (the object becomes null when their allocation fails).
class PLINTH_API CKaBstr : public ATL::CComBSTR {
 public:
  /// A null string (Length() 0, m_str null).
  CKaBstr() noexcept;
  /// n != 0: n code units of undefined content (zeros here); 0: null.
  /// \throws CMemoryException* for a negative n or when the string cannot be allocated.
  explicit CKaBstr(int n);
  /// n != 0: the first n units of text (undefined content when text is null); 0: null.
  CKaBstr(int n, const wchar_t* text);
  /// A copy of text up to its NUL; null stays null.
  CKaBstr(const wchar_t* text);
  /// "{00000000-0000-0000-0000-000000000000}": braces, hyphens, uppercase digits.
  explicit CKaBstr(const GUID& guid);
  /// text in the thread's ANSI code page, up to its NUL; null stays null, "" is an allocated
  /// empty string.
  CKaBstr(const char* text);
  /// n != 0: the first n bytes of text converted (n = -1: up to the NUL), or n units of undefined
  /// content when text is null; 0: null. CKaBstr(3, "abcdef") is "abc".
  CKaBstr(int n, const char* text);
  /// Exact byte copies: same byte length, embedded NULs kept; null stays null.
  ///@{
  CKaBstr(const ATL::CComBSTR& other);
  CKaBstr(const CKaBstr& other);
  ///@}

  /// UTF-16 text on every platform, as the wchar_t forms above take it (n units, or up to the
  /// NUL). Templates, so that a null pointer constant still picks the wchar_t form instead of
  /// being ambiguous.
  ///@{
  template <class Char, class = std::enable_if_t<std::is_same<Char, char16_t>::value>>
  CKaBstr(int n, const Char* text) : CKaBstr() {
    AssignCount(n, reinterpret_cast<const OLECHAR*>(text));
  }
  template <class Char, class = std::enable_if_t<std::is_same<Char, char16_t>::value>>
  CKaBstr(const Char* text) : CKaBstr() {
    AssignTerminated(reinterpret_cast<const OLECHAR*>(text));
  }
  ///@}

  /// Frees the own string and copies other's bytes, unless both hold the same pointer.
  CKaBstr& operator=(const CKaBstr& other);
  /// Frees the string.
  virtual ~CKaBstr();

  /// Compares without regard to case (A-Z only), up to an embedded NUL.
  /// \return 0 when both are null, 1 when exactly one is, else _wcsicmp's negative, 0 or
  /// positive: 'Abc' against 'aBC' is 0. An empty string and a null one differ (1).
  ///@{
  int CompareNoCase(const wchar_t* text) const;
  template <class Char, class = std::enable_if_t<std::is_same<Char, char16_t>::value>>
  int CompareNoCase(const Char* text) const {
    return CompareUnits(reinterpret_cast<const OLECHAR*>(text));
  }
  ///@}

  /// The low 8 bits of code unit i; 0 outside the string.
  char GetAt(int i) const;
  /// Replaces the low 8 bits of code unit i and keeps the high ones; nothing outside.
  void SetAt(int i, char ch);
  /// Remove leading / trailing spaces (code units whose low 8 bits are 0x20); a null string
  /// becomes an allocated empty one. Never throws: when the allocation fails the object becomes
  /// null.
  ///@{
  void TrimLeft();
  void TrimRight();
  ///@}
  /// Appends other with exactly one backslash at the seam: 'C:\\dir\\' + '\\file' is
  /// 'C:\\dir\\file', and a backslash at the end takes the spaces before it along:
  /// 'C:\\dir  \\' + 'x' is 'C:\\dir\\x'. An empty other changes nothing. On failure the object
  /// keeps its string and CMemoryException* (E_OUTOFMEMORY) or COleException* is thrown.
  void ConcatenatePath(const CKaBstr& other);

 private:
  // n units of text (zeros for a null text); 0 gives null, a negative n throws.
  void AssignCount(int n, const OLECHAR* text);
  // text up to its NUL; null gives null.
  void AssignTerminated(const OLECHAR* text);
  int CompareUnits(const OLECHAR* text) const;
  // Replaces the string by the units [first, first + count) of the current one; null when
  // that allocation fails.
  void KeepUnits(unsigned int first, unsigned int count);
  void Concatenate(BSTR tail);
};
