// CKaBstr construction, comparison, byte-wise access, trimming and path joining.
#include <gtest/gtest.h>
#include <plinth/KaBstr.h>
#include <plinth/win32.h>

#include <climits>
#include <cstring>
#include <string>

#include "support/FrameworkExceptions.h"

namespace {

using plinth::test::Throws;

// The code units of a string, embedded NULs included.
std::u16string Units(const ATL::CComBSTR& s) {
  return std::u16string(reinterpret_cast<const char16_t*>(s.m_str), s.Length());
}

// A string with exactly the given units.
CKaBstr Make(const std::u16string& units) {
  return CKaBstr(static_cast<int>(units.size()), units.c_str());
}

TEST(KaBstrConstruct, FromCountsTextAndGuids) {
  const CKaBstr nulls[] = {CKaBstr(),
                           CKaBstr(0),
                           CKaBstr(0, L"abc"),
                           CKaBstr(0, "abc"),
                           CKaBstr(static_cast<const wchar_t*>(nullptr)),
                           CKaBstr(static_cast<const char*>(nullptr)),
                           CKaBstr(static_cast<const char16_t*>(nullptr))};
  for (const CKaBstr& null : nulls) EXPECT_EQ(null.m_str, nullptr) << (&null - nulls);

  const CKaBstr three(3);
  ASSERT_NE(three.m_str, nullptr);
  EXPECT_EQ(three.Length(), 3u);
  EXPECT_EQ(three.ByteLength(), 6u);
  EXPECT_EQ(three.m_str[3], 0);  // the terminator after the last unit

  // clang-format off
  struct Case { CKaBstr value; std::u16string expected; };
  const Case cases[] = {
      {CKaBstr(L"abc"), u"abc"},        {CKaBstr(2, L"abc"), u"ab"},   {CKaBstr(""), u""},
      {CKaBstr(u"x\u00e9y"), u"x\u00e9y"}, {CKaBstr(2, u"xyz"), u"xy"},  {CKaBstr(L""), u""},
      {CKaBstr("abc"), u"abc"},         {CKaBstr(3, "abcdef"), u"abc"},
      {CKaBstr(-1, "abc"), u"abc"},     {CKaBstr(-7, "abc"), u"abc"},
      {CKaBstr(2, std::string("a\0b", 3).c_str()), std::u16string(u"a\0", 2)},
      {CKaBstr(2, static_cast<const char*>(nullptr)), std::u16string(2, u'\0')},
      {CKaBstr(2, static_cast<const wchar_t*>(nullptr)), std::u16string(2, u'\0')},
      // With 32-bit wchar_t a code point above U+FFFF becomes a surrogate pair.
      {CKaBstr(L"a\U0001F600b"), u"a\U0001F600b"},
      {CKaBstr(GUID{}), u"{00000000-0000-0000-0000-000000000000}"},
      {CKaBstr(GUID{0x0123abcd, 0x4e5f, 0xa0b1, {0xc2, 0xd3, 0xe4, 0xf5, 0x06, 0x17, 0x28, 0x39}}),
       u"{0123ABCD-4E5F-A0B1-C2D3-E4F506172839}"},
  };
  // clang-format on
  for (const Case& c : cases) {
    ASSERT_NE(c.value.m_str, nullptr) << std::string(c.expected.begin(), c.expected.end());
    EXPECT_EQ(Units(c.value), c.expected);
  }
}

TEST(KaBstrConstruct, CopiesKeepEveryByte) {
  const CKaBstr original = Make(std::u16string(u"a\0b\0", 4));
  const CKaBstr copy(original);
  EXPECT_NE(copy.m_str, original.m_str);
  EXPECT_EQ(Units(copy), std::u16string(u"a\0b\0", 4));
  const ATL::CComBSTR base(original);
  EXPECT_EQ(Units(CKaBstr(base)), std::u16string(u"a\0b\0", 4));
  EXPECT_EQ(CKaBstr(CKaBstr()).m_str, nullptr);

  // An odd byte length survives a copy too.
  CKaBstr odd;
  odd.Attach(SysAllocStringByteLen("xyz", 3));
  const CKaBstr oddCopy(odd);
  EXPECT_EQ(oddCopy.ByteLength(), 3u);
  EXPECT_EQ(std::memcmp(oddCopy.m_str, "xyz", 3), 0);

  CKaBstr target(L"old");
  target = original;
  EXPECT_EQ(Units(target), std::u16string(u"a\0b\0", 4));
  const CKaBstr& alias = target;
  target = alias;  // the same pointer: nothing happens
  EXPECT_EQ(Units(target), std::u16string(u"a\0b\0", 4));
  target = CKaBstr();
  EXPECT_EQ(target.m_str, nullptr);
}

TEST(KaBstrConstruct, FailuresThrowMemoryExceptions) {
  EXPECT_TRUE(Throws<CMemoryException>([] { CKaBstr s(INT_MAX); }));
  EXPECT_TRUE(Throws<CMemoryException>([] { CKaBstr s(-1); }));
  EXPECT_TRUE(Throws<CMemoryException>([] { CKaBstr s(-1, L"abc"); }));
  EXPECT_TRUE(Throws<CMemoryException>([] { CKaBstr s(-1, static_cast<const char*>(nullptr)); }));
  EXPECT_TRUE(Throws<CMemoryException>([] { CKaBstr s(-2, u"abc"); }));
}

TEST(KaBstrCompare, CompareNoCase) {
  // clang-format off
  // Only the sign of expected counts.
  struct Case { CKaBstr object; const wchar_t* text; int expected; };
  const Case cases[] = {
      {CKaBstr(L"Abc"), L"aBC", 0},   {CKaBstr(), nullptr, 0},      {CKaBstr(), L"a", 1},
      {CKaBstr(L"a"), nullptr, 1},    {CKaBstr(""), L"", 0},        {CKaBstr(L"abc"), L"abd", -1},
      {CKaBstr(L"b"), L"A", 1},       {CKaBstr(L"ab"), L"abc", -1},
      {CKaBstr(""), nullptr, 1},  // an allocated empty string is not null
      {CKaBstr(L"\u00c9"), L"\u00e9", -1},  // letters beyond ASCII do not fold
      {Make(std::u16string(u"ab\0x", 4)), L"AB", 0},
      {CKaBstr(u"a\U0001F600b"), L"A\U0001F600B", 0},
  };
  // clang-format on
  for (const Case& c : cases) {
    const int result = c.object.CompareNoCase(c.text);
    EXPECT_EQ((result > 0) - (result < 0), c.expected)
        << (c.text ? std::string(c.text, c.text + std::wcslen(c.text)) : "(null)");
  }
  EXPECT_EQ(CKaBstr(L"ABC").CompareNoCase(u"abc"), 0);
}

TEST(KaBstrBytes, GetAtAndSetAt) {
  CKaBstr s(u"ab\u0163");
  // The low byte of each unit; 0 outside the string.
  for (int i : {0, 1, 2, 3, -1, INT_MIN})
    EXPECT_EQ(s.GetAt(i), i >= 0 && i < 3 ? "ab\x63"[i] : 0) << i;
  EXPECT_EQ(CKaBstr().GetAt(0), 0);

  s.SetAt(0, 'x');
  s.SetAt(2, '\x41');  // the high byte stays
  s.SetAt(3, 'y');
  s.SetAt(-1, 'y');
  EXPECT_EQ(Units(s), u"xb\u0141");
  CKaBstr empty;
  empty.SetAt(0, 'x');
  EXPECT_EQ(empty.m_str, nullptr);
}

TEST(KaBstrBytes, Trimming) {
  // clang-format off
  struct Case { std::u16string text; bool null; std::u16string left; std::u16string right; };
  const Case cases[] = {
      {u"  a b  ", false, u"a b  ", u"  a b"}, {u"   ", false, u"", u""}, {u"a", false, u"a", u"a"},
      {u"",        false, u"",      u""},         {u"", true, u"", u""},  // null: allocated, empty
      {u"\ta\t",   false, u"\ta\t",  u"\ta\t"},    // a tab is not a space
      {u"\u0120a\u0120", false, u"a\u0120", u"\u0120a"},  // only the low byte counts
  };
  // clang-format on
  for (const Case& c : cases) {
    CKaBstr left = c.null ? CKaBstr() : Make(c.text);
    CKaBstr right(left);
    left.TrimLeft();
    right.TrimRight();
    ASSERT_NE(left.m_str, nullptr);
    ASSERT_NE(right.m_str, nullptr);
    EXPECT_EQ(Units(left), c.left);
    EXPECT_EQ(Units(right), c.right);
  }
}

TEST(KaBstrPath, ConcatenatePath) {
  // clang-format off
  // A null object stands for a null string.
  struct Case { const char* object; const char* other; const char* expected; };
  const Case cases[] = {
      {"C:\\dir",     "file",   "C:\\dir\\file"},  {"C:\\dir\\",   "file",   "C:\\dir\\file"},
      {"C:\\dir\\",   "\\file", "C:\\dir\\file"},  {"C:\\dir",     "\\file", "C:\\dir\\file"},
      {"",            "file",   "file"},          {nullptr,       "file",   "file"},
      {"C:\\dir",     "",       "C:\\dir"},       {"C:\\dir",     nullptr,  "C:\\dir"},
      {"C:\\dir  \\", "x",      "C:\\dir\\x"},     {"C:\\dir ",    "x",      "C:\\dir \\x"},
      {"\\",          "x",      "\\x"},
      {"a\\",         "\\\\x",  "a\\\\x"},   // only the seam is looked at
  };
  // clang-format on
  for (const Case& c : cases) {
    CKaBstr s(c.object);
    const CKaBstr other(c.other);
    s.ConcatenatePath(other);
    EXPECT_EQ(Units(s), Units(CKaBstr(c.expected)))
        << (c.object ? c.object : "(null)") << " + " << (c.other ? c.other : "(null)");
  }
  CKaBstr self("a\\");
  self.ConcatenatePath(self);
  EXPECT_EQ(Units(self), u"a\\a\\");
  // Only the low byte of a code unit counts: U+015C ends in a backslash.
  CKaBstr wide(u"a\u015c");
  wide.ConcatenatePath(CKaBstr("b"));
  EXPECT_EQ(Units(wide), u"a\\b");
}

}  // namespace
