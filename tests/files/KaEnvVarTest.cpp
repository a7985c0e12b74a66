// CKaEnvVar: expansion and collapse of %NAME% references against a controlled environment.
// Variables are named PLINTH_E_… and removed after each test; Collapse cases use values that
// no other variable of the test machine can start with.

#include <gtest/gtest.h>
#include <plinth/KaEnvVar.h>
#include <plinth/win32.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Environment {
  explicit Environment(std::vector<std::pair<std::string, std::string>> set) : variables(set) {
    for (const auto& [name, value] : variables)
      SetEnvironmentVariableA(name.c_str(), value.c_str());
  }
  ~Environment() {
    for (const auto& variable : variables) SetEnvironmentVariableA(variable.first.c_str(), nullptr);
  }
  std::vector<std::pair<std::string, std::string>> variables;
};

CKaString Expanded(const char* text) {
  CKaString out = "stale";
  EXPECT_EQ(CKaEnvVar::Expand(text, out), S_OK) << text;
  return out;
}

TEST(KaEnvVarExpand, ReplacesResolvableReferences) {
  Environment environment({{"PLINTH_E_TEMP", "C:\\T"},
                           {"PLINTH_E_A", "1"},
                           {"PLINTH_E_B", "2"},
                           {"PLINTH_E_PCT", "%PLINTH_E_A%"},
                           {"PLINTH_E_EMPTY", ""},
                           {"PLINTH_E_SP ACE", "s"}});
  // clang-format off
  const std::pair<const char*, const char*> cases[] = {
      {"x%PLINTH_E_TEMP%y",        "xC:\\Ty"},
      {"%plinth_e_temp%",          "C:\\T"},             // names match without regard to case
      {"%PLINTH_E_NOPE%",          "%PLINTH_E_NOPE%"},
      {"%%",                       "%%"},
      {"50%",                      "50%"},
      {"a%b",                      "a%b"},
      {"",                         ""},
      {"%PLINTH_E_A%%PLINTH_E_B%", "12"},
      {"%PLINTH_E_A%PLINTH_E_B%",  "1PLINTH_E_B%"},      // a closing sign never opens again
      {"%PLINTH_E_EMPTY%",         "%PLINTH_E_EMPTY%"},  // empty counts as unresolved
      {"%PLINTH_E_PCT%",           "%PLINTH_E_A%"},      // values are not scanned again
      {"%PLINTH_E_SP ACE%",        "s"},                 // every byte belongs to the name
      {"%PLINTH_E_NOPE%PLINTH_E_A%", "%PLINTH_E_NOPE%PLINTH_E_A%"},
      {"x%PLINTH_E_A%%PLINTH_E_B%%", "x12%"},
      {"%=%",                      "%=%"},
      {"no references",            "no references"},
  };
  // clang-format on
  for (const auto& [text, expanded] : cases) EXPECT_STREQ(Expanded(text), expanded) << text;
}

TEST(KaEnvVarExpand, CopiesLongValuesWhole) {
  // Windows keeps values of up to 32,767 characters.
  const std::string longValue(32000, 'v');
  Environment environment({{"PLINTH_E_LONG", longValue}});
  EXPECT_EQ(std::string(Expanded("<%PLINTH_E_LONG%>").GetString()), "<" + longValue + ">");
}

struct CollapseCase {
  const char* text;
  long result;
  const char* out;  // "untouched" when out keeps its old text
};

void ExpectCollapse(const CollapseCase& c) {
  CKaString out = "untouched";
  const long result = CKaEnvVar::Collapse(c.text, out);
  EXPECT_EQ(result, c.result) << c.text;
  EXPECT_EQ(result < 0, c.result != S_OK) << c.text;  // a failure is a negative long
  EXPECT_STREQ(out, c.out) << c.text;
}

TEST(KaEnvVarCollapse, WritesTheLongestFittingValueAsAReference) {
  Environment environment({{"PLINTH_E_FOO", "q:\\pl_dir"}, {"PLINTH_E_BAR", "Q:\\PL_DIR\\sub"}});
  // clang-format off
  const CollapseCase cases[] = {
      {"q:\\pl_dir\\sub\\x",              S_OK,   "%PLINTH_E_BAR%\\x"},
      {"Q:\\pl_dir\\a;q:\\PL_DIR\\b",     S_OK,   "%PLINTH_E_FOO%\\a;%PLINTH_E_FOO%\\b"},
      {"Q:\\pl_directory",                S_OK,   "%PLINTH_E_FOO%ectory"},  // no path boundary
      {"\x01no variable starts so",      E_FAIL, "untouched"},
      {"",                                E_FAIL, "untouched"},
      {"q:\\pl_di",                       E_FAIL, "untouched"},             // shorter than it
  };
  // clang-format on
  for (const CollapseCase& c : cases) ExpectCollapse(c);
}

// Which of the two names comes first in the environment block.
std::string FirstInBlock(const char* a, const char* b) {
  char* block = GetEnvironmentStrings();
  std::string first;
  for (const char* entry = block; first.empty() && *entry != '\0'; entry += std::strlen(entry) + 1)
    for (const char* name : {a, b})
      if (std::strncmp(entry, name, std::strlen(name)) == 0 && entry[std::strlen(name)] == '=')
        first = name;
  FreeEnvironmentStringsA(block);
  return first;
}

TEST(KaEnvVarCollapse, PrefersTheFirstInBlockOrderAmongEqualLengths) {
  Environment environment({{"PLINTH_E_TIE_B", "q:\\tie"}, {"PLINTH_E_TIE_A", "Q:\\TIE"}});
  const std::string first = FirstInBlock("PLINTH_E_TIE_A", "PLINTH_E_TIE_B");
  ASSERT_FALSE(first.empty());
  const std::string expected = "%" + first + "%\\x";
  ExpectCollapse({"q:\\tie\\x", S_OK, expected.c_str()});
}

}  // namespace
