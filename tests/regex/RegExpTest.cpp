// CRegExp: program bytes, compile errors, search results, groups, templates and
// RegSearchReplace, each against the results the engine promises.

#include <gtest/gtest.h>
#include <plinth/RegExp.h>
#include <plinth/win32.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "regex/RegExpProgramView.h"

namespace {

using I = CRegExpProgramView;

std::string Hex(const char* pattern, bool noCase = false) {
  CRegExp re;
  if (!(noCase ? re.RegCompNoCase(pattern) : re.RegComp(pattern))) return "(error)";
  return I::Hex(re);
}

// The offsets of group g in the text searched, "-" for an unset pointer.
std::string Span(const CRegExp& re, const char* text, int g) {
  const char* start = I::MatchStart(re, g);
  const char* end = I::MatchEnd(re, g);
  auto at = [&](const char* p) { return p ? std::to_string(p - text) : std::string("-"); };
  return at(start) + ".." + at(end);
}

TEST(RegCompTest, ProgramBytes) {
  // clang-format off
  struct Case { const char* pattern; const char* bytes; };
  const Case cases[] = {
    {"",      "06 06 00 09 03 00 00 00 00"},
    {"ab|c",  "06 09 00 08 0E 00 61 62 00 06 08 00 08 05 00 63 00 00 00 00"},
    {"ab*",   "06 10 00 08 05 00 61 00 0A 08 00 08 00 00 62 00 00 00 00"},
    {"(ab)*", "06 1E 00 06 15 00 15 03 00 06 09 00 08 06 00 61 62 00 1F 03 00 07 12 00 "
              "06 03 00 09 03 00 00 00 00"},
  };
  // clang-format on
  for (const Case& c : cases) EXPECT_EQ(Hex(c.pattern), c.bytes) << c.pattern;
  EXPECT_EQ(Hex("A[B-D]", true), Hex("a[b-d]"));  // no case compiles the lower-cased pattern
  EXPECT_EQ(Hex(nullptr, true), Hex(""));
}

TEST(RegCompTest, Acceptance) {
  // clang-format off
  struct Case { const char* pattern; bool compiles; };
  const Case cases[] = {
    {"",               true},  {"a|",            true},  {"|",             true},
    {"[]]",            true},  {"[-a]",          true},  {"[a-]",          true},
    {"[a-a]",          true},  {"[^]a]",         true},  {"\\.",           true},
    {"\\\\",           true},  {"\\n",           true},  {"(a*)?",         true},
    {"$?",             true},  {"a^b",           true},  {"a$b",           true},
    {"{}]",            true},  {"((((((((()))))))))", true},
    {"(a)(b)(c)(d)(e)(f)(g)(h)(i)", true},
    {nullptr,          false}, {"*a",            false}, {"(*a)",          false},
    {"a|+b",           false}, {"?",             false}, {"^*",            false},
    {"$+",             false}, {"()+",           false}, {"(a*)*",         false},
    {"(a|)+",          false}, {"a**",           false}, {"a+?",           false},
    {"a?*",            false}, {"[abc",          false}, {"[]",            false},
    {"[c-a]",          false}, {"\\",            false}, {"a\\",           false},
    {"(a",             false}, {"a)",            false}, {")",             false},
    {"((((((((((a))))))))))", false},
    {"(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)", false},
  };
  // clang-format on
  for (const Case& c : cases) {
    CRegExp re;
    EXPECT_EQ(re.RegComp(c.pattern) != nullptr, c.compiles) << (c.pattern ? c.pattern : "null");
  }
}

TEST(RegCompTest, ShortCuts) {
  // clang-format off
  struct Case { const char* pattern; char startChar; bool anchored; const char* must; };
  const Case cases[] = {
    {"x+y",  0,   false, "y"},       {"a?bc",      0, false, "(none)"},
    {"abc",  'a', false, "(none)"},  {"^ab",       0, true,  "(none)"},
    {"a|b",  0,   false, "(none)"},  {"[a-z]+ing", 0, false, "ing"},
    {"x*ab(cde)fg", 0,  false, "fg"},     // later literal wins a tie; group contents do not count
    {"x*abc(d)fg", 0,   false, "abc"},
  };
  // clang-format on
  for (const Case& c : cases) {
    CRegExp re;
    ASSERT_TRUE(re.RegComp(c.pattern)) << c.pattern;
    EXPECT_EQ(I::StartChar(re), c.startChar) << c.pattern;
    EXPECT_EQ(I::Anchored(re), c.anchored) << c.pattern;
    EXPECT_EQ(I::MustText(re), c.must) << c.pattern;
  }
}

TEST(RegCompTest, FailedCompilesKeepThePreviousProgram) {
  CRegExp re;
  ASSERT_TRUE(re.RegComp("b+"));
  const std::string before = I::Hex(re);
  EXPECT_FALSE(re.RegComp("(b"));
  EXPECT_FALSE(re.RegComp(nullptr));
  EXPECT_EQ(I::Hex(re), before);
  EXPECT_EQ(re.RegFind("abbc"), 1);
  EXPECT_EQ(re.GetFindLen(), 2);
  CRegExp never;
  EXPECT_FALSE(never.RegComp("a**"));
  EXPECT_EQ(never.RegFind("a"), -1);

  // Links longer than their field are refused. The first node links past the literal node
  // (header, bytes, NUL) to the end node.
  EXPECT_TRUE(re.RegComp(std::string(32760, 'x').c_str()));
  EXPECT_FALSE(re.RegComp(std::string(32761, 'x').c_str()));
  EXPECT_FALSE(re.RegComp(("(" + std::string(40000, 'y') + ")*").c_str()));
  EXPECT_FALSE(re.RegComp((std::string(20000, 'a') + "|" + std::string(20000, 'b')).c_str()));
  EXPECT_EQ(re.RegFind(std::string(32760, 'x').c_str()), 0);
}

TEST(RegCompTest, CopiesOwnTheirProgramAndFoundText) {
  CRegExp source;
  ASSERT_TRUE(source.RegComp("x*(ab)cd"));
  ASSERT_EQ(source.RegFind("zzxabcd"), 2);
  CRegExp copy;
  copy = source;
  CRegExp constructed(source);
  ASSERT_TRUE(source.RegComp("q"));  // the source's program and found text go away
  EXPECT_EQ(source.RegFind("zz"), -1);
  for (CRegExp* re : {&copy, &constructed}) {
    EXPECT_NE(I::Program(*re), I::Program(source));
    EXPECT_TRUE(I::MustTextInsideProgram(*re));
    EXPECT_EQ(I::MustText(*re), "cd");
    const std::unique_ptr<char[]> text(re->GetReplaceString("[\\1]"));
    ASSERT_TRUE(text);
    EXPECT_STREQ(text.get(), "[ab]");
    EXPECT_EQ(re->RegFind("abcd xabcd"), 0);
  }
  CRegExp& alias = copy;
  copy = alias;
  EXPECT_EQ(copy.RegFind("abcd"), 0);
}

// clang-format off
// found is null when there is no match; groups, "g1 g2 ..." as start..end offsets, is checked
// when not null.
struct FindCase { const char* pattern; const char* text; int offset; const char* found;
  const char* groups; };
// clang-format on

void CheckFind(const FindCase& c) {
  CRegExp re;
  ASSERT_TRUE(re.RegComp(c.pattern)) << c.pattern;
  EXPECT_EQ(re.RegFind(c.text), c.offset) << c.pattern << " on " << c.text;
  EXPECT_STREQ(I::FoundText(re), c.found) << c.pattern;  // both null when nothing is found
  EXPECT_EQ(re.GetFindLen(), c.found ? static_cast<int>(std::strlen(c.found)) : re.GetFindLen());
  if (!c.groups) return;
  std::string spans = Span(re, c.text, 1);
  for (int g = 2; g < 10; ++g) spans += ' ' + Span(re, c.text, g);
  EXPECT_EQ(spans.substr(0, std::strlen(c.groups)), c.groups) << c.pattern;
}

TEST(RegFindTest, LeftmostFirstAlternativeGreedy) {
  // clang-format off
  const FindCase cases[] = {
    {"c",       "abc",    2,  "c",     nullptr},  {"bc",      "abc",    1,  "bc",    nullptr},
    {"",        "abc",    0,  "",      nullptr},  {"$",       "abc",    3,  "",      nullptr},
    {"^b",      "abc",    -1, nullptr, nullptr},  {"^a",      "abc",    0,  "a",     nullptr},
    {"a*",      "baaa",   0,  "",      nullptr},  {"a+",      "baaa",   1,  "aaa",   nullptr},
    {"a|b",     "cba",    1,  "b",     nullptr},  {"abc",     "",       -1, nullptr, nullptr},
    {"x*y",     "xxx",    -1, nullptr, nullptr},  {"ab*",     "abbbc",  0,  "abbb",  nullptr},
    {"abc+",    "ababcc", 2,  "abcc",  nullptr},  {"a*ab",    "aaab",   0,  "aaab",  nullptr},
    {"[a-c]+d", "xxabcd", 2,  "abcd",  nullptr},  {"[^a-c]+", "abxyc",  2,  "xy",    nullptr},
    {"a.c",     "xabc",   1,  "abc",   nullptr},  {".*",      "ab",     0,  "ab",    nullptr},
    {"\\.",     "a.b",    1,  ".",     nullptr},  {"\\\\",    "a\\b",   1,  "\\",    nullptr},
    {"\\n",     "x\nn",    2,  "n",     nullptr},  {"[]]",     "x]",     1,  "]",     nullptr},
    {"[-a]+",   "b-a",    1,  "-a",    nullptr},  {"[a-]+",   "b-a",    1,  "-a",    nullptr},
    {"[^]a]",   "]ab",    2,  "b",     nullptr},  {"a^b",     "a^b ab", -1, nullptr, nullptr},
    {"a$b",     "ab",     -1, nullptr, nullptr},  {"a?bc",    "xbc",    1,  "bc",    nullptr},
    {"{2}",     "a{2}",   1,  "{2}",   nullptr},
    // A range from a high byte down to a low one holds the bytes from its first end up to 0xFF:
    // the NUL it runs through ends the set text.
    {"[x\xF0-\x05]", "\x03\xF5", 1, "\xF5", nullptr}, {"[x\xF0-\x05]", "\x03x", 1, "x", nullptr},
    {"[x\xF0-\x05]", "\x03\x05\xEF", -1, nullptr, nullptr},
    {"\xE9t\xE9", "\xE9t\xE9", 0, "\xE9t\xE9", nullptr},
    {"[\x80-\xFF]+", "ab\x80\xFFz", 2, "\x80\xFF", nullptr},
    {"(a|ab)c",  "abc",    0, "abc",    "0..2"},       {"(ab)+", "ababab", 0, "ababab", "4..6"},
    {"(a|b)*",   "abba",   0, "abba",   "3..4"},       {"(x)?y", "y",      0, "y",      "-..-"},
    {"((a)|b)*", "ab",     0, "ab",     "1..2 0..1"},  {"(a*)b", "b",      0, "b",      "0..0"},
    {"(a)|(b)",  "b",      0, "b",      "-..- 0..1"},
    {"(a|ab)(c|bcd)(d*)",  "abcd",    0,  "abcd",   "0..1 1..4 4..4"},
    {"(((((((((a)))))))))",   "a",    0,  "a",      "0..1 0..1 0..1 0..1 0..1 0..1 0..1 0..1 0..1"},
  };
  // clang-format on
  for (const FindCase& c : cases) CheckFind(c);
}

// Under a double-byte code page a high byte is never found by the one-byte lookups.
TEST(RegFindTest, DoubleByteCodePage) {
  // clang-format off
  // The offsets under a single-byte code page and under code page 932.
  struct Case { const char* pattern; const char* text; int singleByte; int doubleByte; };
  const Case cases[] = {
    {"[\x82]",      "a\x82",         1,  -1},  // a high byte is never a member
    {"[^a]",        "a\x82",         1,  1},   // so a negated set takes it
    {"\x82\xA0",    "x\x82\xA0",     1,  -1},  // a high start byte is tried at offset 0 only
    {"\x82\xA0",    "\x82\xA0x",     0,  0},   {"b+", "a\x82\xA0" "bb", 3, 3},
  };
  // clang-format on
  for (const Case& c : cases) {
    for (int codePage : {0, 932}) {
      ASSERT_EQ(_setmbcp(codePage), 0);
      CRegExp re;
      ASSERT_TRUE(re.RegComp(c.pattern));
      EXPECT_EQ(re.RegFind(c.text), codePage ? c.doubleByte : c.singleByte)
          << c.pattern << " in code page " << codePage;
    }
  }
  // An empty match steps over a whole double-byte character.
  ASSERT_EQ(_setmbcp(932), 0);
  CKaString text("\x82\xA0");
  EXPECT_EQ(RegSearchReplace(text, "x*", "-"), 2);
  EXPECT_STREQ(text, "-\x82\xA0-");
  ASSERT_EQ(_setmbcp(0), 0);
}

TEST(RegFindTest, NoCase) {
  CRegExp re;
  ASSERT_TRUE(re.RegCompNoCase("HeLLo"));
  EXPECT_EQ(re.RegFindNoCase("say HELLO"), 4);
  EXPECT_STREQ(I::FoundText(re), "hello");
  EXPECT_EQ(re.GetFindLen(), 5);
  ASSERT_TRUE(re.RegComp(""));
  EXPECT_EQ(re.RegFindNoCase(nullptr), 0);
  ASSERT_TRUE(re.RegComp("A"));
  EXPECT_EQ(re.RegFindNoCase("A"), -1);  // only the text is lower-cased
  ASSERT_TRUE(re.RegCompNoCase("x(W+)"));
  ASSERT_EQ(re.RegFindNoCase("aXWWy"), 1);
  const std::unique_ptr<char[]> groups(re.GetReplaceString("\\1&"));
  EXPECT_STREQ(groups.get(), "wwxww");  // groups point into the lower-cased copy
}

TEST(RegFindTest, StateAfterSearches) {
  CRegExp re;
  EXPECT_EQ(re.RegFind("abc"), -1);  // nothing compiled
  EXPECT_EQ(re.GetFindLen(), 0);
  EXPECT_EQ(re.GetReplaceString("&"), nullptr);

  ASSERT_TRUE(re.RegComp("x*(b)c"));
  const char* text = "abc";
  ASSERT_EQ(re.RegFind(text), 1);
  EXPECT_EQ(re.RegFind(nullptr), -1);  // stops before trying: pointers stay, found text goes
  EXPECT_EQ(I::FoundText(re), nullptr);
  EXPECT_EQ(re.GetReplaceString("&"), nullptr);
  EXPECT_EQ(re.GetFindLen(), 2);
  EXPECT_EQ(re.RegFind("zzz"), -1);  // required literal missing: pointers stay
  EXPECT_EQ(re.GetFindLen(), 2);
  EXPECT_EQ(I::MatchStart(re, 1), text + 1);
  EXPECT_EQ(re.RegFind("zcz"), -1);  // positions tried: every pointer cleared
  EXPECT_EQ(re.GetFindLen(), 0);
  EXPECT_EQ(re.GetReplaceString("&"), nullptr);
  for (int g = 0; g < 10; ++g) EXPECT_TRUE(!I::MatchStart(re, g) && !I::MatchEnd(re, g)) << g;
  ASSERT_EQ(re.RegFind(text), 1);
  ASSERT_TRUE(re.RegComp("q"));  // compiling leaves the last results alone
  EXPECT_EQ(re.GetFindLen(), 2);
  const std::unique_ptr<char[]> again(re.GetReplaceString("&"));
  EXPECT_STREQ(again.get(), "bc");
  EXPECT_EQ(re.GetReplaceString(nullptr), nullptr);
}

TEST(RegFindTest, LongSubjectsNeedNoDeepStack) {
  const std::size_t size = 10 * 1000 * 1000;
  std::string pairs;
  pairs.reserve(size);
  while (pairs.size() < size) pairs += "ab";
  CRegExp re;
  ASSERT_TRUE(re.RegComp("(ab)*"));
  ASSERT_EQ(re.RegFind(pairs.c_str()), 0);
  EXPECT_EQ(re.GetFindLen(), static_cast<int>(size));
  EXPECT_EQ(I::MatchStart(re, 1) - pairs.c_str(), static_cast<long>(size - 2));

  std::string mixed(size, 'a');
  for (std::size_t i = 0; i < size; i += 3) mixed[i] = 'b';
  ASSERT_TRUE(re.RegComp("(a|b)*c?"));
  ASSERT_EQ(re.RegFind(mixed.c_str()), 0);
  EXPECT_EQ(re.GetFindLen(), static_cast<int>(size));
  EXPECT_EQ(I::MatchEnd(re, 1) - mixed.c_str(), static_cast<long>(size));
}

TEST(RegFindTest, NestedChoicesStayPolynomial) {
  // Wrapped in a group, there is no required literal to rule the subject out early.
  const std::string as(10000, 'a');
  for (const char* pattern : {"(a|aa)*c", "(a|a)*b", "((a|aa)*c)", "((a|a)*b)"})
    CheckFind({pattern, as.c_str(), -1, nullptr, nullptr});

  // Remembered failures must not disturb the groups of the match found afterwards.
  const std::string text = std::string(60, 'a') + "e";
  CheckFind({"((a|aa)*b|(a+)e)", text.c_str(), 0, text.c_str(), "0..61 -..- 0..60"});
}

TEST(ReplaceTest, Templates) {
  // clang-format off
  struct Case { const char* pattern; const char* text; const char* replaceExp;
    const char* expected; };
  const Case cases[] = {
    {"([a-z]+)=([a-z]+)", "set key=value now", "\\2 at \\1 (&) \\& \\\\ \\x",
                                                "value at key (key=value) & \\ \\x"},
    {"(a)|(b)", "b",   "[\\1][\\2][&]", "[][b][b]"},  {"(a)|(b)", "b", "\\9",   ""},
    {"b",       "abc", "\\",           "\\"},        {"b",       "abc", "a\\", "a\\"},
    {"b",       "abc", "\\0\\0&",      "bbb"},       {"(a*)b",   "b", "<\\1>", "<>"},
    {"b",       "abc", "",             ""},
  };
  // clang-format on
  for (const Case& c : cases) {
    CRegExp re;
    ASSERT_TRUE(re.RegComp(c.pattern));
    ASSERT_GE(re.RegFind(c.text), 0) << c.pattern;
    const std::unique_ptr<char[]> result(re.GetReplaceString(c.replaceExp));
    ASSERT_TRUE(result) << c.replaceExp;
    EXPECT_STREQ(result.get(), c.expected) << c.replaceExp;
  }
}

TEST(RegSearchReplaceTest, Table) {
  // clang-format off
  struct Case { std::string text; const char* pattern; const char* replacement;
    std::string expected; int count; };
  const Case cases[] = {
    {"one two one", "one",              "1",       "1 two 1",   2},
    {"x=1, y=22",   "([a-z])=([0-9]+)", "\\2=\\1", "1=x, 22=y", 2},
    {"aaa",   "a",     "aa",    "aaaaaa",  3},  {"xa",    "a",     "b",     "xb",      1},
    {"aaa",   "^a",    "b",     "bbb",     3},  {"abc",   "abc",   "ABC",   "abc",     0},
    {"ab",    "b",     "AB",    "ab",      0},  {"aab",   "b",     "AAB",   "aab",     0},
    {"abab",  "b",     "x",     "axax",    2},  {"abc",   "a**",   "x",     "abc",     0},
    {"abc",   "z",     "x",     "abc",     0},  {"abc",   nullptr, "x",     "abc",     0},
    {"abc",   "b",     nullptr, "abc",     0},  {"abc",   "x*",    "-",     "-a-b-c-", 4},
    {"baaac", "a*",    "-",     "-b--c-",  4},  {"",      "",      "x",     "x",       1},
    {"",      "",      "",      "",        0},
    {std::string("a\0a", 3), "a", "b", std::string("b\0a", 3), 1},
  };
  // clang-format on
  for (const Case& c : cases) {
    CKaString text(c.text.data(), static_cast<int>(c.text.size()));
    EXPECT_EQ(RegSearchReplace(text, c.pattern, c.replacement), c.count)
        << c.text << " / " << (c.pattern ? c.pattern : "null");
    EXPECT_EQ(std::string(text, static_cast<std::size_t>(text.GetLength())), c.expected)
        << c.text << " / " << (c.pattern ? c.pattern : "null");
  }
}

// The same results as replacing in place, match by match, the way the loop is described.
TEST(RegSearchReplaceTest, AgreesWithReplacingInPlace) {
  for (const char* pattern : {"a", "ab*", "(a|b)c", "^a", "[abc]+", "b$", "c(a)"}) {
    CRegExp re;
    ASSERT_TRUE(re.RegComp(pattern));
    for (const char* replacement : {"", "x", "\\1\\1", "&&", "AB"}) {
      for (const char* original : {"abcabc", "aabbcc", "cabab", "bbb", "a", "ca ca"}) {
        CKaString expected(original);
        int count = 0;
        int resume = 0;
        for (int m = re.RegFind(expected); m >= 0; m = re.RegFind(expected.GetString() + resume)) {
          std::unique_ptr<char[]> r(re.GetReplaceString(replacement));
          const auto* whole = reinterpret_cast<const unsigned char*>(expected.GetString());
          if (_mbsicmp(reinterpret_cast<const unsigned char*>(r.get()), whole) == 0) break;
          ++count;
          const int at = resume + m;
          expected.Replace(at, re.GetFindLen(), r.get());
          resume = at + static_cast<int>(std::strlen(r.get()));
          if (re.GetFindLen() == 0) {  // an empty match steps over one byte, if one is left
            if (resume >= expected.GetLength()) break;
            ++resume;
          }
        }
        CKaString text(original);
        EXPECT_EQ(RegSearchReplace(text, pattern, replacement), count)
            << pattern << " " << replacement << " " << original;
        EXPECT_STREQ(text, expected) << pattern << " " << replacement << " " << original;
      }
    }
  }
}

}  // namespace
