// The security calls as Windows defines them: layouts, builders, accessors, conversions, the
// account lookup of well-known SIDs, privilege identifiers and the version record. Out
// parameters and the last error start from sentinels; buffers carry guard bytes.
#include <gtest/gtest.h>
#include <plinth/win32.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "support/SecurityBuilders.h"
#include "support/Wine.h"

namespace {

using plinth::test::AbsoluteSd;
using plinth::test::Acl;
using plinth::test::Administrators;
using plinth::test::Everyone;
using plinth::test::LocalSystem;
using plinth::test::Sid;
using plinth::test::Users;

constexpr DWORD kSentinel = 0xDEADBEEF;

TEST(Layouts, FieldsSitWhereWindowsPutsThem) {
  EXPECT_EQ(sizeof(SID_IDENTIFIER_AUTHORITY), 6u);
  EXPECT_EQ(offsetof(SID, IdentifierAuthority), 2u);
  EXPECT_EQ(offsetof(SID, SubAuthority), 8u);
  EXPECT_EQ(sizeof(ACL), 8u);
  EXPECT_EQ(offsetof(ACL, AclSize), 2u);
  EXPECT_EQ(offsetof(ACL, AceCount), 4u);
  EXPECT_EQ(sizeof(ACE_HEADER), 4u);
  EXPECT_EQ(offsetof(ACCESS_ALLOWED_ACE, Mask), 4u);
  EXPECT_EQ(offsetof(ACCESS_ALLOWED_ACE, SidStart), 8u);
  EXPECT_EQ(sizeof(SECURITY_DESCRIPTOR_RELATIVE), 20u);
  EXPECT_EQ(offsetof(SECURITY_DESCRIPTOR_RELATIVE, Owner), 4u);
  EXPECT_EQ(offsetof(SECURITY_DESCRIPTOR_RELATIVE, Dacl), 16u);
  EXPECT_EQ(offsetof(SECURITY_DESCRIPTOR, Control), 2u);
  EXPECT_EQ(offsetof(SECURITY_DESCRIPTOR, Owner), sizeof(void*));
  EXPECT_EQ(sizeof(TOKEN_PRIVILEGES), 16u);
  EXPECT_EQ(sizeof(OSVERSIONINFOA), 148u);
  EXPECT_EQ(sizeof(OSVERSIONINFOEXA), 156u);
  EXPECT_EQ(SE_SELF_RELATIVE, 0x8000);
  EXPECT_EQ(SE_DACL_PRESENT, 0x0004);
  EXPECT_EQ(FILE_GENERIC_READ, 0x120089u);
  EXPECT_EQ(FILE_GENERIC_WRITE, 0x120116u);
  EXPECT_EQ(FILE_GENERIC_EXECUTE, 0x1200A0u);
  EXPECT_EQ(FILE_ALL_ACCESS, 0x1F01FFu);
  EXPECT_EQ(TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, 0x28);
}

TEST(Sid, AccessorsAndCopy) {
  Sid sid(5, {21, 4294967295u, 7});
  EXPECT_TRUE(IsValidSid(sid.get()));
  EXPECT_EQ(GetLengthSid(sid.get()), 20u);
  EXPECT_EQ(*GetSidSubAuthorityCount(sid.get()), 3);
  EXPECT_EQ(GetSidIdentifierAuthority(sid.get())->Value[5], 5);
  EXPECT_EQ(*GetSidSubAuthority(sid.get(), 1), 4294967295u);
  EXPECT_EQ(*GetSidSubAuthority(sid.get(), 2), 7u);

  // CopySid needs room for the whole SID.
  Sid source(5, {32, 544});
  unsigned char buffer[20];
  std::memset(buffer, 0xAB, sizeof buffer);
  SetLastError(kSentinel);
  EXPECT_FALSE(CopySid(15, buffer, source.get()));
  PLINTH_EXPECT_EQ_TODO_WINE(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER),
                             "CopySid sets no last error");
  EXPECT_EQ(buffer[0], 0xAB);
  ASSERT_TRUE(CopySid(16, buffer, source.get()));
  EXPECT_EQ(std::memcmp(buffer, source.get(), 16), 0);
  EXPECT_EQ(buffer[16], 0xAB);  // guard
}

TEST(Sid, ValidityIsRevisionOneAndAtMostFifteenSubAuthorities) {
  struct Case {
    BYTE revision;
    BYTE count;
    bool valid;
  };
  const Case cases[] = {{1, 0, true},    {1, 15, true}, {1, 16, false},
                        {1, 255, false}, {0, 1, false}, {2, 1, false}};
  for (const Case& c : cases) {
    std::vector<DWORD> words(2 + 255, 0);
    unsigned char* bytes = reinterpret_cast<unsigned char*>(words.data());
    bytes[0] = c.revision;
    bytes[1] = c.count;
    EXPECT_EQ(IsValidSid(words.data()) != FALSE, c.valid) << int(c.revision) << " " << int(c.count);
  }
}

TEST(Acl, BuildersAppendAcesInOrder) {
  std::vector<DWORD> words(64, 0xA5A5A5A5);
  PACL acl = reinterpret_cast<PACL>(words.data());
  ASSERT_TRUE(InitializeAcl(acl, 8 + 24 + 20, ACL_REVISION));
  ASSERT_TRUE(IsValidAcl(acl));
  ASSERT_TRUE(AddAccessAllowedAce(acl, ACL_REVISION, 0x120089, Administrators().get()));
  ASSERT_TRUE(AddAccessDeniedAce(acl, ACL_REVISION, 0x10000, Everyone().get()));
  SetLastError(kSentinel);
  EXPECT_FALSE(AddAccessAllowedAce(acl, ACL_REVISION, 1, Everyone().get()));  // full
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALLOTTED_SPACE_EXCEEDED));
  EXPECT_EQ(words[13], 0xA5A5A5A5u);  // nothing written past AclSize
  EXPECT_TRUE(IsValidAcl(acl));
  EXPECT_EQ(acl->AceCount, 2);

  ACL_SIZE_INFORMATION sizes = {kSentinel, kSentinel, kSentinel};
  ASSERT_TRUE(GetAclInformation(acl, &sizes, sizeof sizes, AclSizeInformation));
  EXPECT_EQ(sizes.AceCount, 2u);
  EXPECT_EQ(sizes.AclBytesInUse, 52u);
  EXPECT_EQ(sizes.AclBytesFree, 0u);
  ACL_REVISION_INFORMATION revision = {kSentinel};
  ASSERT_TRUE(GetAclInformation(acl, &revision, sizeof revision, AclRevisionInformation));
  EXPECT_EQ(revision.AclRevision, static_cast<DWORD>(ACL_REVISION));

  void* ace = nullptr;
  ASSERT_TRUE(GetAce(acl, 0, &ace));
  ACCESS_ALLOWED_ACE* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
  EXPECT_EQ(allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
  EXPECT_EQ(allowed->Header.AceSize, 24);
  EXPECT_EQ(allowed->Mask, 0x120089u);
  EXPECT_EQ(std::memcmp(&allowed->SidStart, Administrators().get(), 16), 0);
  ASSERT_TRUE(GetAce(acl, 1, &ace));
  EXPECT_EQ(static_cast<ACE_HEADER*>(ace)->AceType, ACCESS_DENIED_ACE_TYPE);
  EXPECT_EQ(static_cast<char*>(ace), reinterpret_cast<char*>(acl) + 8 + 24);
  ace = &words;
  SetLastError(kSentinel);
  EXPECT_FALSE(GetAce(acl, 2, &ace));
  EXPECT_EQ(ace, &words);
}

TEST(Acl, SizesAndRevisions) {
  std::vector<DWORD> words(4);
  PACL acl = reinterpret_cast<PACL>(words.data());
  SetLastError(kSentinel);
  EXPECT_FALSE(InitializeAcl(acl, 7, ACL_REVISION));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_FALSE(InitializeAcl(acl, 16, 1));
  EXPECT_FALSE(InitializeAcl(acl, 16, 5));
  EXPECT_TRUE(InitializeAcl(acl, 16, ACL_REVISION_DS));

  // A valid list has a revision from two to four.
  Acl good;
  good.Allow(Everyone(), 1);
  for (BYTE revision : {0, 1, 2, 3, 4, 5, 255}) {
    Acl copy = good;
    copy.get()->AclRevision = revision;
    EXPECT_EQ(IsValidAcl(copy.get()) != FALSE, revision >= 2 && revision <= 4) << int(revision);
  }
}

TEST(Descriptor, AbsoluteBuildAndRead) {
  SECURITY_DESCRIPTOR other;
  SetLastError(kSentinel);
  EXPECT_FALSE(InitializeSecurityDescriptor(&other, 2));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_UNKNOWN_REVISION));

  AbsoluteSd sd(Administrators(), LocalSystem());
  SECURITY_DESCRIPTOR_CONTROL control = 0xFFFF;
  DWORD revision = kSentinel;
  ASSERT_TRUE(IsValidSecurityDescriptor(sd.get()));
  ASSERT_TRUE(GetSecurityDescriptorControl(sd.get(), &control, &revision));
  EXPECT_EQ(control, 0);
  EXPECT_EQ(revision, 1u);

  BOOL present = 7, defaulted = 7;
  PACL dacl = reinterpret_cast<PACL>(&sd);
  ASSERT_TRUE(GetSecurityDescriptorDacl(sd.get(), &present, &dacl, &defaulted));
  EXPECT_FALSE(present);
  // Untouched without a list, as documented; Wine clears it.
  PLINTH_EXPECT_EQ_TODO_WINE(dacl, reinterpret_cast<PACL>(&sd), "clears the list pointer");

  Acl list;
  list.Allow(Everyone(), 1);
  sd.WithDacl(list);
  ASSERT_TRUE(GetSecurityDescriptorDacl(sd.get(), &present, &dacl, &defaulted));
  EXPECT_TRUE(present);
  EXPECT_FALSE(defaulted);
  EXPECT_TRUE(IsValidAcl(dacl));
  sd.WithNullDacl();
  ASSERT_TRUE(GetSecurityDescriptorDacl(sd.get(), &present, &dacl, &defaulted));
  EXPECT_TRUE(present);
  EXPECT_EQ(dacl, nullptr);

  PSID owner = nullptr;
  ASSERT_TRUE(GetSecurityDescriptorOwner(sd.get(), &owner, &defaulted));
  EXPECT_EQ(std::memcmp(owner, Administrators().get(), 16), 0);
  EXPECT_FALSE(defaulted);
  ASSERT_TRUE(SetSecurityDescriptorGroup(sd.get(), nullptr, TRUE));
  PSID group = &sd;
  ASSERT_TRUE(GetSecurityDescriptorGroup(sd.get(), &group, &defaulted));
  EXPECT_EQ(group, nullptr);
  EXPECT_TRUE(defaulted);
}

TEST(Descriptor, MakeSelfRelativeReportsTheSizeThenConverts) {
  AbsoluteSd sd(Administrators(), LocalSystem());
  Acl list(44);
  list.Allow(Everyone(), 0x120089).Deny(Users(), 0x10000);
  sd.WithDacl(list);
  DWORD size = 0;
  SetLastError(kSentinel);
  EXPECT_FALSE(MakeSelfRelativeSD(sd.get(), nullptr, &size));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  // Header, the list (8 + 20 + 24), owner 16, group 12.
  EXPECT_EQ(size, 20u + 52u + 16u + 12u);
  // An absolute descriptor counts its own header.
  EXPECT_EQ(GetSecurityDescriptorLength(sd.get()), sizeof(SECURITY_DESCRIPTOR) + 80u);

  std::vector<DWORD> words(size / 4 + 2, kSentinel);
  DWORD shortSize = size - 1;
  EXPECT_FALSE(MakeSelfRelativeSD(sd.get(), words.data(), &shortSize));
  EXPECT_EQ(shortSize, size);
  EXPECT_EQ(words[0], kSentinel);
  ASSERT_TRUE(MakeSelfRelativeSD(sd.get(), words.data(), &size));
  EXPECT_EQ(words[size / 4], kSentinel);  // guard

  void* relative = words.data();
  EXPECT_TRUE(IsValidSecurityDescriptor(relative));
  EXPECT_EQ(GetSecurityDescriptorLength(relative), size);
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ASSERT_TRUE(GetSecurityDescriptorControl(relative, &control, &revision));
  EXPECT_EQ(control, SE_SELF_RELATIVE | SE_DACL_PRESENT);
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  ASSERT_TRUE(GetSecurityDescriptorDacl(relative, &present, &dacl, &defaulted));
  EXPECT_EQ(std::memcmp(dacl, list.get(), 52), 0);
  PSID group = nullptr;
  ASSERT_TRUE(GetSecurityDescriptorGroup(relative, &group, &defaulted));
  EXPECT_EQ(std::memcmp(group, LocalSystem().get(), 12), 0);

  DWORD again = 1000;
  SetLastError(kSentinel);
  // Already self-relative: not the absolute form the call converts.
  PLINTH_EXPECT_EQ_TODO_WINE(MakeSelfRelativeSD(relative, words.data(), &again) != FALSE, false,
                             "copies a self-relative descriptor");
  PLINTH_EXPECT_EQ_TODO_WINE(GetLastError(), static_cast<DWORD>(ERROR_BAD_DESCRIPTOR_FORMAT),
                             "copies a self-relative descriptor");
  SetLastError(kSentinel);
  EXPECT_FALSE(SetSecurityDescriptorOwner(relative, nullptr, FALSE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_SECURITY_DESCR));
}

TEST(AccountLookup, WellKnownAccounts) {
  struct Case {
    Sid sid;
    const char* name;
    const char* domain;
    SID_NAME_USE use;
  };
  // clang-format off
  Case cases[] = {
      {Everyone(),       "Everyone",       "",             SidTypeWellKnownGroup},
      {LocalSystem(),    "SYSTEM",         "NT AUTHORITY", SidTypeWellKnownGroup},
      {Administrators(), "Administrators", "BUILTIN",      SidTypeAlias},
      {Users(),          "Users",          "BUILTIN",      SidTypeAlias},
  };
  // clang-format on
  for (Case& c : cases) {
    char name[64], domain[64];
    DWORD nameSize = sizeof name, domainSize = sizeof domain;
    SID_NAME_USE use = SidTypeInvalid;
    ASSERT_TRUE(LookupAccountSidA(nullptr, c.sid.get(), name, &nameSize, domain, &domainSize, &use))
        << c.name;
    EXPECT_STREQ(name, c.name);
    EXPECT_STREQ(domain, c.domain);
    PLINTH_EXPECT_EQ_TODO_WINE(nameSize, std::strlen(c.name), "counts the NUL on success");
    PLINTH_EXPECT_EQ_TODO_WINE(domainSize, std::strlen(c.domain), "counts the NUL on success");
    EXPECT_EQ(use, c.use);
  }
}

TEST(AccountLookup, SizesAndFailures) {
  char name[256], domain[256];
  DWORD size = 256;  // one size variable may serve both buffers
  SID_NAME_USE use = SidTypeInvalid;
  ASSERT_TRUE(LookupAccountSidA(nullptr, Administrators().get(), name, &size, domain, &size, &use));
  EXPECT_STREQ(name, "Administrators");
  EXPECT_STREQ(domain, "BUILTIN");

  std::strcpy(name, "abc");
  DWORD nameSize = 4, domainSize = sizeof domain;
  SetLastError(kSentinel);
  EXPECT_FALSE(
      LookupAccountSidA(nullptr, LocalSystem().get(), name, &nameSize, domain, &domainSize, &use));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(nameSize, 7u);  // "SYSTEM" and its NUL
  EXPECT_STREQ(name, "abc");

  nameSize = sizeof name;
  SetLastError(kSentinel);
  EXPECT_FALSE(LookupAccountSidA(nullptr, Sid(5, {21, 1, 2, 3, 999}).get(), name, &nameSize, domain,
                                 &domainSize, &use));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NONE_MAPPED));
}

TEST(Privileges, NamesGiveTheirWindowsIdentifiers) {
  struct Case {
    const char* name;
    DWORD luid;
  };
  const Case cases[] = {{SE_CREATE_TOKEN_NAME, 2},     {SE_TCB_NAME, 7},
                        {SE_SHUTDOWN_NAME, 19},        {"seshutdownprivilege", 19},
                        {SE_DEBUG_NAME, 20},           {SE_CHANGE_NOTIFY_NAME, 23},
                        {SE_REMOTE_SHUTDOWN_NAME, 24}, {SE_IMPERSONATE_NAME, 29}};
  for (const Case& c : cases) {
    LUID luid = {kSentinel, 5};
    ASSERT_TRUE(LookupPrivilegeValueA(nullptr, c.name, &luid)) << c.name;
    EXPECT_EQ(luid.LowPart, c.luid) << c.name;
    EXPECT_EQ(luid.HighPart, 0) << c.name;
  }
  LUID luid = {kSentinel, 5};
  SetLastError(kSentinel);
  EXPECT_FALSE(LookupPrivilegeValueA(nullptr, "SeMadeUpPrivilege", &luid));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_SUCH_PRIVILEGE));
  EXPECT_EQ(luid.LowPart, kSentinel);
}

TEST(Privileges, TokenOpensAdjustsAndCloses) {
  TOKEN_PRIVILEGES privileges = {};
  privileges.PrivilegeCount = 1;
  ASSERT_TRUE(
      LookupPrivilegeValueA(nullptr, SE_CHANGE_NOTIFY_NAME, &privileges.Privileges[0].Luid));
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  // Generic write includes adjusting privileges; generic read does not. Every process holds
  // the privilege, so an allowed adjustment succeeds in full.
  for (DWORD access : {DWORD{TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY}, DWORD{TOKEN_QUERY},
                       DWORD{GENERIC_WRITE}, DWORD{GENERIC_READ}}) {
    const bool mayAdjust = (access & (TOKEN_ADJUST_PRIVILEGES | GENERIC_WRITE)) != 0;
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), access, &token)) << access;
    SetLastError(kSentinel);
    EXPECT_EQ(AdjustTokenPrivileges(token, FALSE, &privileges, sizeof privileges, nullptr,
                                    nullptr) != FALSE,
              mayAdjust)
        << access;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(mayAdjust ? ERROR_SUCCESS : ERROR_ACCESS_DENIED))
        << access;
    EXPECT_TRUE(CloseHandle(token));
  }
}

TEST(Version, TheSizeFieldSelectsTheRecord) {
  OSVERSIONINFOA plain;
  std::memset(&plain, 0xCC, sizeof plain);
  plain.dwOSVersionInfoSize = sizeof plain;
  ASSERT_TRUE(GetVersionExA(&plain));
  EXPECT_EQ(plain.dwOSVersionInfoSize, sizeof plain);
  EXPECT_EQ(plain.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
  EXPECT_NE(std::memchr(plain.szCSDVersion, 0, sizeof plain.szCSDVersion), nullptr);

  OSVERSIONINFOEXA extended;
  std::memset(&extended, 0xCC, sizeof extended);
  extended.dwOSVersionInfoSize = sizeof extended;
  ASSERT_TRUE(GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&extended)));
  EXPECT_EQ(extended.dwMajorVersion, plain.dwMajorVersion);
  EXPECT_NE(extended.wProductType, 0xCC);

  OSVERSIONINFOA wrong;
  std::memset(&wrong, 0xCC, sizeof wrong);
  wrong.dwOSVersionInfoSize = sizeof wrong - 1;
  SetLastError(kSentinel);
  EXPECT_FALSE(GetVersionExA(&wrong));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(wrong.dwMajorVersion, 0xCCCCCCCCu);
}

}  // namespace
