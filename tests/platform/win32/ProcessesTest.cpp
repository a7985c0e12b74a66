// Starting a program, waiting with a limit and reading its exit code, as Windows does it. The
// child is this test program again (support/ChildProgram.h), held until the test lets it go.

#include <gtest/gtest.h>
#include <plinth/win32.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/ChildProgram.h"
#include "support/TempTree.h"

namespace {

constexpr DWORD kSentinel = 0xDEADBEEF;

// Starts commandLine in a new console group; the creation's result.
bool Start(const std::string& commandLine, PROCESS_INFORMATION& info) {
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  return CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE,
                        CREATE_NEW_CONSOLE | CREATE_NEW_PROCESS_GROUP | NORMAL_PRIORITY_CLASS,
                        nullptr, nullptr, &startup, &info);
}

TEST(Processes, StillActiveUntilEndedThenTheExitCodeOrFileNotFound) {
  PROCESS_INFORMATION info{};
  SetLastError(kSentinel);
  EXPECT_FALSE(Start("plinth-no-such-program.exe /x", info));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

  plinth::test::TempTree temp;
  const std::string hold = (temp.Root() / "hold").string();
  const std::string record = (temp.Root() / "record").string();
  std::ofstream(hold) << "";
  SetEnvironmentVariableA(plinth::test::kChildRecordMarker, record.c_str());
  const bool started = Start(
      "\"" + ::testing::internal::GetArgvs()[0] + "\" --exit=3 \"--hold=" + hold + "\"", info);
  SetEnvironmentVariableA(plinth::test::kChildRecordMarker, nullptr);
  ASSERT_TRUE(started) << GetLastError();
  EXPECT_NE(info.dwProcessId, 0u);
  EXPECT_NE(info.dwProcessId, GetCurrentProcessId());

  DWORD code = kSentinel;
  EXPECT_EQ(WaitForSingleObject(info.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(WaitForSingleObject(info.hProcess, 20), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
  EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));

  std::filesystem::remove(hold);
  EXPECT_EQ(WaitForSingleObject(info.hProcess, INFINITE), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_EQ(WaitForSingleObject(info.hProcess, 0), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
  EXPECT_EQ(code, 3u);
  EXPECT_TRUE(plinth::test::ReadChildRecord(record).has_value());

  EXPECT_TRUE(CloseHandle(info.hThread));
  EXPECT_TRUE(CloseHandle(info.hProcess));
  SetLastError(kSentinel);
  EXPECT_FALSE(CloseHandle(info.hProcess));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

}  // namespace
