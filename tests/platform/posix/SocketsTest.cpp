// The sockets start-up answers version requests as Windows Sockets 2.2 does.
#include <gtest/gtest.h>
#include <plinth/afx/WinApp.h>
#include <plinth/win32.h>

#include "support/Environment.h"

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
      {MAKEWORD(0, 9), 10092, 0xBEEF},  // WSAVERNOTSUPPORTED, data untouched
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
  // The library started the sockets once when it loaded; that start-up is the last to match.
  ASSERT_EQ(WSACleanup(), 0);
  SetLastError(0);
  EXPECT_EQ(WSACleanup(), -1);
  EXPECT_EQ(GetLastError(), 10093u);  // WSANOTINITIALISED
  WSADATA data;
  ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);  // the library's own, given back
}

// Each module starts the sockets for itself: with the start-up made to fail, a module that
// already started them still answers TRUE, while another module sees the failure.
TEST(AfxSocketInit, StartsOncePerModule) {
  CAfxModule first(nullptr, 0), second(nullptr, 0);
  {
    AFX_MANAGE_STATE(&first);
    EXPECT_TRUE(AfxSocketInit());
  }
  plinth::test::SetEnvironmentVariableForTest("PLINTH_FAULT_INJECT", "WSAStartup");
  {
    AFX_MANAGE_STATE(&first);
    EXPECT_TRUE(AfxSocketInit());
  }
  {
    AFX_MANAGE_STATE(&second);
    EXPECT_FALSE(AfxSocketInit());
  }
  plinth::test::RemoveEnvironmentVariableForTest("PLINTH_FAULT_INJECT");
}

}  // namespace
