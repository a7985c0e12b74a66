// Automation strings, GUID text, code-page conversion to 16-bit units and 16-bit no-case
// comparison: what the library relies on, to hold against Windows and the POSIX layer alike.
#include <gtest/gtest.h>
#include <plinth/win32.h>

#include <cstring>
#include <string>

namespace {

std::u16string Units(BSTR s) {
  return std::u16string(reinterpret_cast<const char16_t*>(s), SysStringLen(s));
}

const OLECHAR* O(const char16_t* text) { return reinterpret_cast<const OLECHAR*>(text); }

TEST(AutomationStrings, LayoutAndLengths) {
  // clang-format off
  struct Case { BSTR s; const char* bytes; UINT byteLength; UINT length; };
  const Case cases[] = {{SysAllocStringLen(O(u"a\0b"), 3), "a\0\0\0b\0", 6, 3},
                        {SysAllocStringByteLen("abc", 3), "abc", 3, 1},  // an odd byte length
                        {SysAllocStringLen(nullptr, 0), "", 0, 0}};
  // clang-format on
  for (const Case& c : cases) {
    ASSERT_NE(c.s, nullptr);
    const char* bytes = reinterpret_cast<const char*>(c.s);
    DWORD prefix = 0;
    std::memcpy(&prefix, bytes - 4, 4);
    EXPECT_EQ(prefix, c.byteLength);  // bytes, without the terminator
    EXPECT_EQ(SysStringByteLen(c.s), c.byteLength);
    EXPECT_EQ(SysStringLen(c.s), c.length);
    EXPECT_EQ(std::memcmp(bytes, c.bytes, c.byteLength + 1), 0);  // the terminator too
    if (c.byteLength % 2 == 0) {
      EXPECT_EQ(c.s[c.length], 0);
    }
    SysFreeString(c.s);
  }

  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  EXPECT_EQ(SysStringByteLen(nullptr), 0u);
  SysFreeString(nullptr);
  EXPECT_EQ(SysAllocStringLen(nullptr, 0x7FFFFFFF), nullptr);
}

TEST(AutomationStrings, Concatenation) {
  BSTR a = SysAllocStringLen(O(u"a\0"), 2);
  BSTR b = SysAllocString(O(u"bc"));
  // clang-format off
  struct Case { BSTR left, right; std::u16string expected; };
  const Case cases[] = {
      {a, b, std::u16string(u"a\0bc", 4)},      {b, a, std::u16string(u"bca\0", 4)},
      {a, nullptr, std::u16string(u"a\0", 2)},  {nullptr, b, u"bc"},  {nullptr, nullptr, u""},
  };
  // clang-format on
  for (const Case& c : cases) {
    BSTR out = nullptr;
    ASSERT_EQ(VarBstrCat(c.left, c.right, &out), S_OK);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(Units(out), c.expected);
    SysFreeString(out);
  }
  SysFreeString(a);
  SysFreeString(b);
}

TEST(AutomationStrings, GuidText) {
  const GUID guid = {0xDEADBEEF, 0x0102, 0xA0B0, {0, 1, 2, 3, 0xFA, 0xFB, 0xFC, 0xFD}};
  OLECHAR text[64];
  EXPECT_EQ(StringFromGUID2(guid, text, 64), 39);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(text)),
            u"{DEADBEEF-0102-A0B0-0001-0203FAFBFCFD}");
  EXPECT_EQ(StringFromGUID2(guid, text, 38), 0);
}

TEST(AutomationStrings, CodePagesToUnits) {
  // clang-format off
  struct Case { UINT codePage; std::string bytes; std::u16string expected; };
  const Case cases[] = {
      {CP_UTF8, "abc",              u"abc"},        {CP_UTF8, "\xc3\xa9",     u"\u00e9"},
      {CP_UTF8, "\xe2\x82\xac",     u"\u20ac"},     {CP_UTF8, "a\xffz",       u"a\ufffdz"},
      {CP_UTF8, "\xf0\x9f\x98\x80", u"\U0001F600"},
      {CP_UTF8, "\xe2\x82z",       u"\ufffdz"},       // one replacement for the cut sequence
      {CP_UTF8, "\xc0\xaf",        u"\ufffd\ufffd"},  // overlong forms are not characters
      {1252,    "\x80\x41\xe9\x9f", u"\u20acA\u00e9\u0178"},
  };
  // clang-format on
  for (const Case& c : cases) {
    const int size = static_cast<int>(c.bytes.size());
    const int needed = MultiByteToWideChar(c.codePage, 0, c.bytes.data(), size, nullptr, 0);
    ASSERT_EQ(needed, static_cast<int>(c.expected.size())) << c.bytes;
    std::u16string out(static_cast<size_t>(needed), u'\0');
    EXPECT_EQ(MultiByteToWideChar(c.codePage, 0, c.bytes.data(), size,
                                  reinterpret_cast<OLECHAR*>(&out[0]), needed),
              needed);
    EXPECT_EQ(out, c.expected) << c.bytes;
  }
  OLECHAR small[2];
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", -1, small, 2), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", -1, nullptr, 0), 4);  // with the NUL
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\xff", 2, nullptr, 0), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
}

TEST(AutomationStrings, NoCaseComparison) {
  // clang-format off
  struct Case { const char16_t* a; const char16_t* b; int sign; };
  // clang-format on
  const Case cases[] = {
      {u"Abc", u"aBC", 0}, {u"abc", u"abd", -1}, {u"b", u"A", 1}, {u"", u"", 0},
      {u"ab", u"abc", -1}, {u"[", u"a", -1},  // '[' sorts before the folded letters
  };
  for (const Case& c : cases) {
    const int r = _wcsicmp(O(c.a), O(c.b));
    EXPECT_EQ((r > 0) - (r < 0), c.sign) << (&c - cases);
  }
}

}  // namespace
