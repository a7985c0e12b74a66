// Environment variables as Windows keeps them: the size protocol of GetEnvironmentVariableA,
// names without regard to case, _putenv removing on an empty value, and the block.

#include <gtest/gtest.h>
#include <plinth/win32.h>

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr DWORD kSentinel = 0xDEADBEEF;

bool StartsWithNoCase(const char* text, const char* start) {
  for (; *start != '\0'; ++text, ++start)
    if (std::tolower(static_cast<unsigned char>(*text)) !=
        std::tolower(static_cast<unsigned char>(*start)))
      return false;
  return true;
}

// Removes the variables a test set, whatever happens in it.
class ScopedVariables {
 public:
  ~ScopedVariables() {
    for (const std::string& name : names_) _putenv((name + "=").c_str());
  }
  void Set(const std::string& name, const std::string& value) {
    names_.push_back(name);
    ASSERT_EQ(_putenv((name + "=" + value).c_str()), 0) << name;
  }

 private:
  std::vector<std::string> names_;
};

TEST(GetEnvironmentVariableA, FollowsTheSizeProtocol) {
  ScopedVariables variables;
  variables.Set("PLINTH_T_VALUE", "hello");
  struct Case {
    const char* name;
    DWORD size;
    DWORD result;
    const char* buffer;  // what the buffer holds afterwards
  };
  // clang-format off
  const Case cases[] = {
      {"PLINTH_T_VALUE", 0,  6, "#######"},  // size needed, NUL included
      {"PLINTH_T_VALUE", 5,  6, "#######"},  // one byte short: untouched
      {"PLINTH_T_VALUE", 6,  5, "hello"},    // copied, NUL not counted
      {"PLINTH_T_VALUE", 7,  5, "hello"},
      {"plinth_t_value", 7,  5, "hello"},    // names match without regard to case
      {"PLINTH_T_NONE",  7,  0, "#######"},
  };
  // clang-format on
  for (const Case& c : cases) {
    char buffer[8] = "#######";
    EXPECT_EQ(GetEnvironmentVariableA(c.name, c.size ? buffer : nullptr, c.size), c.result)
        << c.name << " " << c.size;
    EXPECT_STREQ(buffer, c.buffer) << c.name << " " << c.size;
  }
  SetLastError(kSentinel);
  EXPECT_EQ(GetEnvironmentVariableA("PLINTH_T_NONE", nullptr, 0), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ENVVAR_NOT_FOUND));
}

TEST(Putenv, AnEmptyValueRemovesTheVariable) {
  ScopedVariables variables;
  variables.Set("PLINTH_T_GONE", "x");
  ASSERT_EQ(GetEnvironmentVariableA("PLINTH_T_GONE", nullptr, 0), 2u);
  EXPECT_EQ(_putenv("PLINTH_T_GONE="), 0);
  EXPECT_EQ(GetEnvironmentVariableA("PLINTH_T_GONE", nullptr, 0), 0u);
  EXPECT_EQ(_putenv("plinth_t_gone=again"), 0);
  char buffer[16];
  EXPECT_EQ(GetEnvironmentVariableA("PLINTH_T_GONE", buffer, sizeof buffer), 5u);
  EXPECT_EQ(_putenv("PLINTH_T_GONE="), 0);
  EXPECT_EQ(GetEnvironmentVariableA("plinth_t_gone", nullptr, 0), 0u);
  EXPECT_EQ(_putenv("no equals sign"), -1);
}

TEST(Putenv, ChangingAVariableInAnotherCaseKeepsOneVariable) {
  ScopedVariables variables;
  variables.Set("PLINTH_T_Mixed", "1");
  EXPECT_EQ(_putenv("PLINTH_T_MIXED=2"), 0);
  char buffer[16];
  ASSERT_EQ(GetEnvironmentVariableA("plinth_t_mixed", buffer, sizeof buffer), 1u);
  EXPECT_STREQ(buffer, "2");
  int spellings = 0;
  char* block = GetEnvironmentStrings();
  ASSERT_NE(block, nullptr);
  for (const char* entry = block; *entry != '\0'; entry += std::strlen(entry) + 1)
    if (StartsWithNoCase(entry, "PLINTH_T_MIXED=")) ++spellings;
  FreeEnvironmentStringsA(block);
  EXPECT_EQ(spellings, 1);
}

TEST(GetEnvironmentStrings, ListsEveryVariableAsNameEqualsValue) {
  ScopedVariables variables;
  variables.Set("PLINTH_T_BLOCK", "a=b c");
  char* block = GetEnvironmentStrings();
  ASSERT_NE(block, nullptr);
  bool found = false;
  for (const char* entry = block; *entry != '\0'; entry += std::strlen(entry) + 1)
    found = found || std::strcmp(entry, "PLINTH_T_BLOCK=a=b c") == 0;
  EXPECT_TRUE(FreeEnvironmentStringsA(block));
  EXPECT_TRUE(found);
}

}  // namespace
