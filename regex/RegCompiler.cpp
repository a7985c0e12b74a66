// The pattern compiler: a recursive-descent parser that runs twice over the pattern. The first
// pass only counts the bytes the program needs, so the program is allocated once at its exact
// size; the second pass runs the same code and writes the nodes. Nodes are linked by relative
// 16-bit distances, so a program can be copied or moved as one block.

#include <plinth/RegExp.h>
#include <plinth/win32.h>

#include <climits>
#include <cstring>

#include "regex/RegProgram.h"

using namespace plinth_regex;

namespace {

// No program larger than this can have all its links in range: the first node links past the
// whole first alternative, the last node of the first alternative past all the others.
constexpr std::int32_t kLargestPossibleProgram = 2 * kMaxLink + 2 * kNodeHeader;

bool IsRepeat(char c) { return c == '*' || c == '+' || c == '?'; }

}  // namespace

CRegExp::CRegExp()
    : m_emitting(false),
      m_compiled(false),
      m_foundText(nullptr),
      m_matchStart(),
      m_matchEnd(),
      m_startChar(0),
      m_anchored(0),
      m_mustText(nullptr),
      m_program(nullptr),
      m_parsePos(nullptr),
      m_groupCount(1),
      m_emitPos(nullptr),
      m_dummyNode{OpEmpty, 0, 0},
      m_programSize(0),
      m_inputPos(nullptr),
      m_inputStart(nullptr) {}

CRegExp::CRegExp(const CRegExp& other) : CRegExp() { CopyFrom(other); }

CRegExp::~CRegExp() {
  delete[] m_program;
  delete[] m_foundText;
}

CRegExp& CRegExp::operator=(const CRegExp& other) {
  if (this != &other) CopyFrom(other);
  return *this;
}

void CRegExp::CopyFrom(const CRegExp& other) {
  // Both buffers are allocated before anything is released, so a failed allocation leaves
  // this object as it was.
  char* program = nullptr;
  char* foundText = nullptr;
  try {
    if (other.m_program) {
      program = new char[static_cast<std::size_t>(other.m_programSize)];
      std::memcpy(program, other.m_program, static_cast<std::size_t>(other.m_programSize));
    }
    if (other.m_foundText) {
      const std::size_t length = std::strlen(other.m_foundText);
      foundText = new char[length + 1];
      std::memcpy(foundText, other.m_foundText, length + 1);
    }
  } catch (...) {
    delete[] program;
    throw;
  }
  delete[] m_program;
  delete[] m_foundText;
  m_emitting = other.m_emitting;
  m_compiled = other.m_compiled;
  m_foundText = foundText;
  for (int i = 0; i < kGroupSlots; ++i) {
    m_matchStart[i] = other.m_matchStart[i];
    m_matchEnd[i] = other.m_matchEnd[i];
  }
  m_startChar = other.m_startChar;
  m_anchored = other.m_anchored;
  m_program = program;
  // The required literal lies inside the program, so it moves with it.
  m_mustText =
      other.m_mustText && program ? program + (other.m_mustText - other.m_program) : nullptr;
  m_parsePos = nullptr;
  m_groupCount = other.m_groupCount;
  m_emitPos = nullptr;
  std::memcpy(m_dummyNode, other.m_dummyNode, sizeof m_dummyNode);
  m_programSize = other.m_programSize;
  m_inputPos = other.m_inputPos;
  m_inputStart = other.m_inputStart;
}

CRegExp* CRegExp::RegCompNoCase(const char* pattern) {
  CString lowered(pattern ? pattern : "");
  lowered.MakeLower();
  return RegComp(lowered);
}

CRegExp* CRegExp::RegComp(const char* pattern) {
  if (!pattern) return nullptr;
  int flags = 0;
  // A failed compile leaves the object as it was; the size describes the program in force.
  const std::int32_t previousSize = m_programSize;

  // Measuring pass: nodes are written nowhere; regnode hands out the placeholder node.
  m_dummyNode[0] = OpEmpty;
  m_dummyNode[1] = m_dummyNode[2] = 0;
  m_emitPos = m_dummyNode;
  m_emitting = false;
  m_parsePos = pattern;
  m_groupCount = 1;
  m_programSize = 0;
  if (!reg(0, &flags) || m_programSize > kLargestPossibleProgram) {
    m_programSize = previousSize;
    return nullptr;
  }

  // Emitting pass into a new buffer: the old program stays in force until the new one is
  // known to be good. A link out of range is flagged in the placeholder node, which this pass
  // does not otherwise use.
  char* program = new char[static_cast<std::size_t>(m_programSize)]();
  m_emitting = true;
  m_parsePos = pattern;
  m_groupCount = 1;
  m_emitPos = program;
  m_dummyNode[1] = 0;
  const char* emitted = reg(0, &flags);
  const bool linkOutOfRange = m_dummyNode[1] != 0;
  m_dummyNode[1] = 0;
  m_emitting = false;
  if (!emitted || linkOutOfRange) {
    delete[] program;
    m_programSize = previousSize;
    return nullptr;
  }
  delete[] m_program;
  m_program = program;
  m_compiled = true;

  // Short cuts for the search: a byte every match starts with, an anchor, a literal every
  // match contains.
  m_startChar = 0;
  m_anchored = 0;
  m_mustText = nullptr;
  char* first = regnext(m_program);
  if (first && OP(first) == OpEnd) {
    char* scan = OPERAND(m_program);
    if (OP(scan) == OpLiteral)
      m_startChar = *OPERAND(scan);
    else if (OP(scan) == OpLineStart)
      m_anchored = 1;
    if (flags & StartsWithRepeat) {
      const char* longest = nullptr;
      std::size_t longestLength = 0;
      for (; scan; scan = regnext(scan)) {
        if (OP(scan) == OpLiteral && std::strlen(OPERAND(scan)) >= longestLength) {
          longest = OPERAND(scan);
          longestLength = std::strlen(OPERAND(scan));
        }
      }
      m_mustText = longest;
    }
  }
  return this;
}

char CRegExp::OP(char* node) { return *node; }

char* CRegExp::OPERAND(char* node) { return node + kNodeHeader; }

char* CRegExp::regnext(char* node) {
  const int offset = static_cast<std::int16_t>(static_cast<unsigned char>(node[1]) |
                                               (static_cast<unsigned char>(node[2]) << 8));
  if (offset == 0) return nullptr;
  return OP(node) == OpLoopBack ? node - offset : node + offset;
}

void CRegExp::regc(char b) {
  if (m_emitting)
    *m_emitPos++ = b;
  else if (m_programSize < INT32_MAX)
    ++m_programSize;
}

char* CRegExp::regnode(char op) {
  char* node = m_emitPos;
  if (!m_emitting) {
    if (m_programSize <= INT32_MAX - kNodeHeader) m_programSize += kNodeHeader;
    return node;
  }
  node[0] = op;
  node[1] = node[2] = 0;
  m_emitPos += kNodeHeader;
  return node;
}

void CRegExp::reginsert(char op, char* operand) {
  if (!m_emitting) {
    if (m_programSize <= INT32_MAX - kNodeHeader) m_programSize += kNodeHeader;
    return;
  }
  std::memmove(operand + kNodeHeader, operand, static_cast<std::size_t>(m_emitPos - operand));
  m_emitPos += kNodeHeader;
  operand[0] = op;
  operand[1] = operand[2] = 0;
}

void CRegExp::regtail(char* p, char* val) {
  // Once a link has failed to fit, the program is discarded: no more chains are followed.
  if (!m_emitting || m_dummyNode[1]) return;
  char* scan = p;
  for (char* next = regnext(scan); next; next = regnext(scan)) scan = next;
  const std::ptrdiff_t offset = OP(scan) == OpLoopBack ? scan - val : val - scan;
  if (offset <= 0 || offset > kMaxLink) {
    m_dummyNode[1] = 1;
    return;
  }
  scan[1] = static_cast<char>(offset & 0xFF);
  scan[2] = static_cast<char>((offset >> 8) & 0xFF);
}

void CRegExp::regoptail(char* p, char* val) {
  if (!m_emitting || !p || OP(p) != OpAlternative) return;
  regtail(OPERAND(p), val);
}

char* CRegExp::reg(int paren, int* flags) {
  *flags = NonEmpty;
  char* result = nullptr;
  int group = 0;
  if (paren) {
    if (m_groupCount >= kGroupSlots) return nullptr;
    group = m_groupCount++;
    result = regnode(static_cast<char>(OpGroupOpen + group));
  }

  int branchFlags = 0;
  char* branch = regbranch(&branchFlags);
  if (!branch) return nullptr;
  if (result)
    regtail(result, branch);
  else
    result = branch;
  if (!(branchFlags & NonEmpty)) *flags &= ~NonEmpty;
  *flags |= branchFlags & StartsWithRepeat;

  while (*m_parsePos == '|') {
    ++m_parsePos;
    branch = regbranch(&branchFlags);
    if (!branch) return nullptr;
    regtail(result, branch);
    if (!(branchFlags & NonEmpty)) *flags &= ~NonEmpty;
    *flags |= branchFlags & StartsWithRepeat;
  }

  char* closing = regnode(static_cast<char>(paren ? OpGroupClose + group : OpEnd));
  regtail(result, closing);
  if (m_emitting) {
    for (char* node = result; node; node = regnext(node)) regoptail(node, closing);
  }

  if (paren) {
    if (*m_parsePos != ')') return nullptr;
    ++m_parsePos;
  } else if (*m_parsePos != '\0') {
    return nullptr;  // an unmatched ")"
  }
  return result;
}

char* CRegExp::regbranch(int* flags) {
  *flags = 0;
  char* result = regnode(OpAlternative);
  char* chain = nullptr;
  while (*m_parsePos != '\0' && *m_parsePos != '|' && *m_parsePos != ')') {
    int pieceFlags = 0;
    char* latest = regpiece(&pieceFlags);
    if (!latest) return nullptr;
    *flags |= pieceFlags & NonEmpty;
    if (!chain)
      *flags |= pieceFlags & StartsWithRepeat;
    else
      regtail(chain, latest);
    chain = latest;
  }
  if (!chain) regnode(OpEmpty);
  return result;
}

char* CRegExp::regpiece(int* flags) {
  int atomFlags = 0;
  char* atom = regatom(&atomFlags);
  if (!atom) return nullptr;
  const char op = *m_parsePos;
  if (!IsRepeat(op)) {
    *flags = atomFlags;
    return atom;
  }
  // A repeated operand that can match nothing would loop for ever without moving.
  if (!(atomFlags & NonEmpty) && op != '?') return nullptr;
  *flags = op == '*' ? StartsWithRepeat : op == '+' ? (NonEmpty | StartsWithRepeat) : 0;

  if (op == '*' && (atomFlags & SingleChar)) {
    reginsert(OpStar, atom);
  } else if (op == '+' && (atomFlags & SingleChar)) {
    reginsert(OpPlus, atom);
  } else if (op == '*') {
    // x* as (x<back to here>|<empty>).
    reginsert(OpAlternative, atom);
    regoptail(atom, regnode(OpLoopBack));
    regoptail(atom, atom);
    regtail(atom, regnode(OpAlternative));
    regtail(atom, regnode(OpEmpty));
  } else if (op == '+') {
    // x+ as x(<back to x>|<empty>).
    char* choice = regnode(OpAlternative);
    regtail(atom, choice);
    regtail(regnode(OpLoopBack), atom);
    regtail(choice, regnode(OpAlternative));
    regtail(atom, regnode(OpEmpty));
  } else {
    // x? as (x|<empty>).
    reginsert(OpAlternative, atom);
    regtail(atom, regnode(OpAlternative));
    char* empty = regnode(OpEmpty);
    regtail(atom, empty);
    regoptail(atom, empty);
  }
  ++m_parsePos;
  if (IsRepeat(*m_parsePos)) return nullptr;
  return atom;
}

char* CRegExp::regatom(int* flags) {
  *flags = 0;
  char* result = nullptr;
  const char c = *m_parsePos;
  switch (c) {
    case '\0':
    case ')':
    case '|':
    case '*':
    case '+':
    case '?': return nullptr;
    case '^': ++m_parsePos; return regnode(OpLineStart);
    case '$': ++m_parsePos; return regnode(OpLineEnd);
    case '.':
      ++m_parsePos;
      *flags = NonEmpty | SingleChar;
      return regnode(OpAnyChar);
    case '(': {
      ++m_parsePos;
      int inner = 0;
      result = reg(1, &inner);
      if (!result) return nullptr;
      *flags = inner & (NonEmpty | StartsWithRepeat);
      return result;
    }
    case '\\':
      if (m_parsePos[1] == '\0') return nullptr;
      result = regnode(OpLiteral);
      regc(m_parsePos[1]);
      regc('\0');
      m_parsePos += 2;
      *flags = NonEmpty | SingleChar;
      return result;
    case '[': {
      ++m_parsePos;
      if (*m_parsePos == '^') {
        ++m_parsePos;
        result = regnode(OpNotInSet);
      } else {
        result = regnode(OpInSet);
      }
      if (*m_parsePos == ']' || *m_parsePos == '-') regc(*m_parsePos++);
      bool closed = false;
      while (*m_parsePos != '\0') {
        const char member = *m_parsePos++;
        if (member == ']') {
          closed = true;
          break;
        }
        if (member == '-') {
          if (*m_parsePos == ']' || *m_parsePos == '\0') {
            regc('-');
            continue;
          }
          // Range ends compare as signed bytes; the first end is already in the set.
          const int first = static_cast<signed char>(m_parsePos[-2]);
          const int last = static_cast<signed char>(*m_parsePos);
          if (first > last) return nullptr;
          for (int value = first + 1; value <= last; ++value) regc(static_cast<char>(value));
          ++m_parsePos;
          continue;
        }
        regc(member);
      }
      regc('\0');
      if (!closed) return nullptr;
      *flags = NonEmpty | SingleChar;
      return result;
    }
    default: {
      // A literal run stops at the first meta byte, stepping over double-byte characters so
      // that a trail byte is never taken for one.
      std::size_t length = _mbscspn(reinterpret_cast<const unsigned char*>(m_parsePos),
                                    reinterpret_cast<const unsigned char*>(kMetaBytes));
      if (length == 0) return nullptr;
      // A repeat after a run applies to its last byte alone.
      if (length > 1 && IsRepeat(m_parsePos[length])) --length;
      *flags = NonEmpty | (length == 1 ? SingleChar : 0);
      result = regnode(OpLiteral);
      for (std::size_t i = 0; i < length; ++i) regc(m_parsePos[i]);
      regc('\0');
      m_parsePos += length;
      return result;
    }
  }
}
