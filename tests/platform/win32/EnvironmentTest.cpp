// Environment variables as Windows keeps them: the size protocol of GetEnvironmentVariableA,
// names without regard to case, _putenv removing on an empty value, and the block.

#include <gtest/gtest.h>
#include <plinth/win32.h>

#include <cctype>
#include <cstring>
#include <string>
#include <tuple>
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
  // The name, the buffer size, the result, what the buffer holds afterwards.
  // clang-format off
  const std::tuple<const char*, DWORD, DWORD, const char*> cases[] = {
      {"PLINTH_T_VALUE", 0,  6, "#######"},  // size needed, NUL included
      {"PLINTH_T_VALUE", 5,  6, "#######"},  // one byte short: untouched
      {"PLINTH_T_VALUE", 6,  5, "hello"},    // copied, NUL not counted
      {"PLINTH_T_VALUE", 7,  5, "hello"},
      {"plinth_t_value", 7,  5, "hello"},    // names match without regard to case
      {"PLINTH_T_NONE",  7,  0, "#######"},
  };
  // clang-format on
  for (const auto& [name, size, result, after] : cases) {
    char buffer[8] = "#######";
    EXPECT_EQ(GetEnvironmentVariableA(name, size ? buffer : nullptr, size), result)
        << name << " " << size;
    EXPECT_STREQ(buffer, after) << name << " " << size;
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

TEST(Putenv, ChangingAVariableInAnotherCaseKeepsOneVariableInTheBlock) {
  ScopedVariables variables;
  variables.Set("PLINTH_T_Mixed", "1");
  EXPECT_EQ(_putenv("PLINTH_T_MIXED=a=b c"), 0);
  char buffer[16];
  ASSERT_EQ(GetEnvironmentVariableA("plinth_t_mixed", buffer, sizeof buffer), 5u);
  EXPECT_STREQ(buffer, "a=b c");
  // The block lists every variable as name=value, this one once.
  std::vector<std::string> entries;
  char* block = GetEnvironmentStrings();
  ASSERT_NE(block, nullptr);
  for (const char* entry = block; *entry != '\0'; entry += std::strlen(entry) + 1)
    if (StartsWithNoCase(entry, "PLINTH_T_MIXED=")) entries.push_back(entry + 14);
  EXPECT_TRUE(FreeEnvironmentStringsA(block));
  EXPECT_EQ(entries, std::vector<std::string>{"=a=b c"});
}

}  // namespace
