#pragma once
// Tests of process launching start their own test program again as the child, so that no tool
// of the machine is needed. A program whose environment names a record file (the marker below)
// does not run its tests: before main, it writes what it received (its arguments, PATH, its
// working folder) to that file and ends. Its arguments steer it:
//   --exit=N     end with exit code N (else 0)
//   --hold=FILE  first stay alive while FILE exists (at most a minute)
// The record is written under another name and renamed, so a reader never sees half of it.
//
// ChildProgram gives the child a name of its own per test process (a link on POSIX, a copy
// beside the DLLs on Windows), so that registry entries keyed by the program's name (App Paths)
// never meet those of a test running in parallel.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#if defined(_WIN32)
#include <plinth/win32.h>
#else
#include <unistd.h>
#endif

namespace plinth::test {

inline constexpr char kChildRecordMarker[] = "PLINTH_TEST_CHILD_RECORD";

// What a child received.
struct ChildRecord {
  std::vector<std::string> arguments;  // without the program's own name
  bool pathSet = false;
  std::string path;
  std::string folder;
};

namespace child_detail {

inline std::vector<std::string> OwnArguments() {
  std::vector<std::string> arguments;
#if defined(_WIN32)
  for (int i = 0; i < __argc; ++i) arguments.emplace_back(__argv[i]);
#else
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  std::string argument;
  while (std::getline(in, argument, '\0')) arguments.push_back(argument);
#endif
  return arguments;
}

inline bool StartsWith(const std::string& text, const char* prefix, std::string& rest) {
  const std::string head(prefix);
  if (text.compare(0, head.size(), head) != 0) return false;
  rest = text.substr(head.size());
  return true;
}

// Entries separated by NUL bytes: "A" + argument, "P" + PATH or "U" when unset, "C" + folder.
inline bool RunAsChildWhenAsked() {
  const char* recordFile = std::getenv(kChildRecordMarker);
  if (recordFile == nullptr || *recordFile == '\0') return false;
  const std::vector<std::string> arguments = OwnArguments();
  int exitCode = 0;
  std::string hold;
  std::string value;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    if (StartsWith(arguments[i], "--exit=", value)) exitCode = std::atoi(value.c_str());
    if (StartsWith(arguments[i], "--hold=", value)) hold = value;
  }
  std::error_code ignored;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  while (!hold.empty() && std::filesystem::exists(hold, ignored) &&
         std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));

  std::string record;
  for (std::size_t i = 1; i < arguments.size(); ++i) record += "A" + arguments[i] + '\0';
  const char* path = std::getenv("PATH");
  record += path ? "P" + std::string(path) + '\0' : std::string("U") + '\0';
  record += "C" + std::filesystem::current_path(ignored).string() + '\0';
  const std::string partial = std::string(recordFile) + ".partial";
  {
    std::ofstream out(partial, std::ios::binary);
    out << record;
  }
  std::filesystem::rename(partial, recordFile, ignored);
  std::fflush(nullptr);
  std::_Exit(exitCode);
}

inline const bool kRanAsChild = RunAsChildWhenAsked();

}  // namespace child_detail

// The record a child wrote, waiting for it up to 30 s; false when none came.
inline bool ReadChildRecord(const std::string& file, ChildRecord& record) {
  std::error_code ignored;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!std::filesystem::exists(file, ignored)) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  std::ifstream in(file, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  record = ChildRecord();
  std::string entry;
  while (std::getline(content, entry, '\0')) {
    if (entry.empty()) continue;
    const std::string text = entry.substr(1);
    switch (entry[0]) {
      case 'A': record.arguments.push_back(text); break;
      case 'P':
        record.pathSet = true;
        record.path = text;
        break;
      case 'C': record.folder = text; break;
      default: break;
    }
  }
  in.close();
  std::filesystem::remove(file, ignored);
  return true;
}

inline std::string RunningProgramPath() {
#if defined(_WIN32)
  char path[MAX_PATH * 4];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  return std::string(path, length);
#else
  std::error_code ignored;
  return std::filesystem::read_symlink("/proc/self/exe", ignored).string();
#endif
}

// The test program under a name of this process's own, in a folder without blanks where the
// system allows. Name() is the base name without extension; Command() the program as a command
// line writes it, unquoted (with ".exe" on Windows).
class ChildProgram {
 public:
  ChildProgram() {
    const std::filesystem::path self = RunningProgramPath();
#if defined(_WIN32)
    name_ = "plinthchild" + std::to_string(GetCurrentProcessId());
    // A copy beside the original finds the DLLs the original finds.
    file_ = self.parent_path() / (name_ + ".exe");
    CopyFileA(self.string().c_str(), file_.string().c_str(), FALSE);
    command_ = file_.string();
#else
    name_ = "plinthchild" + std::to_string(getpid());
    folder_ = std::filesystem::temp_directory_path() / name_;
    std::error_code ignored;
    std::filesystem::create_directories(folder_, ignored);
    file_ = folder_ / name_;
    std::filesystem::create_symlink(self, file_, ignored);
    command_ = file_.string();
#endif
  }
  ~ChildProgram() {
    std::error_code ignored;
    std::filesystem::remove(file_, ignored);
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
  }
  ChildProgram(const ChildProgram&) = delete;
  ChildProgram& operator=(const ChildProgram&) = delete;

  const std::string& Name() const { return name_; }
  // The last component of Command(), as the App Paths lookup takes it.
  std::string FileName() const { return file_.filename().string(); }
  const std::string& Command() const { return command_; }
  // The folder the program is in, as the file system spells it.
  std::string Folder() const { return file_.parent_path().string(); }

 private:
  std::string name_;
  std::filesystem::path folder_;
  std::filesystem::path file_;
  std::string command_;
};

}  // namespace plinth::test
