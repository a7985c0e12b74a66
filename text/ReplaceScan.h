#pragma once
// The scanning engines behind CKaString's replacing members. Both look at the original text
// only: a replacement is never searched again, so every match can be located in the unchanged
// text and the result built once, in one new buffer, instead of moving the tail per match.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace plinth::text {

// Which bytes lead a double-byte character in the active code page (asked of the runtime once
// per thread and code page), or null in a single-byte code page.
const bool* LeadBytesOfActivePage();

// Copies text[0, length), which holds no NUL, to out[0, length] with a NUL after it, folded as
// _mbslwr would fold it.
void CopyLowered(const unsigned char* text, size_t length, unsigned char* out);

// Reports what _mbsstr(text + from, needle) would report, for successive restart points, in
// time linear in the text overall. The text [text, text + length) holds no NUL and is followed
// by one, as _mbsstr stops at the first NUL anyway. In a double-byte code page a byte-level hit
// counts only when it starts a character, the characters being counted from the restart point,
// as _mbsstr counts them from the pointer it is given.
class SubstringScanner {
 public:
  static constexpr size_t npos = static_cast<size_t>(-1);

  SubstringScanner(const unsigned char* text, size_t length, const unsigned char* needle,
                   size_t needleLength);
  ~SubstringScanner();
  SubstringScanner(const SubstringScanner&) = delete;
  SubstringScanner& operator=(const SubstringScanner&) = delete;

  // Position of the first match at or after from, or npos. needleLength must not be 0.
  size_t Next(size_t from);

 private:
  class Kmp;
  size_t NextByteHit(size_t from, bool& useKmp);
  size_t FindCandidate(size_t from, bool& tooCostly) const;

  const unsigned char* text_;
  size_t length_;
  const unsigned char* needle_;
  size_t needleLength_;
  const bool* leadBytes_;  // null in a single-byte code page
  std::unique_ptr<Kmp> kmp_;
  bool bytesByKmp_ = false;  // the candidate search proved too costly on this text
};

// For every position of a text, the first entry of a list of byte strings, in list order, that
// stands there. An Aho-Corasick automaton over the reversed entries, run from right to left,
// ends at each position in a state whose dictionary chain holds exactly the entries beginning
// there; each state keeps the smallest entry index of its chain, so the answer costs O(1) per
// byte whatever the number of entries.
class FirstEntryFinder {
 public:
  struct Entry {
    const unsigned char* bytes;
    size_t length;  // 0: the entry never matches
  };

  // Representation of the automaton. Dense tables (one row per state, one column per byte
  // that occurs in an entry plus one for all other bytes) are the fast path; goto/fail lists
  // are for entry sets whose dense table would be too large. Both give the same answers.
  enum class Mode { Automatic, Sparse };

  FirstEntryFinder(const std::vector<Entry>& entries, Mode mode);
  ~FirstEntryFinder();
  FirstEntryFinder(const FirstEntryFinder&) = delete;
  FirstEntryFinder& operator=(const FirstEntryFinder&) = delete;

  bool Empty() const { return maxLength_ == 0; }
  size_t MaxLength() const { return maxLength_; }
  bool IsDense() const { return !dense_.empty(); }

  // Fills winners[k] with the winning entry index at position first + k, or -1, for
  // first <= first + k < last, from text[0, length). last <= length.
  void Scan(const unsigned char* text, size_t length, size_t first, size_t last,
            int32_t* winners) const;

 private:
  void Build(const std::vector<Entry>& entries, Mode mode);
  void ScanDense(const unsigned char* text, size_t end, size_t first, size_t last,
                 int32_t* winners) const;
  int32_t SparseStep(int32_t state, unsigned char byte) const;
  int32_t SparseChild(int32_t state, unsigned char byte) const;

  size_t maxLength_ = 0;

  // Dense form: rows of (columns + 1) int32 values; value 0 of a row is the state's winner,
  // the others are row offsets of the next states. byteColumn_ maps a byte to 1 + its column.
  std::vector<int32_t> dense_;
  int32_t byteColumn_[256] = {};

  // Sparse form: the children of state s are edges_[edgeBegin_[s] .. edgeBegin_[s + 1]),
  // sorted by byte; the root's children are also in rootNext_ for a direct lookup.
  struct Edge {
    unsigned char byte;
    int32_t child;
  };
  std::vector<Edge> edges_;
  std::vector<int32_t> edgeBegin_;
  std::vector<int32_t> fail_;
  std::vector<int32_t> winner_;
  int32_t rootNext_[256] = {};
};

}  // namespace plinth::text
