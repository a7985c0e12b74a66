// The registry calls on the POSIX store against the same work done on a bare SQLite table in
// the same run, so that the numbers read as the cost of the Win32 layer over its floor:
//   Read   open a key, query a value's size, query its data, close   vs  one indexed SELECT
//   Write  set a value on an open key (one transaction)              vs  one INSERT OR REPLACE
//                                                                        in its own transaction
//   Enum   every value of a key holding 10,000 values, by index      vs  one SELECT stepping
//                                                                        through them in order
// Both stores are WAL databases with synchronous=NORMAL in a temporary folder.
#include <benchmark/benchmark.h>
#include <plinth/win32.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

constexpr int kEnumValues = 10000;
const char* const kReadKey = "Software\\PlinthBench\\Application\\Settings";
const char* const kEnumKey = "Software\\PlinthBench\\Many";

std::string g_folder;

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "registry benchmark: %s failed\n", what);
    std::exit(2);
  }
}

HKEY CreateKey(const char* path) {
  HKEY key = nullptr;
  Check(RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) == ERROR_SUCCESS,
        "creating a key");
  return key;
}

void FillRegistry() {
  HKEY key = CreateKey(kReadKey);
  const char data[] = "C:\\Program Files\\Example\\bin";
  Check(RegSetValueExA(key, "InstallPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(data),
                       sizeof data) == ERROR_SUCCESS,
        "setting a value");
  RegCloseKey(key);
  key = CreateKey(kEnumKey);
  DWORD count = 0;
  RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr,
                   nullptr, nullptr, nullptr);
  for (int i = static_cast<int>(count); i < kEnumValues; ++i) {
    const std::string name = "value" + std::to_string(i), text = "data " + std::to_string(i);
    RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
  }
  RegCloseKey(key);
}

// The floor: one table of values keyed by key path and folded name.
class BareTable {
 public:
  BareTable() {
    const std::string path = g_folder + "/bare.db";
    Check(sqlite3_open(path.c_str(), &db_) == SQLITE_OK, "opening the bare table");
    Exec(
        "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;"
        "CREATE TABLE IF NOT EXISTS vals(id INTEGER PRIMARY KEY, key BLOB, name BLOB, "
        "type INTEGER, data BLOB, UNIQUE(key, name));");
    read_ = Prepare("SELECT type, data FROM vals WHERE key = ?1 AND name = ?2");
    write_ = Prepare("INSERT OR REPLACE INTO vals(key, name, type, data) VALUES(?1, ?2, 1, ?3)");
    list_ = Prepare("SELECT name, type, data FROM vals WHERE key = ?1 ORDER BY id");
    begin_ = Prepare("BEGIN IMMEDIATE");
    commit_ = Prepare("COMMIT");
    Exec("BEGIN");
    Write("settings", "INSTALLPATH", "C:\\Program Files\\Example\\bin");
    for (int i = 0; i < kEnumValues; ++i)
      Write("many", "VALUE" + std::to_string(i), "data " + std::to_string(i));
    Exec("COMMIT");
  }
  ~BareTable() {
    for (sqlite3_stmt* statement : {read_, write_, list_, begin_, commit_})
      sqlite3_finalize(statement);
    sqlite3_close(db_);
  }

  std::size_t Read(const std::string& key, const std::string& name, std::string* data) {
    Bind(read_, 1, key);
    Bind(read_, 2, name);
    std::size_t size = 0;
    if (sqlite3_step(read_) == SQLITE_ROW) {
      size = static_cast<std::size_t>(sqlite3_column_bytes(read_, 1));
      data->assign(static_cast<const char*>(sqlite3_column_blob(read_, 1)), size);
    }
    sqlite3_reset(read_);
    return size;
  }
  void Write(const std::string& key, const std::string& name, const std::string& data) {
    Bind(write_, 1, key);
    Bind(write_, 2, name);
    Bind(write_, 3, data);
    sqlite3_step(write_);
    sqlite3_reset(write_);
  }
  void WriteAlone(const std::string& key, const std::string& name, const std::string& data) {
    sqlite3_step(begin_);
    sqlite3_reset(begin_);
    Write(key, name, data);
    sqlite3_step(commit_);
    sqlite3_reset(commit_);
  }
  std::size_t List(const std::string& key) {
    Bind(list_, 1, key);
    std::size_t bytes = 0;
    while (sqlite3_step(list_) == SQLITE_ROW)
      bytes +=
          static_cast<std::size_t>(sqlite3_column_bytes(list_, 0) + sqlite3_column_bytes(list_, 2));
    sqlite3_reset(list_);
    return bytes;
  }

 private:
  void Exec(const char* sql) {
    Check(sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK, sql);
  }
  sqlite3_stmt* Prepare(const char* sql) {
    sqlite3_stmt* statement = nullptr;
    Check(sqlite3_prepare_v2(db_, sql, -1, &statement, nullptr) == SQLITE_OK, sql);
    return statement;
  }
  static void Bind(sqlite3_stmt* statement, int index, const std::string& bytes) {
    sqlite3_bind_blob(statement, index, bytes.data(), static_cast<int>(bytes.size()),
                      SQLITE_TRANSIENT);
  }

  sqlite3* db_ = nullptr;
  sqlite3_stmt *read_ = nullptr, *write_ = nullptr, *list_ = nullptr, *begin_ = nullptr,
               *commit_ = nullptr;
};

BareTable& Bare() {
  static BareTable table;
  return table;
}

void Read_Registry(benchmark::State& state) {
  char data[256];
  for (auto _ : state) {
    HKEY key = nullptr;
    DWORD type = 0, size = 0;
    RegOpenKeyExA(HKEY_CURRENT_USER, kReadKey, 0, KEY_READ, &key);
    RegQueryValueExA(key, "InstallPath", nullptr, &type, nullptr, &size);
    RegQueryValueExA(key, "InstallPath", nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    benchmark::DoNotOptimize(size);
  }
}
BENCHMARK(Read_Registry);

void Read_BareSqlite(benchmark::State& state) {
  BareTable& bare = Bare();
  std::string data;
  for (auto _ : state) benchmark::DoNotOptimize(bare.Read("settings", "INSTALLPATH", &data));
}
BENCHMARK(Read_BareSqlite);

void Write_Registry(benchmark::State& state) {
  HKEY key = CreateKey(kReadKey);
  std::uint32_t counter = 0;
  for (auto _ : state) {
    ++counter;
    RegSetValueExA(key, "Counter", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&counter), 4);
  }
  RegCloseKey(key);
}
BENCHMARK(Write_Registry);

void Write_BareSqlite(benchmark::State& state) {
  BareTable& bare = Bare();
  std::uint32_t counter = 0;
  for (auto _ : state) {
    ++counter;
    bare.WriteAlone("settings", "COUNTER", std::string(reinterpret_cast<const char*>(&counter), 4));
  }
}
BENCHMARK(Write_BareSqlite);

void Enum10000_Registry(benchmark::State& state) {
  HKEY key = nullptr;
  Check(RegOpenKeyExA(HKEY_CURRENT_USER, kEnumKey, 0, KEY_READ, &key) == ERROR_SUCCESS,
        "opening the key of 10,000 values");
  char name[64];
  BYTE data[64];
  for (auto _ : state) {
    DWORD index = 0;
    for (;; ++index) {
      DWORD nameLength = sizeof name, size = sizeof data, type = 0;
      if (RegEnumValueA(key, index, name, &nameLength, nullptr, &type, data, &size) !=
          ERROR_SUCCESS)
        break;
    }
    Check(index == kEnumValues, "enumerating 10,000 values");
  }
  RegCloseKey(key);
}
BENCHMARK(Enum10000_Registry)->Unit(benchmark::kMillisecond);

void Enum10000_BareSqlite(benchmark::State& state) {
  BareTable& bare = Bare();
  for (auto _ : state) benchmark::DoNotOptimize(bare.List("many"));
}
BENCHMARK(Enum10000_BareSqlite)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  // A store of the benchmark's own, never the user's.
  g_folder = (std::filesystem::temp_directory_path() / "plinth-registry-bench").string();
  std::filesystem::remove_all(g_folder);
  std::filesystem::create_directories(g_folder);
  const std::string store = g_folder + "/registry.db";
  setenv("PLINTH_REGISTRY", store.c_str(), 1);
  FillRegistry();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove_all(g_folder);
  return 0;
}
