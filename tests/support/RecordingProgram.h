#pragma once
// POSIX only. A stand-in for a program the platform layer starts (the document opener, a help
// viewer): a script that writes its arguments to a record file, written aside and renamed so
// that a reader never sees half of it, and ends with a chosen exit status.

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

// Writes the script at path and returns the path of its record.
inline std::string WriteRecordingProgram(const std::string& path, int exitStatus = 0) {
  const std::string record = path + ".args";
  std::ofstream(path) << "#!/bin/sh\n{ printf '%s\\n' \"$#\"; for a in \"$@\"; do printf '%s\\n' "
                      << "\"$a\"; done; } > '" << record << ".tmp'\n/bin/mv '" << record
                      << ".tmp' '" << record << "'\nexit " << exitStatus << "\n";
  chmod(path.c_str(), 0755);
  return record;
}

// The arguments the program got (its own name left out), or nothing when no record appeared
// within the wait.
inline std::optional<std::vector<std::string>> ReadRecord(
    const std::string& record, std::chrono::milliseconds wait = std::chrono::seconds(10)) {
  const auto deadline = std::chrono::steady_clock::now() + wait;
  while (access(record.c_str(), F_OK) != 0) {
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  std::ifstream in(record);
  std::string line;
  std::getline(in, line);
  std::vector<std::string> arguments;
  for (int count = std::atoi(line.c_str()); count > 0 && std::getline(in, line); --count)
    arguments.push_back(line);
  return arguments;
}

// Children of this process that ended and were not waited for, after waiting up to the limit
// for a reaper to take them.
inline int ZombieChildren(std::chrono::milliseconds wait = std::chrono::milliseconds(0)) {
  const auto deadline = std::chrono::steady_clock::now() + wait;
  for (;;) {
    int zombies = 0;
    if (DIR* proc = opendir("/proc")) {
      while (dirent* entry = readdir(proc)) {
        std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
        std::string text;
        std::getline(stat, text);
        // "pid (name) state ppid ...", where the name may hold blanks and parentheses.
        const size_t close = text.rfind(')');
        if (close != std::string::npos && close + 4 < text.size() && text[close + 2] == 'Z' &&
            std::atol(text.c_str() + close + 4) == getpid())
          ++zombies;
      }
      closedir(proc);
    }
    if (zombies == 0 || std::chrono::steady_clock::now() >= deadline) return zombies;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace plinth::test
