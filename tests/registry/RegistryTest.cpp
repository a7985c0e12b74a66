// CRegistry's key and value access against the platform's registry (the POSIX store, or
// Windows and Wine in the Windows build).
#include <gtest/gtest.h>

#include <plinth/Registry.h>
#include <plinth/win32.h>

#include <functional>
#include <string>
#include <vector>

#include "registry/RegistryScratch.h"
#include "support/Wine.h"

namespace {

using plinth::test::HandleState;
using Bytes = std::vector<unsigned char>;
using RegistryKeys = plinth::test::RegistryScratch;

Bytes ValueBytes(const CRegVal& value) {
  const unsigned char* data = value.GetRawData();
  return data ? Bytes(data, data + value.GetSize()) : Bytes();
}

// The type and bytes the platform holds, read around the class under test.
std::pair<DWORD, Bytes> ReadRaw(HKEY key, const char* name) {
  unsigned char buffer[64];
  DWORD type = 0xDEAD, size = sizeof buffer;
  if (RegQueryValueExA(key, name, nullptr, &type, buffer, &size) != ERROR_SUCCESS) return {};
  return {type, Bytes(buffer, buffer + size)};
}

TEST_F(RegistryKeys, EveryValueTypeRoundTrips) {
  for (DWORD type = REG_NONE; type <= REG_QWORD; ++type) {
    SCOPED_TRACE(type);
    Bytes data = {'t', 0, 0xFF, static_cast<unsigned char>(type), 0, 0, 0, 0};
    CRegVal saved(data.data(), static_cast<unsigned long>(data.size()));
    saved.SetType(type);
    const std::string name = "v" + std::to_string(type);
    ASSERT_TRUE(CRegistry::SaveKey("", name.c_str(), saved, Open()));
    CRegVal loaded;
    ASSERT_TRUE(CRegistry::LoadKey("", name.c_str(), loaded, scratch_, false));
    EXPECT_EQ(loaded.GetType(), type);
    EXPECT_EQ(ValueBytes(loaded), data);
  }
  // A value stored with no bytes reads as one zero byte; a missing one leaves the value alone.
  SetRaw("", "empty", REG_BINARY, nullptr, 0);
  CRegVal value(7ul);
  EXPECT_FALSE(CRegistry::LoadKey("", "missing", value, scratch_, false));
  EXPECT_FALSE(CRegistry::LoadKey("missing", "empty", value, scratch_, false));
  EXPECT_EQ(ValueBytes(value), (Bytes{7, 0, 0, 0}));
  ASSERT_TRUE(CRegistry::LoadKey("", "empty", value, scratch_, false));
  EXPECT_EQ(value.GetType(), REG_BINARY + 0ul);
  EXPECT_EQ(ValueBytes(value), Bytes{0});
}

TEST_F(RegistryKeys, DefaultValueNamesAddressTheUnnamedValue) {
  EXPECT_STREQ(CRegistry::m_strDefaultKey, "(Default)");  // loaded with the library
  const std::pair<const char*, bool> cases[] = {{"(Default)", true}, {"(dEFAULT)", true},
                                                {"", true},          {nullptr, true},
                                                {"Default", false},  {"(Default) ", false}};
  for (const auto& [name, isDefault] : cases) {
    SCOPED_TRACE(name ? name : "null");
    RegDeleteValueA(scratch_, "");
    ASSERT_TRUE(CRegistry(Open()).SaveKey("", name, "written"));
    EXPECT_EQ(ReadRaw(scratch_, "").first == REG_SZ, isDefault);
    CString text;
    EXPECT_TRUE(CRegistry(scratch_).LoadKey("", name, text, false));
    EXPECT_STREQ(text, "written");
  }
}

TEST_F(RegistryKeys, TypedFormsAcceptOnlyTheirTypes) {
  SetRaw("", "dword", REG_DWORD, "\4\3\2\1", 4);
  SetRaw("", "big", REG_DWORD_BIG_ENDIAN, "\0\0\0\1", 4);  // read as is, never swapped
  SetRaw("", "sz", REG_SZ, "abc", 4);
  SetRaw("", "expand", REG_EXPAND_SZ, "%x%", 4);
  SetRaw("", "binary", REG_BINARY, "\1\2\3", 3);
  SetRaw("", "multi", REG_MULTI_SZ, "a\0b\0", 5);
  const CRegistry registry(scratch_);
  struct Case {
    const char* name;
    unsigned long number;  // 99: refused
    const char* text;      // null: refused
    int list;              // -1: refused, else the count
    bool threeBytes;
  };
  const Case cases[] = {
      {"dword", 0x01020304, nullptr, -1, false},
      {"big", 0x01000000, nullptr, -1, false},
      {"sz", 99, "abc", -1, false},
      {"expand", 99, "%x%", -1, false},
      {"binary", 99, nullptr, -1, true},
      {"multi", 99, nullptr, 2, false},
      {"missing", 99, nullptr, -1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DWORD number = 99;
    EXPECT_EQ(registry.LoadKey("", c.name, number, false), c.number != 99);
    EXPECT_EQ(number, c.number);
    CString text("untouched");
    EXPECT_EQ(registry.LoadKey("", c.name, text, false), c.text != nullptr);
    EXPECT_STREQ(text, c.text ? c.text : "untouched");
    CStringArray list;
    EXPECT_EQ(registry.LoadKey("", c.name, list, false), c.list >= 0);
    EXPECT_EQ(c.list >= 0 ? list.GetSize() : -1, c.list);
    unsigned char bytes[4] = {9, 9, 9, 9};
    EXPECT_FALSE(registry.LoadKey("", c.name, bytes, 2, false) ||
                 registry.LoadKey("", c.name, bytes, 4, false));
    EXPECT_EQ(registry.LoadKey("", c.name, bytes, 3, false), c.threeBytes);
    EXPECT_EQ(Bytes(bytes, bytes + 4), c.threeBytes ? (Bytes{1, 2, 3, 9}) : (Bytes{9, 9, 9, 9}));
  }

  CStringArray none;
  unsigned char bytes[] = {5, 6};
  const std::pair<std::function<bool(const CRegistry&)>, std::pair<DWORD, Bytes>> saves[] = {
      {[](auto& r) { return r.SaveKey("", "v", "ab"); }, {REG_SZ, {'a', 'b', 0}}},
      {[](auto& r) { return r.SaveKey("", "v", static_cast<const char*>(nullptr)); },
       {REG_SZ, {0}}},
      {[&](auto& r) { return r.SaveKey("", "v", none); }, {REG_MULTI_SZ, {0, 0}}},
      {[](auto& r) { return r.SaveKey("", "v", 0x0A0B0C0Dul); }, {REG_DWORD, {13, 12, 11, 10}}},
      {[&](auto& r) { return r.SaveKey("", "v", bytes, 2); }, {REG_BINARY, {5, 6}}},
      {[&](auto& r) { return r.SaveKey("", "v", bytes, 0); }, {REG_BINARY, {0}}},
  };
  for (const auto& [save, expected] : saves) {
    ASSERT_TRUE(save(CRegistry(Open())));
    EXPECT_EQ(ReadRaw(scratch_, "v"), expected);
  }
}

TEST_F(RegistryKeys, OperationsCloseTheParentKeyAsDocumented) {
  SetRaw("sub", "value", REG_SZ, "x", 2);
  const std::string tooLong(300, 'k');
  // Operations: L LoadKey, l LoadKey(CString&) through an object, S SaveKey, D DeleteKey,
  // H HasEntries, C CreateKey.
  const std::tuple<char, const char*, const char*, bool, bool, bool> cases[] = {
      // operation, subkey, value name, close flag, result, parent closed
      {'L', "sub", "value", false, true, false},    {'L', "sub", "value", true, true, true},
      {'L', "no", "value", true, false, false},     {'L', "sub", "no", true, false, false},
      {'l', "sub", "value", true, true, true},      {'S', "new\\deeper", "v", 0, true, true},
      {'S', tooLong.c_str(), "v", 0, false, false}, {'D', "new\\deeper", "v", 0, true, true},
      {'D', "sub", "no", 0, false, true},           {'D', "no", "value", 0, false, false},
      {'D', "new", nullptr, 0, true, false},        {'D', "new", nullptr, 0, false, false},
      {'H', "sub", nullptr, 0, true, false},        {'C', "made\\here", nullptr, 0, true, false},
  };
  for (const auto& [operation, subkey, name, closeKey, result, closed] : cases) {
    SCOPED_TRACE(testing::Message() << operation << " " << subkey << " " << (name ? name : "-"));
    HKEY parent = Open();
    CRegVal value("new");
    CString text;
    switch (operation) {
      case 'L': EXPECT_EQ(CRegistry::LoadKey(subkey, name, value, parent, closeKey), result); break;
      case 'l': EXPECT_EQ(CRegistry(parent).LoadKey(subkey, name, text, closeKey), result); break;
      case 'S': EXPECT_EQ(CRegistry::SaveKey(subkey, name, value, parent), result); break;
      case 'D': EXPECT_EQ(CRegistry::DeleteKey(subkey, name, parent), result); break;
      case 'H': EXPECT_EQ(CRegistry::HasEntries(subkey, nullptr, nullptr, parent), result); break;
      default: EXPECT_EQ(CRegistry(parent).CreateKey(subkey), result); break;
    }
    EXPECT_EQ(HandleState(parent), closed ? ERROR_INVALID_HANDLE : ERROR_SUCCESS);
    if (!closed) RegCloseKey(parent);
  }
}

TEST_F(RegistryKeys, KeysAreCreatedCountedAndDeleted) {
  CRegistry registry(scratch_);
  auto exists = [&](const char* subkey) {
    HKEY key = nullptr;
    return RegOpenKeyExA(scratch_, subkey, 0, KEY_READ, &key) == 0 && RegCloseKey(key) == 0;
  };
  EXPECT_TRUE(registry.CreateKey("a\\b\\c"));
  EXPECT_TRUE(exists("a") && exists("a\\b") && exists("a\\b\\c"));
  EXPECT_FALSE(registry.CreateKey(CString(std::string(300, 'k').c_str()) + "\\below"));
  SetRaw("a\\b", "one", REG_SZ, "1", 2);
  SetRaw("a\\b", "two", REG_SZ, "2", 2);
  RegCloseKey(Open("a\\b2"));
  const std::tuple<const char*, bool, unsigned long, unsigned long> counts[] = {
      {"a", true, 2, 0}, {"a\\b", true, 1, 2}, {"a\\b\\c", false, 0, 0}, {"no", false, 0, 0}};
  for (const auto& [subkey, any, subkeys, values] : counts) {
    unsigned long foundSubkeys = 77, foundValues = 77;
    EXPECT_EQ(registry.HasEntries(subkey, &foundSubkeys, &foundValues), any) << subkey;
    EXPECT_EQ(std::pair(foundSubkeys, foundValues), std::pair(subkeys, values)) << subkey;
  }
  EXPECT_TRUE(CRegistry::DeleteKey("a\\b", "one", Open()));
  EXPECT_TRUE(exists("a\\b"));
  EXPECT_EQ(ReadRaw(scratch_, "one").first, 0u);
  EXPECT_TRUE(registry.DeleteKey("a", nullptr));
  EXPECT_FALSE(exists("a"));
}

TEST(RegistryNames, RootNamesAndHandles) {
  const int savedPage = _getmbcp();
  ASSERT_EQ(_setmbcp(_MB_CP_SBCS), 0);
  HKEY const unchanged = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x1234));
  const std::tuple<int, const char*, HKEY, const char*> cases[] = {
      {_MB_CP_SBCS, "HKEY_Local_Machine\\SOFTWARE\\Example", HKEY_LOCAL_MACHINE,
       "SOFTWARE\\Example"},
      {_MB_CP_SBCS, "HKLM\\SOFTWARE", unchanged, "SOFTWARE"},  // set before the lookup fails
      {_MB_CP_SBCS, "HKEY_USERS", HKEY_USERS, "(unchanged)"},
      {_MB_CP_SBCS, "hkey_classes_root\\", HKEY_CLASSES_ROOT, ""},
      {_MB_CP_SBCS, "", unchanged, "(unchanged)"},
      {_MB_CP_SBCS, "\x95\x5CHKEY_USERS\\sub", unchanged, "HKEY_USERS\\sub"},
      // In code page 932, 0x95 0x5C is one character: its trail byte separates nothing.
      {932, "\x95\x5CHKEY_USERS\\sub", unchanged, "sub"},
  };
  for (const auto& [page, text, expectedKey, expectedSubkey] : cases) {
    ASSERT_EQ(_setmbcp(page), 0);
    HKEY key = unchanged;
    CString subkey("(unchanged)");
    EXPECT_EQ(CRegistry::GetKeysFromString(text, key, subkey) != 0, expectedKey != unchanged);
    EXPECT_EQ(key, expectedKey) << text;
    EXPECT_STREQ(subkey, expectedSubkey);
  }
  _setmbcp(savedPage);

  // Every root name, spelled out, back and forth.
  EXPECT_EQ(CRegistry::mapTopKeys.GetCount(), 7);
  const std::pair<HKEY, CString> roots[] = {{HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT"},
                                            {HKEY_CURRENT_USER, "HKEY_CURRENT_USER"},
                                            {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE"},
                                            {HKEY_USERS, "HKEY_USERS"},
                                            {HKEY_PERFORMANCE_DATA, "HKEY_PERFORMANCE_DATA"},
                                            {HKEY_CURRENT_CONFIG, "HKEY_CURRENT_CONFIG"},
                                            {HKEY_DYN_DATA, "HKEY_DYN_DATA"}};
  for (auto [root, text] : roots) {
    HKEY key = nullptr;
    CString subkey, name;
    EXPECT_NE(CRegistry::GetKeysFromString(text, key, subkey), 0);
    EXPECT_EQ(key, root) << text;
    EXPECT_TRUE(CRegistry::GetStringFromKey(root, name));
    EXPECT_STREQ(name, text.MakeLower());
  }
  CString name;
  EXPECT_FALSE(CRegistry::GetStringFromKey(HKEY(uintptr_t(HKEY_DYN_DATA) + 1), name));
}

// Shows the callback data the walk hands over with its start key.
struct DataRecorder : CRegistry {
  using CRegistry::CRegistry;
  bool OnKeyHit(HKEY, const char*, const char*, unsigned short, void* data) override {
    seen = data;
    return false;
  }
  void* seen = &seen;
};

TEST_F(RegistryKeys, CopiesKeepTheKeyAndOnlyAssignmentKeepsCallbackData) {
  int keyData = 0;
  DataRecorder source(HKEY_CURRENT_USER);
  source.SetOnKeyHitData(&keyData);
  DataRecorder copied(source), assigned(HKEY_USERS);
  assigned = source;
  copied.RegistryTreeWalk(path_.c_str(), false, 0x2);
  assigned.RegistryTreeWalk(path_.c_str(), false, 0x2);
  EXPECT_EQ(copied.seen, nullptr);
  EXPECT_EQ(assigned.seen, &keyData);
  EXPECT_EQ(CRegistry().GetKey(), HKEY_CURRENT_USER);
  EXPECT_EQ(copied.SetKey(HKEY_USERS), HKEY_CURRENT_USER);
  EXPECT_EQ(copied.GetKey(), HKEY_USERS);
}

TEST(RegistryObject, ConnectKeepsThePreviousKeyWhenTheMachineCannotBeReached) {
  CRegistry registry(HKEY_USERS);
  ASSERT_TRUE(registry.Connect(nullptr, HKEY_CURRENT_USER));
  EXPECT_EQ(HandleState(registry.GetKey()), ERROR_SUCCESS);
  RegCloseKey(registry.GetKey());
  if (plinth::test::RunningUnderWine())
    GTEST_SKIP() << "Wine looks a remote machine up on the network, which may take minutes";
  registry.SetKey(HKEY_USERS);
  EXPECT_FALSE(registry.Connect("\\\\plinth-unreachable.invalid", HKEY_LOCAL_MACHINE));
  EXPECT_EQ(registry.GetKey(), HKEY_USERS);
}

}  // namespace
