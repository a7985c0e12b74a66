// The operating-system-neutral half of the host's input and output: messages, the output
// buffer and progress. Reading, writing and replacing files is in posix/Io.cpp and
// windows/Io.cpp.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "IoSystem.h"
#include "Tool.h"

namespace plinth_tool {
namespace {

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
  // A message written over a progress line would be garbled; the line comes back on its next
  // redraw.
  EraseProgress();
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

namespace {

using Clock = std::chrono::steady_clock;

// Work shorter than this prints no progress at all.
constexpr std::chrono::milliseconds kProgressDelay{1000};
// A terminal redrawn more often only flickers and costs time.
constexpr std::chrono::milliseconds kRedrawInterval{100};
constexpr int kBarWidth = 24;
constexpr char kSpinner[] = {'|', '/', '-', '\\'};

enum class ProgressSetting { kTerminal, kAlways, kNever };

ProgressSetting ProgressWanted() {
  const char* value = std::getenv("PLINTH_PROGRESS");
  if (value == nullptr) return ProgressSetting::kTerminal;
  if (std::strcmp(value, "always") == 0) return ProgressSetting::kAlways;
  if (std::strcmp(value, "never") == 0) return ProgressSetting::kNever;
  return ProgressSetting::kTerminal;
}

// "…" in the middle of a label too long for the terminal, so that the line never wraps (a
// wrapped line cannot be erased with one carriage return).
std::string Shorten(const std::string& label, std::size_t room) {
  if (label.size() <= room) return label;
  if (room < 8) return label.substr(0, room);
  const std::size_t head = (room - 3) / 2;
  return label.substr(0, head) + "..." + label.substr(label.size() - (room - 3 - head));
}

void WriteToTerminal(const std::string& text) {
  std::fflush(stderr);
  try {
    WriteAll(kStandardError, text.data(), text.size(), "standard error");
  } catch (const ToolError&) {
    // A progress line is not worth failing the work for.
  }
}

}  // namespace

struct Progress::State {
  std::string label;
  std::string unit;
  std::uint64_t total = 0;
  std::uint64_t done = 0;
  Clock::time_point start;
  Clock::time_point nextDraw;
  unsigned turns = 0;
  bool shown = false;
  bool finished = false;
  std::mutex lock;
  std::condition_variable wake;
  std::thread turner;

  // Called with lock held.
  void Draw(Clock::time_point now) {
    std::string status;
    if (total > 0) {
      const std::uint64_t part = std::min(done, total);
      const int filled = static_cast<int>(part * kBarWidth / total);
      status = "[" + std::string(static_cast<std::size_t>(filled), '#') +
               std::string(static_cast<std::size_t>(kBarWidth - filled), '.') + "] ";
      const int percent = static_cast<int>(part * 100 / total);
      status += (percent < 10 ? "  " : percent < 100 ? " " : "") + std::to_string(percent) + "%";
    } else {
      status = std::string(1, kSpinner[turns++ % sizeof kSpinner]) + " ";
      if (!unit.empty())
        status += std::to_string(done) + " " + unit;
      else
        status +=
            std::to_string(std::chrono::duration_cast<std::chrono::seconds>(now - start).count()) +
            " s";
    }
    const int columns = StandardErrorColumns();
    const std::size_t width = columns > 20 ? static_cast<std::size_t>(columns) - 1 : 79;
    const std::string fixed = "plinth: ";
    const std::size_t room =
        width > fixed.size() + 2 + status.size() ? width - fixed.size() - 2 - status.size() : 0;
    WriteToTerminal("\r" + fixed + Shorten(label, room) + "  " + status + "\033[K");
    shown = true;
    nextDraw = now + kRedrawInterval;
  }

  void Erase() {
    if (shown) WriteToTerminal("\r\033[K");
    shown = false;
  }
};

namespace {

// The progress line on the terminal, if any, so that a message can erase it first.
std::mutex activeLock;
Progress::State* activeProgress = nullptr;

}  // namespace

Progress::Progress(std::string label, std::uint64_t total, std::string unit) {
  const ProgressSetting setting = ProgressWanted();
  if (setting == ProgressSetting::kNever ||
      (setting == ProgressSetting::kTerminal && !StandardErrorIsTerminal()))
    return;
  state_ = std::make_unique<State>();
  state_->label = std::move(label);
  state_->unit = std::move(unit);
  state_->total = total;
  state_->start = Clock::now();
  std::chrono::milliseconds delay =
      setting == ProgressSetting::kAlways ? std::chrono::milliseconds(0) : kProgressDelay;
  if (const char* text = std::getenv("PLINTH_PROGRESS_DELAY_MS"))
    delay = std::chrono::milliseconds(std::atoi(text));
  state_->nextDraw = state_->start + delay;
  std::lock_guard<std::mutex> hold(activeLock);
  activeProgress = state_.get();
}

Progress::~Progress() {
  if (!state_) return;
  {
    std::lock_guard<std::mutex> hold(state_->lock);
    state_->finished = true;
  }
  state_->wake.notify_all();
  if (state_->turner.joinable()) state_->turner.join();
  std::lock_guard<std::mutex> holdActive(activeLock);
  std::lock_guard<std::mutex> hold(state_->lock);
  // Erase the line so that later messages start clean.
  state_->Erase();
  if (activeProgress == state_.get()) activeProgress = nullptr;
}

void Progress::Update(std::uint64_t done) {
  if (!state_) return;
  std::lock_guard<std::mutex> hold(state_->lock);
  state_->done = done;
  const Clock::time_point now = Clock::now();
  if (now >= state_->nextDraw) state_->Draw(now);
}

void Progress::KeepTurning() {
  if (!state_ || state_->turner.joinable()) return;
  State* state = state_.get();
  state_->turner = std::thread([state] {
    std::unique_lock<std::mutex> hold(state->lock);
    while (!state->finished) {
      const Clock::time_point now = Clock::now();
      if (now >= state->nextDraw) state->Draw(now);
      state->wake.wait_until(hold, state->nextDraw, [state] { return state->finished; });
    }
  });
}

void EraseProgress() {
  std::lock_guard<std::mutex> holdActive(activeLock);
  if (activeProgress == nullptr) return;
  std::lock_guard<std::mutex> hold(activeProgress->lock);
  activeProgress->Erase();
}

}  // namespace plinth_tool
