#pragma once
/// \file
/// CRegVal: one registry value in memory, with its typed getters and setters and text forms.

#include <plinth/Export.h>
#include <plinth/afx/Array.h>
#include <plinth/afx/String.h>
#include <plinth/win32.h>

#include <type_traits>

class CRegistry;

/// One registry value in memory, its type and its data bytes laid out exactly as the
/// registry stores them, so that a value read from a key can be examined, converted and
/// written back unchanged.
///
/// - string family (REG_SZ, REG_EXPAND_SZ, REG_LINK): the bytes and one NUL, size length + 1
/// - number family (REG_DWORD, REG_DWORD_BIG_ENDIAN): 4 bytes, little-endian, never swapped
/// - bytes (REG_BINARY, REG_RESOURCE_LIST, REG_FULL_RESOURCE_DESCRIPTOR): the bytes; a count
///   of 0 is stored as one zero byte
/// - string list (REG_MULTI_SZ): each string and its NUL, then one more NUL; an empty list is
///   two NULs
///
/// Other types (REG_NONE, 10 and up) belong to no family: such a value can be held, loaded and
/// saved, but no typed getter accepts it.
///
/// The value owns its buffer. Its size is 0 exactly when there is no buffer; a buffer is never
/// shorter than one byte and is zero-filled when allocated. The type is independent of the
/// data: SetType never touches the buffer, and allocating or freeing the buffer keeps the type.
/// Pointers from GetRawData and GetValue(const char*&) stay valid until the data is replaced.
/// A value has no locking: one thread uses it at a time.
///
/// A value is copied by assignment only; there is no copy constructor.
///
/// Choices made where the behaviour is open:
/// - The buffer comes from the process heap (m_hHeap is GetProcessHeap(); no heap per value).
///   A buffer that cannot be allocated throws CMemoryException*; the value is then left without
///   data and keeps its type. A size beyond 32 bits throws the same way.
/// - A setter releases the old buffer after it has filled the new one, so its input may come
///   from the value's own buffer.
/// - Assigning a value without data leaves the target without data and with the source's type;
///   assigning a value to itself changes nothing.
/// - GetValue(unsigned long&) refuses (false) a number type without data or with fewer than 4
///   bytes; GetFormattedValue then gives "".
/// - GetValue(const char*&) refuses a buffer with no NUL in it (a reader of the pointer would run
///   past its end); without data it gives true and a null pointer, for type 7 too.
///   GetValue(CString&) reads an unterminated string buffer up to the buffer's end.
/// - GetValue(CStringArray&) of type 7 without data gives true and an empty array; a list that
///   is not closed by an empty string ends at the buffer's end, its last item running to there.
/// - The byte getter with a null destination copies nothing and answers false where it would
///   otherwise copy.
/// - SetValue(const char**, count): a null array stores the empty list; a null element counts as
///   an empty string (which ends the list for every reader). SetValue(bytes, count) with null
///   bytes stores count zero bytes.
/// - Text constructor: numbers are read as atol reads them (C-locale white space, one sign,
///   decimal digits) but kept modulo 2^32 on every platform, so "4294967295" reads back as
///   0xFFFFFFFF and "-1" as well; a null text gives 0. For type 7 the text must be a block of
///   NUL-terminated strings closed by an empty string (two NULs at the end, as a literal
///   "a\0b\0" has); a null text gives the empty list.
class PLINTH_API CRegVal {
  friend class CRegistry;

  // Windows code passes DWORD where this class takes unsigned long; on LP64 systems the two
  // differ, and these templates take the DWORD without an ambiguity where they are the same.
  template <class T>
  using IfDistinctDword =
      std::enable_if_t<std::is_same<T, DWORD>::value && !std::is_same<DWORD, unsigned long>::value>;

 public:
  /// An empty value: no buffer, size 0, type REG_NONE (0).
  CRegVal();
  /// A REG_DWORD holding number (its low 32 bits).
  CRegVal(unsigned long number);
  /// A REG_SZ holding text; a null text is stored as the empty string.
  CRegVal(const char* text);
  /// A REG_BINARY holding a copy of count bytes (null bytes: count zero bytes; 0: one zero
  /// byte). \throws CMemoryException* when the buffer cannot be allocated.
  CRegVal(unsigned char* const bytes, unsigned long count);
  /// A REG_MULTI_SZ holding the array's strings in index order (empty array: two NULs).
  CRegVal(const CStringArray& strings);
  /// From the text form for the given type; see GetFormattedValue. String types store the text
  /// unchanged as REG_SZ (quotes included); number types read it as decimal into a REG_DWORD;
  /// byte types drop the "hex...:" prefix, commas and backslash line breaks, read hexadecimal pairs
  /// and store them as REG_BINARY (also for types 8 and 9), or leave the value without data
  /// when no byte can be read; type 7 is described above. Any other type (0, 10 and up) gives a
  /// value of that type without data.
  CRegVal(const char* text, unsigned long type);
  /// Not copyable by construction: copy by assignment.
  CRegVal(const CRegVal&) = delete;
  /// Releases the buffer. Not virtual.
  ~CRegVal();

  /// Copies the source's type, size and bytes into a buffer of its own (the source is not
  /// changed, though the parameter is not const).
  CRegVal& operator=(CRegVal& source);
  /// SetValue(number): a REG_DWORD.
  CRegVal& operator=(unsigned long number);
  /// SetValue(text, false): always a REG_SZ.
  CRegVal& operator=(const char* text);
  /// SetValue(strings): a REG_MULTI_SZ.
  CRegVal& operator=(const CStringArray& strings);

  /// The registry type (REG_NONE to REG_FULL_RESOURCE_DESCRIPTOR, or any other number).
  unsigned long GetType() const;
  /// Stores the type alone: the data stays as it is, even where it no longer fits the type.
  void SetType(unsigned long type);
  /// The buffer's size in bytes; 0 exactly when there is no buffer.
  unsigned long GetSize() const;
  /// The buffer, or null for a value without data; valid until the data is replaced.
  ///@{
  unsigned char* GetRawData();
  const unsigned char* GetRawData() const;
  ///@}

  /// The first four bytes read as a little-endian 32-bit number, for REG_DWORD and
  /// REG_DWORD_BIG_ENDIAN alike (never byte-swapped: 00 00 00 01 reads 0x01000000). The DWORD
  /// form takes the DWORD that host code written for Windows passes where, on LP64 systems, it
  /// is not unsigned long. \return true and number written when the type is a number type with
  /// at least 4 bytes; else false and number untouched.
  ///@{
  bool GetValue(unsigned long& number) const;
  template <class T, class = IfDistinctDword<T>>
  bool GetValue(T& number) const {
    unsigned long wide = 0;
    if (!GetValue(wide)) return false;
    number = static_cast<DWORD>(wide);
    return true;
  }
  ///@}
  /// A pointer to the buffer (for type 7, the first string of the list), valid until the data
  /// is replaced. \return true for REG_SZ, REG_EXPAND_SZ, REG_LINK and REG_MULTI_SZ when the
  /// buffer holds a NUL (without data: true and a null pointer); else false, text untouched.
  bool GetValue(const char*& text) const;
  /// The text up to the first NUL (up to the buffer's end when there is none; "" without data).
  /// \return true for REG_SZ, REG_EXPAND_SZ and REG_LINK; else false, text untouched.
  bool GetValue(CString& text) const;
  /// Copies the buffer to the caller's buffer bytes points to (the pointer is not changed).
  /// \return true when the value has no buffer (nothing copied, whatever the type), or when the
  /// type is REG_BINARY, REG_RESOURCE_LIST or REG_FULL_RESOURCE_DESCRIPTOR, count equals
  /// GetSize() exactly (a larger count fails too) and bytes is not null; else false.
  bool GetValue(unsigned char*& bytes, unsigned long count) const;
  /// Empties strings, then appends each string of the list in order up to the first empty one
  /// ("a", "", "b" reads back as "a"). \return true for REG_MULTI_SZ; else false, strings
  /// untouched.
  bool GetValue(CStringArray& strings) const;

  /// Stores number as a REG_DWORD of 4 bytes (its low 32 bits).
  void SetValue(unsigned long number);
  /// Stores text and a NUL as REG_EXPAND_SZ when expand is set, else REG_SZ; a null text is
  /// stored as the empty string. \throws CMemoryException* for a text that cannot be held.
  void SetValue(const char* text, bool expand);
  /// Stores the first count strings as a REG_MULTI_SZ, each sized up to its first NUL; a null
  /// array or a count of 0 stores the empty list (two NULs).
  void SetValue(const char** strings, unsigned long count);
  /// Stores a copy of count bytes as REG_BINARY; a count of 0 stores one zero byte, null bytes
  /// store count zero bytes. \throws CMemoryException* when the buffer cannot be allocated.
  void SetValue(unsigned char* const bytes, unsigned long count);
  /// Stores the array's strings in index order as a REG_MULTI_SZ (empty array: two NULs). Each
  /// element takes its full length in the buffer but is copied up to an embedded NUL, leaving
  /// zero bytes behind it.
  void SetValue(const CStringArray& strings);

  /// One line of text for display or export: strings (quoted when asked, nothing escaped),
  /// numbers in unsigned decimal, bytes as hex:01,ab,ff (hex(8): and hex(9): for the resource
  /// types; with wrap, a backslash and a line feed after every 16 bytes, the first line holding
  /// 17), lists joined with nothing between them, other types empty. A byte type without data
  /// gives the prefix alone ("hex:"). \throws CMemoryException* when the text would exceed a
  /// string's limit.
  CString GetFormattedValue(bool quote, bool wrap);
  /// Removes the decorations GetFormattedValue adds, for the given type: for string types every
  /// line feed (removeLineFeeds), then every leading and every trailing double quote
  /// (stripQuotes; the whole run at each end); for byte types every occurrence of the type's
  /// prefix (case-sensitive), then every colon; other types return text unchanged. Double-byte
  /// characters are stepped over whole.
  static CString GetUnformattedValue(CString text, unsigned long type, bool stripQuotes,
                                     bool removeLineFeeds);

 private:
  unsigned char* AllocateDataBuffer(unsigned long size);
  void FreeDataBuffer();

  HANDLE m_hHeap;
  unsigned char* m_pData;
  DWORD m_dwSize;
  DWORD m_dwType;
};
