#pragma once
// The registry's storage: one SQLite database per user, shared by every process of that user.
// This layer knows keys by their row ids and values by their key and name; handles, access
// rights, predefined keys and the Win32 size protocols are Registry.cpp's business.
//
// Every member returns a Win32 error code and runs under the store's mutex, which the caller
// holds (Store::Lock). Each writing member is one transaction, committed before it returns.

#include <plinth/win32.h>

#include <sqlite3.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace plinth::posix::registry {

using KeyId = std::int64_t;

// The two trees the store holds; every other root key is a view into one of them.
enum class Tree { kLocalMachine, kUsers };

constexpr std::size_t kMaxKeyNameLength = 255;
constexpr std::size_t kMaxValueNameLength = 16383;

// A key's name folded for comparison: ASCII letters upper-cased, as Windows sorts subkeys.
std::string FoldName(std::string_view name);

struct SubkeyEntry {
  std::string name;
  std::int64_t written;  // FILETIME ticks
};

// One value as an enumeration lists it. Past a few megabytes of data in one list only the ids
// are kept (`loaded` false), and each value is read when it is asked for.
struct ValueRow {
  std::int64_t id = 0;
  bool loaded = false;
  DWORD type = REG_NONE;
  std::string name;
  std::string data;
};

struct KeyInfo {
  DWORD subkeys = 0;
  DWORD maxSubkeyName = 0;
  DWORD values = 0;
  DWORD maxValueName = 0;
  DWORD maxValueData = 0;
  std::int64_t written = 0;
};

class Store {
 public:
  static Store& Instance();

  std::unique_lock<std::mutex> Lock() { return std::unique_lock<std::mutex>(mutex_); }

  // Opens the store on first use, after a fork and after an earlier refusal; ERROR_SUCCESS when
  // it can be used.
  LONG Ready();
  // Where the store is for this process, decided on first use.
  const std::string& Path();
  // Counts changes by any process, so that callers can tell whether something they read
  // earlier may have changed.
  LONG Version(std::uint64_t* version);

  LONG TreeRoot(Tree tree, KeyId* id);
  // Finds (creating if missing) the protected key at `path` below `tree`; views use these.
  LONG ProtectedKey(Tree tree, const std::vector<std::string>& path, KeyId* id);

  // Follows `path` down from `from`. ERROR_FILE_NOT_FOUND for a missing component,
  // ERROR_KEY_DELETED when `from` itself is gone.
  LONG Find(KeyId from, const std::vector<std::string_view>& path, KeyId* id);
  // Creates what is missing along `path` below `from`.
  LONG Create(KeyId from, const std::vector<std::string_view>& path, KeyId* id, bool* created);
  LONG Exists(KeyId key);
  // Deletes the key at `path` below `from`: refused (ERROR_ACCESS_DENIED) while it has subkeys
  // or when it is protected.
  LONG DeleteKey(KeyId from, const std::vector<std::string_view>& path);

  // Copies the value into `data`; `type` gets its type.
  LONG GetValue(KeyId key, std::string_view name, DWORD* type, std::string* data);
  LONG SetValue(KeyId key, std::string_view name, DWORD type, const BYTE* data, DWORD size);
  LONG DeleteValue(KeyId key, std::string_view name);

  LONG Info(KeyId key, KeyInfo* info);
  LONG Subkeys(KeyId key, std::vector<SubkeyEntry>* entries);
  LONG ValueRows(KeyId key, std::vector<ValueRow>* rows);
  // ERROR_NO_MORE_ITEMS when the value went away since its id was read.
  LONG ValueById(std::int64_t id, std::string* name, DWORD* type, std::string* data);

  // Makes every completed call durable.
  LONG Flush();

  // Forgets the connection so that the next call opens the store again: for tests that move
  // PLINTH_REGISTRY within one process.
  void Reset();
  // Changes whenever a connection is opened, so that ids cached from another store are known
  // to be stale.
  std::uint64_t Generation() const { return generation_; }

 private:
  Store() = default;
  ~Store() = delete;  // lives to the end of the process: handles may be closed at exit

  LONG Open();
  LONG Initialize();
  void Close();
  sqlite3_stmt* Statement(int which);
  LONG FindChild(KeyId parent, std::string_view name, KeyId* id);
  LONG TouchKey(KeyId key, std::int64_t now);

  std::mutex mutex_;
  std::string path_;
  bool pathKnown_ = false;
  sqlite3* db_ = nullptr;
  long pid_ = 0;
  std::vector<sqlite3_stmt*> statements_;
  KeyId roots_[2] = {0, 0};
  std::uint64_t ownWrites_ = 0;
  std::uint64_t generation_ = 0;

  friend class Transaction;
};

// The time now as FILETIME ticks.
std::int64_t FileTimeNow();

}  // namespace plinth::posix::registry
