// The store under stress: several processes writing at once, a writer killed mid-stream, and
// files that are not (or no longer) stores. Children are this program run again (see
// RegistryChildren.h); the parent inspects the database with SQLite directly as well.
#include <gtest/gtest.h>
#include <plinth/win32.h>
#include <sqlite3.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/posix/RegistryChildren.h"

namespace plinth::test {
namespace {

constexpr char kRoleVariable[] = "PLINTH_TEST_REGISTRY_CHILD";
constexpr char kArgsVariable[] = "PLINTH_TEST_REGISTRY_ARGS";
constexpr char kSeparator = '\x1f';

void Say(const std::string& line) {
  const std::string text = line + "\n";
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t written = write(1, text.data() + done, text.size() - done);
    if (written <= 0) return;
    done += static_cast<std::size_t>(written);
  }
}

std::string ValueData(long index) { return "value-" + std::to_string(index); }

// writer KEY COUNT: sets COUNT values in KEY, saying each index once its call has returned.
int Writer(const std::vector<std::string>& args) {
  HKEY key = nullptr;
  LONG result = RegCreateKeyExA(HKEY_CURRENT_USER, args.at(0).c_str(), 0, nullptr, 0,
                                KEY_ALL_ACCESS, nullptr, &key, nullptr);
  if (result != ERROR_SUCCESS) {
    Say("create " + std::to_string(result));
    return 1;
  }
  const long count = std::stol(args.at(1));
  for (long i = 0; i < count; ++i) {
    const std::string name = "v" + std::to_string(i), data = ValueData(i);
    result =
        RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                       static_cast<DWORD>(data.size() + 1));
    if (result != ERROR_SUCCESS) {
      Say("set " + std::to_string(result));
      return 1;
    }
    Say(std::to_string(i));
  }
  RegCloseKey(key);
  return 0;
}

// check KEY COUNT: says "ok N" when values v0 … v(COUNT-1) all hold their data and the key
// holds N values; else what is wrong.
int Check(const std::vector<std::string>& args) {
  HKEY key = nullptr;
  LONG result = RegOpenKeyExA(HKEY_CURRENT_USER, args.at(0).c_str(), 0, KEY_READ, &key);
  if (result != ERROR_SUCCESS) {
    Say("open " + std::to_string(result));
    return 1;
  }
  const long count = std::stol(args.at(1));
  for (long i = 0; i < count; ++i) {
    const std::string name = "v" + std::to_string(i), want = ValueData(i);
    char data[64];
    DWORD size = sizeof data, type = 0;
    result =
        RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    if (result != ERROR_SUCCESS || type != REG_SZ || size != want.size() + 1 || want != data) {
      Say("value " + name + " " + std::to_string(result));
      return 1;
    }
  }
  DWORD values = 0;
  result = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                            nullptr, nullptr, nullptr, nullptr);
  Say("ok " + std::to_string(values));
  RegCloseKey(key);
  return result == ERROR_SUCCESS ? 0 : 1;
}

// probe: says the results of an open, a create and a write, one per line.
int Probe(const std::vector<std::string>&) {
  HKEY key = nullptr;
  Say(std::to_string(RegOpenKeyExA(HKEY_CURRENT_USER, "", 0, KEY_READ, &key)));
  if (key) RegCloseKey(key);
  key = nullptr;
  Say(std::to_string(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Probe", 0, nullptr, 0,
                                     KEY_ALL_ACCESS, nullptr, &key, nullptr)));
  Say(std::to_string(RegSetValueExA(key ? key : HKEY_CURRENT_USER, "p", 0, REG_BINARY,
                                    reinterpret_cast<const BYTE*>("x"), 1)));
  if (key) RegCloseKey(key);
  return 0;
}

// read KEY VALUE: says the value's data as text, or the error.
int Read(const std::vector<std::string>& args) {
  HKEY key = nullptr;
  char data[256] = {};
  DWORD size = sizeof data - 1;
  LONG result = RegOpenKeyExA(HKEY_CURRENT_USER, args.at(0).c_str(), 0, KEY_READ, &key);
  if (result == ERROR_SUCCESS)
    result = RegQueryValueExA(key, args.at(1).c_str(), nullptr, nullptr,
                              reinterpret_cast<BYTE*>(data), &size);
  Say(result == ERROR_SUCCESS ? std::string(data, size) : "error " + std::to_string(result));
  if (key) RegCloseKey(key);
  return 0;
}

// write KEY VALUE DATA: sets a REG_SZ value (with its NUL).
int Write(const std::vector<std::string>& args) {
  HKEY key = nullptr;
  LONG result = RegCreateKeyExA(HKEY_CURRENT_USER, args.at(0).c_str(), 0, nullptr, 0,
                                KEY_ALL_ACCESS, nullptr, &key, nullptr);
  if (result == ERROR_SUCCESS)
    result = RegSetValueExA(key, args.at(1).c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(args.at(2).c_str()),
                            static_cast<DWORD>(args.at(2).size() + 1));
  Say(std::to_string(result));
  if (key) RegCloseKey(key);
  return result == ERROR_SUCCESS ? 0 : 1;
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
  if (const char* packed = std::getenv(kArgsVariable); packed && *packed) {
    std::stringstream stream(packed);
    std::string arg;
    while (std::getline(stream, arg, kSeparator)) args.push_back(arg);
  }
  const std::string which(role);
  int status = 2;
  if (which == "writer") status = Writer(args);
  if (which == "check") status = Check(args);
  if (which == "probe") status = Probe(args);
  if (which == "read") status = Read(args);
  if (which == "write") status = Write(args);
  if (which == "users") status = Users(args);
  std::fflush(nullptr);
  _exit(status);
}();

std::string Sqlite(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  std::string answer;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) ==
      SQLITE_OK) {
    sqlite3_exec(
        db, sql.c_str(),
        [](void* out, int columns, char** values, char**) {
          for (int i = 0; i < columns; ++i)
            *static_cast<std::string*>(out) += values[i] ? values[i] : "NULL";
          return 0;
        },
        &answer, nullptr);
  }
  sqlite3_close(db);
  return answer;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::stringstream stream(text);
  std::string line;
  while (std::getline(stream, line)) lines.push_back(line);
  return lines;
}

TEST(RegistryReliability, FourWritersAtOnceLoseNothing) {
  TempFolder folder;
  const std::string store = folder.path() + "/registry.db";
  constexpr int kWriters = 4;
  const std::string count = "2000";
  pid_t writers[kWriters];
  int outputs[kWriters];
  for (int i = 0; i < kWriters; ++i)
    writers[i] = StartRegistryChild(
        store, "writer", {"Software\\Stress\\W" + std::to_string(i), count}, &outputs[i]);
  for (int i = 0; i < kWriters; ++i) {
    // Drain the pipe so that no writer blocks on its own reports.
    char buffer[4096];
    while (read(outputs[i], buffer, sizeof buffer) > 0) {
    }
    close(outputs[i]);
    EXPECT_EQ(WaitForChild(writers[i]), 0) << "writer " << i;
  }
  for (int i = 0; i < kWriters; ++i) {
    const ChildRun check =
        RunRegistryChild(store, "check", {"Software\\Stress\\W" + std::to_string(i), count});
    EXPECT_EQ(check.output, "ok 2000\n") << "writer " << i;
  }
  EXPECT_EQ(Sqlite(store, "PRAGMA integrity_check"), "ok");
}

TEST(RegistryReliability, KilledWriterKeepsEveryCompletedCall) {
  TempFolder folder;
  const std::string store = folder.path() + "/registry.db";
  int output = -1;
  const pid_t writer =
      StartRegistryChild(store, "writer", {"Software\\Killed", "1000000"}, &output);
  std::string reported;
  char buffer[4096];
  // Let it get well into its stream, then kill it without warning.
  while (std::count(reported.begin(), reported.end(), '\n') < 1500) {
    const ssize_t got = read(output, buffer, sizeof buffer);
    if (got <= 0) break;
    reported.append(buffer, static_cast<std::size_t>(got));
  }
  kill(writer, SIGKILL);
  for (ssize_t got; (got = read(output, buffer, sizeof buffer)) > 0;)
    reported.append(buffer, static_cast<std::size_t>(got));
  close(output);
  EXPECT_EQ(WaitForChild(writer), 128 + SIGKILL);

  std::vector<std::string> lines = Lines(reported);
  // A line cut by the kill says nothing; the one before it is complete.
  if (!reported.empty() && reported.back() != '\n') lines.pop_back();
  ASSERT_FALSE(lines.empty());
  const long confirmed = std::stol(lines.back()) + 1;
  const ChildRun check =
      RunRegistryChild(store, "check", {"Software\\Killed", std::to_string(confirmed)});
  // Every value whose call returned is there; the one in flight may or may not be.
  EXPECT_TRUE(check.output == "ok " + std::to_string(confirmed) + "\n" ||
              check.output == "ok " + std::to_string(confirmed + 1) + "\n")
      << check.output << " after " << confirmed << " confirmed";
  EXPECT_EQ(Sqlite(store, "PRAGMA integrity_check"), "ok");
}

// A store with its log copied back, so that the database file alone holds everything.
std::string MakeStore(const std::string& store) {
  const ChildRun writer = RunRegistryChild(store, "writer", {"Software\\Filled", "300"});
  EXPECT_EQ(writer.status, 0);
  Sqlite(store, "PRAGMA wal_checkpoint(TRUNCATE)");
  return ReadFileBytes(store);
}

TEST(RegistryReliability, FilesThatAreNotStoresAreRefusedAndLeftAlone) {
  std::string garbage(8192, '\0');
  for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<char>(i * 7919 % 251);
  struct Case {
    const char* what;
    LONG result;
  };
  // clang-format off
  const Case cases[] = {
      {"garbage",                 ERROR_BADDB},
      {"text",                    ERROR_BADDB},
      {"header only",             ERROR_BADDB},
      {"truncated at a page",     ERROR_BADDB},
      {"truncated within a page", ERROR_BADDB},
      {"damaged pages",           ERROR_BADDB},
      {"later schema",            ERROR_REVISION_MISMATCH},
      {"other SQLite database",   ERROR_BADDB},
  };
  // clang-format on
  for (const Case& c : cases) {
    TempFolder folder;
    const std::string store = folder.path() + "/registry.db";
    const std::string what = c.what;
    if (what == "garbage") {
      WriteFileBytes(store, garbage);
    } else if (what == "text") {
      WriteFileBytes(store, "HKEY_CURRENT_USER\\Software = 1\n");
    } else if (what == "header only") {
      WriteFileBytes(store, MakeStore(store).substr(0, 100));
    } else if (what == "truncated at a page") {
      const std::string whole = MakeStore(store);
      ASSERT_GT(whole.size(), 4 * 4096u);
      WriteFileBytes(store, whole.substr(0, whole.size() / 4096 / 2 * 4096));
    } else if (what == "truncated within a page") {
      const std::string whole = MakeStore(store);
      WriteFileBytes(store, whole.substr(0, whole.size() - 1000));
    } else if (what == "damaged pages") {
      std::string whole = MakeStore(store);
      ASSERT_GT(whole.size(), 3 * 4096u);
      for (std::size_t i = 4096; i < whole.size(); ++i) whole[i] = garbage[i % garbage.size()];
      WriteFileBytes(store, whole);
    } else if (what == "later schema") {
      MakeStore(store);
      Sqlite(store, "PRAGMA user_version=2");
    } else {
      Sqlite(store, "CREATE TABLE notes(text); INSERT INTO notes VALUES('mine')");
    }
    const std::string before = ReadFileBytes(store);
    const ChildRun probe = RunRegistryChild(store, "probe");
    const std::string code = std::to_string(c.result);
    EXPECT_EQ(probe.output, code + "\n" + code + "\n" + code + "\n") << c.what;
    EXPECT_TRUE(ReadFileBytes(store) == before) << c.what << ": the file was changed";
  }
}

TEST(RegistryReliability, MissingOrEmptyFileIsANewStore) {
  TempFolder folder;
  const std::string store = folder.path() + "/new/folder/registry.db";
  EXPECT_EQ(RunRegistryChild(store, "probe").output, "0\n0\n0\n");
  struct stat status;
  ASSERT_EQ(stat(store.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);
  for (const std::string& made : {folder.path() + "/new", folder.path() + "/new/folder"}) {
    ASSERT_EQ(stat(made.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0700u) << made;
  }
  const std::string empty = folder.path() + "/empty.db";
  WriteFileBytes(empty, "");
  EXPECT_EQ(RunRegistryChild(empty, "probe").output, "0\n0\n0\n");
  EXPECT_EQ(RunRegistryChild(empty, "read", {"Software\\Probe", "p"}).output, "x\n");
}

}  // namespace

pid_t StartRegistryChild(const std::string& store, const std::string& role,
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

int WaitForChild(pid_t pid) {
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return WEXITSTATUS(status);
}

ChildRun RunRegistryChild(const std::string& store, const std::string& role,
                          const std::vector<std::string>& args) {
  ChildRun run;
  int output = -1;
  const pid_t pid = StartRegistryChild(store, role, args, &output);
  if (pid < 0) return run;
  char buffer[4096];
  for (ssize_t got; (got = read(output, buffer, sizeof buffer)) > 0;)
    run.output.append(buffer, static_cast<std::size_t>(got));
  close(output);
  run.status = WaitForChild(pid);
  return run;
}

TempFolder::TempFolder() {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "plinth-registry-XXXXXX").string();
  if (mkdtemp(pattern.data())) path_ = pattern;
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace plinth::test
