#pragma once
// POSIX only. A stand-in for a program the platform layer starts (the document opener, a help
// viewer): a shell script that writes the arguments it got to a record file and ends with a
// chosen exit status. The record appears whole (written aside, then renamed), so a test that
// waits for a program it did not wait for never reads half of it.

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace plinth::test {

// Writes the script at path (made executable) and returns the record's path beside it.
inline std::string WriteRecordingProgram(const std::string& path, int exitStatus = 0) {
  const std::string record = path + ".args";
  std::ofstream(path) << "#!/bin/sh\n"
                      << "{ printf '%s\\n' \"$#\"; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; }"
                      << " > '" << record << ".tmp'\n"
                      << "/bin/mv '" << record << ".tmp' '" << record << "'\n"
                      << "exit " << exitStatus << "\n";
  chmod(path.c_str(), 0755);
  return record;
}

// The arguments a recording program got (without its own name), once the record exists;
// nothing when it has not appeared within the wait.
inline std::optional<std::vector<std::string>> ReadRecord(
    const std::string& record, std::chrono::milliseconds wait = std::chrono::seconds(10)) {
  const auto deadline = std::chrono::steady_clock::now() + wait;
  struct stat status;
  while (stat(record.c_str(), &status) != 0) {
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  std::ifstream in(record);
  std::string line;
  std::getline(in, line);
  const int count = std::stoi(line);
  std::vector<std::string> arguments;
  for (int i = 0; i < count && std::getline(in, line); ++i) arguments.push_back(line);
  return arguments;
}

// Children of this process that have ended and were not waited for.
inline int ZombieChildren() {
  int zombies = 0;
  const pid_t self = getpid();
  DIR* proc = opendir("/proc");
  if (!proc) return 0;
  while (dirent* entry = readdir(proc)) {
    if (entry->d_name[0] < '0' || entry->d_name[0] > '9') continue;
    std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
    std::string text;
    std::getline(stat, text);
    // "pid (name) state ppid ...": the name may hold blanks and parentheses, so read after the
    // last closing one.
    const size_t close = text.rfind(')');
    if (close == std::string::npos || close + 4 >= text.size()) continue;
    const char state = text[close + 2];
    const long parent = std::strtol(text.c_str() + close + 4, nullptr, 10);
    if (parent == self && state == 'Z') ++zombies;
  }
  closedir(proc);
  return zombies;
}

// Waits up to the limit for the zombies to go, for children a reaper looks after.
inline int ZombieChildrenAfter(std::chrono::milliseconds wait) {
  const auto deadline = std::chrono::steady_clock::now() + wait;
  int zombies = ZombieChildren();
  while (zombies != 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    zombies = ZombieChildren();
  }
  return zombies;
}

}  // namespace plinth::test
