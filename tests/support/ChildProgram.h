#pragma once
// Tests that start programs start their own test program again as the child, so that no tool
// of the machine is needed. A program whose environment names a record file
// (kChildRecordMarker) runs no tests: before main it writes what it was started with there and
// ends, with the exit code of an argument --exit=N (or of PLINTH_TEST_CHILD_EXIT, for a
// stand-in whose arguments are not ours), after waiting while the file of --hold=FILE exists.
// ChildProgram names the child after this process (a link on POSIX, a copy beside the DLLs on
// Windows), so that App Paths entries never meet those of a test running in parallel; on POSIX
// LinkChild puts the child under any name, as the opener or a help viewer.

#include <plinth/win32.h>

#include <algorithm>
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
#include <dirent.h>
#include <unistd.h>
#endif

namespace plinth::test {

inline constexpr char kChildRecordMarker[] = "PLINTH_TEST_CHILD_RECORD";

struct ChildRecord {
  std::string program;                 // argv[0]
  std::vector<std::string> arguments;  // without the program's own name
  std::optional<std::string> path;     // PATH, unset: nullopt
  std::optional<std::string> probe;    // PLINTH_PROBE, unset: nullopt
  std::string folder;
  // POSIX only: leader of its process group, of its session; open descriptors, "0 1 2 ".
  bool group = false, session = false;
  std::string descriptors;
};

inline bool RunAsChildWhenAsked() {
  const char* recordFile = std::getenv(kChildRecordMarker);
  if (recordFile == nullptr || *recordFile == '\0') return false;
  std::vector<std::string> argv;
  // Entries end in NUL, each led by a letter naming it.
  std::string record;
#if defined(_WIN32)
  for (int i = 0; i < __argc; ++i) argv.emplace_back(__argv[i]);
#else
  std::string descriptors;  // listed before this code opens any
  if (DIR* dir = opendir("/proc/self/fd")) {
    std::vector<int> numbers;
    while (dirent* entry = readdir(dir))
      if (entry->d_name[0] != '.' && std::atoi(entry->d_name) != dirfd(dir))
        numbers.push_back(std::atoi(entry->d_name));
    closedir(dir);
    std::sort(numbers.begin(), numbers.end());
    for (int n : numbers) descriptors += std::to_string(n) + " ";
  }
  record += "F" + descriptors + '\0';
  if (getpgrp() == getpid()) record += std::string("G") + '\0';
  if (getsid(0) == getpid()) record += std::string("S") + '\0';
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  for (std::string argument; std::getline(in, argument, '\0');) argv.push_back(argument);
#endif
  const char* exitSetting = std::getenv("PLINTH_TEST_CHILD_EXIT");
  int exitCode = exitSetting ? std::atoi(exitSetting) : 0;
  std::string hold;
  for (std::size_t i = 0; i < argv.size(); ++i) {
    record += (i ? "A" : "N") + argv[i] + '\0';
    if (i && argv[i].rfind("--exit=", 0) == 0) exitCode = std::atoi(argv[i].c_str() + 7);
    if (i && argv[i].rfind("--hold=", 0) == 0) hold = argv[i].substr(7);
  }
  std::error_code ignored;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  while (!hold.empty() && std::filesystem::exists(hold, ignored) &&
         std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  if (const char* path = std::getenv("PATH")) record += "P" + std::string(path) + '\0';
  if (const char* probe = std::getenv("PLINTH_PROBE")) record += "E" + std::string(probe) + '\0';
  record += "C" + std::filesystem::current_path(ignored).string() + '\0';
  // Written aside, then renamed, so a reader never sees half of it.
  const std::string partial = std::string(recordFile) + ".partial";
  std::ofstream(partial, std::ios::binary) << record;
  std::filesystem::rename(partial, recordFile, ignored);
  std::_Exit(exitCode);
}

inline const bool kRanAsChild = RunAsChildWhenAsked();

// The record a child wrote, once it is there (waiting up to the limit), removed after reading.
// The folder comes last: a record without it could not be read yet (Windows may refuse to
// open a file just renamed).
inline std::optional<ChildRecord> ReadChildRecord(
    const std::string& file, std::chrono::milliseconds wait = std::chrono::seconds(30)) {
  const auto deadline = std::chrono::steady_clock::now() + wait;
  std::stringstream content;
  for (;;) {
    content.str("");
    content.clear();
    if (std::ifstream in{file, std::ios::binary}) content << in.rdbuf();
    if (content.str().find(std::string(1, '\0') + 'C') != std::string::npos) break;
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::error_code ignored;
  std::filesystem::remove(file, ignored);
  ChildRecord record;
  for (std::string entry; std::getline(content, entry, '\0');) {
    if (entry.empty()) continue;
    const std::string value = entry.substr(1);
    switch (entry[0]) {
      case 'N': record.program = value; break;
      case 'A': record.arguments.push_back(value); break;
      case 'P': record.path = value; break;
      case 'E': record.probe = value; break;
      case 'C': record.folder = value; break;
      case 'F': record.descriptors = value; break;
      case 'G': record.group = true; break;
      case 'S': record.session = true; break;
    }
  }
  return record;
}

#if !defined(_WIN32)
inline std::string SelfProgram() {
  std::error_code ignored;
  return std::filesystem::read_symlink("/proc/self/exe", ignored).string();
}

// Puts the child at path (a link to this program).
inline void LinkChild(const std::string& path) {
  std::error_code ignored;
  std::filesystem::create_symlink(SelfProgram(), path, ignored);
}

// Children of this process the system still lists, zombies included, after waiting up to the
// limit for none to be left (a guard against hanging, not a measure of speed).
inline int ChildrenOfThisProcess(std::chrono::milliseconds wait = std::chrono::milliseconds(0)) {
  const auto deadline = std::chrono::steady_clock::now() + wait;
  for (;;) {
    int children = 0;
    if (DIR* proc = opendir("/proc")) {
      while (dirent* entry = readdir(proc)) {
        std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
        std::string text;
        std::getline(stat, text);
        // "pid (name) state ppid ...", where the name may hold blanks and parentheses.
        const size_t close = text.rfind(')');
        if (close != std::string::npos && close + 4 < text.size() &&
            std::atol(text.c_str() + close + 4) == getpid())
          ++children;
      }
      closedir(proc);
    }
    if (children == 0 || std::chrono::steady_clock::now() >= deadline) return children;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}
#endif

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
    LinkChild(file_.string());
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
