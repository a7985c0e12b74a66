// Starting helper programs and reaping them. Only the given child is ever waited for (never
// "any child"), so that the host's own children and those of the process layer keep their
// exit statuses for whoever waits for them.
#include "platform/posix/ChildProcesses.h"

#include <errno.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <system_error>
#include <thread>

extern char** environ;

namespace plinth::posix {

std::string FindOnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  if (!path || name.empty()) return std::string();
  for (const char* begin = path;;) {
    const char* end = begin;
    while (*end && *end != ':') ++end;
    if (end != begin) {
      const std::string candidate = std::string(begin, end) + "/" + name;
      struct stat status;
      if (stat(candidate.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
          access(candidate.c_str(), X_OK) == 0)
        return candidate;
    }
    if (!*end) return std::string();
    begin = end + 1;
  }
}

pid_t StartProgram(const std::string& program, const std::vector<std::string>& arguments,
                   int& error) {
  std::vector<char*> argv;
  argv.reserve(arguments.size() + 1);
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  pid_t child = -1;
  // glibc's posix_spawn reports a failed exec as its result, so a program that cannot run is
  // an error here rather than a child that ends with status 127.
  error = posix_spawn(&child, program.c_str(), nullptr, nullptr, argv.data(), environ);
  return error == 0 ? child : -1;
}

bool WaitForProgram(pid_t child, unsigned milliseconds, int& status) {
  // Polling with a growing pause: a helper that ends at once is seen within a millisecond,
  // one that runs long costs a wake-up every 50 ms.
  long pause = 1000000L;  // nanoseconds
  long waited = 0;
  for (;;) {
    const pid_t ended = waitpid(child, &status, WNOHANG);
    if (ended == child) return true;
    if (ended < 0 && errno != EINTR) {
      // Already reaped by someone who waits for any child: its status is lost.
      status = -1;
      return true;
    }
    if (waited / 1000000L >= static_cast<long>(milliseconds)) return false;
    timespec step{0, pause};
    nanosleep(&step, nullptr);
    waited += pause;
    pause = std::min(pause * 2, 50000000L);
  }
}

void ReapWhenEnded(pid_t child) {
  // One small thread per child that outlives its call. Children left behind are rare (a help
  // viewer the user reads, an opener that does not return), so a thread each is cheap, and it
  // needs no SIGCHLD handler that would take statuses meant for others.
  try {
    std::thread([child] {
      int status = 0;
      while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
      }
    }).detach();
  } catch (const std::system_error&) {
    // Without a thread the child stays a zombie until the process ends; nothing else is lost.
  }
}

}  // namespace plinth::posix
