// CKaShell::RebootSystem: which route each release and request takes, seen only through a
// recording power handler (the real one is never reached).
#include <stdlib.h>
#include <sys/capability.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <plinth/KaShell.h>
#include <plinth/win32.h>

#include <string>
#include <vector>

#include "support/OSVersionRecord.h"

namespace {

using plinth::test::OSVersionRecord;
using plinth::test::ScopedOSVersion;

struct Request {
  DWORD source;
  UINT flags;
  DWORD reason;
  DWORD timeout;
  BOOL force, reboot;
  bool machineNull, messageNull;
};

std::vector<Request> g_requests;

BOOL Record(const PLINTH_POWER_REQUEST* r, void*) {
  g_requests.push_back({r->source, r->flags, r->reason, r->timeoutSeconds, r->forceAppsClosed,
                        r->rebootAfterShutdown, r->machineName == nullptr, r->message == nullptr});
  return TRUE;
}

class RebootSystem : public ::testing::Test {
 protected:
  void SetUp() override {
    g_requests.clear();
    previous_ = PlinthSetPowerHandler(&Record, nullptr);
  }
  void TearDown() override {
    PlinthSetPowerHandler(previous_, nullptr);
    unsetenv("PLINTH_FAULT_INJECT");
  }
  PLINTH_POWER_HANDLER previous_ = nullptr;
};

constexpr DWORD kExit = PLINTH_POWER_EXIT_WINDOWS;
constexpr DWORD kInitiate = PLINTH_POWER_INITIATE_SHUTDOWN;

TEST_F(RebootSystem, RoutesByReleaseAndRequest) {
  struct Case {
    DWORD platform, major, minor;
    unsigned int flags;
    DWORD source;  // the call that received the request
  };
  // clang-format off
  const Case cases[] = {
      {2, 5, 1, EWX_LOGOFF,                kExit},      // no machine request on 5.1
      {2, 5, 1, EWX_FORCE,                 kExit},
      {2, 5, 1, EWX_SHUTDOWN,              kInitiate},  // restarts, does not stay off
      {2, 5, 1, EWX_REBOOT,                kInitiate},
      {2, 5, 1, EWX_POWEROFF | EWX_FORCE,  kInitiate},
      {2, 5, 1, 0x10,                      kExit},      // outside the mask 0xB
      {2, 5, 0, EWX_SHUTDOWN,              kExit},
      {2, 5, 2, EWX_REBOOT,                kExit},
      {2, 6, 1, EWX_POWEROFF,              kExit},
      {1, 4, 10, EWX_REBOOT,               kExit},
      {0, 0, 0, EWX_SHUTDOWN,              kExit},
  };
  // clang-format on
  for (const Case& c : cases) {
    ScopedOSVersion version(OSVersionRecord(c.platform, c.major, c.minor));
    g_requests.clear();
    CKaShell::RebootSystem(c.flags);
    ASSERT_EQ(g_requests.size(), 1u) << c.major << "." << c.minor << " " << c.flags;
    const Request& r = g_requests[0];
    EXPECT_EQ(r.source, c.source) << c.major << "." << c.minor << " " << c.flags;
    if (r.source == kExit) {
      EXPECT_EQ(r.flags, c.flags);  // unchanged
      EXPECT_EQ(r.reason, 0u);
    } else {
      EXPECT_TRUE(r.machineNull);
      EXPECT_TRUE(r.messageNull);
      EXPECT_EQ(r.timeout, 0u);
      EXPECT_TRUE(r.force);
      EXPECT_TRUE(r.reboot);
      EXPECT_EQ(r.reason, 0x40001u);
    }
  }
}

TEST_F(RebootSystem, WithoutTheShutdownEntryXPFallsBackToExitWindowsEx) {
  ScopedOSVersion version(OSVersionRecord(2, 5, 1));
  for (const char* failing : {"LoadLibraryA", "GetProcAddress"}) {
    setenv("PLINTH_FAULT_INJECT", failing, 1);
    g_requests.clear();
    CKaShell::RebootSystem(EWX_SHUTDOWN);
    ASSERT_EQ(g_requests.size(), 1u) << failing;
    EXPECT_EQ(g_requests[0].source, kExit) << failing;
    EXPECT_EQ(g_requests[0].flags, static_cast<UINT>(EWX_SHUTDOWN)) << failing;
  }
}

// Whether CAP_SYS_BOOT is effective after RebootSystem(EWX_LOGOFF) on the given platform, in a
// child that holds the capability switched off beforehand.
int ShutdownEnabledAfterReboot(DWORD platform) {
  const pid_t pid = fork();
  if (pid == 0) {
    cap_t caps = cap_get_proc();
    cap_value_t boot = CAP_SYS_BOOT;
    cap_set_flag(caps, CAP_EFFECTIVE, 1, &boot, CAP_CLEAR);
    if (cap_set_proc(caps) != 0) _exit(3);
    {
      ScopedOSVersion version(OSVersionRecord(platform, 5, 0));
      CKaShell::RebootSystem(EWX_LOGOFF);
    }
    cap_flag_value_t value = CAP_CLEAR;
    cap_free(caps);
    caps = cap_get_proc();
    cap_get_flag(caps, CAP_SYS_BOOT, CAP_EFFECTIVE, &value);
    _exit(value == CAP_SET ? 1 : 0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(RebootSystem, OnlyTheNTFamilyTouchesThePrivilege) {
  cap_t caps = cap_get_proc();
  cap_flag_value_t held = CAP_CLEAR;
  cap_get_flag(caps, CAP_SYS_BOOT, CAP_PERMITTED, &held);
  cap_free(caps);
  if (held != CAP_SET) GTEST_SKIP() << "this process lacks CAP_SYS_BOOT";
  EXPECT_EQ(ShutdownEnabledAfterReboot(VER_PLATFORM_WIN32_NT), 1);
  EXPECT_EQ(ShutdownEnabledAfterReboot(VER_PLATFORM_WIN32_WINDOWS), 0);
}

TEST(Modules, BuiltInSystemLibrariesAndTheirEntries) {
  for (const char* name : {"ADVAPI32.DLL", "advapi32", "C:\\Windows\\System32\\AdvApi32.dll"}) {
    HMODULE module = LoadLibraryA(name);
    ASSERT_NE(module, nullptr) << name;
    EXPECT_EQ(reinterpret_cast<void (*)(void)>(GetProcAddress(module, "InitiateSystemShutdownExA")),
              reinterpret_cast<void (*)(void)>(&InitiateSystemShutdownExA));
    SetLastError(0);
    EXPECT_EQ(GetProcAddress(module, "NoSuchEntry"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
    EXPECT_TRUE(FreeLibrary(module));
  }
  SetLastError(0);
  EXPECT_EQ(LoadLibraryA("no-such-library-anywhere.dll"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

}  // namespace
