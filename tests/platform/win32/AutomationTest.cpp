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
  BSTR s = SysAllocStringLen(O(u"a\0b"), 3);
  ASSERT_NE(s, nullptr);
  DWORD prefix = 0;
  std::memcpy(&prefix, reinterpret_cast<const char*>(s) - 4, 4);
  EXPECT_EQ(prefix, 6u);  // bytes, without the terminator
  EXPECT_EQ(SysStringLen(s), 3u);
  EXPECT_EQ(SysStringByteLen(s), 6u);
  EXPECT_EQ(s[3], 0);
  EXPECT_EQ(Units(s), std::u16string(u"a\0b", 3));
  SysFreeString(s);

  BSTR odd = SysAllocStringByteLen("abc", 3);
  ASSERT_NE(odd, nullptr);
  EXPECT_EQ(SysStringByteLen(odd), 3u);
  EXPECT_EQ(SysStringLen(odd), 1u);
  EXPECT_EQ(reinterpret_cast<const char*>(odd)[3], 0);
  SysFreeString(odd);

  BSTR empty = SysAllocStringLen(nullptr, 0);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(SysStringLen(empty), 0u);
  EXPECT_EQ(empty[0], 0);
  SysFreeString(empty);

  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  EXPECT_EQ(SysStringByteLen(nullptr), 0u);
  SysFreeString(nullptr);
  EXPECT_EQ(SysAllocStringLen(nullptr, 0x7FFFFFFF), nullptr);
}

TEST(AutomationStrings, Concatenation) {
  BSTR a = SysAllocStringLen(O(u"a\0"), 2);
  BSTR b = SysAllocString(O(u"bc"));
  struct Case {
    BSTR left, right;
    std::u16string expected;
  };
  const Case cases[] = {
      {a, b, std::u16string(u"a\0bc", 4)},
      {b, a, std::u16string(u"bca\0", 4)},
      {nullptr, b, u"bc"},
      {a, nullptr, std::u16string(u"a\0", 2)},
      {nullptr, nullptr, u""},
  };
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

TEST(AutomationStrings, Utf8ToUnits) {
  struct Case {
    std::string bytes;
    std::u16string expected;
  };
  // clang-format off
  const Case cases[] = {
      {"abc",                        u"abc"},
      {"\xc3\xa9",                   u"\u00e9"},
      {"\xe2\x82\xac",               u"\u20ac"},
      {"\xf0\x9f\x98\x80",           u"\U0001F600"},
      {"a\xffz",                     u"a\ufffdz"},
      {"\xe2\x82z",                  u"\ufffdz"},       // one replacement for the cut sequence
      {"\xc0\xaf",                   u"\ufffd\ufffd"},  // overlong forms are not characters
  };
  // clang-format on
  for (const Case& c : cases) {
    const int size = static_cast<int>(c.bytes.size());
    const int needed = MultiByteToWideChar(CP_UTF8, 0, c.bytes.data(), size, nullptr, 0);
    ASSERT_EQ(needed, static_cast<int>(c.expected.size())) << c.bytes;
    std::u16string out(static_cast<size_t>(needed), u'\0');
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, c.bytes.data(), size,
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

TEST(AutomationStrings, Cp1252ToUnits) {
  const char bytes[] = "\x80\x41\xe9\x9f";
  OLECHAR out[4];
  ASSERT_EQ(MultiByteToWideChar(1252, 0, bytes, 4, out, 4), 4);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(out), 4), u"\u20acA\u00e9\u0178");
}

TEST(AutomationStrings, NoCaseComparison) {
  struct Case {
    const char16_t* a;
    const char16_t* b;
    int sign;
  };
  const Case cases[] = {
      {u"Abc", u"aBC", 0}, {u"abc", u"abd", -1}, {u"b", u"A", 1}, {u"", u"", 0},
      {u"ab", u"abc", -1}, {u"[", u"a", -1},  // '[' sorts before the folded letters
  };
  for (const Case& c : cases) {
    const int r = _wcsicmp(O(c.a), O(c.b));
    EXPECT_EQ((r > 0) - (r < 0), c.sign);
  }
}

}  // namespace
