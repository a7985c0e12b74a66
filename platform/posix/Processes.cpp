// Starting programs and waiting for them over posix_spawn and pidfds.
//
// posix_spawn reports a failed exec (and a failed chdir) to the parent before it returns, so
// creation fails synchronously with an error code as on Windows. Each child gets one record,
// shared by its process and thread handles; the record holds a pidfd, so that a wait with a
// limit is a poll and the child is reaped the moment it is known to have ended. Where the
// kernel has no pidfds, waits fall back to polling waitpid. A child whose handles are all closed
// while it runs is handed to a reaper thread, which lives only while such children exist (so
// an idle library runs no thread of its own and can be unloaded).

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <plinth/win32.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/posix/CommandLines.h"
#include "platform/posix/Handles.h"
#include "platform/posix/NativePaths.h"

namespace {

using plinth::posix::IsSeparator;
using plinth::posix::NativePath;
using plinth::posix::PathFolders;
using plinth::posix::ProgramToken;
using plinth::posix::SplitCommandLine;

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

// ---------------------------------------------------------------------------------------------
// Finding the program

bool EndsWithExe(const std::string& name) {
  if (name.size() < 4) return false;
  const char* tail = name.c_str() + name.size() - 4;
  return tail[0] == '.' && (tail[1] | 0x20) == 'e' && (tail[2] | 0x20) == 'x' &&
         (tail[3] | 0x20) == 'e';
}

enum class Candidate { kMissing, kRunnable, kNotRunnable };

Candidate Probe(const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return Candidate::kMissing;
  if (S_ISDIR(info.st_mode) || access(path.c_str(), X_OK) != 0) return Candidate::kNotRunnable;
  return Candidate::kRunnable;
}

std::string Absolute(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  std::vector<char> buffer(PATH_MAX);
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return path;
    buffer.resize(buffer.size() * 2);
  }
  std::string absolute(buffer.data());
  if (absolute.back() != '/') absolute += '/';
  return absolute + path;
}

// A program named with a folder: the path as given (Windows spelling accepted), or without
// its ".exe" when only that exists. Missing: ERROR_PATH_NOT_FOUND when its folder is missing
// too, else ERROR_FILE_NOT_FOUND.
DWORD FindNamedProgram(const std::string& name, std::string& found) {
  std::string path = NativePath(name);
  if (Probe(path) == Candidate::kMissing && EndsWithExe(path)) {
    const std::string bare = path.substr(0, path.size() - 4);
    if (Probe(bare) != Candidate::kMissing) path = bare;
  }
  switch (Probe(path)) {
    case Candidate::kRunnable: found = Absolute(path); return ERROR_SUCCESS;
    case Candidate::kNotRunnable: return ERROR_ACCESS_DENIED;
    case Candidate::kMissing: break;
  }
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos || slash == 0) return ERROR_FILE_NOT_FOUND;
  struct stat info;
  const std::string folder = path.substr(0, slash);
  if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return ERROR_PATH_NOT_FOUND;
  return ERROR_FILE_NOT_FOUND;
}

std::string CurrentPath() {
  const DWORD size = GetEnvironmentVariableA("PATH", nullptr, 0);
  if (size == 0) return std::string();
  std::string value(size, '\0');
  const DWORD length = GetEnvironmentVariableA("PATH", &value[0], size);
  value.resize(length < size ? length : 0);
  return value;
}

// A bare name: the first PATH folder holding it as a runnable file ("name" standing in for a
// missing "name.exe" in the same folder). A file found only where it cannot run gives
// ERROR_ACCESS_DENIED, as exec would.
DWORD SearchProgram(const std::string& name, std::string& found) {
  const bool exe = EndsWithExe(name);
  bool notRunnable = false;
  for (const std::string& entry : PathFolders(CurrentPath())) {
    std::string folder = entry.find('\\') != std::string::npos ? NativePath(entry) : entry;
    if (folder.back() != '/') folder += '/';
    for (int attempt = 0; attempt < (exe ? 2 : 1); ++attempt) {
      const std::string path = folder + (attempt == 0 ? name : name.substr(0, name.size() - 4));
      const Candidate candidate = Probe(path);
      if (candidate == Candidate::kRunnable) {
        found = Absolute(path);
        return ERROR_SUCCESS;
      }
      if (candidate == Candidate::kNotRunnable) notRunnable = true;
      if (candidate != Candidate::kMissing) break;  // "name.exe" exists: "name" does not count
    }
  }
  return notRunnable ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND;
}

DWORD SpawnErrorToWin32(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR: return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR: return ERROR_ACCESS_DENIED;
    case ENOEXEC:
    case ELIBBAD: return ERROR_BAD_EXE_FORMAT;
    case E2BIG:
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case ENOMEM:
    case EAGAIN: return ERROR_NOT_ENOUGH_MEMORY;
    default: return ERROR_INVALID_PARAMETER;
  }
}

// ---------------------------------------------------------------------------------------------
// Process records

// Exit code of a child whose status the system discarded (SIGCHLD ignored, or reaped by
// someone else's waitpid).
constexpr DWORD kExitCodeUnknown = 0xFFFFFFFFu;

struct Process {
  pid_t pid = 0;
  int pidfd = -1;   // -1: no pidfd support; waits poll waitpid instead
  int handles = 0;  // guarded by the table lock

  std::mutex lock;  // guards the two below
  bool ended = false;
  DWORD exitCode = STILL_ACTIVE;

  ~Process() {
    if (pidfd >= 0) close(pidfd);
  }
};

// Collects the child's status when it has ended (blocking: waits for it to end). True once the
// status is known.
bool Reap(Process& process, bool block) {
  std::lock_guard<std::mutex> hold(process.lock);
  if (process.ended) return true;
  siginfo_t info;
  for (;;) {
    std::memset(&info, 0, sizeof info);
    if (waitid(P_PID, static_cast<id_t>(process.pid), &info, WEXITED | (block ? 0 : WNOHANG)) == 0)
      break;
    if (errno == EINTR) continue;
    // ECHILD: the system reaped it already (SIGCHLD ignored) and kept no status.
    process.ended = true;
    process.exitCode = kExitCodeUnknown;
    return true;
  }
  if (info.si_pid == 0) return false;
  process.ended = true;
  process.exitCode = info.si_code == CLD_EXITED ? static_cast<DWORD>(info.si_status)
                                                : 128u + static_cast<DWORD>(info.si_status);
  return true;
}

// Handles: tagged small numbers, as the token handles are, in a range of their own.
constexpr uintptr_t kProcessTag = 0x7200000;

struct Slot {
  std::shared_ptr<Process> process;
  bool thread = false;
};

// Never destroyed: a reaper thread or a late CloseHandle may still use them at exit.
std::mutex& TableLock() {
  static auto* lock = new std::mutex;
  return *lock;
}
std::vector<Slot>& Table() {
  static auto* table = new std::vector<Slot>;
  return *table;
}

HANDLE SlotHandle(std::size_t index) { return reinterpret_cast<HANDLE>(kProcessTag + index * 4); }

bool SlotIndex(HANDLE handle, std::size_t& index) {
  const uintptr_t value = reinterpret_cast<uintptr_t>(handle);
  if (value < kProcessTag || (value - kProcessTag) % 4 != 0) return false;
  index = (value - kProcessTag) / 4;
  return true;
}

// Caller holds the table lock.
HANDLE AddHandle(const std::shared_ptr<Process>& process, bool thread) {
  std::vector<Slot>& table = Table();
  std::size_t index = 0;
  while (index < table.size() && table[index].process) ++index;
  if (index == table.size()) table.emplace_back();
  table[index].process = process;
  table[index].thread = thread;
  ++process->handles;
  return SlotHandle(index);
}

// The record of a process or thread handle (threadToo false: process handles only).
std::shared_ptr<Process> Lookup(HANDLE handle, bool threadToo) {
  std::size_t index;
  if (!SlotIndex(handle, index)) return nullptr;
  std::lock_guard<std::mutex> hold(TableLock());
  const std::vector<Slot>& table = Table();
  if (index >= table.size() || !table[index].process) return nullptr;
  if (table[index].thread && !threadToo) return nullptr;
  return table[index].process;
}

// ---------------------------------------------------------------------------------------------
// Reaping children nobody holds a handle to

struct Orphans {
  std::mutex lock;
  std::vector<std::shared_ptr<Process>> children;
  bool reaperRunning = false;
  int wake = -1;  // eventfd: a child was added; -1 when none could be made
  bool wakeMade = false;
};

Orphans& TheOrphans() {
  static auto* orphans = new Orphans;
  return *orphans;
}

void ReaperMain() {
  Orphans& orphans = TheOrphans();
  std::vector<std::shared_ptr<Process>> watched;
  std::vector<pollfd> fds;
  for (;;) {
    {
      std::lock_guard<std::mutex> hold(orphans.lock);
      auto reaped = [](const std::shared_ptr<Process>& p) { return Reap(*p, false); };
      orphans.children.erase(
          std::remove_if(orphans.children.begin(), orphans.children.end(), reaped),
          orphans.children.end());
      if (orphans.children.empty()) {
        orphans.reaperRunning = false;
        return;
      }
      watched = orphans.children;
    }
    fds.assign(1, pollfd{orphans.wake, POLLIN, 0});
    // Without a wake-up or pidfds nothing wakes the thread in time: look again now and then.
    bool polling = orphans.wake < 0;
    for (const auto& process : watched) {
      if (process->pidfd >= 0)
        fds.push_back(pollfd{process->pidfd, POLLIN, 0});
      else
        polling = true;
    }
    if (poll(fds.data(), fds.size(), polling ? 50 : -1) > 0 && (fds[0].revents & POLLIN)) {
      uint64_t count;
      while (read(orphans.wake, &count, sizeof count) > 0) {
      }
    }
    watched.clear();
  }
}

// Leaves the reaping of a running child to the reaper thread.
void Adopt(std::shared_ptr<Process> process) {
  Orphans& orphans = TheOrphans();
  std::lock_guard<std::mutex> hold(orphans.lock);
  if (!orphans.wakeMade) {
    orphans.wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    orphans.wakeMade = true;
  }
  orphans.children.push_back(std::move(process));
  if (orphans.reaperRunning) {
    const uint64_t one = 1;
    if (orphans.wake >= 0 && write(orphans.wake, &one, sizeof one) < 0) {
      // The counter is full, so the reaper is due to wake anyway.
    }
    return;
  }
  // The thread takes none of the caller's signals.
  sigset_t all, previous;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &previous);
  try {
    std::thread(ReaperMain).detach();
    orphans.reaperRunning = true;
  } catch (const std::system_error&) {
    // No thread now: the children stay listed and the next adoption starts one.
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

// ---------------------------------------------------------------------------------------------
// Spawning

// posix_spawn's two attribute objects, released on every way out.
class SpawnSetup {
 public:
  SpawnSetup() {
    actionsOk_ = posix_spawn_file_actions_init(&actions_) == 0;
    attributesOk_ = posix_spawnattr_init(&attributes_) == 0;
  }
  ~SpawnSetup() {
    if (actionsOk_) posix_spawn_file_actions_destroy(&actions_);
    if (attributesOk_) posix_spawnattr_destroy(&attributes_);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;

  bool ok() const { return actionsOk_ && attributesOk_; }
  posix_spawn_file_actions_t* actions() { return &actions_; }
  posix_spawnattr_t* attributes() { return &attributes_; }

 private:
  posix_spawn_file_actions_t actions_;
  posix_spawnattr_t attributes_;
  bool actionsOk_ = false;
  bool attributesOk_ = false;
};

// "A=B\0C=D\0\0" as a list of entries.
std::vector<std::string> BlockEntries(const char* block) {
  std::vector<std::string> entries;
  while (*block != '\0') {
    entries.emplace_back(block);
    block += entries.back().size() + 1;
  }
  return entries;
}

// The process environment of this moment, read under the environment service's lock so that
// a concurrent _putenv cannot change it under posix_spawn.
std::vector<std::string> CurrentEnvironment() {
  LPCH block = GetEnvironmentStrings();
  if (block == nullptr) return {};
  std::vector<std::string> entries = BlockEntries(block);
  FreeEnvironmentStringsA(block);
  return entries;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  pointers.reserve(strings.size() + 1);
  for (std::string& s : strings) pointers.push_back(&s[0]);
  pointers.push_back(nullptr);
  return pointers;
}

bool IsFolder(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

}  // namespace

namespace plinth::posix {

bool CloseProcessHandle(HANDLE handle) {
  std::size_t index;
  if (!SlotIndex(handle, index)) return false;
  std::shared_ptr<Process> process;
  {
    std::lock_guard<std::mutex> hold(TableLock());
    std::vector<Slot>& table = Table();
    if (index >= table.size() || !table[index].process) return false;
    process = std::move(table[index].process);
    if (--process->handles > 0) return true;
  }
  if (!Reap(*process, false)) Adopt(std::move(process));
  return true;
}

}  // namespace plinth::posix

extern "C" {

// applicationName: the program, taken as it stands (a Windows path is accepted; relative to
// the caller's working directory, no PATH search); may be null, then the program is the first
// token of commandLine and a name without a folder is looked up in PATH at this moment
// (folders separated by ':' or ';', empty ones skipped, the working directory never searched).
// Either way "name" runs when "name.exe" does not exist. commandLine: split into the child's
// argv by the Windows C runtime's rules, never through a shell; null means argv is just the
// program. processAttributes, threadAttributes: ignored. inheritHandles: FALSE leaves the child
// only descriptors 0, 1 and 2. creationFlags: CREATE_NEW_PROCESS_GROUP starts a new process
// group; CREATE_NEW_CONSOLE a new session (standard streams kept, no controlling terminal);
// others ignored. environment: "NAME=value\0...\0\0" for the child, null for this process's
// own. currentDirectory: the child's (Windows path accepted), null or "" to inherit.
// startupInfo: accepted and ignored (the show command has no window to act on; standard
// handles are not file descriptors here, so the child keeps this process's streams).
// processInformation: receives a process and a thread handle (both of the same child; close
// both), the pid as process identifier and again as thread identifier (the main thread's id
// on Linux). The child starts with no signals blocked and SIGPIPE and SIGCHLD at their default.
// TRUE, or FALSE with ERROR_INVALID_PARAMETER (no program or no processInformation),
// ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND (its folder is missing), ERROR_ACCESS_DENIED (not
// runnable, or a folder), ERROR_BAD_EXE_FORMAT, ERROR_DIRECTORY (currentDirectory is not a
// usable folder), ERROR_NOT_ENOUGH_MEMORY.
BOOL CreateProcessA(LPCSTR applicationName, LPSTR commandLine, LPSECURITY_ATTRIBUTES,
                    LPSECURITY_ATTRIBUTES, BOOL inheritHandles, DWORD creationFlags,
                    LPVOID environment, LPCSTR currentDirectory, LPSTARTUPINFOA,
                    LPPROCESS_INFORMATION processInformation) {
  if (processInformation == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  if (applicationName == nullptr && commandLine == nullptr) return Fail(ERROR_INVALID_PARAMETER);

  std::vector<std::string> argv;
  if (commandLine != nullptr) argv = SplitCommandLine(commandLine);
  std::string program;
  DWORD found;
  if (applicationName != nullptr) {
    if (*applicationName == '\0') return Fail(ERROR_INVALID_PARAMETER);
    if (argv.empty() || (argv.size() == 1 && argv[0].empty())) argv.assign(1, applicationName);
    found = FindNamedProgram(applicationName, program);
  } else {
    const char* rest;
    const std::string name = ProgramToken(commandLine, &rest);
    const bool blank = commandLine[std::strspn(commandLine, " \t")] == '\0';
    if (blank) return Fail(ERROR_INVALID_PARAMETER);
    if (name.empty()) return Fail(ERROR_FILE_NOT_FOUND);
    const bool hasFolder = std::any_of(name.begin(), name.end(), IsSeparator);
    found = hasFolder ? FindNamedProgram(name, program) : SearchProgram(name, program);
  }
  if (found != ERROR_SUCCESS) return Fail(found);

  SpawnSetup setup;
  if (!setup.ok()) return Fail(ERROR_NOT_ENOUGH_MEMORY);
  if (currentDirectory != nullptr && *currentDirectory != '\0') {
    const std::string folder = NativePath(currentDirectory);
    if (!IsFolder(folder)) return Fail(ERROR_DIRECTORY);
    if (posix_spawn_file_actions_addchdir_np(setup.actions(), folder.c_str()) != 0)
      return Fail(ERROR_NOT_ENOUGH_MEMORY);
  }
  if (!inheritHandles && posix_spawn_file_actions_addclosefrom_np(setup.actions(), 3) != 0)
    return Fail(ERROR_NOT_ENOUGH_MEMORY);

  short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
  if (creationFlags & CREATE_NEW_CONSOLE) {
    flags |= POSIX_SPAWN_SETSID;
  } else if (creationFlags & CREATE_NEW_PROCESS_GROUP) {
    flags |= POSIX_SPAWN_SETPGROUP;
    posix_spawnattr_setpgroup(setup.attributes(), 0);
  }
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  sigaddset(&defaults, SIGCHLD);
  posix_spawnattr_setsigmask(setup.attributes(), &none);
  posix_spawnattr_setsigdefault(setup.attributes(), &defaults);
  posix_spawnattr_setflags(setup.attributes(), flags);

  std::vector<std::string> variables = environment != nullptr
                                           ? BlockEntries(static_cast<const char*>(environment))
                                           : CurrentEnvironment();
  std::vector<char*> argvPointers = Pointers(argv);
  std::vector<char*> envPointers = Pointers(variables);

  pid_t pid;
  const int error = posix_spawn(&pid, program.c_str(), setup.actions(), setup.attributes(),
                                argvPointers.data(), envPointers.data());
  if (error != 0) return Fail(SpawnErrorToWin32(error));

  auto process = std::make_shared<Process>();
  process->pid = pid;
  process->pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  if (process->pidfd < 0 && errno == ESRCH) {
    // Reaped by the system already: SIGCHLD is ignored and the child was quick.
    process->ended = true;
    process->exitCode = kExitCodeUnknown;
  }
  {
    std::lock_guard<std::mutex> hold(TableLock());
    processInformation->hProcess = AddHandle(process, false);
    processInformation->hThread = AddHandle(process, true);
  }
  processInformation->dwProcessId = static_cast<DWORD>(pid);
  processInformation->dwThreadId = static_cast<DWORD>(pid);
  return TRUE;
}

// handle: a process or thread handle. milliseconds: the limit, INFINITE for none, 0 to look
// without waiting. WAIT_OBJECT_0 once the child has ended (its status is then collected),
// WAIT_TIMEOUT when the limit ran out first, WAIT_FAILED with ERROR_INVALID_HANDLE for any
// other handle.
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  const std::shared_ptr<Process> process = Lookup(handle, true);
  if (!process) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  if (Reap(*process, false)) return WAIT_OBJECT_0;
  if (milliseconds == 0) return WAIT_TIMEOUT;

  using Clock = std::chrono::steady_clock;
  const bool forever = milliseconds == INFINITE;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
  int pause = 1;  // without a pidfd: milliseconds between looks, growing to 50
  for (;;) {
    int timeout = -1;
    if (!forever) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) return Reap(*process, false) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
      timeout = left > INT_MAX ? INT_MAX : static_cast<int>(left);
    }
    if (process->pidfd >= 0) {
      pollfd fd{process->pidfd, POLLIN, 0};
      const int ready = poll(&fd, 1, timeout);
      if (ready > 0) {
        Reap(*process, true);
        return WAIT_OBJECT_0;
      }
      if (ready < 0 && errno != EINTR) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
      }
    } else {
      const int step = timeout < 0 ? pause : std::min(pause, timeout);
      std::this_thread::sleep_for(std::chrono::milliseconds(step));
      pause = std::min(pause * 2, 50);
      if (Reap(*process, false)) return WAIT_OBJECT_0;
    }
  }
}

// process: a process handle. *exitCode receives STILL_ACTIVE while the child runs (looked at
// without waiting), else its exit status; a child ended by signal N reports 128 + N, as a
// POSIX shell does, and one whose status the system discarded (SIGCHLD set to SIG_IGN by the
// caller) reports 0xFFFFFFFF. FALSE with ERROR_INVALID_HANDLE for any other handle,
// ERROR_INVALID_PARAMETER for a null exitCode.
BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode) {
  const std::shared_ptr<Process> record = Lookup(process, false);
  if (!record) return Fail(ERROR_INVALID_HANDLE);
  if (exitCode == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  if (!Reap(*record, false)) {
    *exitCode = STILL_ACTIVE;
    return TRUE;
  }
  std::lock_guard<std::mutex> hold(record->lock);
  *exitCode = record->exitCode;
  return TRUE;
}

// The pid of the calling process.
DWORD GetCurrentProcessId(void) { return static_cast<DWORD>(getpid()); }

}  // extern "C"
