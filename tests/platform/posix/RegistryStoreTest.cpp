// What the POSIX store decides where Windows has a machine behind it: the views of the
// predefined keys, the 32-bit view, the refused keys, ASCII-only case folding, threads, and
// this machine's names. (Other processes: RegistryReliabilityTest.cpp.)
#include <gtest/gtest.h>
#include <plinth/win32.h>

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

const std::string kTag = "PlinthStore-" + std::to_string(getpid());

bool Exists(HKEY root, const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

void MakeKey(HKEY root, const std::string& path, REGSAM sam = KEY_ALL_ACCESS) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, sam, nullptr, &key, nullptr),
            ERROR_SUCCESS)
      << path;
  RegCloseKey(key);
}

TEST(RegistryStore, PredefinedKeysAreViewsOfTheTwoTrees) {
  struct Case {
    HKEY view;
    HKEY tree;
    std::string below;
  };
  const Case cases[] = {
      {HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE, "Software\\Classes"},
      {HKEY_CURRENT_CONFIG, HKEY_LOCAL_MACHINE,
       "System\\CurrentControlSet\\Hardware Profiles\\Current"},
      {HKEY_CURRENT_USER, HKEY_USERS, "S-1-22-1-" + std::to_string(getuid())},
  };
  for (const Case& c : cases) {
    const std::string name = kTag + "-view";
    MakeKey(c.view, name);
    EXPECT_TRUE(Exists(c.tree, c.below + "\\" + name)) << c.below;
    EXPECT_EQ(RegDeleteKeyA(c.tree, (c.below + "\\" + name).c_str()), ERROR_SUCCESS);
    EXPECT_FALSE(Exists(c.view, name)) << c.below;
    // The key behind a view stays, even when it is empty.
    EXPECT_EQ(RegDeleteKeyA(c.tree, c.below.c_str()), ERROR_ACCESS_DENIED) << c.below;
  }
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_CURRENT_USER, HKEY_CLASSES_ROOT})
    EXPECT_EQ(RegDeleteKeyA(root, ""), ERROR_ACCESS_DENIED);
}

TEST(RegistryStore, PerformanceDataAndDynDataRefuseEveryCall) {
  for (HKEY refused : {HKEY_PERFORMANCE_DATA, HKEY_DYN_DATA}) {
    HKEY key = nullptr;
    DWORD size = 0, disposition = 0;
    char name[16];
    const BYTE byte = 0;
    EXPECT_EQ(RegOpenKeyExA(refused, "x", 0, KEY_READ, &key), ERROR_CALL_NOT_IMPLEMENTED);
    EXPECT_EQ(
        RegCreateKeyExA(refused, "x", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition),
        ERROR_CALL_NOT_IMPLEMENTED);
    EXPECT_EQ(RegQueryValueExA(refused, "x", nullptr, nullptr, nullptr, &size),
              ERROR_CALL_NOT_IMPLEMENTED);
    EXPECT_EQ(RegSetValueExA(refused, "x", 0, REG_BINARY, &byte, 1), ERROR_CALL_NOT_IMPLEMENTED);
    EXPECT_EQ(RegDeleteValueA(refused, "x"), ERROR_CALL_NOT_IMPLEMENTED);
    EXPECT_EQ(RegDeleteKeyA(refused, "x"), ERROR_CALL_NOT_IMPLEMENTED);
    EXPECT_EQ(RegEnumKeyA(refused, 0, name, sizeof name), ERROR_CALL_NOT_IMPLEMENTED);
    EXPECT_EQ(RegQueryInfoKeyA(refused, nullptr, nullptr, nullptr, &size, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr, nullptr),
              ERROR_CALL_NOT_IMPLEMENTED);
    EXPECT_EQ(RegConnectRegistryA(nullptr, refused, &key), ERROR_CALL_NOT_IMPLEMENTED);
    EXPECT_EQ(RegFlushKey(refused), ERROR_CALL_NOT_IMPLEMENTED);
    EXPECT_EQ(RegCloseKey(refused), ERROR_SUCCESS);
  }
}

TEST(RegistryStore, The32BitViewGoesThroughWow6432Node) {
  const std::string name = kTag + "-wow";
  struct Case {
    HKEY parent;
    std::string path;
    REGSAM view;
    std::string lands;  // below HKEY_LOCAL_MACHINE
  };
  HKEY software = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_ALL_ACCESS, &software),
            ERROR_SUCCESS);
  // clang-format off
  const Case cases[] = {
      {HKEY_LOCAL_MACHINE, "Software\\" + name + "\\a",     KEY_WOW64_32KEY, "Software\\Wow6432Node\\" + name + "\\a"},
      {HKEY_LOCAL_MACHINE, "SOFTWARE\\" + name + "\\b",     KEY_WOW64_64KEY, "Software\\" + name + "\\b"},
      {HKEY_LOCAL_MACHINE, "Software\\" + name + "\\c",     0,               "Software\\" + name + "\\c"},
      {software,           name + "\\d",                    KEY_WOW64_32KEY, "Software\\Wow6432Node\\" + name + "\\d"},
      {HKEY_LOCAL_MACHINE, "Software\\Classes\\" + name,    KEY_WOW64_32KEY, "Software\\Classes\\" + name},
      {HKEY_LOCAL_MACHINE, "Software\\Wow6432Node\\" + name + "\\e", KEY_WOW64_32KEY, "Software\\Wow6432Node\\" + name + "\\e"},
      {HKEY_CURRENT_USER,  "Software\\" + name,             KEY_WOW64_32KEY, ""},  // not redirected
  };
  // clang-format on
  for (const Case& c : cases) {
    MakeKey(c.parent, c.path, KEY_ALL_ACCESS | c.view);
    if (!c.lands.empty()) {
      EXPECT_TRUE(Exists(HKEY_LOCAL_MACHINE, c.lands)) << c.path;
    } else {
      EXPECT_TRUE(Exists(HKEY_CURRENT_USER, c.path)) << c.path;
    }
    // Opened in the same view, the key is found again.
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(c.parent, c.path.c_str(), 0, KEY_READ | c.view, &key), ERROR_SUCCESS)
        << c.path;
    RegCloseKey(key);
  }
  EXPECT_FALSE(Exists(HKEY_LOCAL_MACHINE, "Software\\" + name + "\\a"));
  RegCloseKey(software);
  for (const char* path :
       {"Software\\Wow6432Node\\%s\\a", "Software\\Wow6432Node\\%s\\d",
        "Software\\Wow6432Node\\%s\\e", "Software\\Wow6432Node\\%s", "Software\\%s\\b",
        "Software\\%s\\c", "Software\\%s", "Software\\Classes\\%s"}) {
    char full[256];
    std::snprintf(full, sizeof full, path, name.c_str());
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, full), ERROR_SUCCESS) << full;
  }
  EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, ("Software\\" + name).c_str()), ERROR_SUCCESS);
}

TEST(RegistryStore, CaseIsFoldedForAsciiLettersOnly) {
  const std::string base = "Software\\" + kTag + "-case";
  MakeKey(HKEY_CURRENT_USER, base + "\\Caf\xC9");
  EXPECT_TRUE(Exists(HKEY_CURRENT_USER, base + "\\cAF\xC9"));
  EXPECT_FALSE(Exists(HKEY_CURRENT_USER, base + "\\caf\xE9"));
  // The name keeps the case it was created with.
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, base.c_str(), 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
  char name[16];
  EXPECT_EQ(RegEnumKeyA(key, 0, name, sizeof name), ERROR_SUCCESS);
  EXPECT_STREQ(name, "Caf\xC9");
  EXPECT_EQ(RegDeleteKeyA(key, "CAF\xC9"), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, base.c_str()), ERROR_SUCCESS);
}

TEST(RegistryStore, ThreadsShareTheStore) {
  constexpr int kThreads = 4, kValues = 300;
  const std::string base = "Software\\" + kTag + "-threads";
  const auto path = [&](int t) { return base + "\\T" + std::to_string(t); };
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      HKEY key = nullptr;
      failures += RegCreateKeyExA(HKEY_CURRENT_USER, path(t).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr) != ERROR_SUCCESS;
      for (DWORD i = 0; key && i < kValues; ++i) {
        const std::string name = "v" + std::to_string(i);
        failures += RegSetValueExA(key, name.c_str(), 0, REG_DWORD,
                                   reinterpret_cast<const BYTE*>(&i), 4) != ERROR_SUCCESS;
        // Enumerations on the same handle run between the writes.
        char found[16];
        DWORD length = sizeof found;
        failures += RegEnumValueA(key, i, found, &length, nullptr, nullptr, nullptr, nullptr) !=
                        ERROR_SUCCESS ||
                    name != found;
      }
      RegCloseKey(key);
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures, 0);
  for (int t = 0; t < kThreads; ++t) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, path(t).c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD values = 0;
    EXPECT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                               nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(values, static_cast<DWORD>(kValues)) << t;
    RegCloseKey(key);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, path(t).c_str()), ERROR_SUCCESS);
  }
  EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, base.c_str()), ERROR_SUCCESS);
}

TEST(RegistryStore, ThisMachineByName) {
  char host[256] = {};
  ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
  const std::string full(host), label = full.substr(0, full.find('.'));
  for (const std::string& name : {full, "\\\\" + full, label, std::string("."),
                                  std::string("\\\\LOCALHOST"), std::string("")}) {
    HKEY key = nullptr;
    EXPECT_EQ(RegConnectRegistryA(name.c_str(), HKEY_LOCAL_MACHINE, &key), ERROR_SUCCESS) << name;
    EXPECT_EQ(key, HKEY_LOCAL_MACHINE);
  }
}

TEST(RegistryStore, StorePathFollowsTheSizeProtocol) {
  const std::string store = std::getenv("PLINTH_REGISTRY");
  char small[4];
  EXPECT_EQ(PlinthRegistryStorePath(small, sizeof small), store.size() + 1);
  EXPECT_EQ(PlinthRegistryStorePath(nullptr, 0), store.size() + 1);
  std::string path(store.size() + 1, '\x7f');
  EXPECT_EQ(PlinthRegistryStorePath(path.data(), static_cast<DWORD>(path.size())), store.size());
  EXPECT_STREQ(path.c_str(), store.c_str());
}

}  // namespace
