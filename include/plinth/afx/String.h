#pragma once
/// \file
/// CString, the framework's byte string, and its comparison operators.

#include <plinth/Export.h>
#include <plinth/win32.h>

#include <cstdarg>

/// The framework's byte string: text in the process's ANSI (multibyte) code page, counted,
/// always followed by a NUL, with value semantics.
///
/// Copies share one reference-counted buffer until one of them changes (copy on write); the
/// count is atomic, so copies may live on several threads (each object is still used by one
/// thread at a time).
///
/// The object is exactly one pointer, to the first byte of the text; the buffer's bookkeeping
/// sits just before it. Derived classes add no data (CKaString relies on this).
///
/// Positions, lengths and counts are byte counts. Searches, case mapping and character
/// replacement step over double-byte characters of the active multibyte code page (_setmbcp):
/// a trail byte is never taken for a character of its own.
///
/// Errors are thrown by pointer, to be caught as `CException*` and released with `Delete()`:
/// - exhausted memory, or a length that would not fit an int, throws CMemoryException* (any
///   member not marked noexcept that may allocate);
/// - an argument outside what a member accepts throws CInvalidArgException*, as each member
///   states.
///
/// Choices made where the behaviour is open:
/// - Embedded NULs are kept by the members that take a length, by copying, appending,
///   assignment of a char, extraction, Insert/Delete, case mapping, MakeReverse, the Replace
///   and Remove members, trimming, and by `==`/`<` between two CStrings. Members that work on
///   C strings stop at the first NUL: Compare, CompareNoCase, the searches (Find, FindOneOf,
///   ReverseFind), SpanIncluding/SpanExcluding and the comparisons with a `const char*`.
/// - A null `const char*` counts as the empty string wherever a text is read, unless a member
///   says otherwise.
/// - GetString never returns null; an empty string shares one static buffer and allocates
///   nothing.
class PLINTH_API CString {
 public:
  /// An empty string; allocates nothing.
  CString() noexcept;
  /// A copy that shares other's buffer (no allocation, cannot fail).
  CString(const CString& other) noexcept;
  /// Takes other's buffer and leaves other empty.
  CString(CString&& other) noexcept;
  /// The bytes of text up to its NUL; a null text gives an empty string.
  CString(const char* text);
  /// The first length bytes of text (may hold NULs); a null text with length 0 is empty.
  /// \throws CInvalidArgException* when length is negative, or text is null and length > 0.
  CString(const char* text, int length);
  /// ch repeated repeat times (ch may be NUL); repeat <= 0 gives an empty string.
  CString(char ch, int repeat = 1);
  /// The bytes of text up to their NUL; a null text gives an empty string.
  CString(const unsigned char* text);
  /// text up to its NUL, converted to the ANSI code page (WideCharToMultiByte, CP_ACP).
  /// Characters the code page lacks become its default character ("?"); a null text, or one
  /// that cannot be converted, gives an empty string.
  CString(const wchar_t* text);
  /// The first length code units of text (NULs included), converted to the ANSI code page as
  /// CString(const wchar_t*) does. A null text or a length of 0 gives an empty string.
  /// \throws CInvalidArgException* when length is negative.
  CString(const wchar_t* text, int length);
  /// Releases this string's share of the buffer.
  ~CString();

  /// Shares other's buffer (no allocation, cannot fail).
  CString& operator=(const CString& other) noexcept;
  /// Takes other's buffer and leaves other empty; self-assignment changes nothing.
  CString& operator=(CString&& other) noexcept;
  /// The bytes of text up to its NUL; null empties the string. text may point into this
  /// string.
  CString& operator=(const char* text);
  /// The one byte ch; a NUL gives a string of length 1 holding a NUL, not an empty string.
  CString& operator=(char ch);
  /// The bytes of text up to their NUL; null empties the string.
  CString& operator=(const unsigned char* text);
  /// text converted to the ANSI code page, as CString(const wchar_t*); null, or text that
  /// cannot be converted, empties the string.
  CString& operator=(const wchar_t* text);

  // --- size and access ------------------------------------------------------------------
  /// The number of bytes, without the terminating NUL (embedded NULs counted).
  int GetLength() const noexcept;
  /// Whether the length is 0.
  bool IsEmpty() const noexcept;
  /// Makes the string empty and releases its share of the buffer.
  void Empty() noexcept;
  /// The bytes with their terminating NUL; never null. Valid until the string changes or dies.
  const char* GetString() const noexcept;
  /// The same pointer as GetString(): never null, valid until the string changes or dies.
  operator const char*() const noexcept { return m_pszData; }
  /// The byte at index, for 0 <= index <= length (index length gives the NUL).
  /// \throws CInvalidArgException* for an index outside that range.
  ///@{
  char GetAt(int index) const;
  char operator[](int index) const { return GetAt(index); }
  ///@}
  /// Replaces the byte at 0 <= index < length (ch may be NUL: the length stays the same);
  /// copy on write happens here.
  /// \throws CInvalidArgException* for an index outside that range.
  void SetAt(int index, char ch);

  // --- buffer ---------------------------------------------------------------------------
  /// A writable buffer of at least minLength + 1 bytes holding the current text and its NUL;
  /// copy on write happens here. A negative minLength counts as 0. Bytes past the text are
  /// unset. The buffer is this string's alone only until the string is copied: fill it, then
  /// call ReleaseBuffer before copying the string. GetBuffer() is GetBuffer(0).
  ///@{
  char* GetBuffer(int minLength);
  char* GetBuffer();
  ///@}
  /// Sets the length to newLength (any negative value: up to the first NUL of the buffer, or
  /// the whole buffer when it holds none) and writes a NUL there. Call it after writing into
  /// the buffer of GetBuffer; a buffer shared since then is first copied.
  /// \throws CInvalidArgException* when newLength exceeds the buffer's size (for an empty
  ///         string that holds no buffer of its own, any newLength above 0).
  void ReleaseBuffer(int newLength = -1);
  /// GetBuffer(length) followed by ReleaseBuffer(length): the length becomes length, and the
  /// bytes beyond the old text are unset until the caller writes them.
  /// \return the writable buffer.
  /// \throws CInvalidArgException* when length is negative.
  char* GetBufferSetLength(int length);
  /// Makes room for length bytes so that growing up to that length does not allocate again;
  /// the text is unchanged (a negative length counts as 0).
  void Preallocate(int length);
  /// Shrinks the buffer to the text. An empty string goes back to the shared empty buffer; a
  /// buffer shared with copies is left as it is.
  void FreeExtra();
  /// Replaces the text with text up to its NUL; null empties the string.
  /// text may point into this string.
  void SetString(const char* text);
  /// Replaces the text with the first length bytes of text (may hold NULs and point into this
  /// string); length 0 empties the string.
  /// \throws CInvalidArgException* when length is negative, or text is null and length > 0.
  void SetString(const char* text, int length);

  // --- appending ------------------------------------------------------------------------
  /// Appends the whole of text, embedded NULs included. Appending to an empty string shares
  /// text's buffer.
  CString& operator+=(const CString& text);
  /// Appends text up to its NUL; null appends nothing.
  CString& operator+=(const char* text);
  /// Appends the byte ch (a NUL too, which then becomes part of the text).
  CString& operator+=(char ch);
  /// Appends the bytes of text up to their NUL; null appends nothing.
  CString& operator+=(const unsigned char* text);
  /// Appends the first length bytes of text (may hold NULs and point into this string).
  /// \throws CInvalidArgException* when length is negative, or text is null and length > 0.
  void Append(const char* text, int length);
  /// Appends the whole of text, embedded NULs included.
  void Append(const CString& text);
  /// Appends the byte ch (a NUL too, which then becomes part of the text).
  void AppendChar(char ch);

  /// The concatenation of a and b, as a new string. A CString operand contributes all its
  /// bytes, a `const char*` its bytes up to the NUL (null counts as empty), a char its one byte
  /// (a NUL too).
  ///@{
  friend PLINTH_API CString operator+(const CString& a, const CString& b);
  friend PLINTH_API CString operator+(const CString& a, const char* b);
  friend PLINTH_API CString operator+(const char* a, const CString& b);
  friend PLINTH_API CString operator+(const CString& a, char b);
  friend PLINTH_API CString operator+(char a, const CString& b);
  ///@}

  // --- comparison (bytes, up to the first NUL, as strcmp) ---------------------------------
  /// Compares with text byte by byte (as unsigned values) up to the first NUL, as strcmp; a
  /// null text counts as empty.
  /// \return less than 0, 0 or more than 0 as this string sorts before, equal to or after
  ///         text.
  int Compare(const char* text) const;
  /// Compares without regard to case, stepping over double-byte characters (_mbsicmp), up to
  /// the first NUL; a null text counts as empty. Single-byte characters are compared
  /// lower-cased; double-byte characters by their code.
  /// \return less than 0, 0 or more than 0, as Compare.
  int CompareNoCase(const char* text) const;

  // --- extraction -----------------------------------------------------------------------
  /// The count bytes from position first (Mid(first): from first to the end). A negative
  /// first or count counts as 0; a count past the end is cut at the end; a first beyond the
  /// end gives an empty string. Embedded NULs are kept.
  ///@{
  CString Mid(int first) const;
  CString Mid(int first, int count) const;
  ///@}
  /// The first/last count bytes; all of it when count >= length, empty when count <= 0.
  ///@{
  CString Left(int count) const;
  CString Right(int count) const;
  ///@}
  /// The leading characters that are all in charSet (a double-byte character matches only
  /// the same double-byte character), up to the first NUL; a null charSet gives an empty
  /// string.
  CString SpanIncluding(const char* charSet) const;
  /// The leading characters up to the first one in charSet, or up to the first NUL; a null
  /// charSet gives the whole string (embedded NULs included).
  CString SpanExcluding(const char* charSet) const;

  // --- changing in place ----------------------------------------------------------------
  /// Upper-cases/lower-cases single-byte characters in place by the multibyte-aware rule of
  /// the current code page (_mbsupr/_mbslwr: ASCII letters always, other single bytes as the
  /// runtime maps them); double-byte characters and the byte length are unchanged. Text
  /// after embedded NULs is mapped too.
  /// \return this string.
  ///@{
  CString& MakeUpper();
  CString& MakeLower();
  ///@}
  /// Reverses the order of the characters: a double-byte character keeps its lead byte
  /// first. Embedded NULs are characters like any other.
  /// \return this string.
  CString& MakeReverse();
  /// Replaces every non-overlapping oldText, scanning left to right (also past embedded
  /// NULs); an occurrence counts only where it starts on a character, never on a trail byte.
  /// A null or empty oldText replaces nothing; a null newText counts as empty.
  /// \return the number of occurrences replaced.
  int Replace(const char* oldText, const char* newText);
  /// Replaces every single-byte oldChar by newChar (double-byte characters stepped over
  /// whole; NULs count as bytes like any other).
  /// \return the number replaced; 0, with nothing changed, when oldChar equals newChar.
  int Replace(char oldChar, char newChar);
  /// Removes every single-byte ch (double-byte characters stepped over whole; ch may be
  /// NUL, which removes the embedded NULs).
  /// \return the number of bytes removed.
  int Remove(char ch);
  /// Inserts ch (may be NUL) before index, clamped to 0..length.
  /// \return the new length.
  int Insert(int index, char ch);
  /// Inserts text up to its NUL before index, clamped to 0..length; text may point into this
  /// string. A null or empty text changes nothing.
  /// \return the new length.
  int Insert(int index, const char* text);
  /// Removes count bytes from index: a negative index counts as 0, a count past the end is
  /// cut at the end; count <= 0 or index >= length changes nothing.
  /// \return the new length.
  int Delete(int index, int count = 1);
  /// Removes leading and trailing (Trim), leading (TrimLeft) or trailing (TrimRight)
  /// characters, walking characters from the front so that a trail byte is never taken for a
  /// target of its own. A NUL is only trimmed when it is a target. What is trimmed:
  /// - no argument: single-byte white space, as isspace classifies it in the C locale in
  ///   force (blank, tab, line feed, vertical tab, form feed, carriage return in "C");
  /// - target: that single-byte character;
  /// - targets: any character of the set (a double-byte character matches only the same
  ///   double-byte character); a null or empty set trims nothing.
  ///
  /// \return this string.
  ///@{
  CString& Trim();
  CString& Trim(char target);
  CString& Trim(const char* targets);
  CString& TrimLeft();
  CString& TrimLeft(char target);
  CString& TrimLeft(const char* targets);
  CString& TrimRight();
  CString& TrimRight(char target);
  CString& TrimRight(const char* targets);
  ///@}

  // --- searching (-1 when absent; the start is clamped to the text) ---------------------
  /// The position of the first single-byte ch at or after start, stepping over double-byte
  /// characters; the search stops at the first NUL. Searching for NUL finds the end (or an
  /// embedded NUL before it). A negative start counts as 0.
  /// \return the position, or -1 when absent or when start is beyond the length.
  int Find(char ch, int start = 0) const;
  /// The position of the first sub at or after start that begins on a character (_mbsstr);
  /// the search stops at the first NUL. An empty sub is found at start. A negative start
  /// counts as 0.
  /// \return the position, or -1 when absent, when sub is null or when start is beyond the
  ///         length.
  int Find(const char* sub, int start = 0) const;
  /// The position of the first character that is in charSet (a double-byte character
  /// matches only the same double-byte character), up to the first NUL.
  /// \return the position, or -1 when there is none or charSet is null or empty.
  int FindOneOf(const char* charSet) const;
  /// The position of the last single-byte ch before the first NUL, stepping over double-byte
  /// characters (_mbsrchr). Searching for NUL finds the first NUL (the end, or an embedded
  /// one).
  /// \return the position, or -1 when absent.
  int ReverseFind(char ch) const;
  /// The next token at or after start, delimited by any character of tokens. Leading
  /// delimiters are skipped, so no empty token comes from adjacent delimiters; an embedded
  /// NUL ends a token as a delimiter does. start then moves past the delimiter that ended the
  /// token (two bytes for a double-byte one), or one byte past the end. Null or empty tokens: the rest of
  /// the text from start is one token, and start moves to the length.
  /// \return the token; at the end (start at or past the length, or only delimiters left) an
  ///         empty string, with start set to -1.
  /// \throws CInvalidArgException* when start is negative on entry.
  CString Tokenize(const char* tokens, int& start) const;

  // --- formatting and resources ---------------------------------------------------------
  /// Replaces the text with format and the arguments formatted as by sprintf (the C
  /// runtime's vsnprintf). The output may be of any length, and the arguments may point into
  /// this string. On failure the text is unchanged.
  /// \throws CInvalidArgException* when format is null, or a wide argument has no multibyte
  ///         form.
  /// \throws CMemoryException* when the output would be longer than an int can count.
  ///@{
  void Format(const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      ;
  void FormatV(const char* format, va_list args);
  ///@}
  /// Appends format and the arguments formatted as by Format, with the same exceptions; on
  /// failure the text is unchanged.
  void AppendFormat(const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      ;
  /// Replaces the text with string resource id from the module chain (AfxFindStringResource:
  /// the current module's first, then the chain's).
  /// \retval TRUE the resource was found and the text replaced.
  /// \retval FALSE there is no such resource; the text is unchanged.
  BOOL LoadString(UINT id);

 private:
  char* m_pszData;
};

/// Equality of two strings over all their bytes, embedded NULs included: equal strings are
/// exactly those with equal lengths and bytes (the maps rely on this).
PLINTH_API bool operator==(const CString& a, const CString& b);
/// Equality with a C string, compared as CString::Compare does: up to the first NUL of each
/// (a CString with an embedded NUL equals the C string of its bytes before that NUL), a null
/// pointer counting as empty.
///@{
PLINTH_API bool operator==(const CString& a, const char* b);
PLINTH_API bool operator==(const char* a, const CString& b);
///@}
/// Inequality of two strings over all their bytes, embedded NULs included.
PLINTH_API bool operator!=(const CString& a, const CString& b);
/// Inequality with a C string, compared up to the first NUL of each as CString::Compare does,
/// a null pointer counting as empty.
///@{
PLINTH_API bool operator!=(const CString& a, const char* b);
PLINTH_API bool operator!=(const char* a, const CString& b);
///@}
/// Order of two strings over all their bytes, embedded NULs included: bytes compared as
/// unsigned values, and a string that is a prefix of the other sorts first.
///@{
PLINTH_API bool operator<(const CString& a, const CString& b);
PLINTH_API bool operator>(const CString& a, const CString& b);
PLINTH_API bool operator<=(const CString& a, const CString& b);
PLINTH_API bool operator>=(const CString& a, const CString& b);
///@}
