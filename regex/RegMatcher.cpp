// The matcher: a backtracking interpreter of the program. Alternatives are tried in pattern
// order and repeats are greedy, so the answer is the first match in that order at the leftmost
// position. The backtracking lives on the heap (a chunked stack), not on the machine stack, so
// a long subject cannot overflow it.
//
// Whether the rest of the program matches from a node at a text position depends on nothing
// else (groups are only recorded, never consulted), so a (node, position) pair that has been
// entered once and is entered again can only fail again: the first visit either succeeded,
// which ends the search, or failed. A search that has spent its budget of backtracks starts
// remembering visited pairs in a bit table, which bounds the work by program size times text
// length whatever the pattern.

#include <plinth/RegExp.h>
#include <plinth/win32.h>

#include <cstring>
#include <memory>
#include <vector>

#include "regex/RegProgram.h"

using namespace plinth_regex;

bool plinth_regex::DoubleByteCodePage() {
  switch (_getmbcp()) {
    case 932:
    case 936:
    case 949:
    case 950: return true;
    default: return false;
  }
}

namespace {

// Backtracks a search may spend before it starts remembering failed states, on top of a
// few per position tried (ordinary searches back off a few bytes at most positions).
constexpr std::uint64_t kBaseBudget = 1u << 15;
constexpr std::uint64_t kBudgetPerPosition = 64;

enum EntryKind : std::int32_t {
  kAlternative = 0,  // tag: next alternative node; pos: where to try it
  kStar = 1,         // tag: star node; pos: start of the run; followed by kStarCount
  kStarCount = 2,    // tag: the count taken last
  kUndo = 3,         // tag: capture slot; pos: its value before the change
};

struct Entry {
  std::int32_t tag;  // value << 2 | kind
  std::int32_t pos;
};

// A stack that grows in fixed chunks: no copying when it grows, so a ten-million-deep
// backtrack costs its entries and nothing more. The first chunk lives in the object, so the
// many searches that backtrack little never allocate.
class ChunkedStack {
 public:
  bool Empty() const { return chunk_ == 0 && used_ == 0; }
  void Clear() {
    chunk_ = 0;
    used_ = 0;
  }
  void Push(std::int32_t tag, std::int32_t pos) {
    if (used_ == Capacity(chunk_)) {
      ++chunk_;
      used_ = 0;
      if (chunk_ > heap_.size()) heap_.emplace_back(new Entry[kChunk]);
    }
    Chunk(chunk_)[used_++] = Entry{tag, pos};
  }
  Entry Pop() {
    if (used_ == 0) {
      --chunk_;
      used_ = Capacity(chunk_);
    }
    return Chunk(chunk_)[--used_];
  }

 private:
  static constexpr std::size_t kFirst = 256;
  static constexpr std::size_t kChunk = 1 << 14;
  static std::size_t Capacity(std::size_t chunk) { return chunk == 0 ? kFirst : kChunk; }
  Entry* Chunk(std::size_t chunk) { return chunk == 0 ? first_ : heap_[chunk - 1].get(); }

  Entry first_[kFirst];
  std::vector<std::unique_ptr<Entry[]>> heap_;
  std::size_t chunk_ = 0;
  std::size_t used_ = 0;
};

struct SetTable {
  std::int32_t node;
  bool member[256];
};

// Everything one RegFind needs across its tries.
struct Search {
  const unsigned char* text;
  const char* program;
  std::int32_t programSize;
  bool doubleByte;
  ChunkedStack stack;
  std::int32_t captures[2 * kGroupSlots];
  int choices = 0;  // choice points on the stack (undo records are needed only above one)
  std::uint64_t backtracks = 0;
  std::uint64_t budget = kBaseBudget;
  // Visited (node, position) pairs, once the budget is spent.
  bool remembering = false;
  std::vector<std::int32_t> nodeIndex;
  std::vector<std::uint64_t> visited;
  std::size_t stride = 0;
  SetTable sets[8];
  int setCount = 0;
};

thread_local Search* g_search = nullptr;

std::int32_t Link(const char* node) {
  return static_cast<std::int16_t>(static_cast<unsigned char>(node[1]) |
                                   (static_cast<unsigned char>(node[2]) << 8));
}

// The successor's offset, or -1.
std::int32_t Next(const char* program, std::int32_t node) {
  const std::int32_t link = Link(program + node);
  if (link == 0) return -1;
  return program[node] == OpLoopBack ? node - link : node + link;
}

// The membership table of a set node under a single-byte code page, built on first use in a
// search. Null when the search already holds as many tables as it keeps.
const bool* SetMembers(Search& s, std::int32_t node) {
  for (int i = 0; i < s.setCount; ++i)
    if (s.sets[i].node == node) return s.sets[i].member;
  if (s.setCount == static_cast<int>(sizeof s.sets / sizeof s.sets[0])) return nullptr;
  SetTable& table = s.sets[s.setCount++];
  table.node = node;
  std::memset(table.member, 0, sizeof table.member);
  for (const unsigned char* p =
           reinterpret_cast<const unsigned char*>(s.program + node + kNodeHeader);
       *p; ++p)
    table.member[*p] = true;
  return table.member;
}

// Set membership of one byte, as the one-byte platform lookup answers it.
bool InSet(Search& s, std::int32_t node, unsigned char byte) {
  const char* set = s.program + node + kNodeHeader;
  if (s.doubleByte) {
    if (byte >= 0x80) return false;
    return _mbschr(reinterpret_cast<const unsigned char*>(set), byte) != nullptr;
  }
  // A set of a few bytes is read directly: cheaper than building its table for one test.
  if (set[0] == '\0' || set[1] == '\0' || set[2] == '\0' || set[3] == '\0') {
    for (const char* p = set; *p; ++p)
      if (static_cast<unsigned char>(*p) == byte) return true;
    return false;
  }
  if (const bool* members = SetMembers(s, node)) return members[byte];
  return byte != 0 && std::strchr(set, byte) != nullptr;
}

// How many bytes from pos a one-byte node matches in a row.
std::int32_t Repeat(Search& s, std::int32_t node, std::int32_t pos) {
  const unsigned char* input = s.text + pos;
  const char* operand = s.program + node + kNodeHeader;
  std::size_t count = 0;
  switch (s.program[node]) {
    case OpAnyChar: count = std::strlen(reinterpret_cast<const char*>(input)); break;
    case OpInSet:
      if (s.doubleByte) {
        count = _mbsspn(input, reinterpret_cast<const unsigned char*>(operand));
      } else if (const bool* members = SetMembers(s, node)) {
        while (members[input[count]]) ++count;  // NUL is never a member
      } else {
        count = std::strspn(reinterpret_cast<const char*>(input), operand);
      }
      break;
    case OpNotInSet:
      if (s.doubleByte) {
        count = _mbscspn(input, reinterpret_cast<const unsigned char*>(operand));
      } else if (const bool* members = SetMembers(s, node)) {
        while (input[count] && !members[input[count]]) ++count;
      } else {
        count = std::strcspn(reinterpret_cast<const char*>(input), operand);
      }
      break;
    case OpLiteral:
      while (input[count] && input[count] == static_cast<unsigned char>(*operand)) ++count;
      break;
    default: break;
  }
  return static_cast<std::int32_t>(count);
}

void StartRemembering(Search& s) {
  s.remembering = true;
  s.nodeIndex.assign(static_cast<std::size_t>(s.programSize), -1);
  std::int32_t nodes = 0;
  for (std::int32_t offset = 0; offset < s.programSize;) {
    s.nodeIndex[static_cast<std::size_t>(offset)] = nodes++;
    const char op = s.program[offset];
    offset += kNodeHeader;
    if (op == OpInSet || op == OpNotInSet || op == OpLiteral)
      offset += static_cast<std::int32_t>(std::strlen(s.program + offset)) + 1;
  }
  s.stride = std::strlen(reinterpret_cast<const char*>(s.text)) + 1;
  s.visited.assign((static_cast<std::size_t>(nodes) * s.stride + 63) / 64, 0);
}

// True when (node, pos) was entered before; marks it entered.
bool Revisit(Search& s, std::int32_t node, std::int32_t pos) {
  if (!s.remembering) return false;
  const std::size_t bit =
      static_cast<std::size_t>(s.nodeIndex[static_cast<std::size_t>(node)]) * s.stride +
      static_cast<std::size_t>(pos);
  std::uint64_t& word = s.visited[bit / 64];
  const std::uint64_t mask = std::uint64_t{1} << (bit % 64);
  if (word & mask) return true;
  word |= mask;
  return false;
}

void Backtracked(Search& s) {
  if (++s.backtracks > s.budget && !s.remembering) StartRemembering(s);
}

// The largest count k, from most down to least, at which the rest may be tried: the byte
// after the run must be the next literal's first byte, and the pair must be new. -1 if none.
std::int32_t NextCount(Search& s, std::int32_t star, std::int32_t pos, std::int32_t most,
                       std::int32_t least) {
  const std::int32_t next = Next(s.program, star);
  if (next < 0) return -1;
  const bool literalNext = s.program[next] == OpLiteral;
  const unsigned char nextByte =
      literalNext ? static_cast<unsigned char>(s.program[next + kNodeHeader]) : 0;
  for (std::int32_t k = most; k >= least; --k) {
    if (literalNext && s.text[pos + k] != nextByte) continue;
    // Keyed by the star itself: its successor may be an alternative whose own entries are
    // remembered under the successor's key.
    if (Revisit(s, star, pos + k)) continue;
    return k;
  }
  return -1;
}

void SetCapture(Search& s, int slot, std::int32_t pos) {
  if (s.choices > 0) s.stack.Push(slot << 2 | kUndo, s.captures[slot]);
  s.captures[slot] = pos;
}

// Runs the program from its first node at pos; on success returns the end position.
std::int32_t Run(Search& s, std::int32_t pos) {
  const char* program = s.program;
  const unsigned char* text = s.text;
  s.stack.Clear();
  s.choices = 0;
  for (std::int32_t& capture : s.captures) capture = -1;
  std::int32_t node = 0;
  for (;;) {
    bool failed = false;
    while (!failed) {
      if (node < 0) {
        failed = true;
        break;
      }
      const char op = program[node];
      const std::int32_t next = Next(program, node);
      switch (op) {
        case OpEnd: return pos;
        case OpLineStart: failed = pos != 0; break;
        case OpLineEnd: failed = text[pos] != 0; break;
        case OpAnyChar:
          if (text[pos] == 0)
            failed = true;
          else
            ++pos;
          break;
        case OpInSet:
        case OpNotInSet:
          if (text[pos] == 0 || InSet(s, node, text[pos]) != (op == OpInSet))
            failed = true;
          else
            ++pos;
          break;
        case OpLiteral: {
          const unsigned char* operand =
              reinterpret_cast<const unsigned char*>(program + node + kNodeHeader);
          std::int32_t i = 0;
          while (operand[i] && text[pos + i] == operand[i]) ++i;
          if (operand[i])
            failed = true;
          else
            pos += i;
          break;
        }
        case OpEmpty:
        case OpLoopBack: break;
        case OpAlternative:
          if (next < 0 || program[next] != OpAlternative) {
            node += kNodeHeader;  // the last alternative: no choice to remember
            continue;
          }
          if (Revisit(s, node, pos)) {
            failed = true;
            break;
          }
          s.stack.Push(next << 2 | kAlternative, pos);
          ++s.choices;
          node += kNodeHeader;
          continue;
        case OpStar:
        case OpPlus: {
          const std::int32_t least = op == OpPlus ? 1 : 0;
          const std::int32_t count = Repeat(s, node + kNodeHeader, pos);
          const std::int32_t k = count < least ? -1 : NextCount(s, node, pos, count, least);
          if (k < 0) {
            failed = true;
            break;
          }
          if (k > least) {
            s.stack.Push(k, 0);
            s.stack.Push(node << 2 | kStar, pos);
            ++s.choices;
          }
          pos += k;
          node = next;
          continue;
        }
        default:
          if (op > OpGroupOpen && op < OpGroupOpen + kGroupSlots) {
            SetCapture(s, op - OpGroupOpen, pos);
          } else if (op > OpGroupClose && op < OpGroupClose + kGroupSlots) {
            SetCapture(s, kGroupSlots + op - OpGroupClose, pos);
          } else {
            failed = true;
          }
          break;
      }
      if (!failed) node = next;
    }

    // Back to the most recent choice, undoing the captures recorded since.
    for (;;) {
      if (s.stack.Empty()) return -1;
      const Entry entry = s.stack.Pop();
      const std::int32_t value = entry.tag >> 2;
      const int kind = entry.tag & 3;
      if (kind == kUndo) {
        s.captures[value] = entry.pos;
        continue;
      }
      --s.choices;
      Backtracked(s);
      if (kind == kAlternative) {
        pos = entry.pos;
        const std::int32_t after = Next(program, value);
        if (after >= 0 && program[after] == OpAlternative) {
          s.stack.Push(after << 2 | kAlternative, pos);
          ++s.choices;
        }
        node = value + kNodeHeader;
        break;
      }
      // A repeat gives back one more byte.
      const Entry taken = s.stack.Pop();
      const std::int32_t least = program[value] == OpPlus ? 1 : 0;
      const std::int32_t k = NextCount(s, value, entry.pos, taken.tag - 1, least);
      if (k < 0) continue;
      if (k > least) {
        s.stack.Push(k, 0);
        s.stack.Push(value << 2 | kStar, entry.pos);
        ++s.choices;
      }
      pos = entry.pos + k;
      node = Next(program, value);
      break;
    }
  }
}

// The bytes a match can start with, found by following the program from its first node up to
// the first byte-consuming node on every path. False when some path reaches the end without
// consuming, so that a match may start anywhere. A NUL among the bytes stands for the end of
// the text, where "$" can match.
bool FirstBytes(Search& s, bool first[256]) {
  std::memset(first, 0, 256);
  std::vector<char> seen(static_cast<std::size_t>(s.programSize), 0);
  std::vector<std::int32_t> work{0};
  while (!work.empty()) {
    const std::int32_t node = work.back();
    work.pop_back();
    if (node < 0 || seen[static_cast<std::size_t>(node)]) continue;
    seen[static_cast<std::size_t>(node)] = 1;
    const char op = s.program[node];
    const std::int32_t next = Next(s.program, node);
    switch (op) {
      case OpEnd: return false;
      case OpLineEnd: first[0] = true; break;
      case OpAnyChar: std::memset(first + 1, 1, 255); break;
      case OpInSet:
      case OpNotInSet:
        for (int b = 1; b < 256; ++b)
          if (InSet(s, node, static_cast<unsigned char>(b)) == (op == OpInSet)) first[b] = true;
        break;
      case OpLiteral:
        first[static_cast<unsigned char>(s.program[node + kNodeHeader])] = true;
        break;
      case OpAlternative:
        work.push_back(node + kNodeHeader);
        if (next >= 0 && s.program[next] == OpAlternative) work.push_back(next);
        break;
      case OpStar:
        work.push_back(node + kNodeHeader);
        work.push_back(next);
        break;
      case OpPlus: work.push_back(node + kNodeHeader); break;
      case OpLineStart:
      case OpEmpty:
      case OpLoopBack: work.push_back(next); break;
      default:
        if ((op > OpGroupOpen && op < OpGroupOpen + kGroupSlots) ||
            (op > OpGroupClose && op < OpGroupClose + kGroupSlots))
          work.push_back(next);
        break;
    }
  }
  return true;
}

}  // namespace

// RegFind clears the match pointers before its first try, and a failed try writes none of
// them, so every try starts from cleared pointers without clearing them again.
int CRegExp::regtry(const char* position) {
  m_inputPos = position;
  if (!regmatch(m_program)) return 0;
  m_matchStart[0] = position;
  m_matchEnd[0] = m_inputPos;
  return 1;
}

int CRegExp::regmatch(char* node) {
  Search& s = *g_search;
  if (node != m_program) return 0;  // only whole programs are run
  const std::int32_t start = static_cast<std::int32_t>(m_inputPos - m_inputStart);
  const std::int32_t end = Run(s, start);
  if (end < 0) return 0;
  for (int g = 1; g < kGroupSlots; ++g) {
    if (s.captures[g] >= 0) m_matchStart[g] = m_inputStart + s.captures[g];
    if (s.captures[kGroupSlots + g] >= 0)
      m_matchEnd[g] = m_inputStart + s.captures[kGroupSlots + g];
  }
  m_inputPos = m_inputStart + end;
  return 1;
}

unsigned int CRegExp::regrepeat(char* node) {
  return static_cast<unsigned int>(Repeat(*g_search, static_cast<std::int32_t>(node - m_program),
                                          static_cast<std::int32_t>(m_inputPos - m_inputStart)));
}

int CRegExp::RegFind(const char* text) {
  delete[] m_foundText;
  m_foundText = nullptr;
  if (!text || !m_compiled || !m_program) return -1;
  const bool doubleByte = DoubleByteCodePage();
  const unsigned char* utext = reinterpret_cast<const unsigned char*>(text);
  if (m_mustText) {
    const unsigned char* must = reinterpret_cast<const unsigned char*>(m_mustText);
    const bool present =
        doubleByte ? _mbsstr(utext, must) != nullptr : std::strstr(text, m_mustText) != nullptr;
    if (!present) return -1;
  }
  m_inputStart = text;

  Search search;
  search.text = utext;
  search.program = m_program;
  search.programSize = m_programSize;
  search.doubleByte = doubleByte;
  Search* const outer = g_search;
  g_search = &search;
  struct Restore {
    Search* outer;
    ~Restore() { g_search = outer; }
  } restore{outer};

  const char* found = nullptr;
  std::uint64_t tried = 0;
  auto tryAt = [&](const char* position) {
    ++tried;
    search.budget = kBaseBudget + kBudgetPerPosition * tried;
    return regtry(position) != 0;
  };
  for (int i = 0; i < kGroupSlots; ++i) m_matchStart[i] = m_matchEnd[i] = nullptr;
  if (m_anchored) {
    if (tryAt(text)) found = text;
  } else if (m_startChar != 0) {
    const unsigned char startByte = static_cast<unsigned char>(m_startChar);
    const bool scannable = !doubleByte || startByte < 0x80;
    for (const char* position = text;;) {
      if (tryAt(position)) {
        found = position;
        break;
      }
      if (*position == '\0' || !scannable) break;
      position = doubleByte ? reinterpret_cast<const char*>(_mbschr(
                                  reinterpret_cast<const unsigned char*>(position + 1), startByte))
                            : std::strchr(position + 1, m_startChar);
      if (!position) break;
    }
  } else {
    // Positions whose byte cannot start a match are passed over without a try.
    bool first[256];
    const bool filtered = !doubleByte && FirstBytes(search, first);
    // A few start bytes other than NUL are found by the C library's vectorised scans.
    char accept[17] = {};
    std::size_t accepted = 0;
    if (filtered && !first[0]) {
      for (int b = 1; b < 256 && accepted < sizeof accept; ++b)
        if (first[b]) accept[accepted++] = static_cast<char>(b);
      if (accepted >= sizeof accept) accepted = 0;
    }
    for (const char* position = text;; ++position) {
      if (accepted == 1) {
        position = std::strchr(position, accept[0]);
        if (!position) break;
      } else if (accepted > 1) {
        position += std::strcspn(position, accept);
        if (*position == '\0') break;
      } else if (filtered) {
        while (!first[static_cast<unsigned char>(*position)] && *position != '\0') ++position;
        if (!first[static_cast<unsigned char>(*position)]) break;
      }
      if (tryAt(position)) {
        found = position;
        break;
      }
      if (*position == '\0') break;
    }
  }
  if (!found) return -1;

  const std::size_t length = m_matchStart[0] && m_matchEnd[0]
                                 ? static_cast<std::size_t>(m_matchEnd[0] - m_matchStart[0])
                                 : 0;
  m_foundText = new char[length + 1];
  if (doubleByte)
    _mbsnbcpy(reinterpret_cast<unsigned char*>(m_foundText),
              reinterpret_cast<const unsigned char*>(found), length);
  else
    std::memcpy(m_foundText, found, length);
  m_foundText[length] = '\0';
  return static_cast<int>(found - text);
}

int CRegExp::RegFindNoCase(const char* text) {
  CString lowered(text ? text : "");
  lowered.MakeLower();
  return RegFind(lowered);
}
