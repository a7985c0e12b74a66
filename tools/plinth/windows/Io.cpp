// Files, standard streams and consoles on Windows, through the C runtime's descriptors. Every
// stream is binary: the host's inputs and outputs are bytes, and a text-mode descriptor would
// turn each "\n" into "\r\n" and stop reading at a Ctrl-Z.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "IoSystem.h"
#include "Tool.h"

namespace plinth_tool {
namespace {

// The errno value closest to a Win32 error, for the messages FailWrite gives.
int ErrnoOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return EACCES;
    case ERROR_WRITE_PROTECT: return EROFS;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    default: return EIO;
  }
}

bool IsStandard(const std::string& path) { return path.empty() || path == "-"; }

}  // namespace

bool WriteAll(int fd, const char* data, std::size_t size, const std::string& shown) {
  while (size > 0) {
    const unsigned chunk = size > (1u << 30) ? (1u << 30) : static_cast<unsigned>(size);
    const int written = ::_write(fd, data, chunk);
    if (written < 0) {
      // A pipe whose reader went away reports EPIPE (or EINVAL, for a pipe being closed).
      if (errno == EPIPE || (errno == EINVAL && fd == kStandardOutput)) return false;
      FailWrite(shown, errno);
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

bool StandardErrorIsTerminal() { return ::_isatty(kStandardError) != 0; }

int StandardErrorColumns() {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (::GetConsoleScreenBufferInfo(::GetStdHandle(STD_ERROR_HANDLE), &info))
    return info.srWindow.Right - info.srWindow.Left + 1;
  return 0;
}

void RequireRegularFile(const std::string& name, const std::string& why) {
  struct _stat64 info {};
  if (::_stat64(name.c_str(), &info) != 0) FailRead(name, errno);
  if (info.st_mode & _S_IFDIR) FailRead(name, EISDIR);
  if (!(info.st_mode & _S_IFREG))
    throw ToolError(why + " cannot rewrite " + DisplayName(name) +
                    ", which is not a regular file; drop " + why + " and use -o");
}

std::string ReadInput(const std::string& name) {
  const bool fromStdin = IsStandard(name);
  int fd = 0;
  if (fromStdin) {
    ::_setmode(fd, _O_BINARY);
  } else {
    struct _stat64 info {};
    if (::_stat64(name.c_str(), &info) == 0 && (info.st_mode & _S_IFDIR)) FailRead(name, EISDIR);
    fd = ::_open(name.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
    if (fd < 0) FailRead(name, errno);
  }

  std::string data;
  struct _stat64 info {};
  if (::_fstat64(fd, &info) == 0 && (info.st_mode & _S_IFREG) && info.st_size > 0)
    data.reserve(static_cast<std::size_t>(info.st_size));

  char chunk[1 << 16];
  for (;;) {
    const int got = ::_read(fd, chunk, sizeof chunk);
    if (got < 0) {
      const int error = errno;
      if (!fromStdin) ::_close(fd);
      FailRead(name, error);
    }
    if (got == 0) break;
    data.append(chunk, static_cast<std::size_t>(got));
  }
  if (!fromStdin) ::_close(fd);
  return data;
}

Output::Output(const std::string& path) {
  if (IsStandard(path)) {
    fd_ = kStandardOutput;
    ::_setmode(fd_, _O_BINARY);
    shown_ = "standard output";
    return;
  }
  shown_ = "'" + path + "'";

  struct _stat64 info {};
  const bool exists = ::_stat64(path.c_str(), &info) == 0;
  if (exists && (info.st_mode & _S_IFDIR)) FailWrite(shown_, EISDIR);
  if (exists && !(info.st_mode & _S_IFREG)) {
    // A device (NUL, CON, a named pipe) cannot be replaced, only written to.
    fd_ = ::_open(path.c_str(), _O_WRONLY | _O_BINARY | _O_NOINHERIT);
    if (fd_ < 0) FailWrite(shown_, errno);
    ownsFd_ = true;
    return;
  }

  target_ = path;
  // Beside the target, so that the final move stays on one volume.
  for (int attempt = 0; attempt < 100 && !ownsFd_; ++attempt) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".plinth-%lu-%d",
                  static_cast<unsigned long>(GetCurrentProcessId()), attempt);
    tempPath_ = target_ + suffix;
    fd_ = ::_open(tempPath_.c_str(), _O_WRONLY | _O_BINARY | _O_CREAT | _O_EXCL | _O_NOINHERIT,
                  _S_IREAD | _S_IWRITE);
    if (fd_ >= 0) {
      ownsFd_ = true;
    } else if (errno != EEXIST) {
      const int error = errno;
      tempPath_.clear();
      FailWrite(shown_, error);
    }
  }
  if (!ownsFd_) {
    tempPath_.clear();
    FailWrite(shown_, EEXIST);
  }
}

Output::~Output() {
  if (ownsFd_ && fd_ >= 0) ::_close(fd_);
  if (!tempPath_.empty() && !committed_) ::_unlink(tempPath_.c_str());
}

void Output::Commit() {
  Flush();
  if (tempPath_.empty()) {
    if (ownsFd_ && fd_ >= 0) {
      const int result = ::_close(fd_);
      fd_ = -1;
      if (result != 0) FailWrite(shown_, errno);
    }
    committed_ = true;
    return;
  }
  const int synced = ::_commit(fd_);
  const int error = errno;
  const int closed = ::_close(fd_);
  fd_ = -1;
  if (synced != 0 || closed != 0) FailWrite(shown_, synced != 0 ? error : errno);
  // The file's attributes stay those of the new file; a read-only target refuses the move.
  if (!MoveFileExA(tempPath_.c_str(), target_.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    FailWrite(shown_, ErrnoOf(GetLastError()));
  committed_ = true;
}

}  // namespace plinth_tool
