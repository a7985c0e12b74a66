// Document types under HKEY_CLASSES_ROOT: an extension is taken over only when it names no
// type yet or the same one, and never created.
#include <gtest/gtest.h>

#include <plinth/KaPath.h>
#include <plinth/RegVal.h>
#include <plinth/Registry.h>
#include <plinth/win32.h>

#include <chrono>
#include <optional>
#include <string>

namespace {

// A key's default value as text; nullopt when the key or the value is missing.
std::optional<std::string> DefaultText(const std::string& key) {
  CRegVal value;
  CString text;
  if (!CRegistry::LoadKey(key.c_str(), "", value, HKEY_CLASSES_ROOT, false)) return std::nullopt;
  return value.GetValue(text) ? std::string(text) : "<not text>";
}

TEST(RegisterFileType, ExtensionDecidesWhetherTheTypeIsWritten) {
  const std::string stamp =
      std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
  const std::string extension = ".plt" + stamp, type = "PlinthType" + stamp;
  const std::string commandKey = type + "\\shell\\open\\command";
  const char* command = "C:\\Program Files\\Editor\\ed.exe /open %1";  // kept without quotes
  enum Default { kNoKey, kNoValue, kText, kNumber };
  const struct {
    Default before;
    std::string text;
    long result;
    std::optional<std::string> after;
  } cases[] = {
      {kNoKey, "", E_FAIL, std::nullopt},
      {kNoValue, "", E_FAIL, std::nullopt},
      {kText, "", S_OK, type},
      {kText, "PLINTHTYPE" + stamp, S_OK, type},  // rewritten in the case passed now
      {kText, "txtfile", E_FAIL, "txtfile"},
      {kNumber, "", S_OK, type},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.before));
    CRegistry::DeleteKey(extension.c_str(), nullptr, HKEY_CLASSES_ROOT);
    CRegistry::DeleteKey(type.c_str(), nullptr, HKEY_CLASSES_ROOT);
    const CRegVal before = c.before == kNumber ? CRegVal(5ul) : CRegVal(c.text.c_str());
    if (c.before != kNoKey) {
      ASSERT_TRUE(CRegistry::SaveKey(extension.c_str(), c.before == kNoValue ? "other" : "", before,
                                     HKEY_CLASSES_ROOT));
    }
    EXPECT_EQ(CKaPath::RegisterFileType(extension.c_str(), type.c_str(), command), c.result);
    EXPECT_EQ(DefaultText(extension), c.after);
    EXPECT_EQ(DefaultText(commandKey),
              c.result == S_OK ? std::optional<std::string>(command) : std::nullopt);
    HKEY key = nullptr;
    const LONG opened = RegOpenKeyExA(HKEY_CLASSES_ROOT, extension.c_str(), 0, KEY_READ, &key);
    EXPECT_EQ(opened == ERROR_SUCCESS, c.before != kNoKey);  // never created
    if (opened == ERROR_SUCCESS) RegCloseKey(key);
  }
  CRegistry::DeleteKey(extension.c_str(), nullptr, HKEY_CLASSES_ROOT);
  CRegistry::DeleteKey(type.c_str(), nullptr, HKEY_CLASSES_ROOT);
}

}  // namespace
