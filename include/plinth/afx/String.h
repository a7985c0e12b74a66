#pragma once
// The framework's byte string: text in the process's ANSI (multibyte) code page, counted, always
// followed by a NUL, with value semantics. Copies share one reference-counted buffer until one
// of them changes (copy on write); the count is atomic, so copies may live on several threads.
//
// The object is exactly one pointer, to the first byte of the text; the buffer's bookkeeping
// sits just before it. Derived classes add no data (CKaString relies on this).
//
// Positions, lengths and counts are byte counts. Searches, case mapping and character
// replacement step over double-byte characters of the active multibyte code page (_setmbcp):
// a trail byte is never taken for a character of its own.
//
// Exhausted memory, or a length that would not fit an int, throws CMemoryException*.

#include <plinth/Export.h>
#include <plinth/win32.h>

#include <cstdarg>

class PLINTH_API CString {
 public:
  CString() noexcept;
  CString(const CString& other) noexcept;
  CString(CString&& other) noexcept;
  CString(const char* text);              // null gives an empty string
  CString(const char* text, int length);  // the first length bytes (may hold NULs)
  CString(char ch, int repeat = 1);       // ch repeated; repeat <= 0 gives empty
  CString(const unsigned char* text);     // the bytes, up to their NUL
  CString(const wchar_t* text);           // converted to the ANSI code page
  CString(const wchar_t* text, int length);
  ~CString();

  CString& operator=(const CString& other) noexcept;
  CString& operator=(CString&& other) noexcept;
  CString& operator=(const char* text);
  CString& operator=(char ch);
  CString& operator=(const unsigned char* text);
  CString& operator=(const wchar_t* text);

  // --- size and access ------------------------------------------------------------------
  int GetLength() const noexcept;
  bool IsEmpty() const noexcept;
  void Empty() noexcept;
  const char* GetString() const noexcept;
  operator const char*() const noexcept { return m_pszData; }
  // The byte at index, for 0 <= index <= length (index length gives the NUL). Outside that
  // range: CInvalidArgException*.
  char GetAt(int index) const;
  char operator[](int index) const { return GetAt(index); }
  // Replaces the byte at 0 <= index < length; CInvalidArgException* outside.
  void SetAt(int index, char ch);

  // --- buffer ---------------------------------------------------------------------------
  // A writable buffer of at least minLength + 1 bytes holding the current text and its NUL;
  // copy on write happens here. A negative minLength counts as 0.
  char* GetBuffer(int minLength);
  char* GetBuffer();
  // Sets the length to newLength (-1: up to the first NUL of the buffer) and writes a NUL there.
  void ReleaseBuffer(int newLength = -1);
  char* GetBufferSetLength(int length);
  void Preallocate(int length);
  void FreeExtra();
  void SetString(const char* text);
  void SetString(const char* text, int length);

  // --- appending ------------------------------------------------------------------------
  CString& operator+=(const CString& text);
  CString& operator+=(const char* text);
  CString& operator+=(char ch);
  CString& operator+=(const unsigned char* text);
  void Append(const char* text, int length);
  void Append(const CString& text);
  void AppendChar(char ch);

  friend PLINTH_API CString operator+(const CString& a, const CString& b);
  friend PLINTH_API CString operator+(const CString& a, const char* b);
  friend PLINTH_API CString operator+(const char* a, const CString& b);
  friend PLINTH_API CString operator+(const CString& a, char b);
  friend PLINTH_API CString operator+(char a, const CString& b);

  // --- comparison (bytes, up to the first NUL, as strcmp) ---------------------------------
  int Compare(const char* text) const;
  // Without regard to case, stepping over double-byte characters (_mbsicmp).
  int CompareNoCase(const char* text) const;

  // --- extraction -----------------------------------------------------------------------
  // A negative first or count counts as 0; a count past the end is cut at the end; a first
  // beyond the end gives an empty string.
  CString Mid(int first) const;
  CString Mid(int first, int count) const;
  // The first/last count bytes; all of it when count >= length, empty when count <= 0.
  CString Left(int count) const;
  CString Right(int count) const;
  CString SpanIncluding(const char* charSet) const;
  CString SpanExcluding(const char* charSet) const;

  // --- changing in place ----------------------------------------------------------------
  CString& MakeUpper();
  CString& MakeLower();
  CString& MakeReverse();
  // Every non-overlapping old, scanning left to right (also past embedded NULs); returns the
  // count. A null or empty old replaces nothing; a null replacement counts as empty.
  int Replace(const char* oldText, const char* newText);
  // Every single-byte oldChar (double-byte characters stepped over whole); 0 when equal.
  int Replace(char oldChar, char newChar);
  int Remove(char ch);
  // Inserts before index (clamped to 0..length); returns the new length.
  int Insert(int index, char ch);
  int Insert(int index, const char* text);
  // Removes count bytes from index (clamped); returns the new length.
  int Delete(int index, int count = 1);
  CString& Trim();
  CString& Trim(char target);
  CString& Trim(const char* targets);
  CString& TrimLeft();
  CString& TrimLeft(char target);
  CString& TrimLeft(const char* targets);
  CString& TrimRight();
  CString& TrimRight(char target);
  CString& TrimRight(const char* targets);

  // --- searching (-1 when absent; the start is clamped to the text) ---------------------
  // Searching for NUL finds the end.
  int Find(char ch, int start = 0) const;
  int Find(const char* sub, int start = 0) const;
  int FindOneOf(const char* charSet) const;
  int ReverseFind(char ch) const;
  // The next token after *start, delimited by any of tokens; start becomes -1 at the end.
  CString Tokenize(const char* tokens, int& start) const;

  // --- formatting and resources ---------------------------------------------------------
  // As sprintf. The output may be of any length.
  void Format(const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      ;
  void FormatV(const char* format, va_list args);
  void AppendFormat(const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      ;
  // Replaces the text with string resource id from the module chain (AfxFindStringResource)
  // and returns TRUE; FALSE, text unchanged, when there is none.
  BOOL LoadString(UINT id);

 private:
  char* m_pszData;
};

PLINTH_API bool operator==(const CString& a, const CString& b);
PLINTH_API bool operator==(const CString& a, const char* b);
PLINTH_API bool operator==(const char* a, const CString& b);
PLINTH_API bool operator!=(const CString& a, const CString& b);
PLINTH_API bool operator!=(const CString& a, const char* b);
PLINTH_API bool operator!=(const char* a, const CString& b);
PLINTH_API bool operator<(const CString& a, const CString& b);
PLINTH_API bool operator>(const CString& a, const CString& b);
PLINTH_API bool operator<=(const CString& a, const CString& b);
PLINTH_API bool operator>=(const CString& a, const CString& b);
