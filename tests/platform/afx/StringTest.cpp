// The framework string: the behaviour the text classes build on.
#include <gtest/gtest.h>
#include <plinth/afx/Exception.h>
#include <plinth/afx/Module.h>
#include <plinth/afx/String.h>

#include <climits>
#include <cstring>
#include <string>

#include "support/FrameworkExceptions.h"
#include "support/Wine.h"

namespace {

std::string Bytes(const CString& s) { return std::string(s.GetString(), s.GetLength()); }

using plinth::test::ThrowsInvalidArg;

class CodePage : public testing::Test {
 protected:
  void SetUp() override { saved_ = _getmbcp(); }
  void TearDown() override { _setmbcp(saved_); }
  int saved_ = 0;
};

TEST(String, ConstructorsGiveTheirBytes) {
  const unsigned char raw[] = {'x', 0xE9, 0};
  struct Case { CString s; std::string bytes; };
  const Case cases[] = {
      {CString(), ""},
      {CString(static_cast<const char*>(nullptr)), ""},
      {CString("abc"), "abc"},
      {CString("a\0bc", 3), std::string("a\0b", 3)},
      {CString('z', 3), "zzz"},
      {CString('z', 0), ""},
      {CString('z', -2), ""},
      {CString(raw), "x\xE9"},
      {CString(L"abc", 2), "ab"},
      {CString(static_cast<const wchar_t*>(nullptr)), ""},
  };
  for (const Case& c : cases) EXPECT_EQ(Bytes(c.s), c.bytes);
  // Wide text becomes bytes of the ANSI code page: on POSIX the "C" locale counts as UTF-8, on
  // Windows the page is the system's (1252 on an English one).
  const UINT page = GetACP();
  if (page == CP_UTF8) {
    EXPECT_EQ(Bytes(CString(L"ab\u00E9")), "ab\xC3\xA9");
  } else if (page == 1252) {
    EXPECT_EQ(Bytes(CString(L"ab\u00E9")), "ab\xE9");
  }
}

TEST(String, CopiesShareUntilOneChanges) {
  CString a("hello");
  CString b(a);
  EXPECT_EQ(a.GetString(), b.GetString());
  b.SetAt(0, 'j');
  b += "!";
  EXPECT_EQ(Bytes(a), "hello");
  EXPECT_EQ(Bytes(b), "jello!");

  CString c = a;
  strcpy(c.GetBuffer(20), "written through");
  c.ReleaseBuffer();
  EXPECT_EQ(Bytes(a), "hello");
  EXPECT_EQ(Bytes(c), "written through");

  CString d = a;
  EXPECT_EQ(d.Replace('l', 'L'), 2);
  EXPECT_EQ(d.MakeUpper(), "HELLO");
  EXPECT_EQ(Bytes(a), "hello");
}

TEST(String, EmptyStringsNeverShareAWrittenBuffer) {
  CString a;
  CString b;
  char* buffer = a.GetBuffer(0);
  buffer[0] = 'X';  // a buffer of 0 + 1 bytes may be written
  a.ReleaseBuffer(0);
  strcpy(CString().GetBuffer(4), "oops");
  EXPECT_STREQ(b.GetString(), "");
  EXPECT_STREQ(CString().GetString(), "");
}

TEST(String, BufferLengthComesFromReleaseBuffer) {
  CString s("abcdef");
  char* buffer = s.GetBuffer(3);
  EXPECT_STREQ(buffer, "abcdef");  // the current text survives a smaller request
  buffer[2] = '\0';
  s.ReleaseBuffer();
  EXPECT_EQ(Bytes(s), "ab");
  s.GetBuffer(10);
  s.ReleaseBuffer(1);
  EXPECT_EQ(Bytes(s), "a");
  EXPECT_EQ(s.GetBufferSetLength(3)[1], '\0');  // the old terminator is still there
  EXPECT_EQ(s.GetLength(), 3);
  EXPECT_TRUE(ThrowsInvalidArg([&] { s.ReleaseBuffer(INT_MAX); }));
}

TEST(String, GetAtReachesTheTerminatorAndNoFurther) {
  const CString s("ab");
  EXPECT_EQ(s.GetAt(1), 'b');
  EXPECT_EQ(s.GetAt(2), '\0');
  EXPECT_EQ(s[2], '\0');
  EXPECT_TRUE(ThrowsInvalidArg([&] { s.GetAt(3); }));
  EXPECT_TRUE(ThrowsInvalidArg([&] { s.GetAt(-1); }));
  CString t("ab");
  EXPECT_TRUE(ThrowsInvalidArg([&] { t.SetAt(2, 'x'); }));
  EXPECT_TRUE(ThrowsInvalidArg([&] { t.SetAt(-1, 'x'); }));
}

TEST(String, ExtractionClampsItsArguments) {
  const CString s("abcdef");
  struct Case { CString got; const char* want; };
  const Case cases[] = {
      {s.Mid(2, 3), "cde"}, {s.Mid(-2, 3), "abc"}, {s.Mid(2, -1), ""}, {s.Mid(4, 100), "ef"},
      {s.Mid(6, 1), ""},    {s.Mid(99), ""},       {s.Mid(3), "def"},  {s.Left(0), ""},
      {s.Left(-3), ""},     {s.Left(2), "ab"},     {s.Left(100), "abcdef"},
      {s.Right(2), "ef"},   {s.Right(0), ""},      {s.Right(9), "abcdef"},
      {s.SpanIncluding("cba"), "abc"},  {s.SpanExcluding("dx"), "abc"},
      {s.SpanIncluding("x"), ""},       {s.SpanExcluding("x"), "abcdef"},
  };
  for (const Case& c : cases) EXPECT_EQ(Bytes(c.got), c.want);
}

TEST(String, ReplaceTextScansLeftToRightAcrossEmbeddedNuls) {
  struct Case { std::string text; const char* oldText; const char* newText; int count; std::string want; };
  const Case cases[] = {
      {"aXa", "a", "aa", 2, "aaXaa"},
      {"aaaa", "aa", "b", 2, "bb"},
      {"aaa", "aa", "b", 1, "ba"},
      {"abc", "", "x", 0, "abc"},
      {"abc", nullptr, "x", 0, "abc"},
      {"abcb", "b", nullptr, 2, "ac"},
      {"abc", "abc", "", 1, ""},
      {"abc", "zz", "y", 0, "abc"},
      {std::string("ab\0ab", 5), "b", "XY", 2, std::string("aXY\0aXY", 7)},
      {std::string("a\0\0a", 4), "a", "", 2, std::string("\0\0", 2)},
  };
  for (const Case& c : cases) {
    CString s(c.text.data(), static_cast<int>(c.text.size()));
    EXPECT_EQ(s.Replace(c.oldText, c.newText), c.count) << c.text;
    EXPECT_EQ(Bytes(s), c.want) << c.text;
  }
  CString longText('a', 200000);  // quadratic work would show here as a very slow test
  EXPECT_EQ(longText.Replace("a", "bc"), 200000);
  EXPECT_EQ(longText.GetLength(), 400000);
}

TEST_F(CodePage, ReplaceCharStepsOverDoubleByteCharacters) {
  ASSERT_EQ(_setmbcp(932), 0);
  struct Case { const char* text; char oldChar, newChar; int count; const char* want; };
  const Case cases[] = {
      {"\x95\x5C\\a", '\\', '/', 1, "\x95\x5C/a"},       // trail byte 0x5C is not a backslash
      {"\x81\x61" "a", 'a', 'b', 1, "\x81\x61" "b"},
      {"a\x81", '\x81', '!', 1, "a!"},                    // a lone lead byte at the end
      {"aa", 'a', 'a', 0, "aa"},
  };
  for (const Case& c : cases) {
    CString s(c.text);
    EXPECT_EQ(s.Replace(c.oldChar, c.newChar), c.count) << c.text;
    EXPECT_EQ(Bytes(s), c.want);
  }
  CString text("\x95\x5C\\\x95\x5C");
  EXPECT_EQ(text.Replace("\\", "/"), 1);
  EXPECT_EQ(Bytes(text), "\x95\x5C/\x95\x5C");
  CString withNul("\x81\0\x81", 3);  // a lead byte before a NUL, embedded or final, stands alone
  EXPECT_EQ(withNul.Replace('\x81', 'L'), 2);
  EXPECT_EQ(Bytes(withNul), std::string("L\0L", 3));
}

TEST_F(CodePage, TokenizeStepsOverADoubleByteDelimiter) {
  ASSERT_EQ(_setmbcp(932), 0);
  const CString s("a\x81\x40@b\x81\x40");
  int position = 0;
  EXPECT_EQ(Bytes(s.Tokenize("\x81\x40", position)), "a");
  EXPECT_EQ(position, 3);
  EXPECT_EQ(Bytes(s.Tokenize("\x81\x40", position)), "@b");
  EXPECT_EQ(Bytes(s.Tokenize("\x81\x40", position)), "");
  EXPECT_EQ(position, -1);
}

TEST_F(CodePage, SearchesNeverStopOnATrailByte) {
  ASSERT_EQ(_setmbcp(932), 0);
  const CString s("\x95\x5C\\x\x95\x5C");
  EXPECT_EQ(s.Find('\\'), 2);
  EXPECT_EQ(s.ReverseFind('\\'), 2);
  PLINTH_EXPECT_EQ_TODO_WINE(s.FindOneOf("\\"), 2, "Wine's _mbscspn steps byte by byte");
  EXPECT_EQ(s.Find("\x5Cx"), 2);
  CString reversed("ab\x95\x5C");
  EXPECT_EQ(Bytes(reversed.MakeReverse()), "\x95\x5C" "ba");
  CString trimmed("\x95\x5C");
  EXPECT_EQ(Bytes(trimmed.TrimRight('\\')), "\x95\x5C");
}

TEST(String, SearchesInSingleBytePage) {
  const CString s("abcabc");
  struct Case { int got, want; };
  const Case cases[] = {
      {s.Find('b'), 1},        {s.Find('b', 2), 4},     {s.Find('b', -5), 1},
      {s.Find('z'), -1},       {s.Find('\0'), 6},       {s.Find('a', 7), -1},
      {s.Find("ca"), 2},       {s.Find("bc", 3), 4},    {s.Find(nullptr), -1},
      {s.ReverseFind('a'), 3}, {s.ReverseFind('z'), -1}, {s.FindOneOf("xc"), 2},
      {s.FindOneOf("xyz"), -1},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
    EXPECT_EQ(cases[i].got, cases[i].want) << "case " << i;
}

TEST(String, EditingInPlace) {
  struct Case { CString got; const char* want; };
  auto edit = [](const char* text, auto change) {
    CString s(text);
    change(s);
    return s;
  };
  const Case cases[] = {
      {edit("abcd", [](CString& s) { s.Insert(2, "XY"); }), "abXYcd"},
      {edit("abcd", [](CString& s) { s.Insert(99, "XY"); }), "abcdXY"},
      {edit("abcd", [](CString& s) { s.Insert(-1, 'Z'); }), "Zabcd"},
      {edit("abcd", [](CString& s) { s.Insert(1, s.GetString() + 2); }), "acdbcd"},
      {edit("abcdef", [](CString& s) { s.Delete(2, 100); }), "ab"},
      {edit("abcdef", [](CString& s) { s.Delete(1); }), "acdef"},
      {edit("abcdef", [](CString& s) { s.Delete(6, 1); }), "abcdef"},
      {edit("abcdef", [](CString& s) { s.Delete(2, -1); }), "abcdef"},
      {edit("banana", [](CString& s) { s.Remove('a'); }), "bnn"},
      {edit(" \t ab c \n", [](CString& s) { s.Trim(); }), "ab c"},
      {edit("  ab  ", [](CString& s) { s.TrimLeft(); }), "ab  "},
      {edit("  ab  ", [](CString& s) { s.TrimRight(); }), "  ab"},
      {edit("xxabxx", [](CString& s) { s.Trim('x'); }), "ab"},
      {edit("xyabyx", [](CString& s) { s.TrimLeft("xy"); }), "abyx"},
      {edit("xxxx", [](CString& s) { s.Trim('x'); }), ""},
      {edit("abc", [](CString& s) { s += s; }), "abcabc"},
      {edit("aBc", [](CString& s) { s.MakeUpper(); }), "ABC"},
      {edit("AbC", [](CString& s) { s.MakeLower(); }), "abc"},
      {edit("abc", [](CString& s) { s.MakeReverse(); }), "cba"},
  };
  for (const Case& c : cases) EXPECT_EQ(Bytes(c.got), c.want);

  CString withNul("A\0B", 3);
  EXPECT_EQ(Bytes(withNul.MakeLower()), std::string("a\0b", 3));
}

TEST(String, TokenizeWalksTheTokens) {
  const CString s("  one, two,,three ");
  std::string joined;
  int position = 0;
  for (CString token = s.Tokenize(" ,", position); position != -1;
       token = s.Tokenize(" ,", position))
    joined += Bytes(token) + "|";
  EXPECT_EQ(joined, "one|two|three|");

  position = 0;
  EXPECT_EQ(Bytes(CString("abc").Tokenize("", position)), "abc");
  EXPECT_EQ(Bytes(CString("abc").Tokenize("", position)), "");
  EXPECT_EQ(position, -1);
  position = -2;
  EXPECT_TRUE(ThrowsInvalidArg([&] { s.Tokenize(",", position); }));
}

TEST(String, ComparisonsTakeEveryByteBetweenStrings) {
  EXPECT_EQ(CString("abc").CompareNoCase("ABC"), 0);
  EXPECT_LT(CString("abc").CompareNoCase("ABD"), 0);
  EXPECT_GT(CString("\xE9").Compare("a"), 0);  // bytes compare unsigned
  EXPECT_GT(CString("a").Compare(nullptr), 0);
  EXPECT_NE(CString("a\0b", 3), CString("a\0c", 3));
  EXPECT_TRUE(CString("a\0b", 3) == "a");  // a C string ends at its NUL
  EXPECT_LT(CString("a"), CString("a\0", 2));
  EXPECT_TRUE(CString("b") > CString("abc"));
  EXPECT_EQ(Bytes('<' + CString("x") + ">" + '!'), "<x>!");
}

TEST(String, FormatHasNoLengthLimit) {
  CString s;
  s.Format("%s-%05d", "id", 42);
  EXPECT_EQ(Bytes(s), "id-00042");
  s.Format("%*d|", 100000, 7);
  EXPECT_EQ(s.GetLength(), 100001);
  EXPECT_EQ(s.Right(2), "7|");
  s.Format("[%s]", s.Right(2).GetString());
  s.AppendFormat("%s%s", s.GetString(), s.GetString());  // arguments inside the target
  EXPECT_EQ(Bytes(s), "[7|][7|][7|]");
}

TEST(String, LoadStringFromTheCurrentModule) {
  static const AFX_STRING_RESOURCE table[] = {{7, "seven"}};
  CAfxModule module(table, 1);
  AFX_MANAGE_STATE(&module);
  CString s("kept");
  EXPECT_FALSE(s.LoadString(8));
  EXPECT_EQ(Bytes(s), "kept");
  EXPECT_TRUE(s.LoadString(7));
  EXPECT_EQ(Bytes(s), "seven");
}

}  // namespace
