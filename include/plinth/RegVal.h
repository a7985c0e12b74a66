#pragma once
// CRegVal: one registry value in memory, its type and its data bytes laid out exactly as the
// registry stores them, so that a value read from a key can be examined, converted and
// written back unchanged.
//
//   string family (REG_SZ, REG_EXPAND_SZ, REG_LINK): the bytes and one NUL, size length + 1
//   number family (REG_DWORD, REG_DWORD_BIG_ENDIAN): 4 bytes, little-endian, never swapped
//   bytes (REG_BINARY, REG_RESOURCE_LIST, REG_FULL_RESOURCE_DESCRIPTOR): the bytes; a count
//       of 0 is stored as one zero byte
//   string list (REG_MULTI_SZ): each string and its NUL, then one more NUL; an empty list is
//       two NULs
//
// The value owns its buffer. Its size is 0 exactly when there is no buffer; a buffer is never
// shorter than one byte and is zero-filled when allocated. The type is independent of the
// data: SetType never touches the buffer, and allocating or freeing the buffer keeps the type.
// Pointers from GetRawData and GetValue(const char*&) stay valid until the data is replaced.
//
// A value is copied by assignment only; there is no copy constructor.
//
// Choices made where the behaviour is open:
//  - The buffer comes from the process heap (m_hHeap is GetProcessHeap(); no heap per value).
//    A buffer that cannot be allocated throws CMemoryException*; the value is then left without
//    data and keeps its type. A size beyond 32 bits throws the same way.
//  - A setter releases the old buffer after it has filled the new one, so its input may come
//    from the value's own buffer.
//  - Assigning a value without data leaves the target without data and with the source's type;
//    assigning a value to itself changes nothing.
//  - GetValue(unsigned long&) refuses (false) a number type without data or with fewer than 4
//    bytes; GetFormattedValue then gives "".
//  - GetValue(const char*&) refuses a buffer with no NUL in it (a reader of the pointer would run
//    past its end); without data it gives true and a null pointer, for type 7 too.
//    GetValue(CString&) reads an unterminated string buffer up to the buffer's end.
//  - GetValue(CStringArray&) of type 7 without data gives true and an empty array; a list that
//    is not closed by an empty string ends at the buffer's end, its last item running to there.
//  - The byte getter with a null destination copies nothing and answers false where it would
//    otherwise copy.
//  - SetValue(const char**, count): a null array stores the empty list; a null element counts as
//    an empty string (which ends the list for every reader). SetValue(bytes, count) with null
//    bytes stores count zero bytes.
//  - Text constructor: numbers are read as atol reads them (C-locale white space, one sign,
//    decimal digits) but kept modulo 2^32 on every platform, so "4294967295" reads back as
//    0xFFFFFFFF and "-1" as well; a null text gives 0. For type 7 the text must be a block of
//    NUL-terminated strings closed by an empty string (two NULs at the end, as a literal
//    "a\0b\0" has); a null text gives the empty list.

#include <plinth/Export.h>
#include <plinth/afx/Array.h>
#include <plinth/afx/String.h>
#include <plinth/win32.h>

#include <type_traits>

class CRegistry;

class PLINTH_API CRegVal {
  friend class CRegistry;

  // Windows code passes DWORD where this class takes unsigned long; on LP64 systems the two
  // differ, and these templates take the DWORD without an ambiguity where they are the same.
  template <class T>
  using IfDistinctDword =
      std::enable_if_t<std::is_same<T, DWORD>::value && !std::is_same<DWORD, unsigned long>::value>;

 public:
  CRegVal();
  CRegVal(unsigned long number);
  CRegVal(const char* text);
  CRegVal(unsigned char* const bytes, unsigned long count);
  CRegVal(const CStringArray& strings);
  // From the text form for the given type; see GetFormattedValue.
  CRegVal(const char* text, unsigned long type);
  CRegVal(const CRegVal&) = delete;
  ~CRegVal();

  CRegVal& operator=(CRegVal& source);
  CRegVal& operator=(unsigned long number);
  CRegVal& operator=(const char* text);
  CRegVal& operator=(const CStringArray& strings);

  unsigned long GetType() const;
  void SetType(unsigned long type);
  unsigned long GetSize() const;
  unsigned char* GetRawData();
  const unsigned char* GetRawData() const;

  // Typed getters: true and the output written when the type is accepted, else false and the
  // output untouched.
  bool GetValue(unsigned long& number) const;
  template <class T, class = IfDistinctDword<T>>
  bool GetValue(T& number) const {
    unsigned long wide = 0;
    if (!GetValue(wide)) return false;
    number = static_cast<DWORD>(wide);
    return true;
  }
  bool GetValue(const char*& text) const;
  bool GetValue(CString& text) const;
  // Copies into *bytes; true when the value has no buffer (nothing copied) or when the type is
  // a byte type and count equals GetSize() exactly.
  bool GetValue(unsigned char*& bytes, unsigned long count) const;
  bool GetValue(CStringArray& strings) const;

  void SetValue(unsigned long number);
  void SetValue(const char* text, bool expand);
  void SetValue(const char** strings, unsigned long count);
  void SetValue(unsigned char* const bytes, unsigned long count);
  void SetValue(const CStringArray& strings);

  // One line of text for display or export: strings (quoted when asked), numbers in decimal,
  // bytes as hex:01,ab,ff (hex(8): and hex(9): for the resource types; wrapped after every 16
  // bytes when asked), lists joined with nothing between them, other types empty.
  CString GetFormattedValue(bool quote, bool wrap);
  // Removes the decorations GetFormattedValue adds, for the given type.
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
