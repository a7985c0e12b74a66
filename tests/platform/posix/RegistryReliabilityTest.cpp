// The store across processes: changes by one showing in another at once, several writing at
// once, a writer killed mid-stream, and files that are not (or no longer) stores. Children are
// this program run again, chosen by an environment marker, each on the store the test names;
// they report on standard output, a line per item, so that a parent can follow a child it is
// about to kill. The parent reads the database with SQLite directly as well.
#include <gtest/gtest.h>
#include <plinth/win32.h>
#include <sqlite3.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr char kRoleVariable[] = "PLINTH_TEST_REGISTRY_CHILD";
constexpr char kArgsVariable[] = "PLINTH_TEST_REGISTRY_ARGS";
constexpr char kSeparator = '\x1f';

void Say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);  // before the next call, which may be the last before a kill
}

std::string ValueData(long index) { return "value-" + std::to_string(index); }

LONG SetIndexed(HKEY key, long i) {
  const std::string name = "v" + std::to_string(i), data = ValueData(i);
  return RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                        static_cast<DWORD>(data.size() + 1));
}

// writer KEY COUNT: sets values v0 … v(COUNT-1) in KEY, saying each index once its call has
// returned.
int Writer(const std::vector<std::string>& args) {
  HKEY key = nullptr;
  LONG result = RegCreateKeyExA(HKEY_CURRENT_USER, args.at(0).c_str(), 0, nullptr, 0,
                                KEY_ALL_ACCESS, nullptr, &key, nullptr);
  for (long i = 0; result == ERROR_SUCCESS && i < std::stol(args.at(1)); ++i)
    if ((result = SetIndexed(key, i)) == ERROR_SUCCESS) Say(std::to_string(i));
  if (result != ERROR_SUCCESS) Say("error " + std::to_string(result));
  RegCloseKey(key);
  return result == ERROR_SUCCESS ? 0 : 1;
}

// check KEY COUNT: says "ok N" when values v0 … v(COUNT-1) all hold their data and the key
// holds N values; else what is wrong.
int Check(const std::vector<std::string>& args) {
  HKEY key = nullptr;
  LONG result = RegOpenKeyExA(HKEY_CURRENT_USER, args.at(0).c_str(), 0, KEY_READ, &key);
  for (long i = 0; result == ERROR_SUCCESS && i < std::stol(args.at(1)); ++i) {
    const std::string name = "v" + std::to_string(i), want = ValueData(i);
    char data[64];
    DWORD size = sizeof data, type = 0;
    result =
        RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    if (result == ERROR_SUCCESS && (type != REG_SZ || size != want.size() + 1 || want != data))
      result = -1;
  }
  DWORD values = 0;
  if (result == ERROR_SUCCESS)
    result = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                              nullptr, nullptr, nullptr, nullptr);
  Say(result == ERROR_SUCCESS ? "ok " + std::to_string(values) : "error " + std::to_string(result));
  if (key) RegCloseKey(key);
  return result == ERROR_SUCCESS ? 0 : 1;
}

// probe: says the results of an open, a create and a write (of v0 below Software\Probe).
int Probe(const std::vector<std::string>&) {
  HKEY key = nullptr;
  Say(std::to_string(RegOpenKeyExA(HKEY_CURRENT_USER, "", 0, KEY_READ, &key)));
  if (key) RegCloseKey(key);
  key = nullptr;
  Say(std::to_string(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Probe", 0, nullptr, 0,
                                     KEY_ALL_ACCESS, nullptr, &key, nullptr)));
  Say(std::to_string(SetIndexed(key ? key : HKEY_CURRENT_USER, 0)));
  if (key) RegCloseKey(key);
  return 0;
}

// users NAME: makes HKEY_USERS\NAME, uses HKEY_CURRENT_USER, then tries to delete the key;
// says the three results.
int Users(const std::vector<std::string>& args) {
  HKEY key = nullptr;
  Say(std::to_string(RegCreateKeyExA(HKEY_USERS, args.at(0).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                     nullptr, &key, nullptr)));
  RegCloseKey(key);
  DWORD values = 0;
  Say(std::to_string(RegQueryInfoKeyA(HKEY_CURRENT_USER, nullptr, nullptr, nullptr, nullptr,
                                      nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                                      nullptr)));
  Say(std::to_string(RegDeleteKeyA(HKEY_USERS, args.at(0).c_str())));
  return 0;
}

// Runs before main() in a child and never returns there.
const bool kDispatched = [] {
  const char* role = std::getenv(kRoleVariable);
  if (!role) return false;
  std::vector<std::string> args;
  const char* packedArgs = std::getenv(kArgsVariable);
  std::stringstream packed(packedArgs ? packedArgs : "");
  for (std::string arg; std::getline(packed, arg, kSeparator);) args.push_back(arg);
  const std::string which(role);
  int status = 2;
  if (which == "writer") status = Writer(args);
  if (which == "check") status = Check(args);
  if (which == "probe") status = Probe(args);
  if (which == "users") status = Users(args);
  std::fflush(nullptr);
  _exit(status);
}();

// Starts this program as a child in `role` with `args`, on the store at `store`; its standard
// output is readable at *output (the caller closes it).
pid_t StartChild(const std::string& store, const std::string& role,
                 const std::vector<std::string>& args, int* output) {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return -1;
  std::string packed;
  for (const std::string& arg : args)
    packed += (packed.empty() ? "" : std::string(1, kSeparator)) + arg;
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(pipeEnds[1], 1);
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    setenv("PLINTH_REGISTRY", store.c_str(), 1);
    setenv(kRoleVariable, role.c_str(), 1);
    setenv(kArgsVariable, packed.c_str(), 1);
    execl("/proc/self/exe", "registry-child", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipeEnds[1]);
  *output = pipeEnds[0];
  return pid;
}

// Reads what is there; false at the end of the output.
bool ReadSome(int output, std::string* into) {
  char buffer[4096];
  const ssize_t got = read(output, buffer, sizeof buffer);
  if (got > 0) into->append(buffer, static_cast<std::size_t>(got));
  return got > 0;
}

// The exit status, or 128 + signal.
int WaitForChild(pid_t pid) {
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
}

// Runs a child to its end; returns what it said.
std::string RunChild(const std::string& store, const std::string& role,
                     const std::vector<std::string>& args = {}) {
  int output = -1;
  const pid_t pid = StartChild(store, role, args, &output);
  std::string said;
  if (pid < 0) return said;
  while (ReadSome(output, &said)) continue;
  close(output);
  WaitForChild(pid);
  return said;
}

// A fresh temporary folder with room for a store, removed with everything in it at the end.
struct TempStore {
  TempStore() {
    folder = (std::filesystem::temp_directory_path() / "plinth-registry-XXXXXX").string();
    if (!mkdtemp(folder.data())) folder.clear();
    path = folder + "/registry.db";
  }
  ~TempStore() {
    std::error_code ignored;
    if (!folder.empty()) std::filesystem::remove_all(folder, ignored);
  }
  std::string folder;
  std::string path;
};

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string Sqlite(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  std::string answer;
  const auto firstColumn = [](void* out, int, char** values, char**) {
    *static_cast<std::string*>(out) += values[0] ? values[0] : "NULL";
    return 0;
  };
  if (sqlite3_open(path.c_str(), &db) == SQLITE_OK)
    sqlite3_exec(db, sql.c_str(), firstColumn, &answer, nullptr);
  sqlite3_close(db);
  return answer;
}

TEST(RegistryStore, AKeyMadeBeforeItsViewIsKeptOnceTheViewIsUsed) {
  // In a store of its own, HKEY_USERS\<user> is made by hand before HKEY_CURRENT_USER is used.
  TempStore store;
  const std::string user = "S-1-22-1-" + std::to_string(getuid());
  EXPECT_EQ(RunChild(store.path, "users", {user}), "0\n0\n5\n");
}

TEST(RegistryStore, ChangesByAnotherProcessShowAtOnce) {
  const char* store = std::getenv("PLINTH_REGISTRY");
  ASSERT_NE(store, nullptr) << "tests run on a store of their own";
  const std::string path = "Software\\PlinthShared-" + std::to_string(getpid());
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(SetIndexed(key, 0), ERROR_SUCCESS);
  // Enumerate to the end, so that the handle has read the list of values.
  char name[16];
  DWORD length = sizeof name;
  ASSERT_EQ(RegEnumValueA(key, 1, name, &length, nullptr, nullptr, nullptr, nullptr),
            ERROR_NO_MORE_ITEMS);

  EXPECT_EQ(RunChild(store, "check", {path, "1"}), "ok 1\n");
  EXPECT_EQ(RunChild(store, "writer", {path, "2"}), "0\n1\n");
  length = sizeof name;
  EXPECT_EQ(RegEnumValueA(key, 1, name, &length, nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_STREQ(name, "v1");
  char got[16] = {};
  DWORD size = sizeof got;
  EXPECT_EQ(RegQueryValueExA(key, "V1", nullptr, nullptr, reinterpret_cast<BYTE*>(got), &size),
            ERROR_SUCCESS);
  EXPECT_STREQ(got, "value-1");
  RegCloseKey(key);
  EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, path.c_str()), ERROR_SUCCESS);
}

TEST(RegistryReliability, FourWritersAtOnceLoseNothing) {
  TempStore store;
  constexpr int kWriters = 4;
  pid_t writers[kWriters];
  int outputs[kWriters];
  const auto key = [](int i) { return "Software\\Stress\\W" + std::to_string(i); };
  for (int i = 0; i < kWriters; ++i)
    writers[i] = StartChild(store.path, "writer", {key(i), "2000"}, &outputs[i]);
  for (int i = 0; i < kWriters; ++i) {
    // Drain the pipe so that no writer blocks on its own reports; keep the last for a failure.
    std::string said;
    while (ReadSome(outputs[i], &said)) said.erase(0, said.size() > 64 ? said.size() - 64 : 0);
    close(outputs[i]);
    EXPECT_EQ(WaitForChild(writers[i]), 0) << "writer " << i << " ended with: " << said;
  }
  for (int i = 0; i < kWriters; ++i)
    EXPECT_EQ(RunChild(store.path, "check", {key(i), "2000"}), "ok 2000\n") << "writer " << i;
  EXPECT_EQ(Sqlite(store.path, "PRAGMA integrity_check"), "ok");
}

TEST(RegistryReliability, KilledWriterKeepsEveryCompletedCall) {
  TempStore store;
  int output = -1;
  const pid_t writer = StartChild(store.path, "writer", {"Software\\Killed", "1000000"}, &output);
  std::string said;
  // Let it get well into its stream, then kill it without warning.
  while (std::count(said.begin(), said.end(), '\n') < 1500 && ReadSome(output, &said)) continue;
  kill(writer, SIGKILL);
  while (ReadSome(output, &said)) continue;
  close(output);
  EXPECT_EQ(WaitForChild(writer), 128 + SIGKILL);

  // A line cut by the kill says nothing; the one before it is complete.
  said.erase(said.rfind('\n') + 1);
  ASSERT_FALSE(said.empty());
  const long confirmed = std::stol(said.substr(said.rfind('\n', said.size() - 2) + 1)) + 1;
  const std::string check =
      RunChild(store.path, "check", {"Software\\Killed", std::to_string(confirmed)});
  // Every value whose call returned is there; the one in flight may or may not be.
  EXPECT_TRUE(check == "ok " + std::to_string(confirmed) + "\n" ||
              check == "ok " + std::to_string(confirmed + 1) + "\n")
      << check << " after " << confirmed << " confirmed";
  EXPECT_EQ(Sqlite(store.path, "PRAGMA integrity_check"), "ok");
}

TEST(RegistryReliability, FilesThatAreNotStoresAreRefusedAndLeftAlone) {
  std::string garbage(8192, '\0');
  for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<char>(i * 7919 % 251);
  // A store with its log copied back, so that the database file alone holds everything.
  TempStore filled;
  RunChild(filled.path, "writer", {"Software\\Filled", "300"});
  ASSERT_EQ(RunChild(filled.path, "check", {"Software\\Filled", "300"}), "ok 300\n");
  Sqlite(filled.path, "PRAGMA wal_checkpoint(TRUNCATE)");
  const std::string whole = ReadFileBytes(filled.path);
  ASSERT_GT(whole.size(), 4 * 4096u);
  std::string damaged = whole;
  for (std::size_t i = 4096; i < whole.size(); ++i) damaged[i] = garbage[i % garbage.size()];
  struct Case {
    const char* what;
    std::string bytes;
    const char* sql;  // run on the file afterwards
    LONG result;
  };
  // clang-format off
  const Case cases[] = {
      {"garbage",                 garbage,                                          "", ERROR_BADDB},
      {"text",                    "HKEY_CURRENT_USER\\Software = 1\n",              "", ERROR_BADDB},
      {"header only",             whole.substr(0, 100),                             "", ERROR_BADDB},
      {"truncated at a page",     whole.substr(0, whole.size() / 4096 / 2 * 4096),  "", ERROR_BADDB},
      {"truncated within a page", whole.substr(0, whole.size() - 1000),             "", ERROR_BADDB},
      {"damaged pages",           damaged,                                          "", ERROR_BADDB},
      {"later schema",            whole, "PRAGMA user_version=2",                       ERROR_REVISION_MISMATCH},
      {"other SQLite database",   "", "CREATE TABLE notes(text); INSERT INTO notes VALUES('mine')",
                                                                                        ERROR_BADDB},
  };
  // clang-format on
  for (const Case& c : cases) {
    TempStore store;
    WriteFileBytes(store.path, c.bytes);
    if (*c.sql) Sqlite(store.path, c.sql);
    const std::string before = ReadFileBytes(store.path);
    const std::string code = std::to_string(c.result);
    EXPECT_EQ(RunChild(store.path, "probe"), code + "\n" + code + "\n" + code + "\n") << c.what;
    EXPECT_TRUE(ReadFileBytes(store.path) == before) << c.what << ": the file was changed";
  }
}

TEST(RegistryReliability, MissingOrEmptyFileIsANewStore) {
  TempStore temp;
  const std::string store = temp.folder + "/new/folder/registry.db";
  EXPECT_EQ(RunChild(store, "probe"), "0\n0\n0\n");
  struct stat status;
  ASSERT_EQ(stat(store.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);
  for (const std::string& made : {temp.folder + "/new", temp.folder + "/new/folder"}) {
    ASSERT_EQ(stat(made.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0700u) << made;
  }
  WriteFileBytes(temp.path, "");
  EXPECT_EQ(RunChild(temp.path, "probe"), "0\n0\n0\n");
  EXPECT_EQ(RunChild(temp.path, "check", {"Software\\Probe", "1"}), "ok 1\n");
}

}  // namespace
