#pragma once
// The byte program shared by the compiler, the matcher and the tests' expectations.
// A node is: opcode byte, 16-bit link (low byte first), operand. The link is the distance to
// the successor (backwards for OpLoopBack); 0 means there is none.

namespace plinth_regex {

enum Opcode : char {
  OpEnd = 0,          // the match succeeds
  OpLineStart = 1,    // empty, only where the search started
  OpLineEnd = 2,      // empty, only at the terminating NUL
  OpAnyChar = 3,      // any byte but NUL
  OpInSet = 4,        // one byte of the NUL-terminated set operand
  OpNotInSet = 5,     // one byte, not NUL, not in the set operand
  OpAlternative = 6,  // its operand sequence, or else the next alternative of the chain
  OpLoopBack = 7,     // empty; the link leads backwards
  OpLiteral = 8,      // the NUL-terminated operand bytes
  OpEmpty = 9,        // empty
  OpStar = 10,        // zero or more of the one-byte operand node
  OpPlus = 11,        // one or more of the one-byte operand node
  OpGroupOpen = 20,   // + group number: records where the group starts
  OpGroupClose = 30,  // + group number: records where the group ends
};

// Compile flags each parse step reports about the item it parsed.
enum CompileFlag : int {
  NonEmpty = 1,          // never matches the empty string
  SingleChar = 2,        // always matches exactly one byte
  StartsWithRepeat = 4,  // begins with a repeated piece
};

constexpr int kNodeHeader = 3;
constexpr int kMaxLink = 32767;
constexpr int kGroupSlots = 10;

// The bytes that are not literal in a pattern; the last one is the backslash.
constexpr char kMetaBytes[] = "^$.[()|?+*\\";

// True when the process's multibyte code page has double-byte characters; the one-byte set
// tests and the start-byte scan then follow the platform's character rules.
bool DoubleByteCodePage();

}  // namespace plinth_regex
