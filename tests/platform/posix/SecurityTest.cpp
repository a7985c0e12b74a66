// The POSIX side of the security layer: length-checked validation of untrusted bytes, Unix
// accounts, descriptors of real files from their mode bits and ACLs, and the version mapping.
#include <grp.h>
#include <pwd.h>
#include <sys/acl.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <plinth/KaSecurity.h>
#include <plinth/win32.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/SecurityBuilders.h"

namespace {

using plinth::test::AbsoluteSd;
using plinth::test::Acl;
using plinth::test::Administrators;
using plinth::test::Everyone;
using plinth::test::LocalSystem;
using plinth::test::Sid;

// A self-relative descriptor as plain bytes.
std::vector<unsigned char> Relative(AbsoluteSd& sd) {
  void* bytes = sd.SelfRelative();
  const DWORD size = GetSecurityDescriptorLength(bytes);
  std::vector<unsigned char> out(static_cast<unsigned char*>(bytes),
                                 static_cast<unsigned char*>(bytes) + size);
  std::free(bytes);
  return out;
}

void PutDword(std::vector<unsigned char>& bytes, size_t at, DWORD value) {
  std::memcpy(bytes.data() + at, &value, 4);
}

TEST(ValidatorBytes, EveryTruncationOfADescriptorIsRefused) {
  AbsoluteSd sd(Administrators(), LocalSystem());
  sd.WithDacl(Acl(64).Allow(Everyone(), 1).Deny(Administrators(), 2));
  // Exact-size heap copies throughout, so that a read past the end is caught by the sanitizer.
  std::vector<unsigned char> bytes = Relative(sd);
  ASSERT_TRUE(PlinthIsValidSecurityDescriptorBytes(bytes.data(), bytes.size()));
  EXPECT_TRUE(IsValidSecurityDescriptor(bytes.data()));
  EXPECT_EQ(GetSecurityDescriptorLength(bytes.data()), bytes.size());
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  ASSERT_TRUE(GetSecurityDescriptorDacl(bytes.data(), &present, &dacl, &defaulted));
  ACL_SIZE_INFORMATION sizes = {};  // the list keeps its free room in the copy
  ASSERT_TRUE(GetAclInformation(dacl, &sizes, sizeof sizes, AclSizeInformation));
  EXPECT_EQ(sizes.AceCount, 2u);
  EXPECT_EQ(sizes.AclBytesFree, 64u - 20u - 24u);
  for (size_t size = 0; size < bytes.size(); ++size) {
    std::vector<unsigned char> cut(bytes.begin(), bytes.begin() + size);
    EXPECT_FALSE(PlinthIsValidSecurityDescriptorBytes(cut.data(), size)) << size;
  }
}

TEST(ValidatorBytes, BadOffsetsAndHeadersAreRefused) {
  AbsoluteSd sd(Administrators(), LocalSystem());
  sd.WithDacl(Acl(32).Allow(Everyone(), 1));
  const std::vector<unsigned char> good = Relative(sd);
  // Parts laid out SACL, DACL, owner, group: the DACL at 20, 40 bytes; owner at 60, group at 76.
  struct Mutation {
    size_t field;
    DWORD value;
    bool valid;
  };
  // clang-format off
  const Mutation mutations[] = {
      {4,  0,      true},   // no owner
      {4,  76,     true},   // owner = group: parts may share bytes
      {4,  62,     false},  // misaligned
      {4,  8,      false},  // inside the header
      {4,  88,     false},  // at the end
      {4,  0xFFFFFFFC, false},
      {8,  84,     false},  // the group would run past the end
      {16, 60,     false},  // the list would be a SID
      {16, 0,      true},   // a present but null list
  };
  // clang-format on
  for (const Mutation& m : mutations) {
    std::vector<unsigned char> bytes = good;
    PutDword(bytes, m.field, m.value);
    EXPECT_EQ(PlinthIsValidSecurityDescriptorBytes(bytes.data(), bytes.size()) != FALSE, m.valid)
        << m.field << "=" << m.value;
  }
  std::vector<unsigned char> absolute = good;
  absolute[3] &= 0x7F;  // SE_SELF_RELATIVE off: pointers cannot be checked against a size
  EXPECT_FALSE(PlinthIsValidSecurityDescriptorBytes(absolute.data(), absolute.size()));
  std::vector<unsigned char> revision = good;
  revision[0] = 2;
  EXPECT_FALSE(PlinthIsValidSecurityDescriptorBytes(revision.data(), revision.size()));
}

TEST(ValidatorBytes, SidsAndAclsMustFitTheirBytes) {
  Sid sid(5, {32, 544});
  EXPECT_TRUE(PlinthIsValidSidBytes(sid.get(), 16));
  EXPECT_FALSE(PlinthIsValidSidBytes(sid.get(), 15));
  EXPECT_FALSE(PlinthIsValidSidBytes(sid.get(), 1));
  EXPECT_FALSE(PlinthIsValidSidBytes(nullptr, 16));
  Acl acl(20);
  acl.Allow(Everyone(), 1);
  EXPECT_TRUE(PlinthIsValidAclBytes(acl.get(), 28));
  EXPECT_FALSE(PlinthIsValidAclBytes(acl.get(), 27));
  EXPECT_FALSE(PlinthIsValidAclBytes(acl.get(), 7));
}

TEST(ValidatorBytes, AclsAreCheckedAceByAce) {
  Acl good;
  good.Allow(Everyone(), 1);
  PACL acl = good.get();
  struct Mutation {
    size_t offset;
    BYTE value;
    bool valid;
  };
  // clang-format off
  const Mutation mutations[] = {
      {12, 0xFF, true},  // any mask
      {4, 2, false},    // two ACEs claimed, one there (the rest of the list is zeros)
      {10, 3, false},   // AceSize 3
      {10, 14, false},  // AceSize not a multiple of 4
      {17, 16, false},  // the SID claims 16 sub-authorities
      {16, 2, false},   // the SID's revision
  };
  // clang-format on
  for (const Mutation& m : mutations) {
    Acl copy = good;
    reinterpret_cast<unsigned char*>(copy.get())[m.offset] = m.value;
    EXPECT_EQ(IsValidAcl(copy.get()) != FALSE, m.valid) << m.offset << "=" << int(m.value);
  }
  EXPECT_TRUE(IsValidAcl(acl));
}

TEST(ValidatorBytes, ObjectAcesPlaceTheirSidAfterTheGuids) {
  // An allowed-object ACE with one GUID: header, mask, flags, 16 bytes of GUID, then the SID.
  std::vector<DWORD> words(64, 0);
  PACL acl = reinterpret_cast<PACL>(words.data());
  ASSERT_TRUE(InitializeAcl(acl, 8 + 44, ACL_REVISION_DS));
  unsigned char* ace = reinterpret_cast<unsigned char*>(acl) + 8;
  ace[0] = ACCESS_ALLOWED_OBJECT_ACE_TYPE;
  ace[2] = 44;
  ace[8] = ACE_OBJECT_TYPE_PRESENT;
  std::memcpy(ace + 28, Everyone().get(), 12);
  acl->AceCount = 1;
  EXPECT_TRUE(PlinthIsValidAclBytes(acl, 52));
  ace[8] = ACE_OBJECT_TYPE_PRESENT | ACE_INHERITED_OBJECT_TYPE_PRESENT;  // SID would be at 44
  EXPECT_FALSE(PlinthIsValidAclBytes(acl, 52));
}

struct Account {
  std::string name, domain;
  SID_NAME_USE use;
};

bool Lookup(Sid sid, Account& account) {
  char name[256], domain[256];
  DWORD nameSize = sizeof name, domainSize = sizeof domain;
  if (!LookupAccountSidA(nullptr, sid.get(), name, &nameSize, domain, &domainSize, &account.use))
    return false;
  account.name = name;
  account.domain = domain;
  return true;
}

TEST(UnixAccounts, UsersAndGroupsUnderAuthority22) {
  Account account;
  ASSERT_TRUE(Lookup(Sid(22, {1, 0}), account));
  EXPECT_EQ(account.name, "root");
  EXPECT_EQ(account.domain, "Unix User");
  EXPECT_EQ(account.use, SidTypeUser);
  ASSERT_TRUE(Lookup(Sid(22, {2, 0}), account));
  EXPECT_EQ(account.name, getgrgid(0)->gr_name);
  EXPECT_EQ(account.domain, "Unix Group");
  EXPECT_EQ(account.use, SidTypeGroup);
  ASSERT_TRUE(Lookup(Sid(22, {1, static_cast<DWORD>(getuid())}), account));
  EXPECT_EQ(account.name, getpwuid(getuid())->pw_name);

  for (Sid unknown :
       {Sid(22, {1, 3999999999u}), Sid(22, {3, 0}), Sid(22, {1}), Sid(22, {1, 0, 0})}) {
    SetLastError(0);
    EXPECT_FALSE(Lookup(unknown, account));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NONE_MAPPED));
  }
}

class Security : public CKaSecurity {
 public:
  using CKaSecurity::BuildSelfRelativeSD;
  using CKaSecurity::SetSecurityDescriptor;
};

std::map<std::string, CKaSecurity::AccessInfo> Records(CKaSecurity& security) {
  std::map<std::string, CKaSecurity::AccessInfo> records;
  security.Reset();
  CKaSecurity::AccessInfo* info = nullptr;
  while (security.Next(1, &info, nullptr) == S_OK)
    records[info->strAccountName.GetString()] = *info;
  return records;
}

TEST(UnixAccounts, ASameNameInTwoDomainsSharesOneRecord) {
  AbsoluteSd sd(Sid(22, {1, 0}), Sid(22, {2, 0}));
  sd.WithDacl(Acl().Allow(Sid(22, {1, 0}), 0x1).Allow(Sid(22, {2, 0}), 0x20));
  Security security;
  ASSERT_TRUE(security.BuildSelfRelativeSD(sd.get()));
  const auto records = Records(security);
  if (std::string(getgrgid(0)->gr_name) != "root") GTEST_SKIP() << "group 0 is not root here";
  ASSERT_EQ(records.size(), 1u);
  const CKaSecurity::AccessInfo& root = records.at("root");
  EXPECT_EQ(root.dwAccessMask, 0x21u);
  EXPECT_STREQ(root.strSID, "S-1-UnknownAuthority!-1-0");  // the first ACE's SID stays
  EXPECT_STREQ(root.strDomainName, "Unix User");
  EXPECT_STREQ(root.strSIDType, "SidTypeUser");
}

class FileSecurity : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ =
        std::filesystem::temp_directory_path() / ("plinth-security-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder_);
    file_ = (folder_ / "file.txt").string();
    FILE* f = std::fopen(file_.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  // The DACL's entries by account: "u<uid>", "g<gid>" or "everyone", to their masks.
  std::map<std::string, DWORD> Read(const std::string& path) {
    DWORD needed = 0;
    EXPECT_FALSE(GetFileSecurityA(path.c_str(), 7, nullptr, 0, &needed));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    void* sd = std::malloc(needed);
    EXPECT_TRUE(GetFileSecurityA(
        path.c_str(),
        OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, sd,
        needed, &needed));
    EXPECT_TRUE(PlinthIsValidSecurityDescriptorBytes(sd, needed));
    std::map<std::string, DWORD> entries;
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    EXPECT_TRUE(GetSecurityDescriptorDacl(sd, &present, &dacl, &defaulted));
    EXPECT_TRUE(present);
    for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
      void* ace = nullptr;
      EXPECT_TRUE(GetAce(dacl, i, &ace));
      ACCESS_ALLOWED_ACE* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
      EXPECT_EQ(allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
      PSID sid = &allowed->SidStart;
      std::string key = "everyone";
      if (GetSidIdentifierAuthority(sid)->Value[5] == 22)
        key = (*GetSidSubAuthority(sid, 0) == 1 ? "u" : "g") +
              std::to_string(*GetSidSubAuthority(sid, 1));
      EXPECT_TRUE(entries.emplace(key, allowed->Mask).second) << key;
    }
    Security security;
    EXPECT_TRUE(security.SetSecurityDescriptor(sd));
    CKaSecurity::SIDInfo owner, group;
    EXPECT_TRUE(security.GetOwnerSIDInfo(owner));
    EXPECT_TRUE(security.GetPrimaryGroupSIDInfo(group));
    ownerName_ = owner.strAccountName.GetString();
    groupName_ = group.strAccountName.GetString();
    return entries;
  }

  static std::string User(uid_t uid) { return "u" + std::to_string(uid); }
  static std::string Group(gid_t gid) { return "g" + std::to_string(gid); }

  std::filesystem::path folder_;
  std::string file_;
  std::string ownerName_, groupName_;
};

constexpr DWORD kOwnerExtra = READ_CONTROL | WRITE_DAC | FILE_WRITE_ATTRIBUTES;

TEST_F(FileSecurity, ModeBitsBecomeAllowEntries) {
  struct Case {
    bool folder;
    mode_t mode;
    DWORD owner, group, everyone;  // 0: no entry
  };
  const DWORD r = FILE_GENERIC_READ, w = FILE_GENERIC_WRITE, x = FILE_GENERIC_EXECUTE;
  // clang-format off
  const Case cases[] = {
      {false, 0640, r | w | kOwnerExtra,     r,     0},
      {false, 0755, r | w | x | kOwnerExtra, r | x, r | x},
      {false, 0000, kOwnerExtra,             0,     0},
      {false, 0007, kOwnerExtra,             0,     r | w | x},
      {true,  0700, r | w | x | FILE_DELETE_CHILD | kOwnerExtra, 0, 0},  // folders only
  };
  // clang-format on
  for (const Case& c : cases) {
    const std::string path = c.folder ? folder_.string() : file_;
    ASSERT_EQ(chmod(path.c_str(), c.mode), 0);
    const auto entries = Read(path);
    EXPECT_EQ(ownerName_, getpwuid(getuid())->pw_name);
    EXPECT_EQ(groupName_, getgrgid(getgid())->gr_name);
    auto mask = [&](const std::string& key) {
      auto it = entries.find(key);
      return it == entries.end() ? 0u : it->second;
    };
    EXPECT_EQ(mask(User(getuid())), c.owner) << std::oct << c.mode;
    EXPECT_EQ(mask(Group(getgid())), c.group) << std::oct << c.mode;
    EXPECT_EQ(mask("everyone"), c.everyone) << std::oct << c.mode;
    EXPECT_EQ(entries.size(), size_t{1} + (c.group != 0) + (c.everyone != 0));
  }
}

TEST_F(FileSecurity, NamedAclEntriesAreLimitedByTheMask) {
  acl_t acl = acl_from_text("u::rw-,u:65534:rwx,g::r--,g:65534:-w-,m::r-x,o::---");
  ASSERT_NE(acl, nullptr);
  const int set = acl_set_file(file_.c_str(), ACL_TYPE_ACCESS, acl);
  acl_free(acl);
  if (set != 0) GTEST_SKIP() << "this file system keeps no ACLs";
  const auto entries = Read(file_);
  EXPECT_EQ(entries.at(User(65534)), FILE_GENERIC_READ | FILE_GENERIC_EXECUTE);
  EXPECT_EQ(entries.count(Group(65534)), 0u);  // -w- under the mask r-x leaves nothing
  EXPECT_EQ(entries.at(Group(getgid())), FILE_GENERIC_READ);
  EXPECT_EQ(entries.at(User(getuid())), FILE_GENERIC_READ | FILE_GENERIC_WRITE | kOwnerExtra);
  EXPECT_EQ(entries.count("everyone"), 0u);
}

TEST_F(FileSecurity, MissingFilesAndPartialRequests) {
  DWORD needed = 0;
  SetLastError(0);
  EXPECT_FALSE(GetFileSecurityA((folder_ / "none").c_str(), 7, nullptr, 0, &needed));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(GetFileSecurityA((folder_ / "none" / "x").c_str(), 7, nullptr, 0, &needed));

  std::vector<DWORD> words(16, 0xCCCCCCCC);
  // Backslashes separate too; only the owner was asked for: header and one Unix SID.
  std::string path = file_;
  path[path.rfind('/')] = '\\';
  ASSERT_TRUE(
      GetFileSecurityA(path.c_str(), OWNER_SECURITY_INFORMATION, words.data(), 64, &needed));
  EXPECT_EQ(needed, 36u);
  EXPECT_EQ(words[9], 0xCCCCCCCCu);
  PSID owner = nullptr, group = &words;
  BOOL defaulted;
  ASSERT_TRUE(GetSecurityDescriptorOwner(words.data(), &owner, &defaulted));
  ASSERT_TRUE(GetSecurityDescriptorGroup(words.data(), &group, &defaulted));
  EXPECT_EQ(*GetSidSubAuthority(owner, 1), static_cast<DWORD>(getuid()));
  EXPECT_EQ(group, nullptr);
}

TEST(Version, KernelReleaseMapsToTheRecord) {
  utsname names;
  ASSERT_EQ(uname(&names), 0);
  unsigned major = 0, minor = 0, patch = 0;
  std::sscanf(names.release, "%u.%u.%u", &major, &minor, &patch);
  OSVERSIONINFOA info = {};
  info.dwOSVersionInfoSize = sizeof info;
  ASSERT_TRUE(GetVersionExA(&info));
  EXPECT_EQ(info.dwMajorVersion, major);
  EXPECT_EQ(info.dwMinorVersion, minor);
  EXPECT_EQ(info.dwBuildNumber, patch);
  EXPECT_EQ(info.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
  EXPECT_EQ(std::string(info.szCSDVersion), std::string(names.release).substr(0, 127));
}

}  // namespace
