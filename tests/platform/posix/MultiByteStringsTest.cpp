// The multibyte string functions in single-byte mode and under each double-byte code page.
#include <gtest/gtest.h>
#include <plinth/win32.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

const unsigned char* U(const char* s) { return reinterpret_cast<const unsigned char*>(s); }

// Every test leaves the process on the code page it found.
class MultiByte : public testing::Test {
 protected:
  void SetUp() override { saved_ = _getmbcp(); }
  void TearDown() override { _setmbcp(saved_); }
  void Use(int cp) { ASSERT_EQ(_setmbcp(cp), 0) << cp; }

 private:
  int saved_ = 0;
};

constexpr int kPages[] = {0, 932, 936, 949, 950};

// A single-byte page reads back as 0; a refused one leaves the page in force.
TEST_F(MultiByte, SetMbcpArguments) {
  // clang-format off
  struct Case { int arg, result, after; };
  const Case cases[] = {
      {932, 0, 932}, {0, 0, 0}, {1252, 0, 0}, {437, 0, 0}, {65001, 0, 65001},
      // The test program runs in the "C" locale, which is taken as UTF-8.
      {_MB_CP_LOCALE, 0, 65001}, {_MB_CP_ANSI, 0, 65001}, {_MB_CP_OEM, 0, 65001},
      {1, -1, 936}, {-1, -1, 936}, {1200, -1, 936}, {54936, -1, 936}};
  // clang-format on
  for (const Case& c : cases) {
    Use(936);
    errno = 0;
    EXPECT_EQ(_setmbcp(c.arg), c.result) << c.arg;
    if (c.result) {
      EXPECT_EQ(errno, EINVAL) << c.arg;
    }
    EXPECT_EQ(_getmbcp(), c.after) << c.arg;
  }
}

TEST_F(MultiByte, BytesAndCharactersFollowEachPage) {
  // clang-format off
  struct Case { int cp; unsigned int byte; bool lead, trail; };
  const Case bytes[] = {
      {0, 0x81, 0, 0},   {65001, 0xE3, 0, 0}, {932, 0x80, 0, 1}, {932, 0x9F, 1, 1},
      {932, 0xA0, 0, 1}, {932, 0xE0, 1, 1},   {932, 0xFC, 1, 1}, {932, 0xFD, 0, 0},
      {932, 0x7F, 0, 0}, {936, 0xFE, 1, 1},   {936, 0xFF, 0, 0}, {936, 0x80, 0, 1},
      {949, 0x5C, 0, 0}, {949, 0x41, 0, 1},   {949, 0x60, 0, 0}, {950, 0x7E, 0, 1},
      {950, 0xA0, 1, 0},
      {932, 0xFFFFFF81, 1, 1}};  // a sign-extended char
  struct Text { int cp; const char* s; size_t chars, firstStep; };
  const Text texts[] = {
      {0, "a\x81\x40", 3, 1},   {932, "\x81\x40\x61", 2, 2}, {932, "\x81", 1, 1},
      {932, "\x81\x7F", 2, 1},  {949, "\x81\x5C", 2, 1},     {950, "\xA4\xA4\xA4", 2, 2},
      {932, "", 0, 1}};
  // clang-format on
  for (const Case& c : bytes) {
    Use(c.cp);
    EXPECT_EQ(!!_ismbblead(c.byte), c.lead) << c.cp << " " << c.byte;
    EXPECT_EQ(!!_ismbbtrail(c.byte), c.trail) << c.cp << " " << c.byte;
  }
  for (const Text& t : texts) {
    Use(t.cp);
    EXPECT_EQ(_mbslen(U(t.s)), t.chars) << t.cp << " " << t.s;
    EXPECT_EQ(static_cast<size_t>(_mbsinc(U(t.s)) - U(t.s)), t.firstStep) << t.cp << " " << t.s;
  }
}

// Searches give the offset of what they find (-1 for nothing), comparisons their sign.
// `arg` is the character searched for, or the count of a comparison.
enum Op { Chr, Rchr, Str, Cspn, Spn, Nb, Nbi, Ni, I };

long Sign(int v) { return (v > 0) - (v < 0); }

long Query(Op op, const char* s, const char* t, unsigned int arg) {
  const unsigned char* hit = nullptr;
  switch (op) {
    // clang-format off
    case Chr: hit = _mbschr(U(s), arg); break;
    case Rchr: hit = _mbsrchr(U(s), arg); break;
    case Str: hit = _mbsstr(U(s), U(t)); break;
    case Cspn: return static_cast<long>(_mbscspn(U(s), U(t)));
    case Spn: return static_cast<long>(_mbsspn(U(s), U(t)));
    case Nb: return Sign(_mbsnbcmp(U(s), U(t), arg));
    case Nbi: return Sign(_mbsnbicmp(U(s), U(t), arg));
    case Ni: return Sign(_mbsnicmp(U(s), U(t), arg));
    case I: return Sign(_mbsicmp(U(s), U(t)));
      // clang-format on
  }
  return hit ? hit - U(s) : -1;
}

TEST_F(MultiByte, SearchesAndComparisonsStepOverDoubleByteCharacters) {
  // clang-format off
  struct Case { int cp; Op op; const char* s; const char* t; unsigned int arg; long want; };
  const Case cases[] = {
      // 0x95 0x5C is one Shift-JIS character; its trail is not a backslash.
      {0, Chr, "a\x95\\b\\", "", '\\', 2},      {932, Chr, "a\x95\\b\\", "", '\\', 4},
      {932, Rchr, "a\\\x95\\b", "", '\\', 1},   {932, Str, "\x95\\b\\b", "\\b", 0, 3},
      {932, Cspn, "\x95\\x\\", "\\", 0, 3},     {932, Spn, "\\\\\x95\\", "\\\x95", 0, 2},
      {932, Chr, "a\x95\\", "", 0x955C, 1},     {932, Rchr, "\x95\\a\x95\\", "", 0x955C, 3},
      {0, Chr, "a\x95\\", "", 0x955C, -1},
      // Sets of double-byte characters, in any order, among single ones.
      {936, Spn, "\xB0\xA1\xC4\xE3\xB0\xA1z\xD6\xD0", "z\xC4\xE3\xB0\xA1", 0, 7},
      {936, Cspn, "\xB0\xA1\xC4\xE3z\xD6\xD0", "\xD6\xD0\xC4\xE3", 0, 2},
      {936, Cspn, "\xB0\xA1\xC4\xE3", "\xA1\xC4", 0, 4},
      // 0x5C is no trail in 949, so the same bytes hold a backslash there.
      {949, Chr, "\x81\\", "", '\\', 1},        {936, Chr, "\x81\\", "", '\\', -1},
      {950, Chr, "\xA4\\", "", '\\', -1},
      // A lead byte before the terminator, or before a byte that is no trail, stands alone.
      {932, Chr, "ab\x81", "", 0x81, 2},        {932, Rchr, "\x81\x81\x81", "", 0x81, 2},
      {936, Str, "x\x81", "\x81", 0, 1},        {932, Chr, "\x81\x7F", "", 0x7F, 1},
      // The terminator, empty arguments, absent characters.
      {0, Chr, "abc", "", 0, 3},                {932, Chr, "\x81\x40z", "", 0, 3},
      {0, Str, "abc", "", 0, 0},                {0, Nb, "\xE9", "e", 1, 1},
      {0, Nbi, "a", "B", 0, 0},                 {0, I, "_", "A", 0, -1},  // folds to lower case
      {0, Ni, "abcX", "ABCy", 3, 0},            {0, Ni, "abcX", "ABCy", 4, -1},
      {932, I, "\x82\x60", "\x82\x81", 0, -1},  // full-width letters are not folded
      // A trail byte that looks like a letter is not folded.
      {932, I, "\x81\x41", "\x81\x61", 0, -1},  {0, I, "\x81\x41", "\x81\x61", 0, 0},
      // A double-byte character cut by the byte count counts as absent.
      {932, Nb, "a\x81\x40", "a\x82\x40", 2, 0}, {932, Nb, "a\x81\x40", "a\x82\x40", 3, -1},
      {0, Nb, "a\x81\x40", "a\x82\x40", 2, -1},  {932, Nbi, "A\x81\x40", "a\x81\x40", 3, 0},
      // _mbsnicmp counts characters, not bytes.
      {932, Ni, "\x81\x40x", "\x81\x40y", 2, -1},
      {936, I, "\x81", "\x81\x40", 0, -1},      {949, I, "Z\xB0\xA1", "z\xB0\xA1", 0, 0},
  };
  // clang-format on
  for (const Case& c : cases) {
    Use(c.cp);
    EXPECT_EQ(Query(c.op, c.s, c.t, c.arg), c.want) << "case " << (&c - cases);
  }
}

// Copying, filling and case folding never leave half a character nor change a length.
TEST_F(MultiByte, ChangesKeepDoubleByteCharactersWhole) {
  enum Fn { Cpy, Set, Lwr, Upr };
  // clang-format off
  struct Case { int cp; Fn fn; const char* s; unsigned int ch; size_t n; std::string want; };
  const Case cases[] = {
      {0, Cpy, "abc", 0, 5, std::string("abc\0\0xx", 7)}, {0, Cpy, "abc", 0, 2, "abxxxxx"},
      {932, Cpy, "a\x81\x40", 0, 2, std::string("a\0xxxxx", 7)},
      {932, Cpy, "a\x81", 0, 3, std::string("a\x81\0xxxx", 7)},
      {0, Set, "abcdef", '*', 3, "***def"},  {0, Set, "ab", '*', 9, "**"},
      {932, Set, "a\x81\x40z", '*', 2, "** z"},  {932, Set, "a\x81\x40z", 0x8140, 2, "\x81\x40 z"},
      {932, Set, "abcdef", 0x8140, 5, "\x81\x40\x81\x40 f"}, {932, Set, "abc", 0x8100, 2, "\x81 c"},
      {0, Lwr, "aB1\x81\x41", 0, 0, "ab1\x81\x61"}, {0, Upr, "aB1\x81\x41", 0, 0, "AB1\x81\x41"},
      {932, Lwr, "aB\x81\x41Z", 0, 0, "ab\x81\x41z"},
      {949, Lwr, "\xB0\x41Q", 0, 0, "\xB0\x41q"},  {950, Upr, "\xA4\x61q", 0, 0, "\xA4\x61Q"},
      {936, Upr, "x\x81", 0, 0, "X\x81"},
  };
  // clang-format on
  for (const Case& c : cases) {
    Use(c.cp);
    std::string buf = c.fn == Cpy ? std::string(7, 'x') : std::string(c.s);
    unsigned char* p = reinterpret_cast<unsigned char*>(&buf[0]);
    if (c.fn == Cpy) _mbsnbcpy(p, U(c.s), c.n);
    if (c.fn == Set) _mbsnbset(p, c.ch, c.n);
    if (c.fn == Lwr) _mbslwr(p);
    if (c.fn == Upr) _mbsupr(p);
    EXPECT_EQ(buf, c.want) << "case " << (&c - cases);
  }
}

// Strings that end in a lead byte, in heap blocks of their exact size: a read one byte too
// far is caught by the address sanitizer.
TEST_F(MultiByte, NothingReadsPastTheTerminator) {
  for (int cp : kPages) {
    Use(cp);
    for (const char* text : {"\x81", "ab\x95", "\x95\\\xE0", "\xA4"}) {
      const size_t n = std::strlen(text) + 1;
      std::vector<unsigned char> s(U(text), U(text) + n), set(U("\x40\xE0"), U("\x40\xE0") + 3);
      std::vector<unsigned char> out(n);
      _mbslen(s.data()), _mbschr(s.data(), 0x8140), _mbsrchr(s.data(), 0xE040);
      _mbsstr(s.data(), set.data()), _mbsspn(s.data(), set.data()), _mbscspn(s.data(), set.data());
      _mbsicmp(s.data(), set.data()), _mbsnbicmp(s.data(), s.data(), 99);
      _mbsnicmp(s.data(), s.data(), 99), _mbsnbcmp(s.data(), s.data(), 99);
      _mbsnbcpy(out.data(), s.data(), n), _mbsnbset(out.data(), 0x8140, 99);
      _mbslwr(s.data()), _mbsupr(s.data());
    }
  }
}

// Against a reference that steps character by character and compares bytes at each start.
TEST_F(MultiByte, SubstringSearchAgreesWithACharacterByCharacterSearch) {
  const char alphabet[] = {'a', 'b', '\\', '\x40', '\x81', '\x95', '\xA4', '\xE0'};
  std::mt19937 rng(20240601);
  for (int cp : kPages) {
    Use(cp);
    for (int round = 0; round < 3000; ++round) {
      // Now and then a long text: many false hits of a short needle.
      std::string hay(rng() % (round % 10 ? 40 : 400), ' '), sub(rng() % 5, ' ');
      for (char& c : hay) c = alphabet[rng() % sizeof alphabet];
      for (char& c : sub) c = alphabet[rng() % sizeof alphabet];
      if (round % 2 && !hay.empty()) sub = hay.substr(rng() % hay.size(), rng() % 5);  // hits
      long want = -1;
      for (size_t i = 0; want < 0 && i <= hay.size(); i += _mbsinc(U(&hay[i])) - U(&hay[i]))
        if (hay.compare(i, sub.size(), sub) == 0) want = static_cast<long>(i);
      ASSERT_EQ(Query(Str, hay.c_str(), sub.c_str(), 0), want) << cp << " round " << round;
    }
  }
}

// Every byte-level hit falls inside a double-byte character but the last: a search that
// restarted at each false hit would take n*m steps here.
TEST_F(MultiByte, SubstringSearchStaysLinearOnFalseHits) {
  Use(932);
  std::string sub = "\x41", hay;
  for (int i = 0; i < 20000; ++i) sub += "\x81\x41";
  for (int i = 0; i < 400000; ++i) hay += "\x81\x41";
  const long at = static_cast<long>(hay.size()) + 1;
  hay += "x" + sub;
  EXPECT_EQ(Query(Str, hay.c_str(), sub.c_str(), 0), at);
}

}  // namespace
