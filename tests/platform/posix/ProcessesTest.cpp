// Process creation on POSIX, seen from real children: this test program run again, which
// writes what it was started with (support/ChildProgram.h).

#include <fcntl.h>
#include <gtest/gtest.h>
#include <plinth/win32.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "support/ChildProgram.h"
#include "support/TempTree.h"

namespace {

using plinth::test::ChildRecord;
using plinth::test::SelfProgram;

class ProcessesPosix : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv(plinth::test::kChildRecordMarker, report_.c_str(), 1);
    savedPath_ = getenv("PATH") ? getenv("PATH") : "";
  }
  void TearDown() override {
    unsetenv(plinth::test::kChildRecordMarker);
    setenv("PATH", savedPath_.c_str(), 1);
  }

  // Starts commandLine; false, with the last error set, when it cannot.
  static bool Start(const std::string& commandLine, PROCESS_INFORMATION& info, DWORD flags = 0,
                    const char* cwd = nullptr, BOOL inherit = FALSE,
                    const char* environment = nullptr, const char* application = nullptr) {
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    return CreateProcessA(application, line.data(), nullptr, nullptr, inherit, flags,
                          const_cast<char*>(environment), cwd, &startup, &info);
  }
  // Starts commandLine and waits for it; the exit code, or the creation's error + 1000.
  DWORD Run(const std::string& commandLine, DWORD flags = 0, const char* cwd = nullptr,
            BOOL inherit = FALSE, const char* environment = nullptr,
            const char* application = nullptr) {
    PROCESS_INFORMATION info{};
    if (!Start(commandLine, info, flags, cwd, inherit, environment, application))
      return 1000 + GetLastError();
    EXPECT_EQ(info.dwThreadId, info.dwProcessId);
    EXPECT_EQ(WaitForSingleObject(info.hThread, INFINITE), static_cast<DWORD>(WAIT_OBJECT_0));
    DWORD code = 0xBAD;
    EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
    EXPECT_TRUE(CloseHandle(info.hProcess));
    EXPECT_TRUE(CloseHandle(info.hThread));
    return code;
  }

  // Runs this program as the child with arguments and reads its record.
  ChildRecord RunChild(const std::string& arguments, DWORD flags = 0, const char* cwd = nullptr,
                       BOOL inherit = FALSE, const char* environment = nullptr) {
    EXPECT_EQ(Run("\"" + SelfProgram() + "\" " + arguments, flags, cwd, inherit, environment), 0u)
        << arguments;
    return ReadRecord();
  }
  ChildRecord ReadRecord() {
    return plinth::test::ReadChildRecord(report_, std::chrono::seconds(0)).value_or(ChildRecord());
  }

  void MakeFile(const std::string& path, const std::string& text, mode_t mode) {
    std::ofstream(path) << text;
    chmod(path.c_str(), mode);
  }

  plinth::test::TempTree tree_;
  const std::string dir_ = tree_.Text();
  const std::string report_ = dir_ + "/report";
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
    const ChildRecord record = RunChild(c.line);
    EXPECT_EQ(record.program, SelfProgram()) << c.line;
    EXPECT_EQ(record.arguments, c.expected) << c.line;
  }
  EXPECT_EQ(access((dir_ + "/out").c_str(), F_OK), -1) << "a shell ran the line";
}

TEST_F(ProcessesPosix, ProgramTokenEndsAtTheClosingQuoteOrFirstBlank) {
  const std::string spaced = dir_ + "/with space";
  ASSERT_EQ(mkdir(spaced.c_str(), 0700), 0);
  plinth::test::LinkChild(spaced + "/child");
  EXPECT_EQ(Run("\"" + spaced + "/child\"x y"), 0u);
  const ChildRecord record = ReadRecord();
  EXPECT_EQ(record.program, spaced + "/child");
  EXPECT_EQ(record.arguments, Args({"x", "y"}));
  // Unquoted, the program ends at the blank inside the folder name.
  EXPECT_EQ(Run(spaced + "/child"), 1000u + ERROR_FILE_NOT_FOUND);
}

TEST_F(ProcessesPosix, SearchesPathOfTheMomentTakingNameForMissingExe) {
  const std::string bin = dir_ + "/bin";
  const std::string other = dir_ + "/other";
  ASSERT_EQ(mkdir(bin.c_str(), 0700), 0);
  ASSERT_EQ(mkdir(other.c_str(), 0700), 0);
  plinth::test::LinkChild(bin + "/plinthchild");
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

// No PATH search, and a relative name counts from the caller's directory, not the child's.
TEST_F(ProcessesPosix, ApplicationNameIsTakenAsItStands) {
  EXPECT_EQ(Run("ignored-name a", 0, nullptr, FALSE, nullptr, "c:\\bin\\true.exe"), 0u);
  setenv("PATH", "/bin:/usr/bin", 1);
  EXPECT_EQ(Run("x", 0, "/", FALSE, nullptr, "true"), 1000u + ERROR_FILE_NOT_FOUND);
}

TEST_F(ProcessesPosix, WorkingDirectoryIsTheChildsOnly) {
  std::string windowsStyle = dir_;
  for (char& c : windowsStyle)
    if (c == '/') c = '\\';
  EXPECT_EQ(RunChild("x", 0, dir_.c_str()).folder, dir_);
  EXPECT_EQ(RunChild("x", 0, windowsStyle.c_str()).folder, dir_);
  char own[4096];
  ASSERT_NE(getcwd(own, sizeof own), nullptr);
  EXPECT_EQ(RunChild("x", 0, "").folder, own);
  EXPECT_EQ(RunChild("x", 0, nullptr).folder, own);

  MakeFile(dir_ + "/file", "", 0600);
  EXPECT_EQ(Run("/bin/true", 0, (dir_ + "/missing").c_str()), 1000u + ERROR_DIRECTORY);
  EXPECT_EQ(Run("/bin/true", 0, (dir_ + "/file").c_str()), 1000u + ERROR_DIRECTORY);

  // A relative program is found from the caller's directory, not the child's.
  plinth::test::LinkChild(dir_ + "/child");
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
  ASSERT_TRUE(Start("/bin/sleep 30", info));
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
  ASSERT_TRUE(Start("/bin/true", info));
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
  const ChildRecord console = RunChild("x", CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS);
  EXPECT_TRUE(console.session);
  EXPECT_TRUE(console.group);

  const int inheritable = open("/dev/null", O_RDONLY);  // no O_CLOEXEC: exec keeps it
  ASSERT_GE(inheritable, 3);
  const std::string number = " " + std::to_string(inheritable) + " ";
  EXPECT_EQ(RunChild("x", 0, nullptr, FALSE).descriptors, "0 1 2 ");
  EXPECT_NE((" " + RunChild("x", 0, nullptr, TRUE).descriptors).find(number), std::string::npos);
  close(inheritable);

  setenv("PLINTH_PROBE", "inherited", 1);
  EXPECT_EQ(RunChild("x").probe, "inherited");
  unsetenv("PLINTH_PROBE");
  const std::string block = std::string(plinth::test::kChildRecordMarker) + "=" + report_ + '\0' +
                            "PLINTH_PROBE=given" + '\0' + '\0';
  const ChildRecord given = RunChild("x", 0, nullptr, FALSE, block.c_str());
  EXPECT_EQ(given.probe, "given");
  EXPECT_EQ(given.path, std::nullopt);
}

int ThreadsOfThisProcess() {
  std::error_code ignored;
  const auto tasks = std::filesystem::directory_iterator("/proc/self/task", ignored);
  return static_cast<int>(std::distance(begin(tasks), end(tasks)));
}

TEST_F(ProcessesPosix, ClosedHandlesLeaveNoZombies) {
  const int threads = ThreadsOfThisProcess();
  for (int i = 0; i < 1000; ++i) {
    PROCESS_INFORMATION info{};
    ASSERT_TRUE(Start("/bin/true", info));
    ASSERT_TRUE(CloseHandle(info.hProcess) && CloseHandle(info.hThread));
  }
  EXPECT_EQ(plinth::test::ChildrenOfThisProcess(std::chrono::seconds(20)), 0);
  // The reaper ends with its last child.
  for (int i = 0; i < 2000 && ThreadsOfThisProcess() != threads; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(ThreadsOfThisProcess(), threads);
}

TEST_F(ProcessesPosix, IgnoredChildSignalNeitherHangsNorCrashes) {
  struct sigaction ignore {
  }, previous{};
  ignore.sa_handler = SIG_IGN;
  ASSERT_EQ(sigaction(SIGCHLD, &ignore, &previous), 0);
  EXPECT_EQ(Run("/bin/sh -c \"exit 3\""), 0xFFFFFFFFu);  // the system kept no status
  PROCESS_INFORMATION info{};
  ASSERT_TRUE(Start("/bin/sleep 0.05", info));
  EXPECT_TRUE(CloseHandle(info.hProcess));
  EXPECT_TRUE(CloseHandle(info.hThread));
  EXPECT_EQ(plinth::test::ChildrenOfThisProcess(std::chrono::seconds(20)), 0);
  sigaction(SIGCHLD, &previous, nullptr);
}

TEST_F(ProcessesPosix, ThreadsLaunchAtOnce) {
  std::vector<std::thread> threads;
  std::atomic<int> succeeded{0};
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([this, &succeeded] {
      for (int i = 0; i < 25; ++i) succeeded += Run("/bin/sh -c \"exit 5\"") == 5;
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(succeeded.load(), 100);
}

}  // namespace
