#pragma once
// CRegVal: one registry value in memory, its type and its data bytes laid out exactly as the
// registry stores them, so that a value read from a key can be inspected, converted and
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
