#pragma once
/// \file
/// CKaString: the library's byte string with editing, searching, field and conversion members.

#include <plinth/Export.h>
#include <plinth/afx/Array.h>
#include <plinth/afx/String.h>

/// The library's byte string. It is a CString (same layout, no data or virtual
/// functions of its own, passed wherever a CString is expected) with editing, searching and
/// replacing members. Positions are 0-based byte positions; -1 means "not found". Searches
/// step over double-byte characters of the active code page, so a trail byte is never taken
/// for the byte or text sought. A buffer that cannot grow throws CMemoryException*.
///
/// Choices made where the behaviour is open:
/// - Delete, Insert and Replace(int, int, const char*) treat a negative index as 0.
/// - Find and FindNoCase answer -1 for a start below 0 or beyond the length.
/// - An empty (or null) search text is found at the start position, in every code page.
/// - FindReplace / FindReplaceNoCase with an empty or null find text make one replacement at
///   position 0 (the replacement is inserted in front) and return 1, whether or not all is set:
///   there is nothing after the first match to look for.
/// - An empty entry of finds that has a partner never matches (the pass would insert the
///   partner at the same place for ever). One without a partner stands wherever no earlier
///   entry does, so it raises CInvalidArgException there: finds {"x", ""} with replacements
///   {"y"} turn 'xa' into 'ya' and then raise.
/// - A null replacement text counts as empty.
/// - CompareNoCaseN with a negative count compares without a limit.
/// - The no-case members fold A-Z to a-z; other bytes fold by the C library's tolower in the
///   current locale, except trail bytes of double-byte characters, which never change.
class PLINTH_API CKaString : public CString {
 public:
  /// The constructors of CString: empty; a copy; NUL-terminated bytes (null: empty); the first
  /// length bytes of text; ch repeated repeat times; unsigned bytes; a wide text converted to
  /// the process's code page.
  ///@{
  CKaString();
  CKaString(const CKaString& other);
  CKaString(const CString& other);
  CKaString(const char* text);
  CKaString(const char* text, int length);
  CKaString(char ch, int repeat);
  CKaString(const unsigned char* text);
  CKaString(const wchar_t* text);
  ///@}
  /// The library's (or the resource chain's) string resource id; empty when there is none (no
  /// error is reported).
  explicit CKaString(unsigned int id);
  /// Copies other (buffers are shared until one side changes). \return the object.
  CKaString& operator=(const CKaString& other);
  /// The base's assignments (from a char, a wide text, ...) would otherwise be hidden.
  using CString::operator=;

  // --- editing: each returns the object -------------------------------------------------
  /// Removes count bytes from index; a negative or too large count removes to the end; an index
  /// at or past the end changes nothing, a negative one counts as 0. \return the object.
  CKaString& Delete(int index, int count);
  /// Inserts text before index (a negative index counts as 0); at the end it appends, past the
  /// end the gap is filled with spaces. Empty or null text and the NUL character insert
  /// nothing. \return the object.
  ///@{
  CKaString& Insert(int index, const char* text);
  CKaString& Insert(int index, char ch);
  ///@}
  /// Delete(index, count), then Insert(index, text): Replace(1, 2, "Z") on "abcd" gives "aZd".
  /// \return the object.
  CKaString& Replace(int index, int count, const char* text);
  /// LoadString(id); on failure the text is unchanged and nothing is reported.
  /// \return the object.
  CKaString& LoadResourceString(unsigned int id);

  // --- replacing: each returns the number of replacements -------------------------------
  /// CString's Replace: every non-overlapping oldText, left to right (an empty or null oldText
  /// replaces nothing; a null newText counts as empty), or every single-byte oldChar (0 when
  /// oldChar equals newChar). \return the number of replacements.
  ///@{
  int Replace(const char* oldText, const char* newText);
  int Replace(char oldChar, char newChar);
  ///@}
  /// Replaces find (the first occurrence, or all of them) scanning left to right; replacement
  /// text is never searched again ("a" by "aa" in "aXa" gives "aaXaa", 2). Searching stops at
  /// the first NUL byte of the text. \return the number of replacements (0 when find is absent).
  int FindReplace(const char* find, const char* replacement, bool all);
  /// As FindReplace, matching without regard to case: the same occurrences a left-to-right scan
  /// of the unchanged text finds ("AB" by "x" in "abAbaB" gives "xxx", 3).
  /// \return the number of replacements.
  int FindReplaceNoCase(const char* find, const char* replacement, bool all);
  /// One left-to-right pass: at each position the first entry of finds, in array order, whose
  /// bytes stand there is replaced by the replacement of the same index and the pass goes on
  /// after it; where none stands the pass moves one byte on. First in array order wins, not the
  /// longest: finds {"ab", "abc"} with {"1", "2"} turn "abcab" into "1c1".
  /// Runs in time linear in the text, whatever the number of entries.
  /// \return the number of replacements; 0 for an empty object.
  /// \throws CInvalidArgException* when a matching entry has no partner in replacements; the
  /// replacements made before stay.
  int FindReplaceArray(CStringArray& finds, CStringArray& replacements);

  // --- searching ------------------------------------------------------------------------
  /// The first ch at or after start; the NUL byte is found at the length. \return its position,
  /// or -1 (also for a start below 0 or beyond the length).
  int Find(char ch, int start = 0) const;
  /// The first sub at or after start; an empty or null sub is found at start. Text after an
  /// embedded NUL is not searched. \return its position, or -1 (also for a start below 0 or
  /// beyond the length).
  int Find(const char* sub, int start = 0) const;
  /// As Find, without regard to case: the nearer of ch's lower-case and upper-case forms.
  /// \return its position, or -1.
  int FindNoCase(char ch, int start = 0) const;
  /// As Find, without regard to case. \return its position, or -1.
  int FindNoCase(const char* sub, int start = 0) const;
  /// CString's ReverseFind: the last ch in the whole text. \return its position, or -1.
  int ReverseFind(char ch) const;
  /// The last sub that begins at or before start (-1 or past the end: anywhere; below -1:
  /// nowhere); it may run past start ("bc" with start 1 in "abc" gives 1). Text after an
  /// embedded NUL is not searched. \return its position, or -1, also for an empty or null sub
  /// and an empty text.
  int ReverseFind(const char* sub, int start = -1) const;
  /// As ReverseFind(const char*, int), without regard to case; the char form seeks the one-byte
  /// text ch (NUL: never found). \return its position, or -1.
  ///@{
  int ReverseFindNoCase(const char* sub, int start = -1) const;
  int ReverseFindNoCase(char ch, int start = -1) const;
  ///@}

  /// Compares at most count characters (a double-byte character counts as one) without regard
  /// to case; a null text compares equal to an empty object and before any other.
  /// \return negative, 0 or positive as the object sorts before, equal to or after text.
  int CompareNoCaseN(const char* text, int count) const;

  // --- fields, delimiters and quoting ---------------------------------------------------
  /// Field n of the text cut at every delimiter. The text is a list of fields: "a,b,,c" holds
  /// "a", "b", "" and "c"; runs of delimiters are not merged, and a delimiter at the end is
  /// followed by an empty field. A trail byte of a double-byte character is never taken for a
  /// delimiter. Delimiters are searched for up to the first NUL byte; the last field runs to
  /// the end of the object, embedded NULs included.
  /// - An empty or null delimiter text, and the NUL byte as a delimiter, are never found: the
  ///   whole text is field 0 ("a,b" with "" has GetFieldCount 1 and GetField("", 0) "a,b").
  /// - A negative field number, or one past the last field, gives an empty string.
  ///
  /// \return a new string; the object is not changed.
  ///@{
  CKaString GetField(const char* delimiter, int n);
  CKaString GetField(char delimiter, int n);
  ///@}
  /// The number of fields GetField sees. \return 1 + the number of non-overlapping delimiters;
  /// 1 for an empty object, and for an empty or null delimiter or the NUL byte.
  ///@{
  int GetFieldCount(const char* delimiter);
  int GetFieldCount(char delimiter);
  ///@}
  /// The text between the n-th open delimiter and the close delimiter that follows it
  /// ("[", "]", 1) on "x[a]y[b]" gives "b". The
  /// search for the next open delimiter resumes right after the previous open delimiter, so
  /// a close delimiter equal to the open one also opens the next field, whatever the lengths:
  /// ("[", "]]", 1) on "[[a]]" gives "a". An empty open delimiter is found at once, so every
  /// field is field 0; an empty close delimiter ends each field where it begins.
  /// \return the field without its delimiters; empty for a negative n, or when an open or close
  /// delimiter is missing.
  CKaString GetDelimitedField(const char* open, const char* close, int n);
  /// Whether the first and the last byte are q (a lone q counts; a q in the middle does not
  /// matter). Never true for "" or for q = NUL, so Quote('\\0') and Unquote('\\0') change
  /// nothing.
  bool IsQuoted(char q);
  /// Surrounds the text with q unless IsQuoted(q): "" becomes "##" with '#'. \return the object.
  CKaString& Quote(char q);
  /// Removes the first and the last byte if IsQuoted(q): "#" becomes "". \return the object.
  CKaString& Unquote(char q);
  /// Puts open in front and close at the end, unconditionally ("<abc>" becomes "<<abc>>").
  /// \return the object.
  CKaString& Delimit(const CKaString& open, const CKaString& close);
  /// Turns "a;b;c" into the multi-string a NUL b NUL c NUL NUL in the object's own buffer and
  /// sets the length to that of the first item ("a"); read the items through GetString() before
  /// the object changes again. An empty object gives the empty list (two NULs, length 0); two
  /// adjacent separators leave an empty item, which ends the list for its readers. Separators
  /// are found up to the first NUL byte; with NUL as the
  /// separator the text stays one item: "abc" leaves a b c NUL NUL. A separator byte that is a
  /// lead byte of the double-byte page in force is looked for as _mbschr looks for it.
  /// \return the object.
  CKaString& NullSeparate(char separator);
  /// The text becomes name + " = " + value. \return the object.
  CKaString& CreatePropertyString(const CKaString& name, const CKaString& value);

  // --- conversions and encodings --------------------------------------------------------
  /// Whether every byte is a decimal digit 0-9; true for "".
  bool IsDigit() const;
  /// The sum of the weights of the first two characters of text: a digit weighs its value,
  /// any other byte its value as a signed byte ("7x" gives 7 + 120 = 127). A shorter text sums
  /// what it has: 0 for "".
  static int GetSum(CString text);
  /// Reads the object as hexadecimal byte text and appends the bytes to bytes. First removes
  /// from the object, for good, every separator, then every backslash + line feed, then every
  /// backslash + carriage return; then reads each pair of characters (the last one alone when
  /// the count is odd) as sscanf("%x") would: leading white space, then an optional sign, then
  /// the hexadecimal digits (" f" is 0f, "-1" is ff). A pair without a number appends nothing
  /// and makes the result E_FAIL, but the walk goes on: "zz01" appends 01 and fails.
  /// \return S_OK when every pair was read, and for an empty text; E_FAIL otherwise (the bytes
  /// read stay appended).
  long ConvertToBinary(const CString& separator, CByteArray& bytes);
  /// Two lowercase hexadecimal digits per byte, the separator after every byte but the last,
  /// and backslash + line feed after the separator of every byte whose index is a non-zero
  /// multiple of lineBytes (taken as unsigned; 0 never breaks). {01, ab, ff} with "," and 0
  /// give "01,ab,ff". A size of 0 gives "". \throws CMemoryException* when the text would exceed
  /// the string's limit.
  static CString ConvertBinaryToString(unsigned char* data, unsigned long size,
                                       const CString& separator, int lineBytes);
  /// Shifts each byte after the first by GetSum of the text before it ("abc" gives 61 c3 26);
  /// the result ends at the first NUL byte the shift produces. "" gives "". An obfuscation,
  /// not encryption.
  CString Encode() const;
  /// The inverse of Encode, for texts where neither side holds a NUL byte.
  CString Decode() const;
};
