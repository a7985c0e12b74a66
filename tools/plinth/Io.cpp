// The operating-system-neutral half of the host's input and output: messages, the output
// buffer and progress. Reading, writing and replacing files is in posix/Io.cpp and
// windows/Io.cpp.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "IoSystem.h"
#include "Tool.h"

namespace plinth_tool {
namespace {

// Progress is worth its noise only when the work takes noticeable time.
constexpr std::uint64_t kProgressThreshold = 8u << 20;
constexpr std::size_t kOutputBufferSize = 1u << 20;

std::string ReadHint(int error) {
  switch (error) {
    case ENOENT: return "check the path, or give '-' to read standard input";
    case EACCES: return "check the file's permissions";
    case EISDIR: return "give a file, not a folder";
    default: return "check the input and try again";
  }
}

std::string WriteHint(int error) {
  switch (error) {
    case ENOENT: return "check that the folder exists";
    case EACCES:
    case EROFS: return "check that the folder is writable";
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
      return "free some disk space and try again";
    case EISDIR: return "give a file name, not a folder";
    default: return "check the output path and try again";
  }
}

}  // namespace

void FailRead(const std::string& name, int error) {
  throw ToolError("cannot read " + DisplayName(name) + ": " + std::strerror(error) + "; " +
                  ReadHint(error));
}

void FailWrite(const std::string& shown, int error) {
  throw OutputError("cannot write " + shown + ": " + std::strerror(error) + "; " +
                    WriteHint(error));
}

void Complain(const std::string& message) {
  const std::string line = "plinth: " + message + "\n";
  std::fflush(stderr);
  try {
    WriteAll(kStandardError, line.data(), line.size(), "standard error");
  } catch (const ToolError&) {
    // Nowhere left to say it.
  }
}

std::string DisplayName(const std::string& name) {
  if (name.empty() || name == "-") return "standard input";
  return "'" + name + "'";
}

void Output::Send(const char* data, std::size_t size) {
  if (readerGone_ || size == 0) return;
  if (fd_ == kStandardOutput) std::fflush(stdout);
  if (!WriteAll(fd_, data, size, shown_)) readerGone_ = true;
}

void Output::Write(const char* data, std::size_t size) {
  if (readerGone_) return;
  if (buffer_.size() + size < kOutputBufferSize) {
    buffer_.append(data, size);
    return;
  }
  // A large block goes out as it is rather than through a second copy in the buffer.
  Flush();
  if (size >= kOutputBufferSize)
    Send(data, size);
  else
    buffer_.append(data, size);
}

void Output::Flush() {
  Send(buffer_.data(), buffer_.size());
  buffer_.clear();
}

Progress::Progress(std::string label, std::uint64_t total)
    : label_(std::move(label)),
      total_(total),
      active_(total >= kProgressThreshold && StandardErrorIsTerminal()) {}

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
