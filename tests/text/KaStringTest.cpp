// CKaString editing, searching and comparing, case by case.
#include <gtest/gtest.h>
#include <plinth/KaString.h>
#include <plinth/win32.h>

#include <string>

#include "support/Wine.h"

namespace {

std::string Str(const CString& s) { return std::string(s.GetString(), s.GetLength()); }

TEST(KaStringEdit, DeleteInsertReplace) {
  enum Op { kDelete, kInsert, kReplace };
  struct Case {
    Op op;
    std::string text;
    int index, count;
    const char* arg;
    std::string expected;
  };
  const std::string nul("a\0bc\0d", 6);
  const Case cases[] = {
      {kDelete, "abcdef", 2, 100, nullptr, "ab"},
      {kDelete, "abcdef", 2, -1, nullptr, "ab"},
      {kDelete, "abcdef", 6, 1, nullptr, "abcdef"},
      {kDelete, "abcdef", -3, 2, nullptr, "cdef"},  // a negative index counts as 0
      {kDelete, nul, 1, 2, nullptr, std::string("ac\0d", 4)},
      {kInsert, "abcd", 2, 0, "XY", "abXYcd"},
      {kInsert, "abcd", 4, 0, "XY", "abcdXY"},
      {kInsert, "abcd", 6, 0, "XY", "abcd  XY"},
      {kInsert, "abcd", 1, 0, "", "abcd"},
      {kInsert, "abcd", 9, 0, nullptr, "abcd"},
      {kInsert, "abcd", -1, 0, "X", "Xabcd"},
      {kInsert, nul, 6, 0, "X", nul + "X"},
      {kReplace, "abcd", 1, 2, "Z", "aZd"},
      {kReplace, "abcd", 6, 2, "Z", "abcd  Z"},
      {kReplace, "abcd", 0, -1, "", ""},
  };
  for (const Case& c : cases) {
    CKaString s(c.text.data(), static_cast<int>(c.text.size()));
    CKaString& r = c.op == kDelete   ? s.Delete(c.index, c.count)
                   : c.op == kInsert ? s.Insert(c.index, c.arg)
                                     : s.Replace(c.index, c.count, c.arg);
    EXPECT_EQ(&r, &s);
    EXPECT_EQ(Str(s), c.expected) << c.op << " '" << c.text << "' " << c.index;
  }
}

TEST(KaStringEdit, CopiesAreUnaffectedAndSelfTextIsSafe) {
  CKaString s("abcd");
  const CKaString copy(s);
  s.Insert(1, s.GetString() + 2);  // the text comes from the buffer that grows
  EXPECT_EQ(Str(s), "acdbcd");
  s.Replace(0, 2, s.GetString() + 4);
  EXPECT_EQ(Str(s), "cddbcd");
  s.Insert(0, '\0').Insert(2, 'Q');
  EXPECT_EQ(Str(s), "cdQdbcd");
  s.Insert(9, s.GetString() + 5);  // past the end, where the buffer is replaced
  EXPECT_EQ(Str(s), "cdQdbcd  cd");
  EXPECT_EQ(Str(copy), "abcd");
  EXPECT_EQ(Str(CKaString(0xFFFFu)), "");  // no such resource
  CKaString assigned;
  assigned = 'c';  // the base's assignments stay reachable
  EXPECT_EQ(Str(assigned), "c");
}

TEST(KaStringSearch, FindsAndComparison) {
  const CKaString t("xxAxa"), nul(std::string("ab\0ab", 5).data(), 5), abx("abxab"), abc("abc");
  const char* const none = nullptr;
  const int cases[][2] = {
      {t.FindNoCase('a', 0), 2},      {t.FindNoCase('A', 3), 4},       {t.FindNoCase('q', 0), -1},
      {t.FindNoCase("AXA", 1), 2},    {t.Find('a', 0), 4},             {t.Find("Ax", 3), -1},
      {t.Find('\0', 0), 5},           {t.Find("", 3), 3},              {t.FindNoCase(none, 2), 2},
      {t.Find('x', -1), -1},          {t.Find("x", 6), -1},            {t.FindNoCase("X", 6), -1},
      {nul.Find('\0', 0), 2},         {nul.Find("b", 3), 4},           {nul.Find("b", 2), -1},
      {nul.FindNoCase("B", 3), 4},
      {abx.ReverseFind("ab", -1), 3}, {abx.ReverseFind("ab", 2), 0},   {abc.ReverseFind("ab", 0), 0},
      {abc.ReverseFind("b", 1), 1},   {abc.ReverseFind("bc", 1), 1},   {abc.ReverseFind("bc", 0), -1},
      {abc.ReverseFind("c", 99), 2},  {abc.ReverseFind("a", -2), -1},  {abc.ReverseFind("", -1), -1},
      {abc.ReverseFind(none, -1), -1}, {nul.ReverseFind("ab", -1), 0},
      {CKaString().ReverseFind("a"), -1},
      {CKaString("ab").ReverseFindNoCase("AB", -1), 0},  {CKaString("aBc").ReverseFind("bC"), -1},
      {CKaString("aBc").ReverseFindNoCase("bC"), 1},     {CKaString("xAyA").ReverseFindNoCase('a', 2), 1},
      {CKaString("xAyA").ReverseFindNoCase('\0'), -1},
      {abc.CompareNoCaseN("ABX", 2), 0}, {abc.CompareNoCaseN("ABX", 3) < 0, 1},
      {abc.CompareNoCaseN("ABCD", -1) < 0, 1},  // a negative count sets no limit
      {CKaString("abd").CompareNoCaseN("ABC", 5) > 0, 1},
      {CKaString().CompareNoCaseN(nullptr, 3), 0}, {CKaString("a").CompareNoCaseN(nullptr, 3), 1},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
    EXPECT_EQ(cases[i][0], cases[i][1]) << "case " << i;
}

TEST(KaStringSearch, DoubleBytePageStepsOverTrailBytes) {
  const int saved = _getmbcp();
  ASSERT_EQ(_setmbcp(932), 0);
  const CKaString yen("\x95\x5C\\"), kana("\x82\x61" "A"), wide("\x82\xA0" "a");
  const int cases[][2] = {
      {yen.Find('\\'), 2},             {yen.Find("", 1), 1},
      {kana.FindNoCase('a'), 2},        {kana.FindNoCase("a"), 2},
      {yen.ReverseFind("\\", 1), 1},    // the backward walk goes byte by byte
      {wide.CompareNoCaseN("\x82\xA0" "B", 1), 0},  // a double-byte character counts once
      {wide.CompareNoCaseN("\x82\xA0" "B", 2) < 0, 1},
  };
  const int yenFound = yen.Find("\\");
  _setmbcp(saved);
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
    EXPECT_EQ(cases[i][0], cases[i][1]) << "case " << i;
  PLINTH_EXPECT_EQ_TODO_WINE(yenFound, 2, "Wine's _mbsstr compares byte by byte");
}

TEST(KaStringReplace, SingleFind) {
  struct Case {
    const char *text, *find, *replacement;
    bool all, noCase;
    int count;
    const char* expected;
  };
  const Case cases[] = {
      {"aXa", "a", "aa", true, false, 2, "aaXaa"},   {"aXa", "a", "aa", false, false, 1, "aaXa"},
      {"abAbaB", "AB", "x", true, true, 3, "xxx"},   {"abAbaB", "AB", "x", true, false, 0, "abAbaB"},
      {"aaa", "aa", "b", true, false, 1, "ba"},      {"abc", "b", nullptr, true, false, 1, "ac"},
      // An empty find: one insertion in front.
      {"abc", "", "Z", true, false, 1, "Zabc"},      {"abc", nullptr, "Z", false, true, 1, "Zabc"},
      {"", "", "Z", true, false, 1, "Z"},            {"", "a", "Z", true, true, 0, ""},
  };
  for (const Case& c : cases) {
    CKaString s(c.text);
    EXPECT_EQ(c.noCase ? s.FindReplaceNoCase(c.find, c.replacement, c.all)
                       : s.FindReplace(c.find, c.replacement, c.all),
              c.count)
        << c.text;
    EXPECT_EQ(Str(s), c.expected) << c.text;
  }
  // The search stops at the first NUL; the rest of the text is kept as it was.
  CKaString s(std::string("ab\0ab", 5).data(), 5);
  EXPECT_EQ(s.FindReplace("b", "XY", true), 1);
  EXPECT_EQ(Str(s), std::string("aXY\0ab", 6));
}

CStringArray Array(std::initializer_list<std::string> items) {
  CStringArray a;
  for (const std::string& item : items) a.Add(CString(item.data(), static_cast<int>(item.size())));
  return a;
}

TEST(KaStringReplace, ArrayOfFinds) {
  struct Case {
    std::string text;
    CStringArray finds, replacements;
    int count;
    std::string expected;
  };
  const Case cases[] = {
      {"abcab", Array({"ab", "abc"}), Array({"1", "2"}), 2, "1c1"},
      {"abcab", Array({"abc", "ab"}), Array({"2", "1"}), 2, "21"},
      {"aaa", Array({"a"}), Array({"aa"}), 3, "aaaaaa"},  // replacements are not searched
      {"abc", Array({"", "b"}), Array({"E", "B"}), 1, "aBc"},  // empty entries never match
      {"", Array({""}), Array({"x"}), 0, ""},
      {std::string("a\0b", 3), Array({std::string("\0b", 2)}), Array({std::string("-\0", 2)}), 1,
       std::string("a-\0", 3)},
      {"ab", Array({std::string("b\0", 2)}), Array({"x"}), 0, "ab"},  // the terminator is not part of the text
  };
  for (const Case& c : cases) {
    CKaString s(c.text.data(), static_cast<int>(c.text.size()));
    CStringArray finds(c.finds), replacements(c.replacements);
    EXPECT_EQ(s.FindReplaceArray(finds, replacements), c.count) << c.text;
    EXPECT_EQ(Str(s), c.expected) << c.text;
  }
}

TEST(KaStringReplace, ArrayEntryWithoutPartnerThrowsAfterEarlierReplacements) {
  struct Case {
    const char* text;
    CStringArray finds, replacements;
    const char* left;
  };
  const Case cases[] = {
      {"a-b-a-b", Array({"a", "b"}), Array({"AA"}), "AA-b-a-b"},
      // An empty entry stands wherever no earlier entry does.
      {"xa", Array({"x", ""}), Array({"y"}), "ya"},
      {"abc", Array({""}), Array({}), "abc"},
  };
  for (const Case& c : cases) {
    CKaString s(c.text);
    CStringArray finds(c.finds), replacements(c.replacements);
    bool thrown = false;
    try {
      s.FindReplaceArray(finds, replacements);
    } catch (CInvalidArgException* e) {
      thrown = true;
      e->Delete();
    }
    EXPECT_TRUE(thrown) << c.text;
    EXPECT_EQ(Str(s), c.left) << c.text;
  }
}

}  // namespace
