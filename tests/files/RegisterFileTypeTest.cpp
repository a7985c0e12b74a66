// Document types under HKEY_CLASSES_ROOT: an extension is taken over only when it names no
// type yet or the same one, and never created.
#include <gtest/gtest.h>

#include <plinth/KaPath.h>
#include <plinth/RegVal.h>
#include <plinth/Registry.h>
#include <plinth/win32.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace {

// What a key's default value holds: nullopt when the key or the value is missing.
std::optional<std::string> DefaultText(const std::string& key) {
  CRegVal value;
  if (!CRegistry::LoadKey(key.c_str(), "", value, HKEY_CLASSES_ROOT, false)) return std::nullopt;
  CString text;
  if (!value.GetValue(text)) return "<not text>";
  return std::string(text);
}

class RegisterFileType : public ::testing::Test {
 public:
  void SetUp() override {
    const std::string stamp =
        std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
    extension_ = ".plt" + stamp;
    type_ = "PlinthType" + stamp;
  }
  void TearDown() override {
    CRegistry::DeleteKey(extension_.c_str(), nullptr, HKEY_CLASSES_ROOT);
    CRegistry::DeleteKey(type_.c_str(), nullptr, HKEY_CLASSES_ROOT);
  }
  void SetDefault(const CRegVal& value) const {
    ASSERT_TRUE(CRegistry::SaveKey(extension_.c_str(), "", value, HKEY_CLASSES_ROOT));
  }
  std::string CommandKey() const { return type_ + "\\shell\\open\\command"; }

  std::string extension_;
  std::string type_;
};

TEST_F(RegisterFileType, ExtensionDecidesWhetherTheTypeIsWritten) {
  const char* command = "C:\\Program Files\\Editor\\ed.exe /open %1";
  const struct {
    const char* name;
    std::function<void(RegisterFileType&)> prepare;
    long result;
    std::optional<std::string> extensionAfter;  // "TYPE" stands for the type passed
    bool commandWritten;
  } cases[] = {
      {"missing key", [](RegisterFileType&) {}, E_FAIL, std::nullopt, false},
      {"key without default value",
       [](RegisterFileType& t) {
         ASSERT_TRUE(
             CRegistry::SaveKey(t.extension_.c_str(), "other", CRegVal("x"), HKEY_CLASSES_ROOT));
       },
       E_FAIL, std::nullopt, false},
      {"empty default", [](RegisterFileType& t) { t.SetDefault(CRegVal("")); }, S_OK, "TYPE", true},
      {"same type in other case",
       [](RegisterFileType& t) {
         t.SetDefault(CRegVal(("PLINTHTYPE" + t.type_.substr(10)).c_str()));
       },
       S_OK, "TYPE", true},
      {"another type", [](RegisterFileType& t) { t.SetDefault(CRegVal("txtfile")); }, E_FAIL,
       "txtfile", false},
      {"number default", [](RegisterFileType& t) { t.SetDefault(CRegVal(5ul)); }, S_OK, "TYPE",
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    c.prepare(*this);
    EXPECT_EQ(CKaPath::RegisterFileType(extension_.c_str(), type_.c_str(), command), c.result);
    EXPECT_EQ(DefaultText(extension_),
              c.extensionAfter == "TYPE" ? std::optional<std::string>(type_) : c.extensionAfter);
    // Stored as passed: no quotes added around the program, no placeholder appended.
    EXPECT_EQ(DefaultText(CommandKey()),
              c.commandWritten ? std::optional<std::string>(command) : std::nullopt);
  }
}

TEST_F(RegisterFileType, MissingExtensionIsNotCreated) {
  EXPECT_EQ(CKaPath::RegisterFileType(extension_.c_str(), type_.c_str(), "ed %1"), E_FAIL);
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, extension_.c_str(), 0, KEY_READ, &key),
            ERROR_FILE_NOT_FOUND);
}

}  // namespace
