// CRegistry: values and keys below a parent key, the root-key names, and the default value's
// display name. The tree walk lives in RegistryTreeWalk.cpp.
//
// Which handles an operation closes is part of its contract (see Registry.h); every early
// return below closes exactly what that table says and nothing more.

#include <plinth/Registry.h>
#include <plinth/afx/Module.h>

#include "frame/PlinthApp.h"
#include "frame/Resource.h"

#include <vector>

namespace {

constexpr REGSAM kReadAccess = KEY_READ;
constexpr REGSAM kWriteAccess = KEY_WRITE;
constexpr REGSAM kDeleteAccess = KEY_READ | KEY_WRITE;

// The root keys in the order they are entered into the map.
struct RootKey {
  const char* name;
  HKEY key;
};
const RootKey kRootKeys[] = {
    {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},     {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},   {"HKEY_USERS", HKEY_USERS},
    {"HKEY_PERFORMANCE_DATA", HKEY_PERFORMANCE_DATA}, {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
    {"HKEY_DYN_DATA", HKEY_DYN_DATA},
};

// A null subkey path stands for the parent key itself, as the empty path does; the platform
// calls are not all as lenient about null (RegCreateKeyExA, RegDeleteKeyA).
const char* SubkeyPath(const char* subkey) { return subkey ? subkey : ""; }

// The name the platform call gets: null, which is the unnamed default value, for the display
// name of the default value and for a null name; the name unchanged otherwise.
const char* PlatformValueName(const char* name) {
  if (!name) return nullptr;
  if (CRegistry::m_strDefaultKey.CompareNoCase(name) == 0) return nullptr;
  return name;
}

void LoadDefaultValueName() {
  if (!CRegistry::m_strDefaultKey.IsEmpty()) return;
  // The string is the library's own, whichever module the caller made current.
  AFX_MANAGE_STATE(&PlinthModule());
  CRegistry::m_strDefaultKey.LoadString(IDS_DEFAULT_VALUE_NAME);
}

}  // namespace

CRegistry::CRegistry(HKEY key) : m_hKey(key), m_pOnKeyHitData(nullptr), m_pOnValueHitData(nullptr) {
  LoadDefaultValueName();
}

// Callback data belongs to the object that was handed it, so a copy starts without any.
CRegistry::CRegistry(const CRegistry& source)
    : m_hKey(source.m_hKey), m_pOnKeyHitData(nullptr), m_pOnValueHitData(nullptr) {
  LoadDefaultValueName();
}

CRegistry& CRegistry::operator=(const CRegistry& source) {
  m_hKey = source.m_hKey;
  m_pOnKeyHitData = source.m_pOnKeyHitData;
  m_pOnValueHitData = source.m_pOnValueHitData;
  return *this;
}

CRegistry::~CRegistry() = default;

HKEY CRegistry::SetKey(HKEY key) {
  HKEY previous = m_hKey;
  m_hKey = key;
  return previous;
}

HKEY CRegistry::GetKey() const { return m_hKey; }

bool CRegistry::Connect(const char* machine, HKEY key) {
  HKEY previous = m_hKey;
  // Some systems write the result even when the connection fails, hence the putting back.
  if (RegConnectRegistryA(machine, key, &m_hKey) == ERROR_SUCCESS) return true;
  m_hKey = previous;
  return false;
}

bool CRegistry::LoadKey(const char* subkey, const char* name, CRegVal& value, HKEY key,
                        bool closeKey) {
  const char* valueName = PlatformValueName(name);
  HKEY opened = nullptr;
  if (RegOpenKeyExA(key, SubkeyPath(subkey), 0, kReadAccess, &opened) != ERROR_SUCCESS)
    return false;
  DWORD type = REG_NONE;
  DWORD size = 0;
  if (RegQueryValueExA(opened, valueName, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
    RegCloseKey(opened);
    return false;
  }
  unsigned char* buffer = value.AllocateDataBuffer(size);
  DWORD read = size;
  if (RegQueryValueExA(opened, valueName, nullptr, &type, buffer, &read) != ERROR_SUCCESS) {
    RegCloseKey(opened);
    RegCloseKey(key);
    value.FreeDataBuffer();
    return false;
  }
  // The size stays that of the buffer: a value stored with no bytes reads as one zero byte.
  value.SetType(type);
  RegCloseKey(opened);
  if (closeKey) RegCloseKey(key);
  return true;
}

bool CRegistry::SaveKey(const char* subkey, const char* name, const CRegVal& value, HKEY key) {
  HKEY created = nullptr;
  if (RegCreateKeyExA(key, SubkeyPath(subkey), 0, nullptr, REG_OPTION_NON_VOLATILE, kWriteAccess,
                      nullptr, &created, nullptr) != ERROR_SUCCESS)
    return false;
  const LONG written = RegSetValueExA(created, PlatformValueName(name), 0, value.m_dwType,
                                      value.m_pData, value.m_dwSize);
  RegCloseKey(created);
  RegCloseKey(key);
  return written == ERROR_SUCCESS;
}

bool CRegistry::DeleteKey(const char* subkey, const char* name, HKEY key) {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(key, SubkeyPath(subkey), 0, kDeleteAccess, &opened) != ERROR_SUCCESS)
    return false;
  if (name) {
    const LONG deleted = RegDeleteValueA(opened, name);
    RegCloseKey(opened);
    RegCloseKey(key);
    return deleted == ERROR_SUCCESS;
  }
  // A key with subkeys cannot be deleted, so empty it first, always taking the first subkey:
  // deleting one renumbers the rest.
  std::vector<char> child;
  for (;;) {
    DWORD subkeys = 0;
    DWORD longestName = 0;
    if (RegQueryInfoKeyA(opened, nullptr, nullptr, nullptr, &subkeys, &longestName, nullptr,
                         nullptr, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      RegCloseKey(opened);
      return false;
    }
    if (subkeys == 0) break;
    child.assign(static_cast<size_t>(longestName) + 1, '\0');
    if (RegEnumKeyA(opened, 0, child.data(), static_cast<DWORD>(child.size())) != ERROR_SUCCESS ||
        !DeleteKey(child.data(), nullptr, opened)) {
      RegCloseKey(opened);
      return false;
    }
  }
  RegCloseKey(opened);
  return RegDeleteKeyA(key, SubkeyPath(subkey)) == ERROR_SUCCESS;
}

bool CRegistry::HasEntries(const char* subkey, unsigned long* subkeys, unsigned long* values,
                           HKEY key) {
  if (subkeys) *subkeys = 0;
  if (values) *values = 0;
  HKEY opened = nullptr;
  if (RegOpenKeyExA(key, SubkeyPath(subkey), 0, kReadAccess, &opened) != ERROR_SUCCESS)
    return false;
  DWORD subkeyCount = 0;
  DWORD valueCount = 0;
  const LONG queried = RegQueryInfoKeyA(opened, nullptr, nullptr, nullptr, &subkeyCount, nullptr,
                                        nullptr, &valueCount, nullptr, nullptr, nullptr, nullptr);
  RegCloseKey(opened);
  if (queried != ERROR_SUCCESS) return false;
  if (subkeys) *subkeys = subkeyCount;
  if (values) *values = valueCount;
  return subkeyCount != 0 || valueCount != 0;
}

bool CRegistry::LoadKey(const char* subkey, const char* name, CRegVal& value,
                        bool closeKey) const {
  return CRegistry::LoadKey(subkey, name, value, m_hKey, closeKey);
}

bool CRegistry::LoadKey(const char* subkey, const char* name, unsigned long& number,
                        bool closeKey) const {
  CRegVal value;
  return CRegistry::LoadKey(subkey, name, value, m_hKey, closeKey) && value.GetValue(number);
}

bool CRegistry::LoadKey(const char* subkey, const char* name, unsigned char* bytes,
                        unsigned long count, bool closeKey) const {
  CRegVal value;
  return CRegistry::LoadKey(subkey, name, value, m_hKey, closeKey) && value.GetValue(bytes, count);
}

bool CRegistry::LoadKey(const char* subkey, const char* name, CString& text,
                        bool closeKey) const {
  CRegVal value;
  return CRegistry::LoadKey(subkey, name, value, m_hKey, closeKey) && value.GetValue(text);
}

bool CRegistry::LoadKey(const char* subkey, const char* name, CStringArray& strings,
                        bool closeKey) const {
  CRegVal value;
  return CRegistry::LoadKey(subkey, name, value, m_hKey, closeKey) && value.GetValue(strings);
}

bool CRegistry::SaveKey(const char* subkey, const char* name, const CRegVal& value) const {
  return CRegistry::SaveKey(subkey, name, value, m_hKey);
}

bool CRegistry::SaveKey(const char* subkey, const char* name, unsigned char* const bytes,
                        unsigned long count) const {
  CRegVal value(bytes, count);
  return CRegistry::SaveKey(subkey, name, value, m_hKey);
}

bool CRegistry::SaveKey(const char* subkey, const char* name, const unsigned long& number) const {
  CRegVal value(number);
  return CRegistry::SaveKey(subkey, name, value, m_hKey);
}

bool CRegistry::SaveKey(const char* subkey, const char* name, const char* text) const {
  CRegVal value;
  value.SetValue(text, false);
  return CRegistry::SaveKey(subkey, name, value, m_hKey);
}

bool CRegistry::SaveKey(const char* subkey, const char* name, const CStringArray& strings) const {
  CRegVal value(strings);
  return CRegistry::SaveKey(subkey, name, value, m_hKey);
}

bool CRegistry::DeleteKey(const char* subkey, const char* name) const {
  return CRegistry::DeleteKey(subkey, name, m_hKey);
}

bool CRegistry::HasEntries(const char* subkey, unsigned long* subkeys,
                           unsigned long* values) const {
  return CRegistry::HasEntries(subkey, subkeys, values, m_hKey);
}

bool CRegistry::CreateKey(const CString& path) {
  auto create = [this](const CString& part) {
    HKEY created = nullptr;
    if (RegCreateKeyExA(m_hKey, part, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_CREATE_SUB_KEY,
                        nullptr, &created, nullptr) != ERROR_SUCCESS)
      return false;
    RegCloseKey(created);
    return true;
  };
  // Find steps over double-byte characters, so a trail byte 0x5C splits nothing.
  for (int separator = path.Find('\\'); separator >= 0;
       separator = path.Find('\\', separator + 1)) {
    if (!create(path.Left(separator))) return false;
  }
  return create(path);
}

void CRegistry::InitKeyMap() {
  if (!mapTopKeys.IsEmpty()) return;
  for (const RootKey& root : kRootKeys) {
    CString name(root.name);
    name.MakeLower();
    mapTopKeys.SetAt(name, root.key);
  }
}

int CRegistry::GetKeysFromString(const CString& text, HKEY& key, CString& subkey) {
  InitKeyMap();
  CString root = text;
  const int separator = text.Find('\\');
  if (separator >= 0) {
    root = text.Left(separator);
    subkey = text.Mid(separator + 1);
  }
  root.MakeLower();
  void* handle = nullptr;
  if (!mapTopKeys.Lookup(root, handle)) return 0;
  key = static_cast<HKEY>(handle);
  return 1;
}

bool CRegistry::GetStringFromKey(HKEY key, CString& name) {
  InitKeyMap();
  POSITION position = mapTopKeys.GetStartPosition();
  while (position) {
    void* handle = nullptr;
    mapTopKeys.GetNextAssoc(position, name, handle);
    if (static_cast<HKEY>(handle) == key) return true;
  }
  return false;
}
