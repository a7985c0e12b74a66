// Wide text to code pages: the Win32 size protocol and the conversions themselves.
#include <gtest/gtest.h>
#include <plinth/win32.h>

#include <string>

namespace {

TEST(CodePages, SizeProtocolAndBadArguments) {
  char b[8] = "-------";
  BOOL used = 0;
  // clang-format off
  struct Case { UINT cp; LPCWSTR w; int cch; LPSTR out; int cb; LPBOOL used; int want; DWORD err; };
  const Case cases[] = {
      {CP_UTF8, L"abc", -1, nullptr, 0, nullptr, 4, 0}, {CP_UTF8, L"abc", 3, b, 0, nullptr, 3, 0},
      {CP_UTF8, L"\u00e9", -1, b, 0, nullptr, 3, 0},    {1252, L"\u00e9", -1, b, 2, &used, 2, 0},
      {CP_UTF8, L"abc", -1, b, 3, nullptr, 0, ERROR_INSUFFICIENT_BUFFER},
      {932, L"\u8868", 1, b, 1, nullptr, 0, ERROR_INSUFFICIENT_BUFFER},
      {CP_UTF8, nullptr, -1, b, 8, nullptr, 0, ERROR_INVALID_PARAMETER},
      {CP_UTF8, L"a", 0, b, 8, nullptr, 0, ERROR_INVALID_PARAMETER},
      {CP_UTF8, L"a", 1, nullptr, 8, nullptr, 0, ERROR_INVALID_PARAMETER},
      {12345, L"a", 1, b, 8, nullptr, 0, ERROR_INVALID_PARAMETER},
      {CP_UTF8, L"a", 1, b, 8, &used, 0, ERROR_INVALID_PARAMETER},  // UTF-8 has no default
  };
  // clang-format on
  for (const Case& c : cases) {
    SetLastError(0);
    EXPECT_EQ(WideCharToMultiByte(c.cp, 0, c.w, c.cch, c.out, c.cb, nullptr, c.used), c.want)
        << "case " << (&c - cases);
    EXPECT_EQ(GetLastError(), c.err) << "case " << (&c - cases);
  }
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, L"xy", 2, b, 8, nullptr, nullptr), 2);
  EXPECT_EQ(std::string(b, 3), "xy-");  // no terminator unless asked for
}

TEST(CodePages, Conversions) {
  // clang-format off
  struct Case { UINT cp; std::wstring in; std::string out; bool usedDefault; };
  const Case cases[] = {
      {CP_UTF8, L"A\u00e9\u20ac", "A\xC3\xA9\xE2\x82\xAC", false},
      {CP_UTF8, {wchar_t(0x1F600), wchar_t(0xD83D), wchar_t(0xDE00)},
       "\xF0\x9F\x98\x80\xF0\x9F\x98\x80", false},
      {CP_UTF8, {wchar_t(0xD800), L'a', wchar_t(0xDC00), wchar_t(0x110000)},
       "\xEF\xBF\xBD\x61\xEF\xBF\xBD\xEF\xBF\xBD", false},
      {1252, L"\u20ac\u0152\u0178\u2122\u00e9\u00ff\u0081\u008d",
       "\x80\x8C\x9F\x99\xE9\xFF\x81\x8D", false},
      {1252, {L'\u0080', L'\u0100', L'\u4e2d', wchar_t(0xD800)}, "????", true},
      {28591, L"\u0080\u00ff\u20ac", "\x80\xFF?", true},  {20127, L"a\u007f\u00e9", "a\x7F?", true},
      {932, L"\u8868a\uff71", "\x95\x5C\x61\xB1", false}, {932, L"\u00e9", "?", true},
      {936, L"\u4e2d", "\xD6\xD0", false},                {949, L"\ud55c", "\xC7\xD1", false},
      {950, L"\u4e2d", "\xA4\xA4", false},
  };
  // clang-format on
  for (const Case& c : cases) {
    char buf[32] = {};
    BOOL used = 2;
    const int n = WideCharToMultiByte(c.cp, 0, c.in.data(), static_cast<int>(c.in.size()), buf,
                                      sizeof buf, nullptr, c.cp == CP_UTF8 ? nullptr : &used);
    EXPECT_EQ(std::string(buf, n > 0 ? n : 0), c.out) << "case " << (&c - cases);
    EXPECT_EQ(used != 0, c.usedDefault || c.cp == CP_UTF8) << "case " << (&c - cases);
  }
  // A default character is one character of the page: Shift-JIS 0xB1 is one byte.
  // clang-format off
  struct Default { UINT cp; const char* fallback; std::string out; };
  const Default defaults[] = {
      {1252, "*", "a*"}, {932, "\x81\x45", "a\x81\x45"}, {932, "\xB1\xB2", "a\xB1"}};
  // clang-format on
  for (const Default& d : defaults) {
    char buf[8] = {};
    const int n = WideCharToMultiByte(d.cp, 0, L"a\u0e01", -1, buf, 8, d.fallback, nullptr);
    EXPECT_EQ(std::string(buf, n > 0 ? n : 0), d.out + '\0') << d.fallback;
  }
}

}  // namespace
