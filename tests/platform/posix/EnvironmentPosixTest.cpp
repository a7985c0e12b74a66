// The environment on POSIX, where names may differ in case only: lookups prefer the exact
// spelling, the block has one order whatever the order of setting, and removal takes every
// spelling.

#include <gtest/gtest.h>
#include <plinth/win32.h>
#include <stdlib.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<std::string> BlockEntriesStartingWith(const char* start) {
  std::vector<std::string> entries;
  char* block = GetEnvironmentStrings();
  for (const char* entry = block; *entry != '\0'; entry += std::strlen(entry) + 1)
    if (strncasecmp(entry, start, std::strlen(start)) == 0) entries.push_back(entry);
  FreeEnvironmentStringsA(block);
  return entries;
}

std::string Value(const char* name) {
  char buffer[64] = "";
  const DWORD length = GetEnvironmentVariableA(name, buffer, sizeof buffer);
  return length == 0 ? "<none>" : std::string(buffer, length);
}

TEST(EnvironmentPosix, PrefersTheExactSpellingThenTheFirstInBlockOrder) {
  setenv("PLINTH_P_case", "lower", 1);
  setenv("PLINTH_P_CASE", "upper", 1);
  EXPECT_EQ(Value("PLINTH_P_case"), "lower");
  EXPECT_EQ(Value("PLINTH_P_CASE"), "upper");
  EXPECT_EQ(Value("plinth_p_Case"), "upper");  // "PLINTH_P_CASE" sorts first
  EXPECT_EQ(_putenv("Plinth_P_Case="), 0);
  EXPECT_EQ(Value("PLINTH_P_case"), "<none>");
  EXPECT_EQ(Value("PLINTH_P_CASE"), "<none>");
}

TEST(EnvironmentPosix, BlockOrderDoesNotDependOnTheOrderOfSetting) {
  setenv("PLINTH_P_ORD_b", "2", 1);
  setenv("PLINTH_P_ORD_A", "1", 1);
  setenv("PLINTH_P_ORD_C", "3", 1);
  const std::vector<std::string> expected = {"PLINTH_P_ORD_A=1", "PLINTH_P_ORD_b=2",
                                             "PLINTH_P_ORD_C=3"};
  EXPECT_EQ(BlockEntriesStartingWith("PLINTH_P_ORD_"), expected);
  for (const char* name : {"PLINTH_P_ORD_A", "PLINTH_P_ORD_b", "PLINTH_P_ORD_C"}) unsetenv(name);
  EXPECT_TRUE(BlockEntriesStartingWith("PLINTH_P_ORD_").empty());
}

TEST(EnvironmentPosix, EmptyValuesAndBadNames) {
  setenv("PLINTH_P_EMPTY", "", 1);
  char buffer[4] = "###";
  EXPECT_EQ(GetEnvironmentVariableA("PLINTH_P_EMPTY", nullptr, 0), 1u);
  SetLastError(0xDEADBEEF);
  EXPECT_EQ(GetEnvironmentVariableA("PLINTH_P_EMPTY", buffer, sizeof buffer), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_STREQ(buffer, "");
  unsetenv("PLINTH_P_EMPTY");
  EXPECT_EQ(_putenv("=value"), -1);
  EXPECT_FALSE(SetEnvironmentVariableA("A=B", "x"));
  EXPECT_FALSE(SetEnvironmentVariableA("", "x"));
  EXPECT_EQ(GetEnvironmentVariableA("", buffer, sizeof buffer), 0u);
}

}  // namespace
