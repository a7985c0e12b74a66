// CKaSecurity: SID texts, account records, the access table folded per account, its
// enumeration, self-relative copies and the ownership of descriptors and records.
#include <gtest/gtest.h>
#include <plinth/KaSecurity.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "support/SecurityBuilders.h"

namespace {

using plinth::test::AbsoluteSd;
using plinth::test::Acl;
using plinth::test::Administrators;
using plinth::test::Everyone;
using plinth::test::LocalSystem;
using plinth::test::Sid;
using plinth::test::Users;

// The protected members, opened for the tests as a host's derived class would use them.
class Security : public CKaSecurity {
 public:
  using CKaSecurity::BuildSelfRelativeSD;
  using CKaSecurity::GetDacl;
  using CKaSecurity::GetOwner;
  using CKaSecurity::GetPrimaryGroup;
  using CKaSecurity::GetSecurityDescriptor;
  using CKaSecurity::GetSIDAsString;
  using CKaSecurity::SetSecurityDescriptor;
};

std::string SidText(Sid sid) {
  CString text("previous");
  Security::GetSIDAsString(sid.get(), text);
  return text.GetString();
}

// Account name -> mask, as the enumeration delivers them; a name seen twice is a failure.
std::map<std::string, DWORD> Table(CKaSecurity& security) {
  std::map<std::string, DWORD> table;
  EXPECT_EQ(security.Reset(), S_OK);
  CKaSecurity::AccessInfo* info = nullptr;
  while (security.Next(1, &info, nullptr) == S_OK) {
    EXPECT_TRUE(table.emplace(info->strAccountName.GetString(), info->dwAccessMask).second)
        << info->strAccountName.GetString();
  }
  return table;
}

TEST(GetSIDAsString, WritesEveryAuthorityAndUnsignedSubAuthorities) {
  struct Case {
    Sid sid;
    const char* text;
  };
  // clang-format off
  const Case cases[] = {
      {Sid(0, {0}),                            "S-1-0-0"},
      {Sid(1, {0}),                            "S-1-1-0"},
      {Sid(1, {}),                             "S-1-1"},
      {Sid(3, {1}),                            "S-1-3-1"},
      {Sid(4, {7, 8}),                         "S-1-UnknownAuthority!-7-8"},
      {Sid(5, {18}),                           "S-1-5-18"},
      {Sid(5, {32, 544}),                      "S-1-5-32-544"},
      {Sid(5, {21, 4294967295u, 2, 3, 1013}),  "S-1-5-21-4294967295-2-3-1013"},
      {Sid(9, {1}),                            "S-1-UnknownAuthority!-1"},
      {Sid(16, {12288}),                       "S-1-UnknownAuthority!-12288"},
      {Sid(22, {1, 0}),                        "S-1-UnknownAuthority!-1-0"},
      {Sid({0, 0, 0, 0, 1, 5}, {1}),           "S-1-UnknownAuthority!-1"},  // 261
      {Sid({1, 0, 0, 0, 0, 0}, {}),            "S-1-UnknownAuthority!"},
      {Sid(5, {18}, 2),                        "S-1-bad_revision==25-18"},
      {Sid(1, {0}, 0),                         "S-1-bad_revision==01-0"},
      {Sid(1, {0}, 255),                       "S-1-bad_revision==2551-0"},
  };
  // clang-format on
  for (const Case& c : cases) EXPECT_EQ(SidText(c.sid), c.text);
}

TEST(GetSIDAsString, FifteenTenDigitSubAuthoritiesFitWhole) {
  Sid sid({9, 9, 9, 9, 9, 9},
          {4294967295u, 4294967295u, 4294967295u, 4294967295u, 4294967295u, 4294967295u,
           4294967295u, 4294967295u, 4294967295u, 4294967295u, 4294967295u, 4294967295u,
           4294967295u, 4294967295u, 4294967295u},
          7);
  std::string expected = "S-1-bad_revision==7UnknownAuthority!";
  for (int i = 0; i < 15; ++i) expected += "-4294967295";
  EXPECT_EQ(SidText(sid), expected);
}

TEST(SIDInfo, OwnerAndGroupOfAHeldDescriptorIfTheAccountsAreKnown) {
  AbsoluteSd sd(Administrators(), LocalSystem());
  Security security;
  CKaSecurity::SIDInfo info;
  EXPECT_FALSE(security.GetOwnerSIDInfo(info));  // nothing held yet
  EXPECT_FALSE(security.GetPrimaryGroupSIDInfo(info));
  ASSERT_TRUE(security.BuildSelfRelativeSD(sd.get()));

  ASSERT_TRUE(security.GetOwnerSIDInfo(info));
  EXPECT_STREQ(info.strSID, "S-1-5-32-544");
  EXPECT_STREQ(info.strSIDType, "SidTypeAlias");
  EXPECT_STREQ(info.strAccountName, "Administrators");
  EXPECT_STREQ(info.strDomainName, "BUILTIN");

  ASSERT_TRUE(security.GetPrimaryGroupSIDInfo(info));
  EXPECT_STREQ(info.strSID, "S-1-5-18");
  EXPECT_STREQ(info.strSIDType, "SidTypeWellKnownGroup");
  EXPECT_STREQ(info.strAccountName, "SYSTEM");

  // Unknown accounts: false, and the text fields are left alone.
  AbsoluteSd unknown(Sid(5, {21, 1, 2, 3, 999}), Sid(5, {21, 1, 2, 3, 1000}));
  ASSERT_TRUE(security.BuildSelfRelativeSD(unknown.get()));
  info.strSID = "kept";
  info.strSIDType = "kept too";
  EXPECT_FALSE(security.GetOwnerSIDInfo(info));
  EXPECT_FALSE(security.GetPrimaryGroupSIDInfo(info));
  EXPECT_STREQ(info.strSID, "kept");
  EXPECT_STREQ(info.strSIDType, "kept too");
}

TEST(AccessTable, AllowAndDenyForOneAccountFoldIntoOneRecord) {
  AbsoluteSd sd(Administrators(), LocalSystem());
  sd.WithDacl(Acl()
                  .Allow(Administrators(), 0x120089)
                  .Deny(Administrators(), 0x10000)
                  .Allow(Everyone(), FILE_GENERIC_READ)
                  .Allow(Sid(5, {21, 1, 2, 3, 999}), 0x1F01FF)  // no such account: left out
                  .Allow(LocalSystem(), 0x1)
                  .Allow(LocalSystem(), 0x2));
  Security security;
  ASSERT_TRUE(security.BuildSelfRelativeSD(sd.get()));
  const std::map<std::string, DWORD> expected = {
      {"Administrators", 0x130089}, {"Everyone", FILE_GENERIC_READ}, {"SYSTEM", 0x3}};
  EXPECT_EQ(Table(security), expected);

  security.Reset();
  CKaSecurity::AccessInfo* info = nullptr;
  while (security.Next(1, &info, nullptr) == S_OK && info->strAccountName != "Administrators") {
  }
  EXPECT_STREQ(info->strSID, "S-1-5-32-544");
  EXPECT_STREQ(info->strSIDType, "SidTypeAlias");
  EXPECT_STREQ(info->strDomainName, "BUILTIN");
}

TEST(AccessTable, EmptyAbsentAndNullListsGiveAnEmptyTable) {
  AbsoluteSd emptyList(Users(), Users());
  emptyList.WithDacl(Acl());
  AbsoluteSd noList(Users(), Users());
  AbsoluteSd nullList(Users(), Users());
  nullList.WithNullDacl();
  for (AbsoluteSd* sd : {&emptyList, &noList, &nullList}) {
    Security security;
    ASSERT_TRUE(security.BuildSelfRelativeSD(sd->get()));
    EXPECT_TRUE(security.HasSecurityInfo());
    EXPECT_EQ(security.Reset(), S_OK);
    CKaSecurity::AccessInfo* info = nullptr;
    unsigned long delivered = 7;
    EXPECT_EQ(security.Next(1, &info, &delivered), E_FAIL);
    EXPECT_EQ(delivered, 7u);
    EXPECT_EQ(info, nullptr);
  }
}

TEST(Enumeration, NeedsResetDeliversOneAtATimeAndCannotSkip) {
  AbsoluteSd sd(Users(), Users());
  sd.WithDacl(Acl().Allow(Everyone(), 1).Allow(LocalSystem(), 2).Allow(Users(), 4));
  Security object;
  ASSERT_TRUE(object.BuildSelfRelativeSD(sd.get()));
  KaIEnum<CKaSecurity::AccessInfo*>& security = object;  // as a host holding the interface

  CKaSecurity::AccessInfo* slots[5] = {};
  EXPECT_EQ(security.Next(1, slots, nullptr), E_FAIL);  // no Reset yet
  EXPECT_EQ(security.Skip(0), E_FAIL);
  EXPECT_EQ(security.Skip(3), E_FAIL);
  EXPECT_EQ(security.Reset(), S_OK);
  DWORD masks = 0;
  for (int i = 0; i < 3; ++i) {
    unsigned long delivered = 0;
    ASSERT_EQ(security.Next(5, slots, &delivered), S_OK) << i;
    EXPECT_EQ(delivered, 1u);
    EXPECT_EQ(slots[1], nullptr);  // only the first slot is written
    masks |= slots[0]->dwAccessMask;
  }
  EXPECT_EQ(masks, 7u);
  EXPECT_EQ(security.Next(1, slots, nullptr), E_FAIL);
  EXPECT_EQ(security.Reset(), S_OK);  // and round again
  EXPECT_EQ(security.Next(1, slots, nullptr), S_OK);
}

TEST(BuildSelfRelativeSD, BothFormsGiveAFreshSelfRelativeCopy) {
  AbsoluteSd sd(Administrators(), LocalSystem());
  sd.WithDacl(Acl().Allow(Everyone(), 0x120089).Deny(Users(), 0x10000));
  void* original = sd.SelfRelative();
  ASSERT_NE(original, nullptr);
  const DWORD length = GetSecurityDescriptorLength(original);
  // An absolute source is converted (its parts copied in); a self-relative one copied as is.
  for (void* source : {static_cast<void*>(sd.get()), original}) {
    void* copy = reinterpret_cast<void*>(1);
    ASSERT_TRUE(Security::BuildSelfRelativeSD(source, &copy));
    ASSERT_NE(copy, original);
    EXPECT_EQ(GetSecurityDescriptorLength(copy), length);
    EXPECT_EQ(std::memcmp(copy, original, length), 0);
    std::free(copy);
  }
  std::free(original);
}

TEST(BuildSelfRelativeSD, InvalidDescriptorIsRefusedAndChangesNothing) {
  unsigned char bad[64] = {2};  // revision 2
  void* copy = reinterpret_cast<void*>(1);
  EXPECT_FALSE(Security::BuildSelfRelativeSD(bad, &copy));
  EXPECT_EQ(copy, reinterpret_cast<void*>(1));
  Security security;
  EXPECT_FALSE(security.BuildSelfRelativeSD(bad));
  EXPECT_FALSE(security.SetSecurityDescriptor(bad));
  EXPECT_FALSE(security.SetSecurityDescriptor(nullptr));
  EXPECT_FALSE(security.HasSecurityInfo());
  EXPECT_EQ(security.GetSecurityDescriptor(), nullptr);
}

TEST(SetSecurityDescriptor, AdoptsTheCallersDescriptorAndReadsItsParts) {
  AbsoluteSd sd(Administrators(), LocalSystem());
  sd.WithDacl(Acl().Allow(Everyone(), 1));
  void* bytes = sd.SelfRelative();
  Security security;
  EXPECT_FALSE(security.HasSecurityInfo());
  ASSERT_TRUE(security.SetSecurityDescriptor(bytes));  // the object frees it now
  EXPECT_TRUE(security.HasSecurityInfo());
  EXPECT_EQ(security.GetSecurityDescriptor(), bytes);
  char* begin = static_cast<char*>(bytes);
  char* end = begin + GetSecurityDescriptorLength(bytes);
  for (void* part :
       {static_cast<void*>(security.GetDacl()), security.GetOwner(), security.GetPrimaryGroup()}) {
    EXPECT_GT(static_cast<char*>(part), begin);
    EXPECT_LT(static_cast<char*>(part), end);
  }
}

TEST(SetSecurityDescriptor, LaterDescriptorsAddToTheTable) {
  AbsoluteSd first(Administrators(), LocalSystem());
  first.WithDacl(Acl().Allow(Everyone(), 0x1).Allow(Users(), 0x10));
  AbsoluteSd second(Users(), Users());
  second.WithDacl(Acl().Allow(Everyone(), 0x2).Allow(LocalSystem(), 0x4));
  Security security;
  ASSERT_TRUE(security.SetSecurityDescriptor(first.SelfRelative()));
  ASSERT_TRUE(security.SetSecurityDescriptor(second.SelfRelative()));
  const std::map<std::string, DWORD> expected = {
      {"Everyone", 0x3}, {"Users", 0x10}, {"SYSTEM", 0x4}};
  EXPECT_EQ(Table(security), expected);
  CKaSecurity::SIDInfo owner;
  ASSERT_TRUE(security.GetOwnerSIDInfo(owner));
  EXPECT_STREQ(owner.strAccountName, "Users");

  // A descriptor without a list drops the previous one's list; its records stay in the table.
  AbsoluteSd third(Users(), Users());
  ASSERT_TRUE(security.SetSecurityDescriptor(third.SelfRelative()));
  EXPECT_EQ(security.GetDacl(), nullptr);
  EXPECT_EQ(Table(security), expected);
}

TEST(Copying, CopiesOwnTheirDescriptorAndRecordsAndReportTheSame) {
  AbsoluteSd sd(Administrators(), LocalSystem());
  sd.WithDacl(Acl().Allow(Everyone(), 0x120089).Deny(Everyone(), 0x10000).Allow(Users(), 1));
  auto source = std::make_unique<Security>();
  ASSERT_TRUE(source->BuildSelfRelativeSD(sd.get()));
  const std::map<std::string, DWORD> expected = Table(*source);

  Security copy(*source);
  Security assigned;
  AbsoluteSd other(Users(), Users());
  other.WithDacl(Acl().Allow(LocalSystem(), 0x4));
  ASSERT_TRUE(assigned.BuildSelfRelativeSD(other.get()));
  assigned = *source;
  Security& alias = assigned;
  assigned = alias;  // self-assignment keeps everything
  source.reset();    // what the copies hold must outlive the source

  for (Security* s : {&copy, &assigned}) {
    EXPECT_EQ(Table(*s), expected);
    CKaSecurity::SIDInfo owner, group;
    ASSERT_TRUE(s->GetOwnerSIDInfo(owner));
    ASSERT_TRUE(s->GetPrimaryGroupSIDInfo(group));
    EXPECT_STREQ(owner.strAccountName, "Administrators");
    EXPECT_STREQ(group.strAccountName, "SYSTEM");
    ASSERT_NE(s->GetDacl(), nullptr);
    EXPECT_TRUE(IsValidAcl(s->GetDacl()));
  }
  EXPECT_NE(copy.GetSecurityDescriptor(), assigned.GetSecurityDescriptor());
  Security empty;
  Security emptyCopy(empty);
  EXPECT_FALSE(emptyCopy.HasSecurityInfo());
  EXPECT_TRUE(Table(emptyCopy).empty());
}

typedef CKaEnumHashtable<CString, const char*, int*, int*&> IntTable;

std::map<std::string, int*> Entries(const IntTable& table) {
  std::map<std::string, int*> entries;
  POSITION position = table.GetStartPosition();
  while (position) {
    CString key;
    int* value;
    table.GetNextAssoc(position, key, value);
    entries[key.GetString()] = value;
  }
  return entries;
}

TEST(CKaEnumHashtable, CopyTakesTheSameValuesAndAssignmentMerges) {
  int a = 1, b = 2, c = 3;
  IntTable source;
  source["a"] = &a;
  source["b"] = &b;
  source.Reset();

  IntTable copy(source);
  EXPECT_EQ(Entries(copy), Entries(source));
  int* value = nullptr;
  EXPECT_EQ(copy.Next(1, &value, nullptr), E_FAIL);  // the position is not copied

  IntTable target;
  target["b"] = &c;
  target["z"] = &c;
  target.Reset();
  target = source;
  const std::map<std::string, int*> merged = {{"a", &a}, {"b", &b}, {"z", &c}};
  EXPECT_EQ(Entries(target), merged);
  EXPECT_EQ(target.Next(1, &value, nullptr), S_OK);  // the position survived

  IntTable empty;
  target = empty;
  EXPECT_EQ(Entries(target), merged);
  EXPECT_EQ(target.GetHashTableSize(), 17u);
}

}  // namespace
