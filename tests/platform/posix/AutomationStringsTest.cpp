// The POSIX code-page and automation-string layer: conversions both ways with the Win32 size
// protocol, and the failure paths of the wrapper that only an injected fault can reach.
#include <gtest/gtest.h>
#include <plinth/KaBstr.h>
#include <plinth/win32.h>

#include <cstdlib>
#include <string>

#include "support/FrameworkExceptions.h"

namespace {

std::u16string Convert(UINT codePage, const std::string& bytes, DWORD flags = 0) {
  const int size = static_cast<int>(bytes.size());
  const int needed = MultiByteToWideChar(codePage, flags, bytes.data(), size, nullptr, 0);
  std::u16string out(static_cast<size_t>(needed), u'\0');
  if (needed > 0) {
    EXPECT_EQ(MultiByteToWideChar(codePage, flags, bytes.data(), size,
                                  reinterpret_cast<OLECHAR*>(&out[0]), needed),
              needed);
  }
  return out;
}

TEST(PosixAutomation, DoubleBytePagesToUnits) {
  // clang-format off
  struct Case { UINT codePage; std::string bytes; std::u16string expected; };
  const Case cases[] = {
      {932, "\x95\x5C\x61\xB1",  u"\u8868a\uff71"},   // a trail byte 0x5C is no backslash
      {932, "a\x81",             u"a\ufffd"},         // a lead byte cut off at the end
      {936, "\xC4\xE3", u"\u4f60"},  {949, "\xB0\xA1", u"\uac00"},  {950, "\xA4\xA4", u"\u4e2d"},
      {932, std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
  };
  // clang-format on
  for (const Case& c : cases) EXPECT_EQ(Convert(c.codePage, c.bytes), c.expected) << c.codePage;
  // An encoded surrogate is three ill-formed bytes, one replacement each (Wine makes it two).
  EXPECT_EQ(Convert(CP_UTF8, "\xed\xa0\x80"), u"\ufffd\ufffd\ufffd");
  EXPECT_EQ(MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, "a\x81", 2, nullptr, 0), 0);
  EXPECT_EQ(MultiByteToWideChar(12345, 0, "a", 1, nullptr, 0), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

// Makes the named platform calls fail while it lives.
class Fault {
 public:
  explicit Fault(const char* calls) { setenv("PLINTH_FAULT_INJECT", calls, 1); }
  ~Fault() { unsetenv("PLINTH_FAULT_INJECT"); }
};

TEST(PosixAutomation, FailedAllocationsThrowOrEmpty) {
  using plinth::test::Throws;
  const CKaBstr source(L"abc");
  CKaBstr trimmed(source);
  {
    const Fault fault("SysAllocString");
    EXPECT_TRUE(Throws<CMemoryException>([] { CKaBstr s(L"x"); }));
    EXPECT_TRUE(Throws<CMemoryException>([] { CKaBstr s("x"); }));
    EXPECT_TRUE(Throws<CMemoryException>([&] { CKaBstr s(source); }));
    EXPECT_FALSE(Throws<CMemoryException>([] { CKaBstr s(0, "x"); }));  // null is right for 0
    // The trims free the old string all the same and leave null, without throwing.
    EXPECT_FALSE(Throws<CMemoryException>([&] { trimmed.TrimRight(); }));
    EXPECT_EQ(trimmed.m_str, nullptr);
    // The assignment has freed its own string before the copy fails.
    CKaBstr assigned;
    EXPECT_TRUE(Throws<CMemoryException>([&] { assigned = source; }));
    EXPECT_EQ(assigned.m_str, nullptr);
  }
  CKaBstr path(L"C:\\dir");
  {
    const Fault fault("VarBstrCat");
    EXPECT_TRUE(Throws<CMemoryException>([&] { path.ConcatenatePath(CKaBstr(L"file")); }));
  }
  EXPECT_EQ(path.CompareNoCase(L"C:\\dir"), 0);  // kept as it was
}

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
