// The framework starts the sockets once per module; a start-up made to fail shows it.
#include <gtest/gtest.h>
#include <plinth/afx/WinApp.h>

#include "support/Environment.h"

namespace {

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
