// The sockets start-up answers version requests as Windows Sockets 2.2 does, on Windows and on
// the POSIX layer alike.
#include <gtest/gtest.h>
#include <plinth/KaHresults.h>
#include <plinth/win32.h>

#include <cstdint>

namespace {

TEST(WSAStartup, GrantsTheRequestedVersionUpToTheHighest) {
  struct Case {
    WORD requested;
    int result;
    WORD granted;
  };
  // clang-format off
  const Case cases[] = {
      {MAKEWORD(1, 1), 0,     MAKEWORD(1, 1)},
      {MAKEWORD(2, 0), 0,     MAKEWORD(2, 0)},
      {MAKEWORD(2, 2), 0,     MAKEWORD(2, 2)},
      {MAKEWORD(2, 3), 0,     MAKEWORD(2, 2)},
      {MAKEWORD(3, 0), 0,     MAKEWORD(2, 2)},
      {MAKEWORD(0, 9), 10092, MAKEWORD(2, 2)},  // WSAVERNOTSUPPORTED, yet the data says what is
  };
  // clang-format on
  for (const Case& c : cases) {
    WSADATA data;
    data.wVersion = 0xBEEF;
    EXPECT_EQ(WSAStartup(c.requested, &data), c.result) << std::hex << c.requested;
    EXPECT_EQ(data.wVersion, c.granted) << std::hex << c.requested;
    if (c.result == 0) {
      EXPECT_EQ(data.wHighVersion, MAKEWORD(2, 2));
      WSACleanup();
    }
  }
}

TEST(WSACleanup, RefusesACleanUpWithoutAStartUp) {
  // The library started the sockets once when it loaded (a use of its data makes sure it is
  // loaded: on Windows nothing else in this program needs it); that start-up is the last to
  // match.
  ASSERT_EQ(static_cast<uint32_t>(HR_DUPLICATE_NAME), 0x80040100u);
  ASSERT_EQ(WSACleanup(), 0);
  SetLastError(0);
  EXPECT_EQ(WSACleanup(), -1);
  EXPECT_EQ(GetLastError(), 10093u);  // WSANOTINITIALISED
  WSADATA data;
  ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);  // the library's own, given back
}

}  // namespace
