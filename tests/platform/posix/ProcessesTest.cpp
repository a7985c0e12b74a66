// Process creation on POSIX, seen from real children. The child is this test program run
// again: when PLINTH_PROCESS_CHILD names a file, it writes what it was started with there
// (argv, working directory, process group, session, open descriptors, PATH, PLINTH_PROBE) and
// exits before any test runs.

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <plinth/win32.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

const char kChildMarker[] = "PLINTH_PROCESS_CHILD";

// Fields, each ended by a NUL: cwd, "group" or "-", "session" or "-", the open descriptors
// ("0 1 2 ..."), PATH, PLINTH_PROBE, then argv.
bool RunAsChildWhenAsked(int argc, char** argv) {
  const char* report = getenv(kChildMarker);
  if (report == nullptr || *report == '\0') return false;
  std::string out;
  auto field = [&out](const std::string& text) {
    out += text;
    out += '\0';
  };
  char cwd[4096] = "";
  field(getcwd(cwd, sizeof cwd) ? cwd : "?");
  field(getpgrp() == getpid() ? "group" : "-");
  field(getsid(0) == getpid() ? "session" : "-");
  std::string fds;
  if (DIR* dir = opendir("/proc/self/fd")) {
    std::set<int> numbers;
    while (dirent* entry = readdir(dir))
      if (entry->d_name[0] != '.') numbers.insert(atoi(entry->d_name));
    numbers.erase(dirfd(dir));
    closedir(dir);
    for (int n : numbers) fds += std::to_string(n) + " ";
  }
  field(fds);
  field(getenv("PATH") ? getenv("PATH") : "<unset>");
  field(getenv("PLINTH_PROBE") ? getenv("PLINTH_PROBE") : "<unset>");
  for (int i = 0; i < argc; ++i) field(argv[i]);
  const int fd = open(report, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd >= 0) {
    if (write(fd, out.data(), out.size()) < 0) _exit(3);
    close(fd);
  }
  _exit(0);
}

// Reads /proc/self/cmdline, as main's arguments are not at hand in a static initialiser.
bool ChildMode() {
  if (getenv(kChildMarker) == nullptr) return false;
  std::string all;
  {
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    all.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::vector<std::string> args;
  std::vector<char*> argv;
  for (std::size_t start = 0; start < all.size();) {
    const std::size_t end = all.find('\0', start);
    args.push_back(all.substr(start, end - start));
    start = end == std::string::npos ? all.size() : end + 1;
  }
  for (std::string& a : args) argv.push_back(&a[0]);
  return RunAsChildWhenAsked(static_cast<int>(argv.size()), argv.data());
}

const bool g_childMode = ChildMode();

std::string SelfPath() {
  char path[4096];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string();
}

struct Report {
  std::string cwd;
  bool group = false;
  bool session = false;
  std::string fds;
  std::string path;
  std::string probe;
  std::vector<std::string> argv;
};

class ProcessesPosix : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/plinth-processes-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    report_ = dir_ + "/report";
    setenv(kChildMarker, report_.c_str(), 1);
    savedPath_ = getenv("PATH") ? getenv("PATH") : "";
  }
  void TearDown() override {
    unsetenv(kChildMarker);
    setenv("PATH", savedPath_.c_str(), 1);
    const std::string command = "rm -rf '" + dir_ + "'";
    EXPECT_EQ(system(command.c_str()), 0);
  }

  // Starts commandLine and waits for it; the exit code, or the creation's error + 1000.
  DWORD Run(const std::string& commandLine, DWORD flags = 0, const char* cwd = nullptr,
            BOOL inherit = FALSE, const char* environment = nullptr) {
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    SetLastError(0xBAD);
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, inherit, flags,
                        const_cast<char*>(environment), cwd, &startup, &info))
      return 1000 + GetLastError();
    EXPECT_EQ(info.dwThreadId, info.dwProcessId);
    EXPECT_EQ(WaitForSingleObject(info.hThread, INFINITE), static_cast<DWORD>(WAIT_OBJECT_0));
    DWORD code = 0xBAD;
    EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
    EXPECT_TRUE(CloseHandle(info.hProcess));
    EXPECT_TRUE(CloseHandle(info.hThread));
    return code;
  }

  // Runs this program as the child with arguments and reads its report.
  Report RunChild(const std::string& arguments, DWORD flags = 0, const char* cwd = nullptr,
                  BOOL inherit = FALSE, const char* environment = nullptr) {
    unlink(report_.c_str());
    const DWORD code = Run("\"" + SelfPath() + "\" " + arguments, flags, cwd, inherit, environment);
    EXPECT_EQ(code, 0u) << arguments;
    return ReadReport();
  }

  Report ReadReport() {
    std::ifstream in(report_, std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> fields;
    for (std::size_t start = 0; start < all.size();) {
      const std::size_t end = all.find('\0', start);
      fields.push_back(all.substr(start, end - start));
      start = end + 1;
    }
    Report report;
    if (fields.size() < 6) return report;
    report.cwd = fields[0];
    report.group = fields[1] == "group";
    report.session = fields[2] == "session";
    report.fds = fields[3];
    report.path = fields[4];
    report.probe = fields[5];
    report.argv.assign(fields.begin() + 6, fields.end());
    return report;
  }

  void MakeFile(const std::string& path, const std::string& text, mode_t mode) {
    std::ofstream(path) << text;
    chmod(path.c_str(), mode);
  }

  std::string dir_;
  std::string report_;
  std::string savedPath_;
};

using Args = std::vector<std::string>;

TEST_F(ProcessesPosix, SplitsArgumentsAsTheWindowsRuntime) {
  struct Case {
    const char* line;
    Args expected;
  };
  const Case cases[] = {
      {"a b\tc", {"a", "b", "c"}},
      {"  a   b  ", {"a", "b"}},
      {R"("a b" c)", {"a b", "c"}},
      {R"(x"a b"y)", {"xa by"}},
      {R"(a\b c\\d)", {R"(a\b)", R"(c\\d)"}},
      {R"(a\\"b c")", {R"(a\b c)"}},
      {R"(a\"b)", {R"(a"b)"}},
      {R"(a\\\"b)", {R"(a\"b)"}},
      {R"(a\\\\"b")", {R"(a\\b)"}},
      {R"("a""b")", {R"(a"b)"}},
      {R"("" x)", {"", "x"}},
      {R"("open ended)", {"open ended"}},
      {R"(trailing\)", {R"(trailing\)"}},
      {"; | $(echo x) `id` > out & * 'q' %PATH% $HOME",
       {";", "|", "$(echo", "x)", "`id`", ">", "out", "&", "*", "'q'", "%PATH%", "$HOME"}},
  };
  for (const Case& c : cases) {
    const Report report = RunChild(c.line);
    ASSERT_FALSE(report.argv.empty()) << c.line;
    EXPECT_EQ(report.argv[0], SelfPath()) << c.line;
    EXPECT_EQ(Args(report.argv.begin() + 1, report.argv.end()), c.expected) << c.line;
  }
  EXPECT_EQ(access((dir_ + "/out").c_str(), F_OK), -1) << "a shell ran the line";
}

TEST_F(ProcessesPosix, ProgramTokenEndsAtTheClosingQuoteOrFirstBlank) {
  const std::string spaced = dir_ + "/with space";
  ASSERT_EQ(mkdir(spaced.c_str(), 0700), 0);
  ASSERT_EQ(symlink(SelfPath().c_str(), (spaced + "/child").c_str()), 0);
  std::string line = "\"" + spaced + "/child\"x y";
  EXPECT_EQ(Run(line), 0u);
  const Report report = ReadReport();
  EXPECT_EQ(report.argv, Args({spaced + "/child", "x", "y"}));
  // Unquoted, the program ends at the blank inside the folder name.
  EXPECT_EQ(Run(spaced + "/child"), 1000u + ERROR_FILE_NOT_FOUND);
}

TEST_F(ProcessesPosix, SearchesPathOfTheMomentTakingNameForMissingExe) {
  const std::string bin = dir_ + "/bin";
  const std::string other = dir_ + "/other";
  ASSERT_EQ(mkdir(bin.c_str(), 0700), 0);
  ASSERT_EQ(mkdir(other.c_str(), 0700), 0);
  ASSERT_EQ(symlink(SelfPath().c_str(), (bin + "/plinthchild").c_str()), 0);
  MakeFile(other + "/plinthchild", "not a program", 0600);  // found first, cannot run
  MakeFile(dir_ + "/inworkdir", "#!/bin/sh\n", 0700);

  struct Case {
    std::string path;
    std::string line;
    DWORD expected;  // exit code, or 1000 + error
  };
  const Case cases[] = {
      {bin, "plinthchild a", 0},
      {bin, "plinthchild.exe a", 0},
      {bin, "PLINTHCHILD a", 1000 + ERROR_FILE_NOT_FOUND},  // names keep their case
      {"/nonexistent;" + bin + ":/usr/bin", "plinthchild.exe", 0},
      {";" + bin + ";", "plinthchild", 0},    // "app;old" with both empty
      {other + ":" + bin, "plinthchild", 0},  // skips what cannot run
      {other, "plinthchild", 1000 + ERROR_ACCESS_DENIED},
      {"", "plinthchild", 1000 + ERROR_FILE_NOT_FOUND},
      {"::;;", "inworkdir", 1000 + ERROR_FILE_NOT_FOUND},  // empty never means "."
  };
  ASSERT_EQ(chdir(dir_.c_str()), 0);
  for (const Case& c : cases) {
    setenv("PATH", c.path.c_str(), 1);
    EXPECT_EQ(Run(c.line), c.expected) << c.path << " | " << c.line;
  }
  ASSERT_EQ(chdir("/"), 0);
}

TEST_F(ProcessesPosix, ReportsWhyAProgramCannotStart) {
  MakeFile(dir_ + "/text", "plain text, no interpreter line\n", 0700);
  MakeFile(dir_ + "/private", "#!/bin/sh\n", 0600);
  struct Case {
    std::string line;
    DWORD error;
  };
  const Case cases[] = {
      {"plinth-no-such-program x", ERROR_FILE_NOT_FOUND},
      {dir_ + "/missing", ERROR_FILE_NOT_FOUND},
      {dir_ + "/nofolder/missing", ERROR_PATH_NOT_FOUND},
      {dir_ + "/private", ERROR_ACCESS_DENIED},
      {dir_, ERROR_ACCESS_DENIED},
      {dir_ + "/text", ERROR_BAD_EXE_FORMAT},
      {"\"\" x", ERROR_FILE_NOT_FOUND},
      {" \t\"\"", ERROR_FILE_NOT_FOUND},
      {"   ", ERROR_INVALID_PARAMETER},
  };
  for (const Case& c : cases) EXPECT_EQ(Run(c.line), 1000 + c.error) << c.line;

  STARTUPINFOA startup{};
  char line[] = "/bin/true";
  EXPECT_FALSE(CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                              nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(ProcessesPosix, ApplicationNameIsTakenAsItStands) {
  const std::string windowsStyle = "c:" + std::string("\\bin\\true.exe");
  PROCESS_INFORMATION info{};
  STARTUPINFOA startup{};
  char line[] = "ignored-name a";
  ASSERT_TRUE(CreateProcessA(windowsStyle.c_str(), line, nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &info));
  EXPECT_EQ(WaitForSingleObject(info.hProcess, INFINITE), static_cast<DWORD>(WAIT_OBJECT_0));
  CloseHandle(info.hProcess);
  CloseHandle(info.hThread);
  setenv("PATH", "/bin:/usr/bin", 1);
  EXPECT_FALSE(CreateProcessA("true", line, nullptr, nullptr, FALSE, 0, nullptr, "/", &startup,
                              &info));  // no PATH search, and the caller's directory counts
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(ProcessesPosix, WorkingDirectoryIsTheChildsOnly) {
  std::string windowsStyle = dir_;
  for (char& c : windowsStyle)
    if (c == '/') c = '\\';
  EXPECT_EQ(RunChild("x", 0, dir_.c_str()).cwd, dir_);
  EXPECT_EQ(RunChild("x", 0, windowsStyle.c_str()).cwd, dir_);
  char own[4096];
  ASSERT_NE(getcwd(own, sizeof own), nullptr);
  EXPECT_EQ(RunChild("x", 0, "").cwd, own);
  EXPECT_EQ(RunChild("x", 0, nullptr).cwd, own);

  MakeFile(dir_ + "/file", "", 0600);
  EXPECT_EQ(Run("/bin/true", 0, (dir_ + "/missing").c_str()), 1000u + ERROR_DIRECTORY);
  EXPECT_EQ(Run("/bin/true", 0, (dir_ + "/file").c_str()), 1000u + ERROR_DIRECTORY);

  // A relative program is found from the caller's directory, not the child's.
  ASSERT_EQ(symlink(SelfPath().c_str(), (dir_ + "/child").c_str()), 0);
  ASSERT_EQ(chdir(dir_.c_str()), 0);
  EXPECT_EQ(Run("./child x", 0, "/"), 0u);
  ASSERT_EQ(chdir(own), 0);
}

TEST_F(ProcessesPosix, ExitCodesIncludingSignals) {
  struct Case {
    const char* line;
    DWORD code;
  };
  const Case cases[] = {
      {"/bin/sh -c \"exit 0\"", 0},
      {"/bin/sh -c \"exit 3\"", 3},
      {"/bin/sh -c \"exit 255\"", 255},
      {"/bin/sh -c \"kill -KILL $$\"", 128 + SIGKILL},
      {"/bin/sh -c \"kill -TERM $$\"", 128 + SIGTERM},
  };
  for (const Case& c : cases) EXPECT_EQ(Run(c.line), c.code) << c.line;
}

TEST_F(ProcessesPosix, WaitsWithLimitsAndReportsStillActive) {
  PROCESS_INFORMATION info{};
  STARTUPINFOA startup{};
  char line[] = "/bin/sleep 30";
  ASSERT_TRUE(
      CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info));
  DWORD code = 0;
  for (DWORD limit : {0u, 1u, 30u}) {
    EXPECT_EQ(WaitForSingleObject(info.hProcess, limit), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
    EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));
  }
  // A waiter on another thread wakes when the child ends.
  std::atomic<DWORD> waited{0xBAD};
  std::thread waiter([&] { waited = WaitForSingleObject(info.hThread, INFINITE); });
  kill(static_cast<pid_t>(info.dwProcessId), SIGKILL);
  waiter.join();
  EXPECT_EQ(waited.load(), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_EQ(WaitForSingleObject(info.hProcess, 0), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
  EXPECT_EQ(code, 128u + SIGKILL);
  EXPECT_TRUE(CloseHandle(info.hProcess));
  EXPECT_TRUE(CloseHandle(info.hThread));
}

TEST_F(ProcessesPosix, HandlesAreCheckedAndClosedOnce) {
  PROCESS_INFORMATION info{};
  STARTUPINFOA startup{};
  char line[] = "/bin/true";
  ASSERT_TRUE(
      CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info));
  DWORD code = 0xBAD;
  SetLastError(0);
  EXPECT_FALSE(GetExitCodeProcess(info.hThread, &code));  // a thread is not a process
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(code, 0xBADu);
  EXPECT_TRUE(CloseHandle(info.hThread));
  EXPECT_EQ(WaitForSingleObject(info.hProcess, INFINITE), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_TRUE(CloseHandle(info.hProcess));

  for (HANDLE bad : {info.hProcess, info.hThread, HANDLE{}, reinterpret_cast<HANDLE>(0x7200002)}) {
    SetLastError(0);
    EXPECT_EQ(WaitForSingleObject(bad, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    SetLastError(0);
    EXPECT_FALSE(CloseHandle(bad));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(GetExitCodeProcess(bad, &code));
  }
  EXPECT_TRUE(CloseHandle(GetCurrentProcess()));
}

TEST_F(ProcessesPosix, GroupsSessionsDescriptorsAndEnvironment) {
  EXPECT_FALSE(RunChild("x").group);
  EXPECT_TRUE(RunChild("x", CREATE_NEW_PROCESS_GROUP).group);
  const Report console = RunChild("x", CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS);
  EXPECT_TRUE(console.session);
  EXPECT_TRUE(console.group);

  const int inheritable = open("/dev/null", O_RDONLY);  // no O_CLOEXEC: exec keeps it
  ASSERT_GE(inheritable, 3);
  const std::string number = " " + std::to_string(inheritable) + " ";
  EXPECT_EQ(RunChild("x", 0, nullptr, FALSE).fds, "0 1 2 ");
  EXPECT_NE((" " + RunChild("x", 0, nullptr, TRUE).fds).find(number), std::string::npos);
  close(inheritable);

  setenv("PLINTH_PROBE", "inherited", 1);
  EXPECT_EQ(RunChild("x").probe, "inherited");
  unsetenv("PLINTH_PROBE");
  const std::string block =
      std::string(kChildMarker) + "=" + report_ + '\0' + "PLINTH_PROBE=given" + '\0' + '\0';
  const Report given = RunChild("x", 0, nullptr, FALSE, block.c_str());
  EXPECT_EQ(given.probe, "given");
  EXPECT_EQ(given.path, "<unset>");
}

// Every child of this process that the system still lists, zombies included.
int ChildrenOfThisProcess() {
  int count = 0;
  const std::string self = std::to_string(getpid());
  DIR* proc = opendir("/proc");
  if (!proc) return -1;
  while (dirent* entry = readdir(proc)) {
    if (entry->d_name[0] < '0' || entry->d_name[0] > '9') continue;
    std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
    std::string text;
    std::getline(stat, text);
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream rest(text.substr(close + 2));
    std::string state, parent;
    rest >> state >> parent;
    if (parent == self) ++count;
  }
  closedir(proc);
  return count;
}

int ThreadsOfThisProcess() {
  int count = 0;
  DIR* tasks = opendir("/proc/self/task");
  if (!tasks) return -1;
  while (dirent* entry = readdir(tasks))
    if (entry->d_name[0] != '.') ++count;
  closedir(tasks);
  return count;
}

// Waits (as a guard against hanging, not as a measure of speed) until f() gives expected.
template <typename F>
bool Eventually(F f, int expected) {
  for (int i = 0; i < 2000; ++i) {
    if (f() == expected) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

TEST_F(ProcessesPosix, ClosedHandlesLeaveNoZombies) {
  const int threads = ThreadsOfThisProcess();
  STARTUPINFOA startup{};
  for (int i = 0; i < 1000; ++i) {
    PROCESS_INFORMATION info{};
    char line[] = "/bin/true";
    ASSERT_TRUE(CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &info));
    ASSERT_TRUE(CloseHandle(info.hProcess));
    ASSERT_TRUE(CloseHandle(info.hThread));
  }
  EXPECT_TRUE(Eventually(ChildrenOfThisProcess, 0)) << ChildrenOfThisProcess() << " left";
  // The reaper ends with its last child.
  EXPECT_TRUE(Eventually(ThreadsOfThisProcess, threads)) << ThreadsOfThisProcess();
}

TEST_F(ProcessesPosix, IgnoredChildSignalNeitherHangsNorCrashes) {
  struct sigaction ignore {
  }, previous{};
  ignore.sa_handler = SIG_IGN;
  ASSERT_EQ(sigaction(SIGCHLD, &ignore, &previous), 0);
  EXPECT_EQ(Run("/bin/sh -c \"exit 3\""), 0xFFFFFFFFu);  // the system kept no status
  PROCESS_INFORMATION info{};
  STARTUPINFOA startup{};
  char line[] = "/bin/sleep 0.05";
  ASSERT_TRUE(
      CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info));
  EXPECT_TRUE(CloseHandle(info.hProcess));
  EXPECT_TRUE(CloseHandle(info.hThread));
  EXPECT_TRUE(Eventually(ChildrenOfThisProcess, 0));
  sigaction(SIGCHLD, &previous, nullptr);
}

TEST_F(ProcessesPosix, ThreadsLaunchAtOnce) {
  std::vector<std::thread> threads;
  std::atomic<int> succeeded{0};
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&succeeded] {
      for (int i = 0; i < 25; ++i) {
        PROCESS_INFORMATION info{};
        STARTUPINFOA startup{};
        char line[] = "/bin/sh -c \"exit 5\"";
        if (!CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &info))
          continue;
        DWORD code = 0;
        if (WaitForSingleObject(info.hProcess, INFINITE) == WAIT_OBJECT_0 &&
            GetExitCodeProcess(info.hProcess, &code) && code == 5)
          ++succeeded;
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(succeeded.load(), 100);
}

}  // namespace
