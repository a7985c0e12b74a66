// Logoff, shutdown and restart through one replaceable handler. The default one asks the
// service manager, so that the system shuts down as its administrator configured it rather
// than by a bare reboot(2) that would skip every service's orderly stop.
#include <spawn.h>
#include <sys/capability.h>
#include <sys/wait.h>
#include <unistd.h>

#include <plinth/win32.h>

#include "platform/posix/ThisMachine.h"

#include <strings.h>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

namespace {

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

bool ShutdownPrivilegeEnabled() {
  cap_t caps = cap_get_proc();
  if (!caps) return false;
  cap_flag_value_t value = CAP_CLEAR;
  const bool enabled =
      cap_get_flag(caps, CAP_SYS_BOOT, CAP_EFFECTIVE, &value) == 0 && value == CAP_SET;
  cap_free(caps);
  return enabled;
}

// Runs a command without a shell and waits for it; true when it exits with status 0.
BOOL Run(const std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
    return Fail(ERROR_NOT_SUPPORTED);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return TRUE;
  return Fail(ERROR_ACCESS_DENIED);
}

BOOL DefaultHandler(const PLINTH_POWER_REQUEST* request, void*) {
  if (request->source == PLINTH_POWER_EXIT_WINDOWS) {
    const UINT flags = request->flags;
    if ((flags & (EWX_SHUTDOWN | EWX_REBOOT | EWX_POWEROFF)) == 0) {
      const char* session = std::getenv("XDG_SESSION_ID");
      if (!session || !*session) return Fail(ERROR_NOT_SUPPORTED);
      return Run({"loginctl", "terminate-session", session});
    }
    if (!ShutdownPrivilegeEnabled()) return Fail(ERROR_PRIVILEGE_NOT_HELD);
    const char* verb = (flags & EWX_REBOOT)     ? "reboot"
                       : (flags & EWX_POWEROFF) ? "poweroff"
                                                : "halt";
    std::vector<std::string> command = {"systemctl", verb};
    if (flags & (EWX_FORCE | EWX_FORCEIFHUNG)) command.push_back("-i");
    return Run(command);
  }
  if (!ShutdownPrivilegeEnabled()) return Fail(ERROR_PRIVILEGE_NOT_HELD);
  const char* mode = request->rebootAfterShutdown ? "-r" : "-P";
  if (request->timeoutSeconds == 0) {
    std::vector<std::string> command = {"systemctl",
                                        request->rebootAfterShutdown ? "reboot" : "poweroff"};
    if (request->forceAppsClosed) command.push_back("-i");
    return Run(command);
  }
  const DWORD minutes = (request->timeoutSeconds + 59) / 60;
  std::vector<std::string> command = {"shutdown", mode, "+" + std::to_string(minutes)};
  if (request->message && *request->message) command.push_back(request->message);
  return Run(command);
}

std::atomic<PLINTH_POWER_HANDLER> g_handler{nullptr};
std::atomic<void*> g_context{nullptr};

BOOL Dispatch(const PLINTH_POWER_REQUEST& request) {
  const PLINTH_POWER_HANDLER handler = g_handler.load();
  if (!handler) return DefaultHandler(&request, nullptr);
  SetLastError(ERROR_SUCCESS);
  return handler(&request, g_context.load());
}

}  // namespace

extern "C" {

BOOL ExitWindowsEx(UINT flags, DWORD reason) {
  PLINTH_POWER_REQUEST request = {};
  request.source = PLINTH_POWER_EXIT_WINDOWS;
  request.flags = flags;
  request.reason = reason;
  return Dispatch(request);
}

BOOL InitiateSystemShutdownExA(LPSTR machineName, LPSTR message, DWORD timeout,
                               BOOL forceAppsClosed, BOOL rebootAfterShutdown, DWORD reason) {
  if (!plinth::posix::NamesThisMachine(machineName)) return Fail(ERROR_BAD_NETPATH);
  PLINTH_POWER_REQUEST request = {};
  request.source = PLINTH_POWER_INITIATE_SHUTDOWN;
  request.reason = reason;
  request.machineName = machineName;
  request.message = message;
  request.timeoutSeconds = timeout;
  request.forceAppsClosed = forceAppsClosed;
  request.rebootAfterShutdown = rebootAfterShutdown;
  return Dispatch(request);
}

PLINTH_POWER_HANDLER PlinthSetPowerHandler(PLINTH_POWER_HANDLER handler, void* context) {
  g_context.store(context);
  return g_handler.exchange(handler);
}

}  // extern "C"
