// Privileges as capabilities: the helpers of CKaSecurity with and without the capability
// behind a privilege. Each case runs in a forked child whose capabilities it sets up with
// libcap, so that the test process keeps its own; and the shutdown requests reach only a
// recording handler.
#include <sys/capability.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <plinth/KaSecurity.h>
#include <plinth/win32.h>

#include <functional>
#include <string>
#include <vector>

namespace {

bool InSet(cap_value_t capability, cap_flag_t set) {
  cap_t caps = cap_get_proc();
  cap_flag_value_t value = CAP_CLEAR;
  cap_get_flag(caps, capability, set, &value);
  cap_free(caps);
  return value == CAP_SET;
}

bool Effective(cap_value_t capability) { return InSet(capability, CAP_EFFECTIVE); }

// Changes one capability of this process; `permitted` false drops it for good.
bool SetCapability(cap_value_t capability, bool permitted, bool effective) {
  cap_t caps = cap_get_proc();
  cap_set_flag(caps, CAP_EFFECTIVE, 1, &capability, effective ? CAP_SET : CAP_CLEAR);
  if (!permitted) {
    cap_set_flag(caps, CAP_PERMITTED, 1, &capability, CAP_CLEAR);
    cap_set_flag(caps, CAP_INHERITABLE, 1, &capability, CAP_CLEAR);
  }
  const bool ok = cap_set_proc(caps) == 0;
  cap_free(caps);
  return ok;
}

// Runs body in a forked child; its failures come back as the names of the checks that failed.
std::string InChild(const std::function<void(std::vector<std::string>&)>& body) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return "pipe";
  const pid_t pid = fork();
  if (pid == 0) {
    close(pipeFds[0]);
    std::vector<std::string> failures;
    body(failures);
    std::string text;
    for (const std::string& f : failures) text += f + ";";
    if (write(pipeFds[1], text.data(), text.size()) < 0) _exit(3);
    _exit(0);
  }
  close(pipeFds[1]);
  std::string text;
  char buffer[256];
  ssize_t got;
  while ((got = read(pipeFds[0], buffer, sizeof buffer)) > 0) text.append(buffer, got);
  close(pipeFds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) text += "child died;";
  return text;
}

#define CHECK_IN_CHILD(condition)                     \
  do {                                                \
    if (!(condition)) failures.push_back(#condition); \
  } while (0)

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

TEST(Privileges, MadeUpNamesAdjustNothing) {
  const std::string failures = InChild([](std::vector<std::string>& failures) {
    cap_t before = cap_get_proc();
    CHECK_IN_CHILD(!CKaSecurity::SetPrivilegeInAccessToken(true, "SeMadeUpPrivilege"));
    CHECK_IN_CHILD(!CKaSecurity::SetPrivilegeInAccessToken(true, ""));
    cap_t after = cap_get_proc();
    CHECK_IN_CHILD(cap_compare(before, after) == 0);
    cap_free(before);
    cap_free(after);
  });
  EXPECT_EQ(failures, "");
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

// ---------------------------------------------------------------------------------------------
// The power handler.

struct Recorder {
  std::vector<PLINTH_POWER_REQUEST> requests;
  std::vector<std::string> messages;
  BOOL answer = TRUE;

  static BOOL Handle(const PLINTH_POWER_REQUEST* request, void* context) {
    Recorder* self = static_cast<Recorder*>(context);
    self->requests.push_back(*request);
    self->messages.push_back(request->message ? request->message : "(null)");
    if (!self->answer) SetLastError(ERROR_PRIVILEGE_NOT_HELD);
    return self->answer;
  }
};

class PowerHandler : public ::testing::Test {
 protected:
  void SetUp() override { previous_ = PlinthSetPowerHandler(&Recorder::Handle, &recorder_); }
  void TearDown() override { PlinthSetPowerHandler(previous_, nullptr); }

  Recorder recorder_;
  PLINTH_POWER_HANDLER previous_ = nullptr;
};

TEST_F(PowerHandler, RequestsReachTheInstalledHandlerUnchanged) {
  EXPECT_TRUE(ExitWindowsEx(EWX_POWEROFF | EWX_FORCE, 0x40001));
  char message[] = "going down";
  char machine[] = "";
  EXPECT_TRUE(InitiateSystemShutdownExA(machine, message, 30, FALSE, TRUE, 7));
  recorder_.answer = FALSE;
  SetLastError(0);
  EXPECT_FALSE(ExitWindowsEx(EWX_LOGOFF, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PRIVILEGE_NOT_HELD));

  ASSERT_EQ(recorder_.requests.size(), 3u);
  const PLINTH_POWER_REQUEST& first = recorder_.requests[0];
  EXPECT_EQ(first.source, static_cast<DWORD>(PLINTH_POWER_EXIT_WINDOWS));
  EXPECT_EQ(first.flags, static_cast<UINT>(EWX_POWEROFF | EWX_FORCE));
  EXPECT_EQ(first.reason, 0x40001u);
  const PLINTH_POWER_REQUEST& second = recorder_.requests[1];
  EXPECT_EQ(second.source, static_cast<DWORD>(PLINTH_POWER_INITIATE_SHUTDOWN));
  EXPECT_EQ(second.timeoutSeconds, 30u);
  EXPECT_FALSE(second.forceAppsClosed);
  EXPECT_TRUE(second.rebootAfterShutdown);
  EXPECT_EQ(second.reason, 7u);
  EXPECT_EQ(recorder_.messages[1], "going down");
  EXPECT_EQ(recorder_.requests[2].flags, static_cast<UINT>(EWX_LOGOFF));
}

TEST_F(PowerHandler, OtherMachinesAreRefusedBeforeTheHandler) {
  char remote[] = "\\\\no-such-machine.invalid";
  SetLastError(0);
  EXPECT_FALSE(InitiateSystemShutdownExA(remote, nullptr, 0, TRUE, TRUE, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_NETPATH));
  char self[] = "localhost";
  EXPECT_TRUE(InitiateSystemShutdownExA(self, nullptr, 0, TRUE, TRUE, 0));
  EXPECT_EQ(recorder_.requests.size(), 1u);
}

TEST_F(PowerHandler, InstallingReturnsTheReplacedHandler) {
  Recorder other;
  EXPECT_EQ(PlinthSetPowerHandler(&Recorder::Handle, &other), &Recorder::Handle);
  ExitWindowsEx(EWX_REBOOT, 0);
  EXPECT_EQ(other.requests.size(), 1u);
  EXPECT_TRUE(recorder_.requests.empty());
  PlinthSetPowerHandler(&Recorder::Handle, &recorder_);
}

}  // namespace
