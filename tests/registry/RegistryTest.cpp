// CRegistry's key and value access, against the platform's registry (the POSIX store here,
// Windows or Wine in the Windows build), in a scratch key of each test's own.
#include <gtest/gtest.h>

#include <plinth/Registry.h>
#include <plinth/win32.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "registry/RegistryScratch.h"
#include "support/Wine.h"

namespace {

using plinth::test::HandleState;
using plinth::test::RegistryScratch;

using Bytes = std::vector<unsigned char>;

Bytes ValueBytes(const CRegVal& value) {
  const unsigned char* data = value.GetRawData();
  return data ? Bytes(data, data + value.GetSize()) : Bytes();
}

// What the platform holds for a value, read around the class under test.
struct RawValue {
  LONG result = ERROR_SUCCESS;
  DWORD type = 0xDEADBEEF;
  Bytes data;
};
RawValue ReadRaw(HKEY key, const char* name) {
  RawValue raw;
  unsigned char buffer[256];
  DWORD size = sizeof buffer;
  raw.result = RegQueryValueExA(key, name, nullptr, &raw.type, buffer, &size);
  if (raw.result == ERROR_SUCCESS) raw.data.assign(buffer, buffer + size);
  return raw;
}

using RegistryKeys = RegistryScratch;

TEST_F(RegistryKeys, EveryValueTypeRoundTripsThroughSaveAndLoad) {
  const std::vector<std::pair<const char*, std::function<void(CRegVal&)>>> cases = {
      {"sz", [](CRegVal& v) { v.SetValue("text", false); }},
      {"empty sz", [](CRegVal& v) { v.SetValue("", false); }},
      {"expand sz", [](CRegVal& v) { v.SetValue("%TEMP%\\x", true); }},
      {"binary", [](CRegVal& v) { v.SetValue(Bytes{0, 1, 0xFF}.data(), 3); }},
      {"dword", [](CRegVal& v) { v.SetValue(0x12345678ul); }},
      {"big endian",
       [](CRegVal& v) {
         v.SetValue(Bytes{0, 0, 0, 1}.data(), 4);
         v.SetType(REG_DWORD_BIG_ENDIAN);
       }},
      {"link",
       [](CRegVal& v) {
         v.SetValue("\\Registry\\Machine", false);
         v.SetType(REG_LINK);
       }},
      {"multi sz",
       [](CRegVal& v) {
         CStringArray strings;
         strings.Add("a");
         strings.Add("bc");
         v.SetValue(strings);
       }},
      {"resource list",
       [](CRegVal& v) {
         v.SetValue(Bytes{8, 7, 6}.data(), 3);
         v.SetType(REG_RESOURCE_LIST);
       }},
      {"full resource descriptor",
       [](CRegVal& v) {
         v.SetValue(Bytes{9}.data(), 1);
         v.SetType(REG_FULL_RESOURCE_DESCRIPTOR);
       }},
      {"none",
       [](CRegVal& v) {
         v.SetValue(Bytes{1, 2}.data(), 2);
         v.SetType(REG_NONE);
       }},
      {"type without family",
       [](CRegVal& v) {
         v.SetValue(Bytes{1, 2, 3, 4, 5, 6, 7, 8}.data(), 8);
         v.SetType(11);
       }},
  };
  for (const auto& [name, build] : cases) {
    SCOPED_TRACE(name);
    CRegVal saved;
    build(saved);
    ASSERT_TRUE(CRegistry::SaveKey("", name, saved, OpenScratch()));
    CRegVal loaded;
    ASSERT_TRUE(CRegistry::LoadKey("", name, loaded, scratch_, false));
    EXPECT_EQ(loaded.GetType(), saved.GetType());
    EXPECT_EQ(ValueBytes(loaded), ValueBytes(saved));
  }
}

TEST_F(RegistryKeys, LoadReportsMissingAndEmptyValues) {
  SetRaw("", "empty", REG_BINARY, nullptr, 0);
  CRegVal value(7ul);
  EXPECT_FALSE(CRegistry::LoadKey("", "missing", value, scratch_, false));
  EXPECT_EQ(value.GetType(), static_cast<unsigned long>(REG_DWORD));
  EXPECT_EQ(ValueBytes(value), (Bytes{7, 0, 0, 0}));
  EXPECT_FALSE(CRegistry::LoadKey("no such key", "empty", value, scratch_, false));
  EXPECT_EQ(ValueBytes(value), (Bytes{7, 0, 0, 0}));

  // Stored with no bytes: read as one zero byte.
  ASSERT_TRUE(CRegistry::LoadKey("", "empty", value, scratch_, false));
  EXPECT_EQ(value.GetType(), static_cast<unsigned long>(REG_BINARY));
  EXPECT_EQ(ValueBytes(value), Bytes{0});
}

TEST_F(RegistryKeys, DefaultValueNameAddressesTheUnnamedValue) {
  // Loaded when the library loads, so it holds before any object is constructed.
  EXPECT_STREQ(CRegistry::m_strDefaultKey, "(Default)");
  struct Case {
    const char* name;
    bool addressesDefault;
  };
  const Case cases[] = {
      {"(Default)", true}, {"(DEFAULT)", true}, {"(default)", true}, {"", true},
      {nullptr, true},     {"Default", false},  {"(Default) ", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name ? c.name : "null");
    RegDeleteValueA(scratch_, "");
    ASSERT_TRUE(CRegistry(OpenScratch()).SaveKey("", c.name, "written"));
    EXPECT_EQ(ReadRaw(scratch_, "").result == ERROR_SUCCESS, c.addressesDefault);
    CString text;
    EXPECT_TRUE(CRegistry(scratch_).LoadKey("", c.name, text, false));
    EXPECT_STREQ(text, "written");
  }
}

TEST_F(RegistryKeys, TypedLoadsAcceptOnlyTheirTypes) {
  const unsigned long number = 0x01020304;
  SetRaw("", "dword", REG_DWORD, &number, 4);
  SetRaw("", "big", REG_DWORD_BIG_ENDIAN, "\x00\x00\x00\x01", 4);
  SetRaw("", "sz", REG_SZ, "abc", 4);
  SetRaw("", "expand", REG_EXPAND_SZ, "%x%", 4);
  SetRaw("", "binary", REG_BINARY, "\x01\x02\x03", 3);
  SetRaw("", "multi", REG_MULTI_SZ, "a\0b\0", 5);
  CRegistry registry(scratch_);

  struct Case {
    const char* name;
    bool asNumber, asText, asThreeBytes, asList;
  };
  const Case cases[] = {
      {"dword", true, false, false, false},  {"big", true, false, false, false},
      {"sz", false, true, false, false},     {"expand", false, true, false, false},
      {"binary", false, false, true, false}, {"multi", false, false, false, true},
      {"missing", false, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    unsigned long loadedNumber = 99;
    EXPECT_EQ(registry.LoadKey("", c.name, loadedNumber, false), c.asNumber);
    if (!c.asNumber) {
      EXPECT_EQ(loadedNumber, 99u);
    }
    CString text("untouched");
    EXPECT_EQ(registry.LoadKey("", c.name, text, false), c.asText);
    if (!c.asText) {
      EXPECT_STREQ(text, "untouched");
    }
    unsigned char bytes[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    EXPECT_EQ(registry.LoadKey("", c.name, bytes, 3, false), c.asThreeBytes);
    CStringArray list;
    EXPECT_EQ(registry.LoadKey("", c.name, list, false), c.asList);
  }

  unsigned long loadedNumber = 0;
  ASSERT_TRUE(registry.LoadKey("", "big", loadedNumber, false));
  EXPECT_EQ(loadedNumber, 0x01000000u);  // never byte-swapped
  DWORD dword = 0;
  ASSERT_TRUE(registry.LoadKey("", "dword", dword, false));
  EXPECT_EQ(dword, 0x01020304u);
  unsigned char bytes[4] = {0xEE, 0xEE, 0xEE, 0xEE};
  EXPECT_FALSE(registry.LoadKey("", "binary", bytes, 2, false));
  EXPECT_FALSE(registry.LoadKey("", "binary", bytes, 4, false));
  ASSERT_TRUE(registry.LoadKey("", "binary", bytes, 3, false));
  EXPECT_EQ(Bytes(bytes, bytes + 4), (Bytes{1, 2, 3, 0xEE}));
  CStringArray list;
  ASSERT_TRUE(registry.LoadKey("", "multi", list, false));
  ASSERT_EQ(list.GetSize(), 2);
  EXPECT_STREQ(list[1], "b");
}

TEST_F(RegistryKeys, TypedSavesWriteTheDocumentedLayouts) {
  CStringArray noStrings;
  unsigned char bytes[] = {5, 6};
  struct Case {
    const char* name;
    std::function<bool(const CRegistry&)> save;
    DWORD type;
    Bytes data;
  };
  const Case cases[] = {
      {"text", [](const CRegistry& r) { return r.SaveKey("", "text", "ab"); }, REG_SZ,
       Bytes{'a', 'b', 0}},
      {"null text", [](const CRegistry& r) { return r.SaveKey("", "null text", (const char*)nullptr); },
       REG_SZ, Bytes{0}},
      {"list", [&](const CRegistry& r) { return r.SaveKey("", "list", noStrings); }, REG_MULTI_SZ,
       Bytes{0, 0}},
      {"number", [](const CRegistry& r) { return r.SaveKey("", "number", 0x0A0B0C0Dul); },
       REG_DWORD, Bytes{0x0D, 0x0C, 0x0B, 0x0A}},
      {"bytes", [&](const CRegistry& r) { return r.SaveKey("", "bytes", bytes, 2); }, REG_BINARY,
       Bytes{5, 6}},
      {"no bytes", [&](const CRegistry& r) { return r.SaveKey("", "no bytes", bytes, 0); },
       REG_BINARY, Bytes{0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CRegistry registry(OpenScratch());
    ASSERT_TRUE(c.save(registry));
    const RawValue raw = ReadRaw(scratch_, c.name);
    ASSERT_EQ(raw.result, ERROR_SUCCESS);
    EXPECT_EQ(raw.type, c.type);
    EXPECT_EQ(raw.data, c.data);
  }
}

// Which parent keys each operation closes: the parent is a handle the test opened itself.
TEST_F(RegistryKeys, OperationsCloseTheirParentKeyAsDocumented) {
  SetRaw("sub", "value", REG_SZ, "x", 2);
  CRegVal value("new");
  struct Case {
    const char* what;
    std::function<bool(HKEY)> operation;
    bool result;
    bool parentClosed;
  };
  const Case cases[] = {
      {"LoadKey", [&](HKEY k) { return CRegistry::LoadKey("sub", "value", value, k, false); },
       true, false},
      {"LoadKey closing",
       [&](HKEY k) { return CRegistry::LoadKey("sub", "value", value, k, true); }, true, true},
      {"LoadKey of a missing key",
       [&](HKEY k) { return CRegistry::LoadKey("none", "value", value, k, true); }, false, false},
      {"LoadKey of a missing value",
       [&](HKEY k) { return CRegistry::LoadKey("sub", "none", value, k, true); }, false, false},
      {"member LoadKey closing",
       [&](HKEY k) {
         CString text;
         return CRegistry(k).LoadKey("sub", "value", text, true);
       },
       true, true},
      {"SaveKey", [&](HKEY k) { return CRegistry::SaveKey("sub", "saved", value, k); }, true,
       true},
      {"SaveKey creating a key",
       [&](HKEY k) { return CRegistry::SaveKey("new\\deeper", "saved", value, k); }, true, true},
      {"DeleteKey of a value",
       [&](HKEY k) { return CRegistry::DeleteKey("sub", "saved", k); }, true, true},
      {"DeleteKey of a missing value",
       [&](HKEY k) { return CRegistry::DeleteKey("sub", "none", k); }, false, true},
      {"DeleteKey of a value of a missing key",
       [&](HKEY k) { return CRegistry::DeleteKey("none", "value", k); }, false, false},
      {"DeleteKey of a key", [&](HKEY k) { return CRegistry::DeleteKey("new", nullptr, k); },
       true, false},
      {"DeleteKey of a missing key",
       [&](HKEY k) { return CRegistry::DeleteKey("none", nullptr, k); }, false, false},
      {"HasEntries",
       [&](HKEY k) { return CRegistry::HasEntries("sub", nullptr, nullptr, k); }, true, false},
      {"CreateKey", [&](HKEY k) { return CRegistry(k).CreateKey("made\\here"); }, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HKEY parent = OpenScratch();
    EXPECT_EQ(c.operation(parent), c.result);
    EXPECT_EQ(HandleState(parent), c.parentClosed ? ERROR_INVALID_HANDLE : ERROR_SUCCESS);
    if (!c.parentClosed) RegCloseKey(parent);
  }
}

TEST_F(RegistryKeys, SaveKeyThatCannotCreateItsKeyLeavesTheParentOpen) {
  const std::string tooLong(300, 'k');
  HKEY parent = OpenScratch();
  EXPECT_FALSE(CRegistry::SaveKey(tooLong.c_str(), "v", CRegVal(1ul), parent));
  EXPECT_EQ(HandleState(parent), ERROR_SUCCESS);
  RegCloseKey(parent);
}

TEST_F(RegistryKeys, DeleteKeyRemovesAWholeSubtreeOrOneValue) {
  SetRaw("a", "top", REG_SZ, "1", 2);
  SetRaw("a\\b", "middle", REG_SZ, "2", 2);
  SetRaw("a\\b\\c", "deep", REG_SZ, "3", 2);
  SetRaw("a\\b2", "", REG_SZ, "4", 2);

  EXPECT_TRUE(CRegistry::DeleteKey("a\\b", "middle", OpenScratch()));
  EXPECT_TRUE(KeyExists("a\\b"));
  EXPECT_EQ(ReadRaw(scratch_, "middle").result, ERROR_FILE_NOT_FOUND);

  EXPECT_TRUE(CRegistry::DeleteKey("a", nullptr, scratch_));
  EXPECT_FALSE(KeyExists("a"));
  EXPECT_FALSE(CRegistry::DeleteKey("a", nullptr, scratch_));
}

TEST_F(RegistryKeys, HasEntriesCountsSubkeysAndValues) {
  CreateSubkey("empty");
  SetRaw("values", "one", REG_DWORD, "\1\0\0\0", 4);
  SetRaw("values", "two", REG_DWORD, "\2\0\0\0", 4);
  CreateSubkey("keys\\x");
  CreateSubkey("keys\\y");
  CreateSubkey("keys\\y\\z");
  struct Case {
    const char* subkey;
    bool result;
    unsigned long subkeys, values;
  };
  const Case cases[] = {
      {"empty", false, 0, 0}, {"values", true, 0, 2}, {"keys", true, 2, 0}, {"missing", false, 0, 0}};
  CRegistry registry(scratch_);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.subkey);
    unsigned long subkeys = 77, values = 77;
    EXPECT_EQ(registry.HasEntries(c.subkey, &subkeys, &values), c.result);
    EXPECT_EQ(subkeys, c.subkeys);
    EXPECT_EQ(values, c.values);
    EXPECT_EQ(registry.HasEntries(c.subkey, nullptr, nullptr), c.result);
  }
  DWORD subkeys = 77, values = 77;
  EXPECT_TRUE(registry.HasEntries("keys", &subkeys, &values));
  EXPECT_EQ(subkeys, 2u);
}

TEST_F(RegistryKeys, CreateKeyCreatesEveryKeyAlongThePath) {
  CRegistry registry(scratch_);
  EXPECT_TRUE(registry.CreateKey("a\\b\\c"));
  EXPECT_TRUE(KeyExists("a"));
  EXPECT_TRUE(KeyExists("a\\b"));
  EXPECT_TRUE(KeyExists("a\\b\\c"));
  EXPECT_TRUE(registry.CreateKey("single"));
  EXPECT_TRUE(KeyExists("single"));
  EXPECT_FALSE(registry.CreateKey(CString(std::string(300, 'k').c_str()) + "\\below"));
}

TEST(RegistryNames, GetKeysFromStringSplitsAtTheFirstBackslash) {
  struct Case {
    const char* text;
    int found;
    HKEY key;
    const char* subkey;
  };
  HKEY const unchanged = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x1234));
  const Case cases[] = {
      {"HKEY_Local_Machine\\SOFTWARE\\Example", 1, HKEY_LOCAL_MACHINE, "SOFTWARE\\Example"},
      {"HKLM\\SOFTWARE", 0, unchanged, "SOFTWARE"},
      {"HKEY_USERS", 1, HKEY_USERS, "(unchanged)"},
      {"hkey_classes_root\\", 1, HKEY_CLASSES_ROOT, ""},
      {"HKEY_DYN_DATA\\a\\b", 1, HKEY_DYN_DATA, "a\\b"},
      {"HKCU", 0, unchanged, "(unchanged)"},
      {"", 0, unchanged, "(unchanged)"},
      {"\\HKEY_USERS", 0, unchanged, "HKEY_USERS"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    HKEY key = unchanged;
    CString subkey("(unchanged)");
    const int found = CRegistry::GetKeysFromString(c.text, key, subkey);
    EXPECT_EQ(found != 0, c.found != 0);
    EXPECT_EQ(key, c.key);
    EXPECT_STREQ(subkey, c.subkey);
  }
}

TEST(RegistryNames, GetKeysFromStringStepsOverDoubleByteCharacters) {
  // 0x95 0x5C is one character in code page 932: its trail byte is no separator there.
  const int saved = _getmbcp();
  const char* text = "\x95\x5CHKEY_USERS\\sub";
  HKEY key = nullptr;
  CString subkey;
  ASSERT_EQ(_setmbcp(932), 0);
  EXPECT_EQ(CRegistry::GetKeysFromString(text, key, subkey), 0);
  EXPECT_STREQ(subkey, "sub");
  ASSERT_EQ(_setmbcp(_MB_CP_SBCS), 0);
  EXPECT_EQ(CRegistry::GetKeysFromString(text, key, subkey), 0);
  EXPECT_STREQ(subkey, "HKEY_USERS\\sub");
  _setmbcp(saved);
}

TEST(RegistryNames, GetStringFromKeyNamesThePredefinedKeysInLowerCase) {
  const std::pair<HKEY, const char*> cases[] = {
      {HKEY_CLASSES_ROOT, "hkey_classes_root"},         {HKEY_CURRENT_USER, "hkey_current_user"},
      {HKEY_LOCAL_MACHINE, "hkey_local_machine"},       {HKEY_USERS, "hkey_users"},
      {HKEY_PERFORMANCE_DATA, "hkey_performance_data"}, {HKEY_CURRENT_CONFIG, "hkey_current_config"},
      {HKEY_DYN_DATA, "hkey_dyn_data"},
  };
  for (const auto& [key, name] : cases) {
    CString found;
    EXPECT_TRUE(CRegistry::GetStringFromKey(key, found));
    EXPECT_STREQ(found, name);
  }
  CString found;
  EXPECT_FALSE(CRegistry::GetStringFromKey(reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000007)), found));
  EXPECT_FALSE(CRegistry::GetStringFromKey(nullptr, found));
  EXPECT_EQ(CRegistry::mapTopKeys.GetCount(), 7);
}

// Reports the callback data the walk hands over with the start key.
struct DataRecorder : CRegistry {
  explicit DataRecorder(HKEY key) : CRegistry(key) {}
  DataRecorder(const CRegistry& other) : CRegistry(other) {}
  bool OnKeyHit(HKEY, const char*, const char*, unsigned short, void* data) override {
    seen = data;
    return false;
  }
  void* seen = &seen;
};

TEST_F(RegistryKeys, CopiesKeepTheKeyAndOnlyAssignmentKeepsCallbackData) {
  int keyData = 0;
  CRegistry source(HKEY_CURRENT_USER);
  source.SetOnKeyHitData(&keyData);
  DataRecorder copied(source);
  DataRecorder assigned(HKEY_CLASSES_ROOT);
  static_cast<CRegistry&>(assigned) = source;
  EXPECT_EQ(copied.GetKey(), HKEY_CURRENT_USER);
  EXPECT_EQ(assigned.GetKey(), HKEY_CURRENT_USER);
  copied.RegistryTreeWalk(path_.c_str(), false, 0x2);
  assigned.RegistryTreeWalk(path_.c_str(), false, 0x2);
  EXPECT_EQ(copied.seen, nullptr);
  EXPECT_EQ(assigned.seen, &keyData);

  EXPECT_EQ(CRegistry().GetKey(), HKEY_CURRENT_USER);
  CRegistry object(HKEY_USERS);
  EXPECT_EQ(object.SetKey(HKEY_LOCAL_MACHINE), HKEY_USERS);
  EXPECT_EQ(object.GetKey(), HKEY_LOCAL_MACHINE);
}

TEST(RegistryObject, ConnectKeepsThePreviousKeyWhenTheMachineCannotBeReached) {
  CRegistry registry(HKEY_USERS);
  ASSERT_TRUE(registry.Connect(nullptr, HKEY_CURRENT_USER));
  HKEY connected = registry.GetKey();
  EXPECT_EQ(HandleState(connected), ERROR_SUCCESS);
  RegCloseKey(connected);

  if (plinth::test::RunningUnderWine())
    GTEST_SKIP() << "Wine looks a remote machine up over the network, which may take minutes";
  registry.SetKey(HKEY_USERS);
  EXPECT_FALSE(registry.Connect("\\\\plinth-unreachable.invalid", HKEY_LOCAL_MACHINE));
  EXPECT_EQ(registry.GetKey(), HKEY_USERS);
}

}  // namespace
