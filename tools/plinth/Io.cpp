#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Tool.h"

namespace plinth_tool {
namespace {

// Progress is worth its noise only when the work takes noticeable time.
constexpr std::uint64_t kProgressThreshold = 8u << 20;
constexpr std::size_t kOutputBufferSize = 1u << 20;

std::string ReadHint(int error) {
  switch (error) {
    case ENOENT:
      return "check the path, or give '-' to read standard input";
    case EACCES:
      return "check the file's permissions";
    case EISDIR:
      return "give a file, not a folder";
    default:
      return "check the input and try again";
  }
}

std::string WriteHint(int error) {
  switch (error) {
    case ENOENT:
      return "check that the folder exists";
    case EACCES:
    case EROFS:
      return "check that the folder is writable";
    case ENOSPC:
    case EDQUOT:
      return "free some disk space and try again";
    default:
      return "check the output path and try again";
  }
}

[[noreturn]] void FailRead(const std::string& name, int error) {
  throw ToolError("cannot read " + DisplayName(name) + ": " + std::strerror(error) + "; " +
                  ReadHint(error));
}

// shown: the output as messages name it ("'out.txt'", "standard output").
[[noreturn]] void FailWrite(const std::string& shown, int error) {
  throw ToolError("cannot write " + shown + ": " + std::strerror(error) + "; " + WriteHint(error));
}

void WriteAll(int fd, const char* data, std::size_t size, const std::string& shown) {
  while (size > 0) {
    ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      FailWrite(shown, errno);
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
}

}  // namespace

void Complain(const std::string& message) { std::fprintf(stderr, "plinth: %s\n", message.c_str()); }

std::string DisplayName(const std::string& name) {
  if (name.empty() || name == "-") return "standard input";
  return "'" + name + "'";
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

Output::Output(const std::string& path) : path_(path == "-" ? std::string() : path) {
  if (path_.empty()) return;
  tempPath_ = path_ + ".plinth-XXXXXX";
  fd_ = ::mkstemp(tempPath_.data());
  if (fd_ < 0) FailWrite(DisplayName(path_), errno);
  // mkstemp makes the file private; the output gets the mode the file already has, or the
  // umask-governed default for a new one, as a shell redirection would give it.
  struct stat info {};
  if (::stat(path_.c_str(), &info) == 0) {
    ::fchmod(fd_, info.st_mode & 07777);
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd_, 0666 & ~mask);
  }
}

Output::~Output() {
  if (fd_ >= 0) {
    ::close(fd_);
    if (!committed_) ::unlink(tempPath_.c_str());
  }
}

void Output::Write(const char* data, std::size_t size) {
  buffer_.append(data, size);
  if (buffer_.size() >= kOutputBufferSize) Flush();
}

void Output::Flush() {
  if (path_.empty()) {
    std::fflush(stdout);
    WriteAll(STDOUT_FILENO, buffer_.data(), buffer_.size(), "standard output");
  } else {
    WriteAll(fd_, buffer_.data(), buffer_.size(), DisplayName(path_));
  }
  buffer_.clear();
}

void Output::Commit() {
  Flush();
  if (path_.empty()) return;
  if (::fsync(fd_) != 0 || ::close(fd_) != 0) {
    int error = errno;
    fd_ = -1;
    ::unlink(tempPath_.c_str());
    FailWrite(DisplayName(path_), error);
  }
  fd_ = -1;
  if (::rename(tempPath_.c_str(), path_.c_str()) != 0) {
    int error = errno;
    ::unlink(tempPath_.c_str());
    FailWrite(DisplayName(path_), error);
  }
  committed_ = true;
}

Progress::Progress(std::string label, std::uint64_t total)
    : label_(std::move(label)),
      total_(total),
      active_(total >= kProgressThreshold && ::isatty(STDERR_FILENO) == 1) {}

Progress::~Progress() {
  // Erase the line so that later messages start clean.
  if (active_ && shown_ >= 0) std::fprintf(stderr, "\r\033[K");
}

void Progress::Update(std::uint64_t done) {
  if (!active_ || total_ == 0) return;
  int percent = static_cast<int>(done * 100 / total_);
  if (percent == shown_) return;
  shown_ = percent;
  std::fprintf(stderr, "\rplinth: %s %3d%%", label_.c_str(), percent);
  std::fflush(stderr);
}

}  // namespace plinth_tool
