// Files, standard streams and terminals on POSIX systems.
#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "IoSystem.h"
#include "Tool.h"

namespace plinth_tool {
namespace {

// write(2) with SIGPIPE held back, so that a reader that went away shows up as EPIPE instead of
// killing the process. The signal is blocked only around the call rather than ignored for the
// whole process: an ignored disposition would be inherited by every program a command starts.
ssize_t WriteWithoutSigpipe(int fd, const char* data, std::size_t size) {
  sigset_t pipeOnly;
  sigset_t previous;
  sigemptyset(&pipeOnly);
  sigaddset(&pipeOnly, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipeOnly, &previous);
  sigset_t pending;
  const bool alreadyPending = sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE) == 1;
  ssize_t written = ::write(fd, data, size);
  const int error = errno;
  // A write cut short by the reader leaving returns the part written yet raises the signal all
  // the same; take our own SIGPIPE off the queue before the mask comes back.
  if (!alreadyPending && sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE) == 1) {
    const timespec noWait{0, 0};
    while (sigtimedwait(&pipeOnly, nullptr, &noWait) < 0 && errno == EINTR) {
    }
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  errno = error;
  return written;
}

}  // namespace

bool WriteAll(int fd, const char* data, std::size_t size, const std::string& shown) {
  while (size > 0) {
    ssize_t written = WriteWithoutSigpipe(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      if (errno == EPIPE) return false;
      FailWrite(shown, errno);
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

bool StandardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

int StandardErrorColumns() {
  struct winsize size {};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 0;
}

namespace {

// The descriptor an output path stands for when it names one this process already holds
// (standard output, /dev/stderr, /dev/fd/3, …); -1 otherwise. Writing there through the
// descriptor keeps what the shell set up, such as appending with >>.
int InheritedDescriptor(const std::string& path) {
  if (path.empty() || path == "-" || path == "/dev/stdout") return STDOUT_FILENO;
  if (path == "/dev/stderr") return STDERR_FILENO;
  for (const char* prefix : {"/dev/fd/", "/proc/self/fd/"}) {
    const std::size_t length = std::strlen(prefix);
    if (path.compare(0, length, prefix) != 0 || path.size() == length) continue;
    const std::string digits = path.substr(length);
    if (digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 6) return -1;
    const int fd = std::atoi(digits.c_str());
    return ::fcntl(fd, F_GETFD) >= 0 ? fd : -1;
  }
  return -1;
}

}  // namespace

void RequireRegularFile(const std::string& name, const std::string& why) {
  struct stat info {};
  if (::stat(name.c_str(), &info) != 0) FailRead(name, errno);
  if (S_ISDIR(info.st_mode)) FailRead(name, EISDIR);
  if (!S_ISREG(info.st_mode))
    throw ToolError(why + " cannot rewrite " + DisplayName(name) +
                    ", which is not a regular file; drop " + why + " and use -o");
}

std::string ReadInput(const std::string& name) {
  const bool fromStdin = name.empty() || name == "-";
  int fd = fromStdin ? STDIN_FILENO : ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) FailRead(name, errno);

  std::string data;
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0)
    data.reserve(static_cast<std::size_t>(info.st_size));

  char chunk[1 << 16];
  for (;;) {
    ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got < 0) {
      if (errno == EINTR) continue;
      int error = errno;
      if (!fromStdin) ::close(fd);
      FailRead(name, error);
    }
    if (got == 0) break;
    data.append(chunk, static_cast<std::size_t>(got));
  }
  if (!fromStdin) ::close(fd);
  return data;
}

Output::Output(const std::string& path) {
  const int inherited = InheritedDescriptor(path);
  if (inherited >= 0) {
    fd_ = inherited;
    shown_ = inherited == STDOUT_FILENO   ? "standard output"
             : inherited == STDERR_FILENO ? "standard error"
                                          : "'" + path + "'";
    return;
  }
  shown_ = "'" + path + "'";

  struct stat info {};
  const bool exists = ::stat(path.c_str(), &info) == 0;
  if (exists && S_ISDIR(info.st_mode)) FailWrite(shown_, EISDIR);
  struct stat linkInfo {};
  const bool danglingLink =
      !exists && ::lstat(path.c_str(), &linkInfo) == 0 && S_ISLNK(linkInfo.st_mode);
  if ((exists && !S_ISREG(info.st_mode)) || danglingLink) {
    // A device or pipe cannot be replaced, only written to; a link to a file yet to be made
    // makes it, as a shell redirection would.
    fd_ = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | (danglingLink ? O_CREAT | O_TRUNC : 0), 0666);
    if (fd_ < 0) FailWrite(shown_, errno);
    ownsFd_ = true;
    return;
  }

  // Replace the file a link points to, not the link.
  target_ = path;
  if (exists) {
    if (char* resolved = ::realpath(path.c_str(), nullptr)) {
      target_ = resolved;
      std::free(resolved);
    }
  }
  tempPath_ = target_ + ".plinth-XXXXXX";
  fd_ = ::mkstemp(tempPath_.data());
  if (fd_ < 0) FailWrite(shown_, errno);
  ownsFd_ = true;
  // mkstemp makes the file private; the output gets the owner and mode the file already has,
  // or the umask-governed default for a new one, as a shell redirection would give it. Owner
  // first: changing it clears set-id bits. Only root may give a file away, so a failure there
  // leaves the file ours.
  if (exists) {
    if (::fchown(fd_, info.st_uid, info.st_gid) != 0) {
      [[maybe_unused]] int ignored = ::fchown(fd_, static_cast<uid_t>(-1), info.st_gid);
    }
    ::fchmod(fd_, info.st_mode & 07777);
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd_, 0666 & ~mask);
  }
}

Output::~Output() {
  if (ownsFd_ && fd_ >= 0) ::close(fd_);
  if (!tempPath_.empty() && !committed_) ::unlink(tempPath_.c_str());
}

void Output::Commit() {
  Flush();
  if (tempPath_.empty()) {
    if (ownsFd_ && fd_ >= 0) {
      const int result = ::close(fd_);
      fd_ = -1;
      if (result != 0 && errno != EINTR) FailWrite(shown_, errno);
    }
    committed_ = true;
    return;
  }
  const int synced = ::fsync(fd_);
  const int error = errno;
  const int closed = ::close(fd_);
  fd_ = -1;
  if (synced != 0 || closed != 0) FailWrite(shown_, synced != 0 ? error : errno);
  if (::rename(tempPath_.c_str(), target_.c_str()) != 0) FailWrite(shown_, errno);
  committed_ = true;
}

}  // namespace plinth_tool
