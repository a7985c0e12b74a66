// CKaOSVersionInfo: every query and predicate over hand-made version records.
#include <gtest/gtest.h>
#include <plinth/KaOSVersionInfo.h>

#include <cstring>
#include <string>

#include "support/OSVersionRecord.h"

namespace {

using plinth::test::InstallOSVersion;

class OSVersion : public ::testing::Test {
 protected:
  static OSVERSIONINFOA Record(DWORD platform, DWORD major, DWORD minor, DWORD build = 0,
                               const char* csd = "") {
    return plinth::test::OSVersionRecord(platform, major, minor, build, csd);
  }

  // Puts the real record back after each test.
  plinth::test::ScopedOSVersion restore_{CKaOSVersionInfo::GetCurrentOsVersionInfo()};
};

TEST_F(OSVersion, ReadAtLoadWithTheRecordSize) {
  EXPECT_EQ(CKaOSVersionInfo::GetCurrentOsVersionInfo().dwOSVersionInfoSize, 148u);
  OSVERSIONINFOA fresh = {};
  fresh.dwOSVersionInfoSize = sizeof fresh;
  ASSERT_TRUE(GetVersionExA(&fresh));
  EXPECT_EQ(std::memcmp(&fresh, &CKaOSVersionInfo::GetCurrentOsVersionInfo(), sizeof fresh), 0);
}

TEST_F(OSVersion, ReleasePredicatesTestExactEquality) {
  struct Case {
    DWORD platform, major, minor;
    const char* trueOnes;  // letters of the predicates that hold
  };
  // s Win32s, 5 Win95, 8 Win98, 3 NT3.51, 4 NT4.0, 0 NT5.0, x XP, n NT, 9 9x
  // clang-format off
  const Case cases[] = {
      {2, 5, 1,  "xn"},
      {2, 5, 0,  "0n"},
      {2, 5, 2,  "n"},
      {2, 6, 0,  "n"},
      {2, 6, 1,  "n"},
      {2, 4, 0,  "4n"},
      {2, 3, 51, "3n"},
      {2, 3, 50, "n"},
      {1, 4, 0,  "59"},
      {1, 4, 10, "89"},
      {1, 4, 90, "89"},
      {1, 7, 0,  "59"},   // the major is not looked at
      {0, 3, 11, "s9"},
      {0, 0, 0,  "s9"},   // a failed read
      {3, 5, 1,  "9"},    // an unknown platform is not NT
  };
  // clang-format on
  for (const Case& c : cases) {
    const OSVERSIONINFOA record = Record(c.platform, c.major, c.minor);
    // The record forms look only at their argument, whatever the instance holds.
    InstallOSVersion(Record(c.platform == 2 ? 1 : 2, 5, 1));
    const std::string forms = std::string(CKaOSVersionInfo::IsOSNT(record) ? "n" : "") +
                              (CKaOSVersionInfo::IsOS9x(record) ? "9" : "");
    InstallOSVersion(record);
    std::string got;
    if (CKaOSVersionInfo::IsOSWin32s()) got += 's';
    if (CKaOSVersionInfo::IsOSWin95()) got += '5';
    if (CKaOSVersionInfo::IsOSWin98()) got += '8';
    if (CKaOSVersionInfo::IsOSNT3_51()) got += '3';
    if (CKaOSVersionInfo::IsOSNT4_0()) got += '4';
    if (CKaOSVersionInfo::IsOSNT5_0()) got += '0';
    if (CKaOSVersionInfo::IsOSXP()) got += 'x';
    if (CKaOSVersionInfo::IsOSNT()) got += 'n';
    if (CKaOSVersionInfo::IsOS9x()) got += '9';
    EXPECT_EQ(got, c.trueOnes) << c.platform << " " << c.major << "." << c.minor;
    std::string formsExpected = c.trueOnes;
    formsExpected.erase(0, formsExpected.find_first_of("n9"));  // n and 9 come last
    EXPECT_EQ(forms, formsExpected) << c.platform << " " << c.major << "." << c.minor;
  }
}

TEST_F(OSVersion, BuildNumbersAndTexts) {
  InstallOSVersion(Record(1, 4, 0, (4u << 24) | (0u << 16) | 1111, "C"));
  EXPECT_EQ(CKaOSVersionInfo::GetBuildNumber(), 0x04000457u);
  EXPECT_EQ(CKaOSVersionInfo::BuildNumber(), 1111u);
  EXPECT_STREQ(CKaOSVersionInfo::GetCSDVersion(), "C");

  InstallOSVersion(Record(2, 5, 1, 2600, "Service Pack 3"));
  EXPECT_EQ(CKaOSVersionInfo::GetBuildNumber(), 2600u);
  EXPECT_EQ(CKaOSVersionInfo::BuildNumber(), 2600u);
  EXPECT_EQ(CKaOSVersionInfo::GetMajorVersion(), 5u);
  EXPECT_EQ(CKaOSVersionInfo::GetMinorVersion(), 1u);
  EXPECT_EQ(CKaOSVersionInfo::GetPlatformID(), 2u);
  EXPECT_STREQ(CKaOSVersionInfo::GetCSDVersion(), "Service Pack 3");

  // An NT build above 16 bits stays whole.
  InstallOSVersion(Record(2, 10, 0, 0x12345));
  EXPECT_EQ(CKaOSVersionInfo::BuildNumber(), 0x12345u);

  InstallOSVersion(Record(0, 0, 0));
  EXPECT_EQ(CKaOSVersionInfo::GetCSDVersion().GetLength(), 0);
  EXPECT_EQ(CKaOSVersionInfo::BuildNumber(), 0u);
}

TEST_F(OSVersion, ServicePackTextWithoutItsNulIsCutAtTheField) {
  OSVERSIONINFOA record = Record(2, 5, 1);
  std::memset(record.szCSDVersion, 'x', sizeof record.szCSDVersion);
  InstallOSVersion(record);
  EXPECT_EQ(CKaOSVersionInfo::GetCSDVersion().GetLength(), 128);
}

}  // namespace
