#include <plinth/KaHresults.h>
#include <plinth/afx/String.h>
#include <plinth/afx/WinApp.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

TEST(ResultCodes, DuplicateNameIsSetAtLoadAndNegative) {
  EXPECT_EQ(HR_DUPLICATE_NAME, static_cast<long>(static_cast<int32_t>(0x80040100u)));
  EXPECT_LT(HR_DUPLICATE_NAME, 0);
  EXPECT_EQ(static_cast<uint32_t>(HR_DUPLICATE_NAME), 0x80040100u);
  EXPECT_TRUE(FAILED(static_cast<HRESULT>(HR_DUPLICATE_NAME)));
}

TEST(ResultCodes, InitialisingAgainKeepsTheValue) {
  HR_DUPLICATE_NAME = 0;
  CKaHresults::InitHresultCodes();
  CKaHresults::InitHresultCodes();
  EXPECT_EQ(static_cast<uint32_t>(HR_DUPLICATE_NAME), 0x80040100u);
}

TEST(ResultCodes, FailureCodesAreNegativeLongs) {
  long fail = E_FAIL;
  EXPECT_LT(fail, 0);
  EXPECT_EQ(static_cast<uint32_t>(fail), 0x80004005u);
  EXPECT_EQ(S_OK, 0);
  EXPECT_EQ(S_FALSE, 1);
}

struct StringResourceCase {
  UINT id;
  const char* text;
};

TEST(StringResources, TheLibraryStringsLoadByNumber) {
  const StringResourceCase cases[] = {
      {101, "Windows sockets initialization failed."},
      {29093, "(Default)"},
  };
  for (const auto& c : cases) {
    CString text("unchanged");
    EXPECT_TRUE(text.LoadString(c.id)) << c.id;
    EXPECT_STREQ(text.GetString(), c.text) << c.id;
  }
}

TEST(StringResources, AnUnknownNumberLeavesTheTextAlone) {
  for (UINT id : {0u, 100u, 102u, 29092u, 29094u, 0xFFFFFFFFu}) {
    CString text("unchanged");
    EXPECT_FALSE(text.LoadString(id)) << id;
    EXPECT_STREQ(text.GetString(), "unchanged") << id;
  }
}

TEST(StringResources, TheCurrentModuleIsSearchedBeforeTheChain) {
  static const AFX_STRING_RESOURCE hostStrings[] = {{101, "host text"}, {7, "seven"}};
  CAfxModule host(hostStrings, 2);
  {
    AFX_MANAGE_STATE(&host);
    EXPECT_STREQ(AfxFindStringResource(101), "host text");
    EXPECT_STREQ(AfxFindStringResource(29093), "(Default)");
  }
  EXPECT_STREQ(AfxFindStringResource(101), "Windows sockets initialization failed.");
  EXPECT_EQ(AfxFindStringResource(7), nullptr);
  host.JoinResourceChain();
  host.JoinResourceChain();  // joining twice must not loop the chain
  EXPECT_STREQ(AfxFindStringResource(7), "seven");
  EXPECT_STREQ(AfxFindStringResource(101), "host text");  // newest module first
  host.LeaveResourceChain();
  EXPECT_EQ(AfxFindStringResource(7), nullptr);
  EXPECT_STREQ(AfxFindStringResource(101), "Windows sockets initialization failed.");
}

TEST(Application, TheLibraryHasStartedItsApplicationObject) {
  ASSERT_NE(AfxGetApp(), nullptr);
  EXPECT_EQ(AfxGetApp()->m_pszAppName, nullptr);
}

// Modules come and go in any order (a plug-in unloaded before its host's application ends);
// the newest application still alive stays the application.
TEST(Application, TheNewestApplicationStillAliveIsTheApplication) {
  CWinApp* const library = AfxGetApp();
  for (bool olderGoesFirst : {true, false}) {
    auto older = std::make_unique<CWinApp>("older");
    auto newer = std::make_unique<CWinApp>("newer");
    EXPECT_EQ(AfxGetApp(), newer.get());
    CWinApp* const survivor = olderGoesFirst ? newer.get() : older.get();
    (olderGoesFirst ? older : newer).reset();
    EXPECT_EQ(AfxGetApp(), survivor) << olderGoesFirst;
    older.reset();
    newer.reset();
    EXPECT_EQ(AfxGetApp(), library) << olderGoesFirst;
  }
}

// The sockets start once per module: a later call in the same module neither starts them
// again (it would need a second clean-up) nor touches the data it is given.
TEST(Sockets, ALaterStartInTheSameModuleLeavesTheDataAlone) {
  CAfxModule module(nullptr, 0);
  AFX_MANAGE_STATE(&module);
  WSADATA first{};
  ASSERT_TRUE(AfxSocketInit(&first));
  EXPECT_EQ(first.wVersion, MAKEWORD(1, 1));
  WSADATA later;
  std::memset(&later, 0xAB, sizeof later);
  EXPECT_TRUE(AfxSocketInit(&later));
  EXPECT_EQ(later.wVersion, 0xABAB);
}

}  // namespace
