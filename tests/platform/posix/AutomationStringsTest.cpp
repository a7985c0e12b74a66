// The POSIX automation-string layer: double-byte conversions, and the failure paths of the
// wrapper that only an injected fault can reach.
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

}  // namespace
