#pragma once
// Capability set-up for privilege tests. Each case runs in a forked child whose capabilities it
// changes with libcap, so that the test process keeps its own.
#include <sys/capability.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

namespace plinth::test {

inline bool InSet(cap_value_t capability, cap_flag_t set) {
  cap_t caps = cap_get_proc();
  cap_flag_value_t value = CAP_CLEAR;
  cap_get_flag(caps, capability, set, &value);
  cap_free(caps);
  return value == CAP_SET;
}

inline bool Effective(cap_value_t capability) { return InSet(capability, CAP_EFFECTIVE); }

// Changes one capability of this process; `permitted` false drops it for good.
inline bool SetCapability(cap_value_t capability, bool permitted, bool effective) {
  cap_t caps = cap_get_proc();
  cap_set_flag(caps, CAP_EFFECTIVE, 1, &capability, effective ? CAP_SET : CAP_CLEAR);
  if (!permitted) {
    cap_set_flag(caps, CAP_PERMITTED, 1, &capability, CAP_CLEAR);
    cap_set_flag(caps, CAP_INHERITABLE, 1, &capability, CAP_CLEAR);
  }
  const bool ok = cap_set_proc(caps) == 0;
  cap_free(caps);
  return ok;
}

// Runs body in a forked child; its failures come back as the names of the checks that failed.
inline std::string InChild(const std::function<void(std::vector<std::string>&)>& body) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return "pipe";
  const pid_t pid = fork();
  if (pid == 0) {
    close(pipeFds[0]);
    std::vector<std::string> failures;
    body(failures);
    std::string text;
    for (const std::string& f : failures) text += f + ";";
    if (write(pipeFds[1], text.data(), text.size()) < 0) _exit(3);
    _exit(0);
  }
  close(pipeFds[1]);
  std::string text;
  char buffer[256];
  ssize_t got;
  while ((got = read(pipeFds[0], buffer, sizeof buffer)) > 0) text.append(buffer, got);
  close(pipeFds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) text += "child died;";
  return text;
}

}  // namespace plinth::test

#define CHECK_IN_CHILD(condition)                     \
  do {                                                \
    if (!(condition)) failures.push_back(#condition); \
  } while (0)
