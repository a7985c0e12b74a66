#pragma once
/// \file
/// CRegExp, a small regular-expression engine, and RegSearchReplace.

#include <plinth/Export.h>
#include <plinth/KaString.h>

#include <cstdint>

/// A small regular-expression engine. RegComp turns a pattern into a compact byte
/// program (two passes over the pattern: one measures, one writes); RegFind runs the program as
/// a backtracking matcher; GetReplaceString expands a replacement template from the last match.
///
/// Syntax: alternatives "|", groups "(...)" (nine at most), the greedy repeats "*", "+", "?",
/// "." (any byte), "[set]" and "[^set]" with ranges, "^" (where the search began), "$" (end of
/// the text), "\x" (x literally). Every other byte stands for itself.
///
/// Choices made where the behaviour is open:
/// - A pattern whose program would need a link of more than 32,767 bytes does not compile
///   (RegComp returns null and the previous program stays in force).
/// - Copy construction and assignment give the copy its own program and found text; the match
///   pointers still point into the text the source searched.
/// - The matcher keeps its backtracking on the heap, so long subjects cannot exhaust the stack:
///   `(ab)*` on ten million bytes of "abab..." matches them all.
/// - A search that has spent a step budget remembers which (program node, text position)
///   pairs have already failed and does not try them again. The results are unchanged:
///   `((a|aa)*c)` on 10,000 'a' bytes followed by "xc" answers 10,001 in milliseconds.
/// - Under a single-byte code page every byte, 0x80-0xFF included, is an ordinary byte. Under a
///   double-byte code page a byte 0x80-0xFF is never a member of a one-byte set test
///   ("[\x80]" never matches it, "[^a]" always does) and a start byte 0x80-0xFF is looked for at
///   the start of the text only.
///
/// A pattern fails to compile when a parenthesis is unmatched, it has more than nine groups,
/// "*" or "+" repeats something that can match empty, a repeat follows nothing or another
/// repeat, it ends in a lone backslash, or a set is unclosed or holds a reversed range. The
/// object is not meant to be shared between threads.
class PLINTH_API CRegExp {
 public:
  /// An object without a program: RegFind answers -1 until RegComp succeeds.
  CRegExp();
  /// The copy gets its own program and found text; the match pointers still point into the
  /// text the source searched. \throws CMemoryException* when the copy cannot be allocated.
  CRegExp(const CRegExp& other);
  /// Releases the program and the found text.
  ~CRegExp();
  /// Replaces the program and found text by copies of other's; the match pointers then point
  /// into the text other searched. Assigning an object to itself changes nothing.
  /// \throws CMemoryException* when the copy cannot be allocated; the object is then unchanged.
  CRegExp& operator=(const CRegExp& other);

  /// Compiles pattern, replacing the program in force.
  /// \return this object on success; null when the pattern does not compile or is null (the
  /// previous program, if any, stays in force).
  CRegExp* RegComp(const char* pattern);
  /// RegComp on the lower-cased pattern; a null pattern compiles as the empty pattern. Use with
  /// RegFindNoCase. \return this object on success, null when the pattern does not compile.
  CRegExp* RegCompNoCase(const char* pattern);

  /// Searches text for the leftmost match (the first alternative that matches there, repeats
  /// taking as much as lets the rest match) and records it for GetFindLen and GetReplaceString.
  /// \return the byte offset of the match, or -1 (also for a null text or no program).
  int RegFind(const char* text);
  /// RegFind on a lower-cased copy of text (null counts as empty). Only lengths and the found
  /// text are meaningful afterwards: the match pointers point into the released copy.
  /// \return the byte offset of the match, or -1.
  int RegFindNoCase(const char* text);

  /// Length of the last match in bytes; 0 when none is recorded (or the match was empty).
  int GetFindLen();
  /// The template expanded from the last match ("&" and "\0" the match, "\1".."\9" the
  /// groups, an unmatched group expanding to nothing; a backslash makes a following backslash
  /// or "&" literal) as a new[] buffer the caller deletes with delete[].
  /// \return the buffer; null for a null template or when the last search found nothing.
  char* GetReplaceString(const char* replaceExp);

 private:
  friend class CRegExpProgramView;  // lets the tests read the program and the short cuts

  char OP(char* node);
  char* OPERAND(char* node);
  char* regnext(char* node);
  void regc(char b);
  char* regnode(char op);
  void reginsert(char op, char* operand);
  void regtail(char* p, char* val);
  void regoptail(char* p, char* val);
  char* reg(int paren, int* flags);
  char* regbranch(int* flags);
  char* regpiece(int* flags);
  char* regatom(int* flags);
  int regtry(const char* position);
  int regmatch(char* node);
  unsigned int regrepeat(char* node);
  void CopyFrom(const CRegExp& other);

 private:
  bool m_emitting;
  bool m_compiled;
  char* m_foundText;
  const char* m_matchStart[10];
  const char* m_matchEnd[10];
  char m_startChar;
  char m_anchored;
  const char* m_mustText;
  char* m_program;
  const char* m_parsePos;
  int m_groupCount;
  char* m_emitPos;
  char m_dummyNode[3];
  std::int32_t m_programSize;
  const char* m_inputPos;
  const char* m_inputStart;
};

/// Replaces every match of pattern (compiled case-sensitively) in text by the expansion of
/// replacement (as CRegExp::GetReplaceString expands it). Replacement text is never searched
/// again, and "^" matches wherever a search resumes. The loop stops, without replacing, at the
/// first expansion that equals the whole current text without regard to case.
/// Searching stops at the first NUL byte of text.
///
/// Choices made where the behaviour is open:
/// - After an empty match the character that follows it is kept as it is and the search goes
///   on after it; at the end of the text the loop stops: `x*` with "-" on "abc" gives
///   "-a-b-c-" and returns 4.
/// - A null replacement replaces nothing: the result is 0 and the text is unchanged.
/// - The result is built in one pass (time linear in the text and the output); it is the text
///   that replacing each match in place, then searching on after the inserted text, would give.
///
/// \return the number of replacements; 0 for a null or uncompilable pattern (text unchanged).
PLINTH_API int RegSearchReplace(CKaString& text, const char* pattern, const char* replacement);
