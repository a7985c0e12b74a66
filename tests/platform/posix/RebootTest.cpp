// Shutdown requests, seen only through a recording power handler (the real one is never
// reached): what the calls pass on, and which route CKaShell::RebootSystem takes.
#include <stdlib.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <plinth/KaShell.h>
#include <plinth/win32.h>

#include <string>
#include <vector>

#include "PrivilegeChild.h"
#include "support/OSVersionRecord.h"

namespace {

using plinth::test::OSVersionRecord;
using plinth::test::ScopedOSVersion;

// Only null text pointers are looked at afterwards; the messages are kept as copies.
std::vector<PLINTH_POWER_REQUEST> g_requests;
std::vector<std::string> g_messages;
BOOL g_answer = TRUE;

// The context, if any, counts the calls.
BOOL Record(const PLINTH_POWER_REQUEST* r, void* context) {
  g_requests.push_back(*r);
  g_messages.push_back(r->message ? r->message : "(null)");
  if (context) ++*static_cast<int*>(context);
  if (!g_answer) SetLastError(ERROR_PRIVILEGE_NOT_HELD);
  return g_answer;
}

class RebootSystem : public ::testing::Test {
 protected:
  void SetUp() override {
    g_requests.clear();
    g_messages.clear();
    g_answer = TRUE;
    previous_ = PlinthSetPowerHandler(&Record, nullptr);
  }
  void TearDown() override {
    PlinthSetPowerHandler(previous_, nullptr);
    unsetenv("PLINTH_FAULT_INJECT");
  }
  PLINTH_POWER_HANDLER previous_ = nullptr;
};

using PowerHandler = RebootSystem;

TEST_F(PowerHandler, RequestsReachTheInstalledHandlerUnchanged) {
  EXPECT_TRUE(ExitWindowsEx(EWX_POWEROFF | EWX_FORCE, 0x40001));
  char message[] = "going down";
  char machine[] = "";
  EXPECT_TRUE(InitiateSystemShutdownExA(machine, message, 30, FALSE, TRUE, 7));
  // The names the registry connection takes for this machine, the short host name among them.
  char host[256] = {};
  ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
  std::string self = "\\\\" + std::string(host);
  self = self.substr(0, self.find('.'));
  EXPECT_TRUE(InitiateSystemShutdownExA(self.data(), nullptr, 0, TRUE, TRUE, 0)) << self;
  char remote[] = "\\\\no-such-machine.invalid";  // refused before the handler
  SetLastError(0);
  EXPECT_FALSE(InitiateSystemShutdownExA(remote, nullptr, 0, TRUE, TRUE, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_NETPATH));
  g_answer = FALSE;
  SetLastError(0);
  EXPECT_FALSE(ExitWindowsEx(EWX_LOGOFF, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PRIVILEGE_NOT_HELD));

  ASSERT_EQ(g_requests.size(), 4u);
  const PLINTH_POWER_REQUEST& first = g_requests[0];
  EXPECT_EQ(first.source, static_cast<DWORD>(PLINTH_POWER_EXIT_WINDOWS));
  EXPECT_EQ(first.flags, static_cast<UINT>(EWX_POWEROFF | EWX_FORCE));
  EXPECT_EQ(first.reason, 0x40001u);
  const PLINTH_POWER_REQUEST& second = g_requests[1];
  EXPECT_EQ(second.source, static_cast<DWORD>(PLINTH_POWER_INITIATE_SHUTDOWN));
  EXPECT_EQ(second.timeoutSeconds, 30u);
  EXPECT_FALSE(second.forceAppsClosed);
  EXPECT_TRUE(second.rebootAfterShutdown);
  EXPECT_EQ(second.reason, 7u);
  EXPECT_EQ(g_messages[1], "going down");
  EXPECT_EQ(g_requests[3].flags, static_cast<UINT>(EWX_LOGOFF));
}

TEST_F(PowerHandler, InstallingReturnsTheReplacedHandler) {
  int calls = 0;
  EXPECT_EQ(PlinthSetPowerHandler(&Record, &calls), &Record);
  ExitWindowsEx(EWX_REBOOT, 0);
  EXPECT_EQ(calls, 1);               // the new context reached the handler
  EXPECT_EQ(g_requests.size(), 1u);  // and only the new pair was called
}

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
    const PLINTH_POWER_REQUEST& r = g_requests[0];
    EXPECT_EQ(r.source, c.source) << c.major << "." << c.minor << " " << c.flags;
    if (r.source == kExit) {
      EXPECT_EQ(r.flags, c.flags);  // unchanged
      EXPECT_EQ(r.reason, 0u);
    } else {
      EXPECT_EQ(r.machineName, nullptr);
      EXPECT_EQ(r.message, nullptr);
      EXPECT_EQ(r.timeoutSeconds, 0u);
      EXPECT_TRUE(r.forceAppsClosed);
      EXPECT_TRUE(r.rebootAfterShutdown);
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

TEST_F(RebootSystem, OnlyTheNTFamilyTouchesThePrivilege) {
  using namespace plinth::test;
  if (!InSet(CAP_SYS_BOOT, CAP_PERMITTED)) GTEST_SKIP() << "this process lacks CAP_SYS_BOOT";
  for (DWORD platform : {DWORD{VER_PLATFORM_WIN32_NT}, DWORD{VER_PLATFORM_WIN32_WINDOWS}}) {
    const std::string failures = InChild([platform](std::vector<std::string>& failures) {
      CHECK_IN_CHILD(SetCapability(CAP_SYS_BOOT, true, false));
      {
        ScopedOSVersion version(OSVersionRecord(platform, 5, 0));
        CKaShell::RebootSystem(EWX_LOGOFF);
      }
      CHECK_IN_CHILD(Effective(CAP_SYS_BOOT) == (platform == VER_PLATFORM_WIN32_NT));
    });
    EXPECT_EQ(failures, "") << platform;
  }
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
