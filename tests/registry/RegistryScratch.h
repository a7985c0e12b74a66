#pragma once
// A scratch key of each test's own below HKEY_CURRENT_USER\Software\PlinthTests, removed
// afterwards. Parent keys are handles the tests open themselves, never predefined keys, so that
// whether an operation closed one shows: a closed handle answers ERROR_INVALID_HANDLE.
#include <gtest/gtest.h>

#include <plinth/Registry.h>
#include <plinth/win32.h>

#include <chrono>
#include <string>

namespace plinth::test {

inline LONG HandleState(HKEY key) {
  return RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                          nullptr, nullptr, nullptr, nullptr);
}

class RegistryScratch : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = "Software\\PlinthTests\\" +
            std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
    scratch_ = Open(path_.c_str(), HKEY_CURRENT_USER);
  }
  void TearDown() override {
    RegCloseKey(scratch_);
    CRegistry::DeleteKey(path_.c_str(), nullptr, HKEY_CURRENT_USER);
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\PlinthTests");  // fails while others use it
  }
  // Opens (creating it when missing) a key below the scratch key or below parent.
  HKEY Open(const char* subkey = "", HKEY parent = nullptr, REGSAM access = KEY_ALL_ACCESS) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(parent ? parent : scratch_, subkey, 0, nullptr, 0, access, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    return key;
  }
  void SetRaw(const char* subkey, const char* name, DWORD type, const char* data, DWORD size) {
    HKEY key = Open(subkey);
    EXPECT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data), size), 0);
    RegCloseKey(key);
  }

  std::string path_;
  HKEY scratch_ = nullptr;
};

}  // namespace plinth::test
