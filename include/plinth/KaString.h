#pragma once
// CKaString: the library's byte string. It is a CString (same layout, no data or virtual
// functions of its own, passed wherever a CString is expected) with editing, searching and
// replacing members. Positions are 0-based byte positions; -1 means "not found".
//
// Choices made where the behaviour is open:
//  - Delete, Insert and Replace(int, int, const char*) treat a negative index as 0.
//  - Find and FindNoCase answer -1 for a start below 0 or beyond the length.
//  - An empty (or null) search text is found at the start position, in every code page.
//  - FindReplace / FindReplaceNoCase with an empty or null find text make one replacement at
//    position 0 (the replacement is inserted in front) and return 1, whether or not all is set:
//    there is nothing after the first match to look for.
//  - An empty entry of finds that has a partner never matches (the pass would insert the
//    partner at the same place for ever). One without a partner stands wherever no earlier
//    entry does, so it raises CInvalidArgException there: finds {"x", ""} with replacements
//    {"y"} turn 'xa' into 'ya' and then raise.
//  - A null replacement text counts as empty.
//  - CompareNoCaseN with a negative count compares without a limit.
//  - The no-case members fold A-Z to a-z; other bytes fold by the C library's tolower in the
//    current locale, except trail bytes of double-byte characters, which never change.

#include <plinth/Export.h>
#include <plinth/afx/Array.h>
#include <plinth/afx/String.h>

class PLINTH_API CKaString : public CString {
 public:
  CKaString();
  CKaString(const CKaString& other);
  CKaString(const CString& other);
  CKaString(const char* text);
  CKaString(const char* text, int length);
  CKaString(char ch, int repeat);
  CKaString(const unsigned char* text);
  CKaString(const wchar_t* text);
  // The library's (or the resource chain's) string resource id; empty when there is none.
  explicit CKaString(unsigned int id);
  CKaString& operator=(const CKaString& other);
  // The base's assignments (from a char, a wide text, ...) would otherwise be hidden.
  using CString::operator=;

  // --- editing: each returns the object -------------------------------------------------
  // Removes count bytes from index; a negative or too large count removes to the end; an index
  // at or past the end changes nothing.
  CKaString& Delete(int index, int count);
  // Inserts text before index; past the end, the gap is filled with spaces. Empty text and the
  // NUL character insert nothing.
  CKaString& Insert(int index, const char* text);
  CKaString& Insert(int index, char ch);
  // Delete(index, count), then Insert(index, text).
  CKaString& Replace(int index, int count, const char* text);
  // LoadString(id); on failure the text is unchanged.
  CKaString& LoadResourceString(unsigned int id);

  // --- replacing: each returns the number of replacements -------------------------------
  int Replace(const char* oldText, const char* newText);
  int Replace(char oldChar, char newChar);
  // Replaces find (the first occurrence, or all of them) scanning left to right; replacement
  // text is never searched again. Searching stops at the first NUL byte of the text.
  int FindReplace(const char* find, const char* replacement, bool all);
  // As FindReplace, matching without regard to case.
  int FindReplaceNoCase(const char* find, const char* replacement, bool all);
  // One left-to-right pass: at each position the first entry of finds, in array order, whose
  // bytes stand there is replaced by the replacement of the same index and the pass goes on
  // after it; where none stands the pass moves one byte on. Raises CInvalidArgException* when a
  // matching entry has no partner in replacements; the replacements made before stay.
  // Runs in time linear in the text, whatever the number of entries.
  int FindReplaceArray(CStringArray& finds, CStringArray& replacements);

  // --- searching ------------------------------------------------------------------------
  int Find(char ch, int start = 0) const;
  int Find(const char* sub, int start = 0) const;
  int FindNoCase(char ch, int start = 0) const;
  int FindNoCase(const char* sub, int start = 0) const;
  int ReverseFind(char ch) const;
  // The last sub that begins at or before start (-1 or past the end: anywhere); it may run
  // past start. Text after an embedded NUL is not searched.
  int ReverseFind(const char* sub, int start = -1) const;
  int ReverseFindNoCase(const char* sub, int start = -1) const;
  int ReverseFindNoCase(char ch, int start = -1) const;

  // Compares at most count characters (a double-byte character counts as one) without regard
  // to case; a null text compares equal to an empty object and before any other.
  int CompareNoCaseN(const char* text, int count) const;
};
