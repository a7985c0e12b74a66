#include <plinth/KaString.h>

#include <plinth/afx/Exception.h>
#include <plinth/win32.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "text/ReplaceScan.h"

using plinth::text::FirstEntryFinder;
using plinth::text::SubstringScanner;

namespace {

const unsigned char* Bytes(const char* text) {
  return reinterpret_cast<const unsigned char*>(text);
}

// Whether text points into the buffer of s: such text must be copied before s changes.
bool PointsInto(const char* text, const CString& s) {
  const char* first = s.GetString();
  std::less_equal<const char*> notAfter;
  return notAfter(first, text) && notAfter(text, first + s.GetLength());
}

int CheckedLength(size_t length) {
  if (length > static_cast<size_t>(INT_MAX)) AfxThrowMemoryException();
  return static_cast<int>(length);
}

// ASCII letters fold the same way in every locale (a Turkish locale must not map 'I' to a
// dotless i); other bytes follow the C library.
char FoldLower(char ch) {
  const unsigned char c = static_cast<unsigned char>(ch);
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : ch;
  const int r = std::tolower(c);
  return (r > 0 && r < 256) ? static_cast<char>(r) : ch;
}

char FoldUpper(char ch) {
  const unsigned char c = static_cast<unsigned char>(ch);
  if (c < 0x80) return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : ch;
  const int r = std::toupper(c);
  return (r > 0 && r < 256) ? static_cast<char>(r) : ch;
}

// One replacement in the original text: `removed` bytes at `position` give way to `length`
// bytes at `bytes`.
struct Piece {
  size_t position;
  size_t removed;
  const char* bytes;
  size_t length;
};

// Copies n bytes to out, which lies before in or apart from it. Dense matches leave gaps of a
// few bytes, where a library call costs more than the copy.
inline void CopyForward(char* out, const char* in, size_t n) {
  if (n > 16) {
    std::memmove(out, in, n);
    return;
  }
  for (size_t i = 0; i < n; ++i) out[i] = in[i];
}

// Applies the pieces (in order, not overlapping) to s; bytes outside them, NULs included, stay.
// When no piece makes the text run ahead of the bytes still to be read, the text is edited in
// its own buffer, which spares a second buffer of the whole size; otherwise it is built once in
// a new one. Piece bytes must not live in s's buffer.
template <class Match, class Describe>
void ApplyPieces(CString& s, const std::vector<Match>& matches, Describe describe) {
  const size_t originalLength = static_cast<size_t>(s.GetLength());
  size_t length = originalLength;
  bool inPlace = true;
  for (const Match& match : matches) {
    const Piece piece = describe(match);
    length = length - piece.removed + piece.length;
    CheckedLength(length);  // each step, so that the sum cannot wrap
    inPlace = inPlace && length <= originalLength;
  }
  auto copyAll = [&](char* out, const char* in) {
    size_t copied = 0;
    for (const Match& match : matches) {
      const Piece piece = describe(match);
      CopyForward(out, in + copied, piece.position - copied);
      out += piece.position - copied;
      CopyForward(out, piece.bytes, piece.length);
      out += piece.length;
      copied = piece.position + piece.removed;
    }
    std::memmove(out, in + copied, originalLength - copied);
  };
  if (inPlace) {
    char* buffer = s.GetBuffer();
    copyAll(buffer, buffer);
    s.ReleaseBuffer(static_cast<int>(length));
    return;
  }
  CString result;
  copyAll(result.GetBuffer(static_cast<int>(length)), s.GetString());
  result.ReleaseBuffer(static_cast<int>(length));
  s = std::move(result);
}

// Where the single-find members meet an empty find text: the documented loop would insert the
// replacement at the same place for ever, so one insertion in front is the whole answer.
int ReplaceEmptyFind(CKaString& s, const char* replacement) {
  s.Insert(0, replacement);
  return 1;
}

// The matches of one find text, scanning haystack [0, length) the way the documented loop
// scans with _mbsstr: after a match at p the next search starts at p + findLength.
std::vector<int32_t> CollectMatches(const unsigned char* haystack, size_t length,
                                    const unsigned char* find, size_t findLength, bool all) {
  std::vector<int32_t> positions;
  SubstringScanner scanner(haystack, length, find, findLength);
  size_t from = 0;
  for (;;) {
    const size_t found = scanner.Next(from);
    if (found == SubstringScanner::npos) break;
    positions.push_back(static_cast<int32_t>(found));
    if (!all) break;
    from = found + findLength;
  }
  return positions;
}

int ApplyUniform(CKaString& s, const std::vector<int32_t>& positions, size_t findLength,
                 const char* replacement) {
  if (positions.empty()) return 0;
  std::string own;
  if (PointsInto(replacement, s)) replacement = (own = replacement).c_str();
  const size_t replacementLength = std::strlen(replacement);
  ApplyPieces(s, positions, [&](int32_t position) {
    return Piece{static_cast<size_t>(position), findLength, replacement, replacementLength};
  });
  return static_cast<int>(positions.size());
}

// Tests set PLINTH_TEXT_AUTOMATON=sparse to run the goto/fail form on inputs small enough for
// the dense one, so that both are checked against the same references.
FirstEntryFinder::Mode AutomatonMode() {
  const char* mode = std::getenv("PLINTH_TEXT_AUTOMATON");
  return (mode && std::strcmp(mode, "sparse") == 0) ? FirstEntryFinder::Mode::Sparse
                                                    : FirstEntryFinder::Mode::Automatic;
}

}  // namespace

// Hosts hand CKaString objects to code that knows only CString, arrays of them included.
static_assert(sizeof(CKaString) == sizeof(CString) && !std::is_polymorphic<CKaString>::value,
              "CKaString must keep the layout of CString");

// --- construction ------------------------------------------------------------------------------

CKaString::CKaString() : CString() {}
CKaString::CKaString(const CKaString& other) : CString(other) {}
CKaString::CKaString(const CString& other) : CString(other) {}
CKaString::CKaString(const char* text) : CString(text) {}
CKaString::CKaString(const char* text, int length) : CString(text, length) {}
CKaString::CKaString(char ch, int repeat) : CString(ch, repeat) {}
CKaString::CKaString(const unsigned char* text) : CString(text) {}
CKaString::CKaString(const wchar_t* text) : CString(text) {}
CKaString::CKaString(unsigned int id) : CString() { LoadString(id); }

CKaString& CKaString::operator=(const CKaString& other) {
  CString::operator=(other);
  return *this;
}

// --- editing -----------------------------------------------------------------------------------

CKaString& CKaString::Delete(int index, int count) {
  if (index < 0) index = 0;
  const int length = GetLength();
  if (index >= length) return *this;
  if (count < 0 || count > length - index) count = length - index;
  if (count == 0) return *this;
  char* buffer = GetBuffer();
  std::memmove(buffer + index, buffer + index + count, static_cast<size_t>(length - index - count));
  ReleaseBuffer(length - count);
  return *this;
}

CKaString& CKaString::Insert(int index, const char* text) {
  if (!text || !*text) return *this;
  if (index < 0) index = 0;
  const int length = GetLength();
  // Within the text the base does the work: it grows the buffer geometrically, so that a run
  // of inserts at the end stays linear, and it copes with text from this very buffer.
  if (index <= length) {
    CString::Insert(index, text);
    return *this;
  }
  std::string own;
  if (PointsInto(text, *this)) text = (own = text).c_str();
  const size_t textLength = std::strlen(text);
  const size_t at = static_cast<size_t>(index);
  const int newLength = CheckedLength(at + textLength);
  char* buffer = GetBuffer(newLength);
  std::memset(buffer + length, ' ', at - static_cast<size_t>(length));
  std::memcpy(buffer + at, text, textLength);
  ReleaseBuffer(newLength);
  return *this;
}

CKaString& CKaString::Insert(int index, char ch) {
  const char text[2] = {ch, '\0'};
  return Insert(index, text);
}

CKaString& CKaString::Replace(int index, int count, const char* text) {
  std::string own;
  if (text && PointsInto(text, *this)) text = (own = text).c_str();
  Delete(index, count);
  return Insert(index, text);
}

CKaString& CKaString::LoadResourceString(unsigned int id) {
  LoadString(id);
  return *this;
}

// --- replacing ---------------------------------------------------------------------------------

int CKaString::Replace(const char* oldText, const char* newText) {
  return CString::Replace(oldText, newText);
}

int CKaString::Replace(char oldChar, char newChar) { return CString::Replace(oldChar, newChar); }

int CKaString::FindReplace(const char* find, const char* replacement, bool all) {
  if (!replacement) replacement = "";
  if (!find || !*find) return ReplaceEmptyFind(*this, replacement);
  try {
    const char* text = GetString();
    const size_t findLength = std::strlen(find);
    const std::vector<int32_t> positions =
        CollectMatches(Bytes(text), std::strlen(text), Bytes(find), findLength, all);
    return ApplyUniform(*this, positions, findLength, replacement);
  } catch (const std::bad_alloc&) {
    AfxThrowMemoryException();
  }
}

int CKaString::FindReplaceNoCase(const char* find, const char* replacement, bool all) {
  if (!replacement) replacement = "";
  if (!find || !*find) return ReplaceEmptyFind(*this, replacement);
  try {
    // Only the text before the first NUL is ever searched, so only that part is lowered.
    // Folding keeps byte lengths, so positions in the copy are positions in the object.
    const char* text = GetString();
    const size_t searched = std::strlen(text);
    std::unique_ptr<unsigned char[]> lowered(new unsigned char[searched + 1]);
    plinth::text::CopyLowered(Bytes(text), searched, lowered.get());
    std::string loweredFind(find);
    _mbslwr(reinterpret_cast<unsigned char*>(&loweredFind[0]));
    const size_t findLength = loweredFind.size();
    const std::vector<int32_t> positions =
        CollectMatches(lowered.get(), searched, Bytes(loweredFind.c_str()), findLength, all);
    return ApplyUniform(*this, positions, findLength, replacement);
  } catch (const std::bad_alloc&) {
    AfxThrowMemoryException();
  }
}

int CKaString::FindReplaceArray(CStringArray& finds, CStringArray& replacements) {
  if (IsEmpty()) return 0;
  struct Match {
    int32_t position;
    int32_t entry;
  };
  std::vector<Match> matches;
  bool missingReplacement = false;
  try {
    std::vector<FirstEntryFinder::Entry> entries(static_cast<size_t>(finds.GetSize()));
    for (size_t i = 0; i < entries.size(); ++i) {
      const CString& find = finds.GetAt(static_cast<INT_PTR>(i));
      entries[i] = {Bytes(find.GetString()), static_cast<size_t>(find.GetLength())};
    }
    const FirstEntryFinder finder(entries, AutomatonMode());
    // Partners are looked up once per entry, not once per match.
    const size_t replacementCount =
        std::min(entries.size(), static_cast<size_t>(replacements.GetSize()));
    // An empty entry stands everywhere. With a partner, the step-by-step pass would insert that
    // partner at the same place for ever, so it is left out; without one, the pass raises at
    // the first position where no earlier entry stands, and so must this one.
    bool emptyWithoutPartner = false;
    for (size_t i = replacementCount; i < entries.size() && !emptyWithoutPartner; ++i)
      emptyWithoutPartner = entries[i].length == 0;
    if (finder.Empty()) {
      if (!emptyWithoutPartner) return 0;
      AfxThrowInvalidArgException();
    }

    const unsigned char* text = Bytes(GetString());
    const size_t length = static_cast<size_t>(GetLength());
    std::vector<FirstEntryFinder::Entry> partners(replacementCount);
    for (size_t i = 0; i < replacementCount; ++i) {
      const CString& replacement = replacements.GetAt(static_cast<INT_PTR>(i));
      partners[i] = {Bytes(replacement.GetString()), static_cast<size_t>(replacement.GetLength())};
    }
    // Winners are worked out a chunk at a time, keeping the table small; a chunk is at least
    // twice the longest entry so that the overlap read again per chunk stays a small share.
    const size_t chunk =
        std::min(length, std::max<size_t>(size_t{1} << 15, 2 * finder.MaxLength()));
    std::vector<int32_t> winners(chunk);
    size_t chunkFirst = 0;
    size_t chunkLast = 0;
    size_t pos = 0;
    while (pos < length) {
      if (pos >= chunkLast) {
        chunkFirst = pos;
        chunkLast = std::min(length, pos + chunk);
        finder.Scan(text, length, chunkFirst, chunkLast, winners.data());
      }
      if (!emptyWithoutPartner)
        while (pos < chunkLast && winners[pos - chunkFirst] < 0) ++pos;
      if (pos == chunkLast) continue;
      // Where no entry with bytes stands, the empty one without a partner does.
      const int32_t entry = winners[pos - chunkFirst];
      if (entry < 0 || static_cast<size_t>(entry) >= replacementCount) {
        missingReplacement = true;
        break;
      }
      matches.push_back(Match{static_cast<int32_t>(pos), entry});
      pos += entries[static_cast<size_t>(entry)].length;
    }

    if (!matches.empty()) {
      // A replacement sharing this object's buffer keeps it: GetBuffer copies a shared one.
      ApplyPieces(*this, matches, [&](const Match& match) {
        const auto entry = static_cast<size_t>(match.entry);
        return Piece{static_cast<size_t>(match.position), entries[entry].length,
                     reinterpret_cast<const char*>(partners[entry].bytes), partners[entry].length};
      });
    }
  } catch (const std::bad_alloc&) {
    AfxThrowMemoryException();
  }
  // The replacements made up to the entry without a partner stay, as a step-by-step pass
  // would have left them.
  if (missingReplacement) AfxThrowInvalidArgException();
  return static_cast<int>(matches.size());
}

// --- searching ---------------------------------------------------------------------------------

int CKaString::Find(char ch, int start) const {
  if (start < 0 || start > GetLength()) return -1;
  const unsigned char* text = Bytes(GetString());
  const unsigned char* found = _mbschr(text + start, static_cast<unsigned char>(ch));
  return found ? static_cast<int>(found - text) : -1;
}

int CKaString::Find(const char* sub, int start) const {
  if (start < 0 || start > GetLength()) return -1;
  if (!sub || !*sub) return start;
  const unsigned char* text = Bytes(GetString());
  const unsigned char* found = _mbsstr(text + start, Bytes(sub));
  return found ? static_cast<int>(found - text) : -1;
}

int CKaString::FindNoCase(char ch, int start) const {
  const int lower = Find(FoldLower(ch), start);
  const int upper = Find(FoldUpper(ch), start);
  if (lower < 0) return upper;
  if (upper < 0) return lower;
  return std::min(lower, upper);
}

int CKaString::FindNoCase(const char* sub, int start) const {
  if (start < 0 || start > GetLength()) return -1;
  if (!sub || !*sub) return start;
  if (!plinth::text::LeadBytesOfActivePage()) {
    // Where every byte is a character, a byte folds the same wherever the copy begins, and the
    // search stops at the first NUL: only that stretch needs lowering, which keeps a loop of
    // calls over a long text from lowering all of it each time.
    const char* from = GetString() + start;
    const size_t searched = std::strlen(from);
    std::unique_ptr<unsigned char[]> lowered;
    try {
      lowered.reset(new unsigned char[searched + 1]);
    } catch (const std::bad_alloc&) {
      AfxThrowMemoryException();
    }
    plinth::text::CopyLowered(Bytes(from), searched, lowered.get());
    CString loweredSub(sub);
    loweredSub.MakeLower();
    const unsigned char* found = _mbsstr(lowered.get(), Bytes(loweredSub.GetString()));
    return found ? start + static_cast<int>(found - lowered.get()) : -1;
  }
  CKaString lowered(*this);
  lowered.MakeLower();
  CString loweredSub(sub);
  loweredSub.MakeLower();
  return lowered.Find(loweredSub.GetString(), start);
}

int CKaString::ReverseFind(char ch) const { return CString::ReverseFind(ch); }

namespace {

// The documented backward byte walk; compare is _mbsnbcmp or _mbsnbicmp.
int ReverseSearch(const char* text, const char* sub, int start,
                  int (*compare)(const unsigned char*, const unsigned char*, size_t)) {
  if (!sub) return -1;
  const size_t subLength = std::strlen(sub);
  const int length = static_cast<int>(std::strlen(text));
  if (subLength < 1 || length < 1) return -1;
  if (start == -1 || start >= length)
    start = length - 1;
  else if (start < 0)
    return -1;
  for (int i = start; i >= 0; --i)
    if (compare(Bytes(text) + i, Bytes(sub), subLength) == 0) return i;
  return -1;
}

}  // namespace

int CKaString::ReverseFind(const char* sub, int start) const {
  return ReverseSearch(GetString(), sub, start, _mbsnbcmp);
}

int CKaString::ReverseFindNoCase(const char* sub, int start) const {
  return ReverseSearch(GetString(), sub, start, _mbsnbicmp);
}

int CKaString::ReverseFindNoCase(char ch, int start) const {
  const char sub[2] = {ch, '\0'};
  return ReverseFindNoCase(sub, start);
}

// --- comparison --------------------------------------------------------------------------------

int CKaString::CompareNoCaseN(const char* text, int count) const {
  if (!text) return IsEmpty() ? 0 : 1;
  // A negative count converts as it would in the runtime call: no limit.
  return _mbsnicmp(Bytes(GetString()), Bytes(text), static_cast<size_t>(count));
}
