// Starting a program, waiting with a limit and reading its exit code, as Windows does it. The
// child is this test program again, running only the disabled sleeper below.

#include <gtest/gtest.h>
#include <plinth/win32.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr DWORD kSentinel = 0xDEADBEEF;

TEST(ProcessesChild, DISABLED_SleepThenExit3) {
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  std::exit(3);
}

std::vector<char> Writable(const std::string& text) {
  std::vector<char> line(text.begin(), text.end());
  line.push_back('\0');
  return line;
}

TEST(Processes, MissingProgramFailsWithFileNotFound) {
  std::vector<char> line = Writable("plinth-no-such-program.exe /x");
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  SetLastError(kSentinel);
  EXPECT_FALSE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE,
                              CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &startup, &info));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST(Processes, StillActiveUntilEndedThenTheExitCode) {
  const std::string self = ::testing::internal::GetArgvs()[0];
  std::vector<char> line = Writable("\"" + self +
                                    "\" --gtest_filter=ProcessesChild.DISABLED_SleepThenExit3"
                                    " --gtest_also_run_disabled_tests");
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION info{};
  ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE,
                             CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup,
                             &info))
      << GetLastError();
  EXPECT_NE(info.dwProcessId, 0u);
  EXPECT_NE(info.dwProcessId, GetCurrentProcessId());

  DWORD code = kSentinel;
  EXPECT_EQ(WaitForSingleObject(info.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(WaitForSingleObject(info.hProcess, 20), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
  EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));

  EXPECT_EQ(WaitForSingleObject(info.hProcess, INFINITE), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_EQ(WaitForSingleObject(info.hProcess, 0), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
  EXPECT_EQ(code, 3u);

  EXPECT_TRUE(CloseHandle(info.hThread));
  EXPECT_TRUE(CloseHandle(info.hProcess));
  SetLastError(kSentinel);
  EXPECT_FALSE(CloseHandle(info.hProcess));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

}  // namespace
