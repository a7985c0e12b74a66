#pragma once
// A scratch key of the test's own, HKEY_CURRENT_USER\Software\PlinthTests\<run>-<n>, removed
// afterwards, and the checks the key tests share. The key's parent handles are opened by the
// tests themselves (never predefined keys), so that whether an operation closed its parent key
// can be seen: a closed handle answers ERROR_INVALID_HANDLE.
#include <gtest/gtest.h>

#include <plinth/Registry.h>
#include <plinth/win32.h>

#include <chrono>
#include <random>
#include <string>

namespace plinth::test {

inline const std::string& ScratchRunName() {
  static const std::string name =
      std::to_string(std::random_device{}()) + "-" +
      std::to_string(std::chrono::steady_clock::now().time_since_epoch().count() % 1000000007);
  return name;
}

// Deletes a key and everything below it with the platform calls alone, deepest first.
inline void DeleteRegistryTree(HKEY parent, const std::string& name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(parent, name.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
  char child[1024];
  while (RegEnumKeyA(key, 0, child, sizeof child) == ERROR_SUCCESS) DeleteRegistryTree(key, child);
  RegCloseKey(key);
  RegDeleteKeyA(parent, name.c_str());
}

// ERROR_SUCCESS while the handle is open, ERROR_INVALID_HANDLE once it has been closed.
inline LONG HandleState(HKEY key) {
  return RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                          nullptr, nullptr, nullptr, nullptr);
}

class RegistryScratch : public ::testing::Test {
 protected:
  void SetUp() override {
    static int counter = 0;
    path_ = "Software\\PlinthTests\\" + ScratchRunName() + "-" + std::to_string(++counter);
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr,
                              REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &scratch_, nullptr),
              ERROR_SUCCESS);
  }
  void TearDown() override {
    if (scratch_) RegCloseKey(scratch_);
    DeleteRegistryTree(HKEY_CURRENT_USER, path_);
    // Only when no other run still works below it.
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\PlinthTests");
  }

  // A new handle to the scratch key, for an operation that may close it.
  HKEY OpenScratch(REGSAM access = KEY_ALL_ACCESS) {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, access, &key), ERROR_SUCCESS);
    return key;
  }
  void CreateSubkey(const char* subkey) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(scratch_, subkey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
  void SetRaw(const char* subkey, const char* name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(scratch_, subkey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
  bool KeyExists(const std::string& subkey) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(scratch_, subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
  }

  std::string path_;
  HKEY scratch_ = nullptr;
};

}  // namespace plinth::test
