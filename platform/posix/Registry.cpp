// The Win32 registry calls on POSIX: handles, access rights, predefined keys and their views,
// and the size protocols of the ANSI calls, over the store of RegistryStore.cpp.
#include <plinth/win32.h>

#include "platform/posix/RegistryStore.h"
#include "platform/posix/ThisMachine.h"

#include <unistd.h>

#include <cstring>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

using plinth::posix::registry::KeyId;
using plinth::posix::registry::KeyInfo;
using plinth::posix::registry::Store;
using plinth::posix::registry::SubkeyEntry;
using plinth::posix::registry::Tree;
namespace reg = plinth::posix::registry;

namespace {

// HKEY_CLASSES_ROOT as a number: 0x80000000 sign-extended.
constexpr std::uintptr_t kPredefinedBase = static_cast<std::uintptr_t>(std::intptr_t{INT32_MIN});
constexpr int kPredefinedCount = 7;
// Handle values start here and step by 4, as Windows handles do; none is ever 0.
constexpr std::uintptr_t kFirstHandle = 0x1000;

struct ValueCache {
  KeyId key = 0;
  std::uint64_t version = ~std::uint64_t{0};
  std::vector<reg::ValueRow> rows;
};
struct SubkeyCache {
  KeyId key = 0;
  std::uint64_t version = ~std::uint64_t{0};
  std::vector<SubkeyEntry> entries;
};

// An open key: a row of the store, the rights the opener asked for, and its path from the root
// of its tree (for the 32-bit view, which depends on the whole path).
struct OpenKey {
  bool inUse = false;
  std::uint64_t generation = 0;  // predefined keys: the store their id belongs to
  KeyId id = 0;
  DWORD access = 0;
  Tree tree = Tree::kLocalMachine;
  std::vector<std::string> path;
  // Enumeration by index re-reads nothing while the store is unchanged, so enumerating n
  // entries costs n lookups, not n scans.
  ValueCache values;
  SubkeyCache subkeys;
};

class HandleTable {
 public:
  OpenKey* Find(HKEY handle) {
    const std::uintptr_t value = reinterpret_cast<std::uintptr_t>(handle);
    if (value < kFirstHandle || (value - kFirstHandle) % 4 != 0) return nullptr;
    const std::size_t index = (value - kFirstHandle) / 4;
    if (index >= keys_.size() || !keys_[index].inUse) return nullptr;
    return &keys_[index];
  }
  HKEY Add(OpenKey key) {
    std::size_t index;
    if (!free_.empty()) {
      // Oldest freed first, so that a stale handle is not at once a valid one again.
      index = free_.front();
      free_.pop_front();
    } else {
      index = keys_.size();
      keys_.emplace_back();
    }
    key.inUse = true;
    keys_[index] = std::move(key);
    return reinterpret_cast<HKEY>(kFirstHandle + 4 * index);
  }
  void Remove(OpenKey* key) {
    const std::size_t index = static_cast<std::size_t>(key - keys_.data());
    keys_[index] = OpenKey();
    free_.push_back(index);
  }
  OpenKey& PredefinedState(int index) { return predefined_[index]; }

 private:
  std::vector<OpenKey> keys_;
  std::deque<std::size_t> free_;
  OpenKey predefined_[kPredefinedCount];
};

HandleTable& Handles() {
  static HandleTable* table = new HandleTable;
  return *table;
}

int PredefinedIndex(HKEY key) {
  const std::uintptr_t value = reinterpret_cast<std::uintptr_t>(key);
  if (value < kPredefinedBase || value >= kPredefinedBase + kPredefinedCount) return -1;
  return static_cast<int>(value - kPredefinedBase);
}

bool SameNameNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && reg::FoldName(a) == reg::FoldName(b);
}

std::string UserSid() { return "S-1-22-1-" + std::to_string(getuid()); }

// Resolves a handle to the key it stands for. Predefined keys are opened with every right;
// their views are made to exist on first use.
LONG Resolve(Store& store, HKEY handle, OpenKey** key) {
  if (OpenKey* open = Handles().Find(handle)) {
    if (LONG error = store.Ready(); error != ERROR_SUCCESS) return error;
    *key = open;
    return ERROR_SUCCESS;
  }
  const int index = PredefinedIndex(handle);
  if (index < 0) return ERROR_INVALID_HANDLE;
  if (handle == HKEY_PERFORMANCE_DATA || handle == HKEY_DYN_DATA) return ERROR_CALL_NOT_IMPLEMENTED;
  if (LONG error = store.Ready(); error != ERROR_SUCCESS) return error;
  OpenKey& state = Handles().PredefinedState(index);
  if (!state.inUse || state.generation != store.Generation()) {
    Tree tree = Tree::kLocalMachine;
    std::vector<std::string> path;
    if (handle == HKEY_CLASSES_ROOT) {
      path = {"Software", "Classes"};
    } else if (handle == HKEY_CURRENT_CONFIG) {
      path = {"System", "CurrentControlSet", "Hardware Profiles", "Current"};
    } else if (handle == HKEY_CURRENT_USER) {
      tree = Tree::kUsers;
      path = {UserSid()};
    } else if (handle == HKEY_USERS) {
      tree = Tree::kUsers;
    }
    KeyId id = 0;
    LONG error = path.empty() ? store.TreeRoot(tree, &id) : store.ProtectedKey(tree, path, &id);
    if (error != ERROR_SUCCESS) return error;
    state.id = id;
    state.tree = tree;
    state.path = std::move(path);
    state.access = KEY_ALL_ACCESS;
    state.generation = store.Generation();
    state.inUse = true;
  }
  *key = &state;
  return ERROR_SUCCESS;
}

// Splits a subkey path at its backslashes. A leading backslash is refused as Windows refuses
// it; a trailing one and doubled ones are ignored.
LONG SplitPath(const char* text, std::vector<std::string_view>* parts) {
  parts->clear();
  if (!text) return ERROR_SUCCESS;
  if (text[0] == '\\') return ERROR_BAD_PATHNAME;
  std::string_view rest(text);
  while (!rest.empty()) {
    const std::size_t slash = rest.find('\\');
    const std::string_view part = rest.substr(0, slash);
    if (part.size() > reg::kMaxKeyNameLength) return ERROR_INVALID_PARAMETER;
    if (!part.empty()) parts->push_back(part);
    if (slash == std::string_view::npos) break;
    rest.remove_prefix(slash + 1);
  }
  return ERROR_SUCCESS;
}

DWORD GrantedAccess(REGSAM desired) {
  DWORD access = desired & ~static_cast<DWORD>(KEY_WOW64_RES);
  if (access & GENERIC_READ) access |= KEY_READ;
  if (access & GENERIC_WRITE) access |= KEY_WRITE;
  if (access & GENERIC_EXECUTE) access |= KEY_EXECUTE;
  if (access & (GENERIC_ALL | MAXIMUM_ALLOWED)) access |= KEY_ALL_ACCESS;
  return access & ~static_cast<DWORD>(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL |
                                      MAXIMUM_ALLOWED);
}

// Where a path below `base` leads: the key to start from and the names to follow. In the
// 32-bit view a path under HKEY_LOCAL_MACHINE\Software goes through Wow6432Node, so it is
// then followed from the root of the tree.
struct Route {
  KeyId from;
  std::vector<std::string_view> names;
  std::vector<std::string> fullPath;
};

LONG Plan(Store& store, const OpenKey& base, const std::vector<std::string_view>& names, REGSAM sam,
          Route* route) {
  route->fullPath = base.path;
  for (std::string_view name : names) route->fullPath.emplace_back(name);
  const bool wow32 = (sam & KEY_WOW64_32KEY) && !(sam & KEY_WOW64_64KEY);
  std::vector<std::string>& full = route->fullPath;
  if (wow32 && base.tree == Tree::kLocalMachine && full.size() >= 2 &&
      SameNameNoCase(full[0], "Software") && !SameNameNoCase(full[1], "Wow6432Node") &&
      !SameNameNoCase(full[1], "Classes")) {
    full.insert(full.begin() + 1, "Wow6432Node");
    if (LONG error = store.TreeRoot(Tree::kLocalMachine, &route->from); error != ERROR_SUCCESS)
      return error;
    route->names.assign(full.begin(), full.end());
    return ERROR_SUCCESS;
  }
  route->from = base.id;
  route->names = names;
  return ERROR_SUCCESS;
}

LONG OpenOrCreate(HKEY hKey, LPCSTR lpSubKey, REGSAM samDesired, bool create, PHKEY phkResult,
                  LPDWORD lpdwDisposition) {
  Store& store = Store::Instance();
  auto lock = store.Lock();
  OpenKey* base = nullptr;
  if (LONG error = Resolve(store, hKey, &base); error != ERROR_SUCCESS) return error;
  std::vector<std::string_view> names;
  if (LONG error = SplitPath(lpSubKey, &names); error != ERROR_SUCCESS) return error;
  Route route;
  if (LONG error = Plan(store, *base, names, samDesired, &route); error != ERROR_SUCCESS)
    return error;
  KeyId id = 0;
  bool created = false;
  if (create) {
    LONG error = store.Find(route.from, route.names, &id);
    if (error == ERROR_FILE_NOT_FOUND) {
      if (!(base->access & KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
      error = store.Create(route.from, route.names, &id, &created);
    }
    if (error != ERROR_SUCCESS) return error;
  } else {
    if (LONG error = store.Find(route.from, route.names, &id); error != ERROR_SUCCESS) return error;
  }
  OpenKey key;
  key.id = id;
  key.access = GrantedAccess(samDesired);
  key.tree = base->tree;
  key.path = std::move(route.fullPath);
  *phkResult = Handles().Add(std::move(key));
  if (lpdwDisposition) *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  return ERROR_SUCCESS;
}

// Resolves the handle and checks that it was opened with `needed`.
LONG Access(Store& store, HKEY hKey, DWORD needed, OpenKey** key) {
  if (LONG error = Resolve(store, hKey, key); error != ERROR_SUCCESS) return error;
  return ((*key)->access & needed) == needed ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

// Copies a name and its NUL into a buffer of `capacity` characters, as the enumerations do.
bool CopyName(const std::string& name, LPSTR buffer, DWORD capacity) {
  if (name.size() >= capacity) return false;
  std::memcpy(buffer, name.data(), name.size());
  buffer[name.size()] = '\0';
  return true;
}

void SplitFileTime(std::int64_t ticks, PFILETIME time) {
  time->dwLowDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(ticks));
  time->dwHighDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(ticks) >> 32);
}

LONG CurrentSubkeys(Store& store, OpenKey& key) {
  std::uint64_t version = 0;
  if (LONG error = store.Version(&version); error != ERROR_SUCCESS) return error;
  if (key.subkeys.key == key.id && key.subkeys.version == version) return ERROR_SUCCESS;
  key.subkeys.version = ~std::uint64_t{0};
  if (LONG error = store.Subkeys(key.id, &key.subkeys.entries); error != ERROR_SUCCESS)
    return error;
  key.subkeys.key = key.id;
  key.subkeys.version = version;
  return ERROR_SUCCESS;
}

LONG EnumKey(HKEY hKey, DWORD dwIndex, LPSTR lpName, DWORD capacity, LPDWORD lpcchName,
             PFILETIME lpftLastWriteTime) {
  Store& store = Store::Instance();
  auto lock = store.Lock();
  OpenKey* key = nullptr;
  if (LONG error = Access(store, hKey, KEY_ENUMERATE_SUB_KEYS, &key); error != ERROR_SUCCESS)
    return error;
  if (LONG error = CurrentSubkeys(store, *key); error != ERROR_SUCCESS) return error;
  const std::vector<SubkeyEntry>& entries = key->subkeys.entries;
  if (dwIndex >= entries.size()) return ERROR_NO_MORE_ITEMS;
  const SubkeyEntry& entry = entries[dwIndex];
  if (!CopyName(entry.name, lpName, capacity)) return ERROR_MORE_DATA;
  if (lpcchName) *lpcchName = static_cast<DWORD>(entry.name.size());
  if (lpftLastWriteTime) SplitFileTime(entry.written, lpftLastWriteTime);
  return ERROR_SUCCESS;
}

}  // namespace

// Opens an existing key below hKey. A null or empty lpSubKey opens a new handle to hKey itself.
// *phkResult is null after a failure.
extern "C" LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                              PHKEY phkResult) {
  (void)ulOptions;
  if (!phkResult) return ERROR_INVALID_PARAMETER;
  *phkResult = nullptr;
  return OpenOrCreate(hKey, lpSubKey, samDesired, false, phkResult, nullptr);
}

// Opens the key below hKey, creating it and every missing key on the way (which needs
// KEY_CREATE_SUB_KEY on hKey). *lpdwDisposition tells which of the two happened.
extern "C" LONG RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass,
                                DWORD dwOptions, REGSAM samDesired,
                                const SECURITY_ATTRIBUTES* lpSecurityAttributes, PHKEY phkResult,
                                LPDWORD lpdwDisposition) {
  (void)lpClass;
  (void)lpSecurityAttributes;
  if (!phkResult) return ERROR_BADKEY;
  if (Reserved) return ERROR_INVALID_PARAMETER;
  if (dwOptions & ~static_cast<DWORD>(REG_OPTION_VOLATILE | REG_OPTION_CREATE_LINK |
                                      REG_OPTION_BACKUP_RESTORE | REG_OPTION_OPEN_LINK))
    return ERROR_INVALID_PARAMETER;
  return OpenOrCreate(hKey, lpSubKey, samDesired, true, phkResult, lpdwDisposition);
}

// Reads a value (null or empty name: the default value). Without lpData, only *lpType and the
// size. A buffer too small gives ERROR_MORE_DATA with the size needed in *lpcbData and leaves
// the buffer alone.
extern "C" LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                                 LPBYTE lpData, LPDWORD lpcbData) {
  if (lpReserved || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
  Store& store = Store::Instance();
  auto lock = store.Lock();
  OpenKey* key = nullptr;
  if (LONG error = Access(store, hKey, KEY_QUERY_VALUE, &key); error != ERROR_SUCCESS) return error;
  static thread_local std::string data;
  DWORD type = REG_NONE;
  if (LONG error = store.GetValue(key->id, lpValueName ? lpValueName : "", &type, &data);
      error != ERROR_SUCCESS)
    return error;
  if (lpType) *lpType = type;
  const DWORD size = static_cast<DWORD>(data.size());
  LONG result = ERROR_SUCCESS;
  if (lpData) {
    if (*lpcbData < size)
      result = ERROR_MORE_DATA;
    else if (size)
      std::memcpy(lpData, data.data(), size);
  }
  if (lpcbData) *lpcbData = size;
  return result;
}

// Writes a value exactly as given: the bytes are not checked against the type.
extern "C" LONG RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType,
                               const BYTE* lpData, DWORD cbData) {
  (void)Reserved;
  const char* name = lpValueName ? lpValueName : "";
  if (std::strlen(name) > reg::kMaxValueNameLength) return ERROR_INVALID_PARAMETER;
  Store& store = Store::Instance();
  auto lock = store.Lock();
  OpenKey* key = nullptr;
  if (LONG error = Access(store, hKey, KEY_SET_VALUE, &key); error != ERROR_SUCCESS) return error;
  if (!lpData && cbData) return ERROR_NOACCESS;
  return store.SetValue(key->id, name, dwType, lpData, cbData);
}

extern "C" LONG RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
  Store& store = Store::Instance();
  auto lock = store.Lock();
  OpenKey* key = nullptr;
  if (LONG error = Access(store, hKey, KEY_SET_VALUE, &key); error != ERROR_SUCCESS) return error;
  return store.DeleteValue(key->id, lpValueName ? lpValueName : "");
}

// Deletes the key lpSubKey below hKey with its values; refused with ERROR_ACCESS_DENIED while
// it has subkeys. An empty lpSubKey deletes hKey's own key (which needs DELETE on the handle).
extern "C" LONG RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
  if (!lpSubKey) return ERROR_INVALID_PARAMETER;
  Store& store = Store::Instance();
  auto lock = store.Lock();
  OpenKey* key = nullptr;
  if (LONG error = Resolve(store, hKey, &key); error != ERROR_SUCCESS) return error;
  std::vector<std::string_view> names;
  if (LONG error = SplitPath(lpSubKey, &names); error != ERROR_SUCCESS) return error;
  if (names.empty() && !(key->access & DELETE)) return ERROR_ACCESS_DENIED;
  return store.DeleteKey(key->id, names);
}

// cchName counts the buffer's characters with the NUL.
extern "C" LONG RegEnumKeyA(HKEY hKey, DWORD dwIndex, LPSTR lpName, DWORD cchName) {
  if (!lpName) return ERROR_INVALID_PARAMETER;
  return EnumKey(hKey, dwIndex, lpName, cchName, nullptr, nullptr);
}

// *lpcchName: in, the buffer's characters with the NUL; out, the name's without it (unchanged
// on ERROR_MORE_DATA). Keys have no class: lpClass, when given, receives the empty string.
extern "C" LONG RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName,
                              LPDWORD lpReserved, LPSTR lpClass, LPDWORD lpcchClass,
                              PFILETIME lpftLastWriteTime) {
  if (!lpName || !lpcchName || lpReserved) return ERROR_INVALID_PARAMETER;
  if (lpClass && !lpcchClass) return ERROR_INVALID_PARAMETER;
  const LONG result = EnumKey(hKey, dwIndex, lpName, *lpcchName, lpcchName, lpftLastWriteTime);
  if (result == ERROR_SUCCESS && lpcchClass) {
    if (lpClass && *lpcchClass) lpClass[0] = '\0';
    *lpcchClass = 0;
  }
  return result;
}

// Values come in the order they were first set. A name buffer too small gives ERROR_MORE_DATA
// and changes nothing; a data buffer too small gives ERROR_MORE_DATA with the name, the type
// and the size needed filled in.
extern "C" LONG RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                              LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
  if (!lpValueName || !lpcchValueName || lpReserved || (lpData && !lpcbData))
    return ERROR_INVALID_PARAMETER;
  Store& store = Store::Instance();
  auto lock = store.Lock();
  OpenKey* key = nullptr;
  if (LONG error = Access(store, hKey, KEY_QUERY_VALUE, &key); error != ERROR_SUCCESS) return error;
  static thread_local std::string readName, readData;
  const std::string* name = nullptr;
  const std::string* data = nullptr;
  DWORD type = REG_NONE;
  for (int attempt = 0;; ++attempt) {
    std::uint64_t version = 0;
    if (LONG error = store.Version(&version); error != ERROR_SUCCESS) return error;
    ValueCache& cache = key->values;
    if (cache.key != key->id || cache.version != version) {
      cache.version = ~std::uint64_t{0};
      if (LONG error = store.ValueRows(key->id, &cache.rows); error != ERROR_SUCCESS) return error;
      cache.key = key->id;
      cache.version = version;
    }
    if (dwIndex >= cache.rows.size()) return ERROR_NO_MORE_ITEMS;
    const reg::ValueRow& row = cache.rows[dwIndex];
    if (row.loaded) {
      name = &row.name;
      data = &row.data;
      type = row.type;
      break;
    }
    const LONG error = store.ValueById(row.id, &readName, &type, &readData);
    if (error == ERROR_SUCCESS) {
      name = &readName;
      data = &readData;
      break;
    }
    // Deleted by another process since the list was read: read the list again.
    if (error != ERROR_NO_MORE_ITEMS || attempt > 0) return error;
    cache.version = ~std::uint64_t{0};
  }
  if (!CopyName(*name, lpValueName, *lpcchValueName)) return ERROR_MORE_DATA;
  *lpcchValueName = static_cast<DWORD>(name->size());
  if (lpType) *lpType = type;
  const DWORD size = static_cast<DWORD>(data->size());
  LONG result = ERROR_SUCCESS;
  if (lpData) {
    if (*lpcbData < size)
      result = ERROR_MORE_DATA;
    else if (size)
      std::memcpy(lpData, data->data(), size);
  }
  if (lpcbData) *lpcbData = size;
  return result;
}

// Name lengths count characters without the NUL. Keys have no class (length 0) and report
// the size of an empty self-relative security descriptor (20 bytes).
extern "C" LONG RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved,
                                 LPDWORD lpcSubKeys, LPDWORD lpcbMaxSubKeyLen,
                                 LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                                 LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen,
                                 LPDWORD lpcbSecurityDescriptor, PFILETIME lpftLastWriteTime) {
  if (lpReserved || (lpClass && !lpcchClass)) return ERROR_INVALID_PARAMETER;
  Store& store = Store::Instance();
  auto lock = store.Lock();
  OpenKey* key = nullptr;
  if (LONG error = Access(store, hKey, KEY_QUERY_VALUE, &key); error != ERROR_SUCCESS) return error;
  KeyInfo info;
  if (LONG error = store.Info(key->id, &info); error != ERROR_SUCCESS) return error;
  if (lpcchClass) {
    if (lpClass && *lpcchClass) lpClass[0] = '\0';
    *lpcchClass = 0;
  }
  if (lpcSubKeys) *lpcSubKeys = info.subkeys;
  if (lpcbMaxSubKeyLen) *lpcbMaxSubKeyLen = info.maxSubkeyName;
  if (lpcbMaxClassLen) *lpcbMaxClassLen = 0;
  if (lpcValues) *lpcValues = info.values;
  if (lpcbMaxValueNameLen) *lpcbMaxValueNameLen = info.maxValueName;
  if (lpcbMaxValueLen) *lpcbMaxValueLen = info.maxValueData;
  if (lpcbSecurityDescriptor) *lpcbSecurityDescriptor = 20;
  if (lpftLastWriteTime) SplitFileTime(info.written, lpftLastWriteTime);
  return ERROR_SUCCESS;
}

// Only this machine's registry can be reached: its predefined key comes back as it is.
extern "C" LONG RegConnectRegistryA(LPCSTR lpMachineName, HKEY hKey, PHKEY phkResult) {
  if (!phkResult) return ERROR_INVALID_PARAMETER;
  if (!plinth::posix::NamesThisMachine(lpMachineName)) return ERROR_BAD_NETPATH;
  if (PredefinedIndex(hKey) < 0) return ERROR_INVALID_HANDLE;
  if (hKey == HKEY_PERFORMANCE_DATA || hKey == HKEY_DYN_DATA) return ERROR_CALL_NOT_IMPLEMENTED;
  *phkResult = hKey;
  return ERROR_SUCCESS;
}

extern "C" LONG RegFlushKey(HKEY hKey) {
  Store& store = Store::Instance();
  auto lock = store.Lock();
  OpenKey* key = nullptr;
  if (LONG error = Resolve(store, hKey, &key); error != ERROR_SUCCESS) return error;
  return store.Flush();
}

// Closing a predefined key does nothing and succeeds.
extern "C" LONG RegCloseKey(HKEY hKey) {
  if (PredefinedIndex(hKey) >= 0) return ERROR_SUCCESS;
  Store& store = Store::Instance();
  auto lock = store.Lock();
  OpenKey* key = Handles().Find(hKey);
  if (!key) return ERROR_INVALID_HANDLE;
  Handles().Remove(key);
  return ERROR_SUCCESS;
}

extern "C" DWORD PlinthRegistryStorePath(LPSTR buffer, DWORD size) {
  Store& store = Store::Instance();
  auto lock = store.Lock();
  const std::string& path = store.Path();
  if (!buffer || path.size() >= size) return static_cast<DWORD>(path.size() + 1);
  std::memcpy(buffer, path.data(), path.size() + 1);
  return static_cast<DWORD>(path.size());
}
