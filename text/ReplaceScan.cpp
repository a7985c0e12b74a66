#include "text/ReplaceScan.h"

#include <plinth/afx/Exception.h>
#include <plinth/win32.h>

#include <algorithm>
#include <climits>
#include <cstring>

namespace plinth::text {

const bool* LeadBytesOfActivePage() {
  struct Cache {
    int codePage = INT_MIN;
    bool dbcs = false;
    bool lead[256] = {};
  };
  static thread_local Cache cache;
  const int codePage = _getmbcp();
  if (codePage != cache.codePage) {
    cache.dbcs = false;
    for (unsigned int b = 0; b < 256; ++b) {
      cache.lead[b] = _ismbblead(b) != 0;
      cache.dbcs = cache.dbcs || cache.lead[b];
    }
    cache.codePage = codePage;
  }
  return cache.dbcs ? cache.lead : nullptr;
}

void CopyLowered(const unsigned char* text, size_t length, unsigned char* out) {
  std::memcpy(out, text, length);
  out[length] = 0;
  // Asking _mbslwr for every byte value costs a few microseconds: worth it for long texts
  // only. Byte by byte is right only where every byte is a character of its own.
  if (length < 4096 || LeadBytesOfActivePage()) {
    _mbslwr(out);
    return;
  }
  unsigned char fold[256];
  for (unsigned int b = 0; b < 256; ++b) {
    unsigned char one[2] = {static_cast<unsigned char>(b), 0};
    fold[b] = *_mbslwr(one);
  }
  for (size_t i = 0; i < length; ++i) out[i] = fold[out[i]];
}

namespace {

// A few false hits inside double-byte characters are cheap to skip with a fresh search; a text
// full of them would cost a needle preparation each, so past this many a resumable matcher
// takes over.
constexpr int kFalseHitsBeforeKmp = 8;

// The candidate search may compare this many bytes, plus two per byte it moves on, before it
// hands the scanner over to KMP for good: enough that ordinary texts never get there.
constexpr size_t kCompareAllowance = 1024;

// The dense table is used while it stays this small (in int32 values: 16 MB).
constexpr size_t kDenseTableLimit = size_t{1} << 22;

}  // namespace

// Knuth-Morris-Pratt over the text, resumable after each occurrence (overlaps included).
class SubstringScanner::Kmp {
 public:
  Kmp(const unsigned char* needle, size_t m) : needle_(needle), m_(m), fail_(m + 1, 0) {
    size_t k = 0;
    for (size_t i = 1; i < m; ++i) {
      while (k > 0 && needle[i] != needle[k]) k = fail_[k];
      if (needle[i] == needle[k]) ++k;
      fail_[i + 1] = k;
    }
  }
  void Start(size_t from) {
    pos_ = from;
    k_ = 0;
  }
  size_t Next(const unsigned char* text, size_t length) {
    while (pos_ < length) {
      const unsigned char c = text[pos_++];
      while (k_ > 0 && c != needle_[k_]) k_ = fail_[k_];
      if (c == needle_[k_]) ++k_;
      if (k_ == m_) {
        k_ = fail_[m_];
        return pos_ - m_;
      }
    }
    return npos;
  }

 private:
  const unsigned char* needle_;
  size_t m_;
  std::vector<size_t> fail_;
  size_t pos_ = 0;
  size_t k_ = 0;
};

SubstringScanner::SubstringScanner(const unsigned char* text, size_t length,
                                   const unsigned char* needle, size_t needleLength)
    : text_(text),
      length_(length),
      needle_(needle),
      needleLength_(needleLength),
      leadBytes_(LeadBytesOfActivePage()) {}

SubstringScanner::~SubstringScanner() = default;

// memchr finds the needle's first byte many bytes at a time and each candidate is compared
// from there. That is quick on real text but quadratic on repetitive text such as "aaa…ab" in
// "aaa…a", so the bytes compared are counted, and once they outrun the text passed over, the
// rest of the search (and every later one of this scanner) goes to KMP, linear in any text.
size_t SubstringScanner::FindCandidate(size_t from, bool& tooCostly) const {
  const unsigned char first = needle_[0];
  const unsigned char* const rest = needle_ + 1;
  const size_t restLength = needleLength_ - 1;
  const unsigned char* const start = text_ + from;
  const unsigned char* const lastStart = text_ + (length_ - needleLength_);
  const unsigned char* p = start;
  size_t compared = 0;
  while (p <= lastStart) {
    p = static_cast<const unsigned char*>(
        std::memchr(p, first, static_cast<size_t>(lastStart - p) + 1));
    if (!p) return npos;
    size_t same = 0;
    while (same < restLength && p[1 + same] == rest[same]) ++same;
    if (same == restLength) return static_cast<size_t>(p - text_);
    ++p;
    compared += same + 1;
    if (compared > kCompareAllowance + 2 * static_cast<size_t>(p - start)) {
      tooCostly = true;
      return static_cast<size_t>(p - text_);
    }
  }
  return npos;
}

size_t SubstringScanner::NextByteHit(size_t from, bool& useKmp) {
  if (useKmp) return kmp_->Next(text_, length_);
  if (from > length_ || length_ - from < needleLength_) return npos;
  if (!bytesByKmp_) {
    bool tooCostly = false;
    const size_t hit = FindCandidate(from, tooCostly);
    if (!tooCostly) return hit;
    bytesByKmp_ = true;
    from = hit;  // every start before it has been ruled out
  }
  if (!kmp_) kmp_ = std::make_unique<Kmp>(needle_, needleLength_);
  kmp_->Start(from);
  return kmp_->Next(text_, length_);
}

size_t SubstringScanner::Next(size_t from) {
  bool useKmp = false;
  if (!leadBytes_) return NextByteHit(from, useKmp);

  // Characters are counted from the restart point, as _mbsstr counts them from its argument.
  // Only a lead byte can start a two-byte character; the runtime says whether it does.
  size_t boundary = from;
  size_t searchFrom = from;
  int falseHits = 0;
  for (;;) {
    const size_t hit = NextByteHit(searchFrom, useKmp);
    if (hit == npos) return npos;
    while (boundary < hit) {
      if (!leadBytes_[text_[boundary]]) {
        ++boundary;
      } else {
        const unsigned char* p = text_ + boundary;
        boundary += static_cast<size_t>(_mbsinc(p) - p);
      }
    }
    if (boundary == hit) return hit;
    searchFrom = hit + 1;
    if (!useKmp && ++falseHits > kFalseHitsBeforeKmp) {
      if (!kmp_) kmp_ = std::make_unique<Kmp>(needle_, needleLength_);
      kmp_->Start(searchFrom);
      useKmp = true;
    }
  }
}

// ---------------------------------------------------------------------------------------------

FirstEntryFinder::FirstEntryFinder(const std::vector<Entry>& entries, Mode mode) {
  Build(entries, mode);
}

FirstEntryFinder::~FirstEntryFinder() = default;

void FirstEntryFinder::Build(const std::vector<Entry>& entries, Mode mode) {
  // The trie of the reversed entries, children as sibling lists while it grows.
  struct Node {
    int32_t firstChild = -1;
    int32_t nextSibling = -1;
    int32_t own = -1;  // smallest index of an entry ending here
    unsigned char byte = 0;
  };
  std::vector<Node> nodes(1);
  int32_t rootChild[256];
  std::fill(std::begin(rootChild), std::end(rootChild), -1);
  bool byteUsed[256] = {};
  size_t edgeCount = 0;

  for (size_t i = 0; i < entries.size(); ++i) {
    const Entry& entry = entries[i];
    if (entry.length == 0) continue;
    maxLength_ = std::max(maxLength_, entry.length);
    int32_t state = 0;
    for (size_t k = entry.length; k > 0;) {
      const unsigned char b = entry.bytes[--k];
      byteUsed[b] = true;
      int32_t child = state == 0 ? rootChild[b] : nodes[state].firstChild;
      if (state != 0)
        while (child >= 0 && nodes[child].byte != b) child = nodes[child].nextSibling;
      if (child < 0) {
        if (nodes.size() >= static_cast<size_t>(INT32_MAX)) AfxThrowMemoryException();
        child = static_cast<int32_t>(nodes.size());
        Node node;
        node.byte = b;
        node.nextSibling = nodes[state].firstChild;
        nodes.push_back(node);
        nodes[state].firstChild = child;
        if (state == 0) rootChild[b] = child;
        ++edgeCount;
      }
      state = child;
    }
    if (nodes[state].own < 0) nodes[state].own = static_cast<int32_t>(i);
  }
  if (maxLength_ == 0) return;

  const size_t stateCount = nodes.size();
  size_t columns = 1;  // column 0: every byte that occurs in no entry
  for (int b = 0; b < 256; ++b)
    byteColumn_[b] = byteUsed[b] ? static_cast<int32_t>(columns++) + 1 : 1;
  const size_t stride = columns + 1;
  const bool dense = mode == Mode::Automatic && stateCount * stride <= kDenseTableLimit;

  fail_.assign(stateCount, 0);
  winner_.assign(stateCount, -1);
  std::vector<int32_t> order;  // breadth first: a state's fail target comes before it
  order.reserve(stateCount);
  order.push_back(0);

  auto chainWinner = [&](int32_t state) {
    const int32_t own = nodes[state].own;
    const int32_t inherited = winner_[fail_[state]];
    if (own < 0) return inherited;
    return inherited < 0 ? own : std::min(own, inherited);
  };

  if (dense) {
    // Rows go in breadth-first order, so the states near the root, where the scan spends
    // most of its time, share a few cache lines. Rows hold row offsets.
    const int32_t rowWidth = static_cast<int32_t>(stride);
    std::vector<int32_t> nodeOfRow, rowOfNode(stateCount, 0);
    nodeOfRow.reserve(stateCount);
    nodeOfRow.push_back(0);
    dense_.assign(stateCount * stride, 0);
    for (size_t rank = 0; rank < nodeOfRow.size(); ++rank) {
      const int32_t state = nodeOfRow[rank];
      int32_t* row = &dense_[rank * stride];
      // The fail target is nearer the root, so its row is complete.
      if (state != 0)
        std::memcpy(row + 1, &dense_[static_cast<size_t>(rowOfNode[fail_[state]]) * stride + 1],
                    columns * sizeof(int32_t));
      row[0] = winner_[state];
      for (int32_t child = nodes[state].firstChild; child >= 0; child = nodes[child].nextSibling) {
        const int32_t column = byteColumn_[nodes[child].byte];
        // Before the row takes the child, row[column] is still the fail target's transition.
        fail_[child] = state == 0 ? 0 : nodeOfRow[static_cast<size_t>(row[column] / rowWidth)];
        winner_[child] = chainWinner(child);
        rowOfNode[child] = static_cast<int32_t>(nodeOfRow.size());
        row[column] = rowOfNode[child] * rowWidth;
        nodeOfRow.push_back(child);
      }
    }
    fail_.clear();
    winner_.clear();
    return;
  }

  // Sparse: children laid out contiguously per state, sorted by byte.
  edges_.reserve(edgeCount);
  edgeBegin_.assign(stateCount + 1, 0);
  for (size_t state = 0; state < stateCount; ++state) {
    edgeBegin_[state] = static_cast<int32_t>(edges_.size());
    for (int32_t child = nodes[state].firstChild; child >= 0; child = nodes[child].nextSibling)
      edges_.push_back(Edge{nodes[child].byte, child});
    std::sort(edges_.begin() + edgeBegin_[state], edges_.end(),
              [](const Edge& a, const Edge& b) { return a.byte < b.byte; });
  }
  edgeBegin_[stateCount] = static_cast<int32_t>(edges_.size());
  for (int b = 0; b < 256; ++b) rootNext_[b] = std::max(rootChild[b], 0);

  for (size_t next = 0; next < order.size(); ++next) {
    const int32_t state = order[next];
    for (int32_t child = nodes[state].firstChild; child >= 0; child = nodes[child].nextSibling) {
      fail_[child] = state == 0 ? 0 : SparseStep(fail_[state], nodes[child].byte);
      winner_[child] = chainWinner(child);
      order.push_back(child);
    }
  }
}

int32_t FirstEntryFinder::SparseChild(int32_t state, unsigned char byte) const {
  const Edge* first = edges_.data() + edgeBegin_[state];
  const Edge* last = edges_.data() + edgeBegin_[state + 1];
  if (last - first <= 8) {
    for (; first != last; ++first)
      if (first->byte == byte) return first->child;
    return -1;
  }
  const Edge* it = std::lower_bound(first, last, byte,
                                    [](const Edge& e, unsigned char b) { return e.byte < b; });
  return (it != last && it->byte == byte) ? it->child : -1;
}

int32_t FirstEntryFinder::SparseStep(int32_t state, unsigned char byte) const {
  for (;;) {
    if (state == 0) return rootNext_[byte];
    const int32_t child = SparseChild(state, byte);
    if (child >= 0) return child;
    state = fail_[state];
  }
}

void FirstEntryFinder::ScanDense(const unsigned char* text, size_t end, size_t first, size_t last,
                                 int32_t* winners) const {
  // Each step waits for the load of the step before; two independent walks, over the two
  // halves of the range, keep the processor busy meanwhile. A local copy of the byte columns
  // cannot alias the winners written on the way.
  int32_t column[256];
  std::memcpy(column, byteColumn_, sizeof column);
  const int32_t* const table = dense_.data();
  const size_t middle = first + (last - first) / 2;
  const size_t upperEnd = end;
  const size_t lowerEnd = std::min(end, middle + maxLength_ - 1);
  int32_t upper = 0, lower = 0;
  size_t j = upperEnd;
  for (; j > last; --j) upper = table[upper + column[text[j - 1]]];
  size_t i = lowerEnd;
  for (; i > middle; --i) lower = table[lower + column[text[i - 1]]];
  // The upper walk fills [middle, last), the lower one [first, middle), one byte each per turn.
  const size_t lowerCount = middle - first;
  const size_t upperCount = last - middle;
  for (size_t k = 0; k < lowerCount; ++k) {
    --j;
    --i;
    upper = table[upper + column[text[j]]];
    lower = table[lower + column[text[i]]];
    winners[j - first] = table[upper];
    winners[i - first] = table[lower];
  }
  for (size_t k = lowerCount; k < upperCount; ++k) {
    --j;
    upper = table[upper + column[text[j]]];
    winners[j - first] = table[upper];
  }
}

void FirstEntryFinder::Scan(const unsigned char* text, size_t length, size_t first, size_t last,
                            int32_t* winners) const {
  // A fresh start maxLength - 1 bytes to the right of a position is enough for it: no entry
  // reaches further, so the longest entry suffix read there is the same as from the far end.
  const size_t end = std::min(length, last + maxLength_ - 1);
  if (!dense_.empty()) {
    ScanDense(text, end, first, last, winners);
    return;
  }
  int32_t state = 0;
  for (size_t j = end; j > last;) state = SparseStep(state, text[--j]);
  for (size_t j = last; j > first;) {
    state = SparseStep(state, text[--j]);
    winners[j - first] = winner_[state];
  }
}

}  // namespace plinth::text
