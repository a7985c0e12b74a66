#pragma once
// Launch tests start their own test program again as the child, so that no tool of the machine
// is needed. A program whose environment names a record file (kChildRecordMarker) runs no
// tests: before main it writes its arguments, PATH and working folder there and ends, with the
// exit code of an argument --exit=N, after waiting while the file of --hold=FILE exists.
// ChildProgram names the child after this process (a link on POSIX, a copy beside the DLLs on
// Windows), so that App Paths entries never meet those of a test running in parallel.

#include <plinth/win32.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#if !defined(_WIN32)
#include <unistd.h>
#endif

namespace plinth::test {

inline constexpr char kChildRecordMarker[] = "PLINTH_TEST_CHILD_RECORD";

struct ChildRecord {
  std::vector<std::string> arguments;  // without the program's own name
  std::optional<std::string> path;     // PATH, unset: nullopt
  std::string folder;
};

inline bool RunAsChildWhenAsked() {
  const char* recordFile = std::getenv(kChildRecordMarker);
  if (recordFile == nullptr || *recordFile == '\0') return false;
  std::vector<std::string> arguments;
#if defined(_WIN32)
  for (int i = 1; i < __argc; ++i) arguments.emplace_back(__argv[i]);
#else
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  for (std::string argument; std::getline(in, argument, '\0');) arguments.push_back(argument);
  if (!arguments.empty()) arguments.erase(arguments.begin());
#endif
  int exitCode = 0;
  std::string hold;
  for (const std::string& argument : arguments) {
    if (argument.rfind("--exit=", 0) == 0) exitCode = std::atoi(argument.c_str() + 7);
    if (argument.rfind("--hold=", 0) == 0) hold = argument.substr(7);
  }
  std::error_code ignored;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  while (!hold.empty() && std::filesystem::exists(hold, ignored) &&
         std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  // Entries end in NUL: "A" + argument, "P" + PATH, "C" + folder. Written aside, then renamed,
  // so a reader never sees half of it.
  std::string record;
  for (const std::string& argument : arguments) record += "A" + argument + '\0';
  if (const char* path = std::getenv("PATH")) record += "P" + std::string(path) + '\0';
  record += "C" + std::filesystem::current_path(ignored).string() + '\0';
  const std::string partial = std::string(recordFile) + ".partial";
  std::ofstream(partial, std::ios::binary) << record;
  std::filesystem::rename(partial, recordFile, ignored);
  std::_Exit(exitCode);
}

inline const bool kRanAsChild = RunAsChildWhenAsked();

// The record a child wrote, once it is there (up to 30 s), removed after reading.
inline std::optional<ChildRecord> ReadChildRecord(const std::string& file) {
  std::error_code ignored;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!std::filesystem::exists(file, ignored)) {
    if (std::chrono::steady_clock::now() > deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  std::stringstream content;
  content << std::ifstream(file, std::ios::binary).rdbuf();
  std::filesystem::remove(file, ignored);
  ChildRecord record;
  for (std::string entry; std::getline(content, entry, '\0');) {
    if (entry.empty()) continue;
    if (entry[0] == 'A') record.arguments.push_back(entry.substr(1));
    if (entry[0] == 'P') record.path = entry.substr(1);
    if (entry[0] == 'C') record.folder = entry.substr(1);
  }
  return record;
}

class ChildProgram {
 public:
  ChildProgram() {
#if defined(_WIN32)
    char self[MAX_PATH * 4];
    const DWORD length = GetModuleFileNameA(nullptr, self, sizeof self);
    const std::filesystem::path program(std::string(self, length));
    file_ =
        program.parent_path() / ("plinthchild" + std::to_string(GetCurrentProcessId()) + ".exe");
    CopyFileA(program.string().c_str(), file_.string().c_str(), FALSE);
#else
    std::error_code ignored;
    const std::string name = "plinthchild" + std::to_string(getpid());
    folder_ = std::filesystem::temp_directory_path() / name;
    std::filesystem::create_directories(folder_, ignored);
    file_ = folder_ / name;
    std::filesystem::create_symlink(std::filesystem::read_symlink("/proc/self/exe", ignored), file_,
                                    ignored);
#endif
  }
  ~ChildProgram() {
    std::error_code ignored;
    std::filesystem::remove(file_, ignored);
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
  }
  ChildProgram(const ChildProgram&) = delete;
  ChildProgram& operator=(const ChildProgram&) = delete;

  // The program as a command line names it (unquoted), its last component, and that without
  // an extension.
  std::string Command() const { return file_.string(); }
  std::string FileName() const { return file_.filename().string(); }
  std::string Name() const { return file_.stem().string(); }
  std::string Folder() const { return file_.parent_path().string(); }

 private:
  std::filesystem::path folder_;
  std::filesystem::path file_;
};

}  // namespace plinth::test
