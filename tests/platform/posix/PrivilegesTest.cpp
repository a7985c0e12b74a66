// Privileges as capabilities: the helpers of CKaSecurity and the token calls with and without
// the capability behind a privilege.
#include <gtest/gtest.h>
#include <plinth/KaSecurity.h>
#include <plinth/win32.h>

#include <string>
#include <vector>

#include "PrivilegeChild.h"

namespace {

using plinth::test::Effective;
using plinth::test::InChild;
using plinth::test::InSet;
using plinth::test::SetCapability;

TEST(Privileges, WithoutTheCapabilityOnlyTheGivenTokenFormSucceeds) {
  const std::string failures = InChild([](std::vector<std::string>& failures) {
    CHECK_IN_CHILD(SetCapability(CAP_SYS_BOOT, false, false));
    SetLastError(0);
    CHECK_IN_CHILD(!CKaSecurity::SetPrivilegeInAccessToken(true, "SeShutdownPrivilege"));
    CHECK_IN_CHILD(GetLastError() == ERROR_NOT_ALL_ASSIGNED);
    CHECK_IN_CHILD(!CKaSecurity::SetPrivilegeInAccessToken(false, "SeShutdownPrivilege"));
    HANDLE token = nullptr;
    CHECK_IN_CHILD(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token));
    CHECK_IN_CHILD(CKaSecurity::SetPrivilege(token, "SeShutdownPrivilege", 1) != 0);
    CHECK_IN_CHILD(GetLastError() == ERROR_NOT_ALL_ASSIGNED);
    CHECK_IN_CHILD(CKaSecurity::SetPrivilege(token, "SeMadeUpPrivilege", 1) == 0);
    CHECK_IN_CHILD(CKaSecurity::SetPrivilege(token, nullptr, 1) == 0);
    CHECK_IN_CHILD(CloseHandle(token));
    CHECK_IN_CHILD(!Effective(CAP_SYS_BOOT));
    cap_t before = cap_get_proc();  // made-up names adjust nothing
    CHECK_IN_CHILD(!CKaSecurity::SetPrivilegeInAccessToken(true, "SeMadeUpPrivilege"));
    CHECK_IN_CHILD(!CKaSecurity::SetPrivilegeInAccessToken(true, ""));
    cap_t after = cap_get_proc();
    CHECK_IN_CHILD(cap_compare(before, after) == 0);
    cap_free(before);
    cap_free(after);
  });
  EXPECT_EQ(failures, "");
}

TEST(Privileges, WithTheCapabilitySwitchesItOnAndOff) {
  struct Case {
    const char* privilege;
    cap_value_t capability;
  };
  // CI drops CAP_SYS_BOOT, so a second privilege keeps this path tested there.
  const Case cases[] = {{"SeShutdownPrivilege", CAP_SYS_BOOT},
                        {"SeIncreaseBasePriorityPrivilege", CAP_SYS_NICE}};
  int tested = 0;
  for (const Case& c : cases) {
    if (!InSet(c.capability, CAP_PERMITTED)) continue;
    ++tested;
    const std::string failures = InChild([&c](std::vector<std::string>& failures) {
      CHECK_IN_CHILD(SetCapability(c.capability, true, false));
      CHECK_IN_CHILD(CKaSecurity::SetPrivilegeInAccessToken(true, c.privilege));
      CHECK_IN_CHILD(Effective(c.capability));
      CHECK_IN_CHILD(CKaSecurity::SetPrivilegeInAccessToken(false, c.privilege));
      CHECK_IN_CHILD(!Effective(c.capability));
      CHECK_IN_CHILD(InSet(c.capability, CAP_PERMITTED));  // off, but still held
    });
    EXPECT_EQ(failures, "") << c.privilege;
  }
  if (tested == 0) GTEST_SKIP() << "this process holds none of the capabilities";
}

TEST(Privileges, PrivilegesWithoutACapabilityAreAlwaysHeld) {
  const std::string failures = InChild([](std::vector<std::string>& failures) {
    cap_t none = cap_init();  // every set empty
    CHECK_IN_CHILD(cap_set_proc(none) == 0);
    cap_free(none);
    CHECK_IN_CHILD(CKaSecurity::SetPrivilegeInAccessToken(true, "SeChangeNotifyPrivilege"));
    CHECK_IN_CHILD(CKaSecurity::SetPrivilegeInAccessToken(false, "SeCreateSymbolicLinkPrivilege"));
    CHECK_IN_CHILD(!CKaSecurity::SetPrivilegeInAccessToken(true, "SeDebugPrivilege"));
    // The trusted-computing-base helper reports the platform's own result even so.
    CHECK_IN_CHILD(CKaSecurity::AdjustPrivilege() != 0);
    CHECK_IN_CHILD(GetLastError() == ERROR_NOT_ALL_ASSIGNED);
  });
  EXPECT_EQ(failures, "");
}

TEST(Privileges, AdjustPrivilegeRaisesSysAdminWhenHeld) {
  if (!InSet(CAP_SYS_ADMIN, CAP_PERMITTED)) GTEST_SKIP() << "this process lacks CAP_SYS_ADMIN";
  const std::string failures = InChild([](std::vector<std::string>& failures) {
    CHECK_IN_CHILD(SetCapability(CAP_SYS_ADMIN, true, false));
    CHECK_IN_CHILD(CKaSecurity::AdjustPrivilege() != 0);
    CHECK_IN_CHILD(GetLastError() == ERROR_SUCCESS);
    CHECK_IN_CHILD(Effective(CAP_SYS_ADMIN));
  });
  EXPECT_EQ(failures, "");
}

TEST(Tokens, PreviousStateAndDisableAll) {
  const std::string failures = InChild([](std::vector<std::string>& failures) {
    cap_t none = cap_init();
    cap_value_t nice = CAP_SYS_NICE;
    cap_set_flag(none, CAP_PERMITTED, 1, &nice, CAP_SET);
    CHECK_IN_CHILD(cap_set_proc(none) == 0);  // only CAP_SYS_NICE held, and off
    cap_free(none);
    HANDLE token = nullptr;
    CHECK_IN_CHILD(
        OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token));
    TOKEN_PRIVILEGES change = {};
    change.PrivilegeCount = 1;
    CHECK_IN_CHILD(
        LookupPrivilegeValueA(nullptr, SE_INC_BASE_PRIORITY_NAME, &change.Privileges[0].Luid));
    change.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    TOKEN_PRIVILEGES previous = {};
    DWORD length = 0;
    CHECK_IN_CHILD(!AdjustTokenPrivileges(token, FALSE, &change, 4, &previous, &length) &&
                   GetLastError() == ERROR_INSUFFICIENT_BUFFER && length == 16);
    CHECK_IN_CHILD(!Effective(CAP_SYS_NICE));  // a refused call changes nothing
    CHECK_IN_CHILD(
        AdjustTokenPrivileges(token, FALSE, &change, sizeof previous, &previous, &length));
    CHECK_IN_CHILD(previous.PrivilegeCount == 1 && previous.Privileges[0].Attributes == 0 &&
                   previous.Privileges[0].Luid.LowPart == 14);
    CHECK_IN_CHILD(Effective(CAP_SYS_NICE));
    CHECK_IN_CHILD(AdjustTokenPrivileges(token, TRUE, nullptr, 0, nullptr, nullptr));
    CHECK_IN_CHILD(GetLastError() == ERROR_SUCCESS);
    CHECK_IN_CHILD(!Effective(CAP_SYS_NICE));
    change.Privileges[0].Luid.LowPart = 99;
    CHECK_IN_CHILD(!AdjustTokenPrivileges(token, FALSE, &change, 0, nullptr, nullptr) &&
                   GetLastError() == ERROR_NO_SUCH_PRIVILEGE);
    CHECK_IN_CHILD(CloseHandle(token));
    CHECK_IN_CHILD(!CloseHandle(token) && GetLastError() == ERROR_INVALID_HANDLE);
    CHECK_IN_CHILD(!AdjustTokenPrivileges(token, TRUE, nullptr, 0, nullptr, nullptr) &&
                   GetLastError() == ERROR_INVALID_HANDLE);
    HANDLE other = nullptr;
    CHECK_IN_CHILD(!OpenProcessToken(reinterpret_cast<HANDLE>(1234), TOKEN_QUERY, &other) &&
                   GetLastError() == ERROR_INVALID_HANDLE);
  });
  EXPECT_EQ(failures, "");
}

}  // namespace
