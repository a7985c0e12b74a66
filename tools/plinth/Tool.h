#pragma once
// Shared plumbing of the plinth command-line host: exit codes, error reporting, reading inputs
// as bytes, writing outputs safely and showing progress. Each subcommand family lives in a file
// of its own (text.cpp, …) and registers itself from main.cpp through an Add…Commands function.

#include <CLI/CLI.hpp>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

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

// A failure to write an output, as opposed to reading one input: the run cannot usefully go on.
class OutputError : public ToolError {
 public:
  using ToolError::ToolError;
};

// Prints "plinth: <message>" on stderr; a closed stderr is no reason to die.
void Complain(const std::string& message);
// The same for news that is not an error (counts and the like).
inline void Inform(const std::string& message) { Complain(message); }

// "'name'", or "standard input" for "-": how messages refer to an input or output.
std::string DisplayName(const std::string& name);

// The whole content of a file, or of standard input for "-", as bytes.
std::string ReadInput(const std::string& name);

// An output. A regular file (or a link to one) is collected in a temporary file beside it and
// put in place only when complete, so that a failed run never leaves a half-written file behind
// and an output may safely name one of the inputs; the file keeps its permission bits and owner,
// and a link stays a link. Anything else (a device, a pipe, /dev/stdout, /dev/fd/N) is written
// in place, as a shell redirection would. "-" (or an empty path) is standard output.
//
// When the reader of a pipe goes away (`plinth … | head -1`), the output quietly swallows the
// rest: ReaderGone() tells the caller it may stop early.
class Output {
 public:
  explicit Output(const std::string& path);
  ~Output();
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  void Write(const char* data, std::size_t size);
  void Write(const std::string& data) { Write(data.data(), data.size()); }
  // Flushes and, for a regular file, renames the finished temporary file over the target.
  void Commit();
  bool ReaderGone() const { return readerGone_; }

 private:
  void Flush();
  void Send(const char* data, std::size_t size);

  std::string shown_;   // how messages name the output
  std::string target_;  // the file the temporary file replaces; empty when written in place
  std::string tempPath_;
  std::string buffer_;
  int fd_ = 1;  // standard output
  bool ownsFd_ = false;
  bool committed_ = false;
  bool readerGone_ = false;
};

// Throws unless name is a regular file (or a link to one); why names the option that needs it.
void RequireRegularFile(const std::string& name, const std::string& why);

// One line of progress on standard error while long work runs: a bar and a percentage when the
// total is known, else a spinner and a count (or the seconds gone by). It shows only once the
// work has taken a second, is redrawn at most ten times a second and is erased when the
// Progress ends. It stays silent when stderr is not a terminal, so that scripts and logs get
// no carriage-return noise. PLINTH_PROGRESS=always shows it anyway and at once, =never hides
// it; PLINTH_PROGRESS_DELAY_MS changes the wait before it shows.
class Progress {
 public:
  // total 0: unknown. unit names what Update counts ("lines"); without one the spinner shows
  // the seconds gone by.
  explicit Progress(std::string label, std::uint64_t total = 0, std::string unit = {});
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  void Update(std::uint64_t done);
  // For work done in one call that reports nothing back (a listing, a wait): the line is kept
  // turning from a thread of its own until the Progress ends.
  void KeepTurning();

  struct State;

 private:
  std::unique_ptr<State> state_;
};

// The files a command was given, or standard input ("-") when none.
inline std::vector<std::string> InputsOrStdin(const std::vector<std::string>& files) {
  if (files.empty()) return {"-"};
  return files;
}

// Folds the results of several inputs: any error wins, then any success.
struct Outcome {
  bool failed = false;
  bool found = false;
  int Code() const { return failed ? kExitError : found ? kExitOk : kExitNothingFound; }
};

// Runs work, which handles one of several inputs. A failure of that input is reported and
// recorded in outcome, and the caller goes on with the next; a failing output ends the run.
template <typename Work>
void TryInput(Outcome& outcome, Work&& work) {
  try {
    work();
  } catch (const OutputError&) {
    throw;
  } catch (const ToolError& error) {
    Complain(error.what());
    outcome.failed = true;
  }
}

// Where a replace command puts its results.
struct ReplaceTarget {
  bool inPlace = false;  // rewrite each input instead of writing to output
  // With inPlace: a rewritten file's original is kept under its name plus this suffix.
  std::optional<std::string> backupSuffix;
  std::string output;  // without inPlace: the one output of all inputs; empty is standard output
  bool count = false;  // report the number of replacements per input on stderr
};

// Writes data (read from the input called name) with its replacements made to out and returns
// how many were made.
using ReplaceInput =
    std::function<long long(const std::string& data, const std::string& name, Output& out)>;

// Runs replace on every input and returns the exit code. A file with nothing replaced is left
// untouched; an input that cannot be read is reported and the others still done.
int ReplaceInputs(const std::vector<std::string>& inputs, const ReplaceTarget& target,
                  const ReplaceInput& replace);

// \\ \n \r \t and \xHH in text given on a command line, as the bytes they stand for.
std::string DecodeEscapes(const std::string& text);

// Prints the document a hidden flag asks for, written from the command tree: --man-page (roff),
// --bash-completion or --commands (every command's path, one a line). False for other flags.
bool PrintDocument(const CLI::App& app, const std::string& flag, const std::string& version);

// Subcommand families.
void AddTextCommands(CLI::App& app, int& exitCode);
void AddRegCommands(CLI::App& app, int& exitCode);
void AddRegexCommands(CLI::App& app, int& exitCode);
// path …, find … and env … (files.cpp).
void AddFilesCommands(CLI::App& app, int& exitCode);
void AddHexCommands(CLI::App& app, int& exitCode);
void AddSecurityCommands(CLI::App& app, int& exitCode);
// log FILE MESSAGE… (log.cpp).
void AddLogCommands(CLI::App& app, int& exitCode);
// run …, open … and filetype … (launch.cpp).
void AddLaunchCommands(CLI::App& app, int& exitCode);

}  // namespace plinth_tool
