#pragma once
// Shared plumbing of the plinth command-line host: exit codes, error reporting, reading inputs
// as bytes, writing outputs safely and showing progress. Each subcommand family lives in a file
// of its own (text.cpp, …) and registers itself from main.cpp through an Add…Commands function.

#include <CLI/CLI.hpp>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace plinth_tool {

// The same three codes for every subcommand, so scripts can tell "no" from "broken".
enum ExitCode : int {
  kExitOk = 0,
  kExitNothingFound = 1,  // a search found nothing, a replacement replaced nothing
  kExitError = 2,         // bad usage, unreadable input, unwritable output
};

// A failure the user can act on. what() is printed after "plinth: " and must name the input
// and say what to do about it.
class ToolError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Prints "plinth: <message>" on stderr.
void Complain(const std::string& message);

// "'name'", or "standard input" for "-": how messages refer to an input or output.
std::string DisplayName(const std::string& name);

// The whole content of a file, or of standard input for "-", as bytes.
std::string ReadInput(const std::string& name);

// Collects an output and puts it in place only when complete, so that a failed run never
// leaves a half-written file behind and an output may safely name one of the inputs; an
// existing file keeps its permission bits. "-" (or an empty path) writes straight to standard
// output.
class Output {
 public:
  explicit Output(const std::string& path);
  ~Output();
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  void Write(const char* data, std::size_t size);
  void Write(const std::string& data) { Write(data.data(), data.size()); }
  // Flushes and, for a file, renames the finished temporary file over the target.
  void Commit();

 private:
  void Flush();

  std::string path_;
  std::string tempPath_;
  std::string buffer_;
  int fd_ = -1;
  bool committed_ = false;
};

// A percentage on stderr while a large input is worked through; silent when stderr is not a
// terminal (scripts and logs get no carriage-return noise) or the input is small.
class Progress {
 public:
  Progress(std::string label, std::uint64_t total);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  void Update(std::uint64_t done);

 private:
  std::string label_;
  std::uint64_t total_;
  int shown_ = -1;
  bool active_;
};

// Subcommand families.
void AddTextCommands(CLI::App& app, int& exitCode);

}  // namespace plinth_tool
