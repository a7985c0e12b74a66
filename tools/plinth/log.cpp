// plinth log FILE [MESSAGE...]: appends time-stamped lines to a log file through
// CKaShell::LogMessage, one per message, or one per line of standard input when no message is
// given. The library keeps quiet when it cannot open the file; the host does not, so it first
// opens the file the way the library will and reports why that fails.

#include <plinth/KaShell.h>
#include <plinth/afx/Exception.h>
#include <plinth/afx/File.h>

#include <memory>
#include <string>
#include <vector>

#include "Tool.h"

namespace plinth_tool {
namespace {

struct LogOptions {
  std::string file;
  std::vector<std::string> messages;
  bool escapes = false;
};

// Throws, with the system's reason, unless the file opens as the library opens its log.
void ProbeLogFile(const std::string& path) {
  CStdioFile file;
  CFileException error;
  if (file.Open(path.c_str(),
                CFile::modeWrite | CFile::shareDenyNone | CFile::modeCreate |
                    CFile::modeNoTruncate | CFile::typeText,
                &error))
    return;
  char reason[256] = "cannot open it.";
  error.GetErrorMessage(reason, sizeof reason);
  throw ToolError("cannot open the log " + DisplayName(path) + ": " + reason +
                  " Check that its folder exists, that you may write there, and that no "
                  "program holds it exclusively.");
}

// Standard input's lines without their line ends (LF or CR LF); a last line without one counts.
std::vector<std::string> InputLines() {
  const std::string input = ReadInput("-");
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < input.size()) {
    size_t end = input.find('\n', at);
    if (end == std::string::npos) end = input.size();
    std::string line = input.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    at = end + 1;
  }
  return lines;
}

int RunLog(const LogOptions& options) {
  if (options.file.empty())
    throw ToolError("no log file named: give the path of the file to append to");
  std::vector<std::string> messages = options.messages;
  if (messages.empty()) messages = InputLines();
  for (std::string& message : messages) {
    if (options.escapes) message = DecodeEscapes(message);
    if (message.find('\0') != std::string::npos)
      throw ToolError(
          "a message holds a NUL byte, which would end its line early; leave out "
          "\\x00");
  }

  ProbeLogFile(options.file);
  Progress progress("writing to the log " + DisplayName(options.file), messages.size());
  std::uint64_t written = 0;
  for (const std::string& message : messages) {
    progress.Update(written++);
    try {
      CKaShell::LogMessage(options.file.c_str(), message.c_str());
    } catch (CException* e) {
      char reason[256] = "write error";
      e->GetErrorMessage(reason, sizeof reason);
      e->Delete();
      throw ToolError("cannot write to the log " + DisplayName(options.file) + ": " + reason +
                      " Free some space or choose another file.");
    }
  }
  return kExitOk;
}

}  // namespace

void AddLogCommands(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<LogOptions>();
  CLI::App* command =
      app.add_subcommand("log", "Append time-stamped lines to a log file (CKaShell::LogMessage)");
  command->footer(
      "Each line is the local date and time, \": \" and the message, ended by CR LF. The first\n"
      "line a process writes to a file is a start line. Without MESSAGE, each line of standard\n"
      "input is a message.\n"
      "Example: plinth log build.log \"nightly build started\"\n"
      "Exit status: 0 written, 2 the log cannot be written, or a usage error.");
  command->add_option("FILE", options->file, "The log file; created when missing, never emptied")
      ->required()
      ->type_name("");
  command->add_option("MESSAGE", options->messages, "Messages, one line each")->type_name("");
  command->add_flag("-e,--escapes", options->escapes,
                    "Read \\n \\r \\t \\\\ and \\xHH in messages as the bytes they stand for");
  command->callback([options, &exitCode] { exitCode = RunLog(*options); });
}

}  // namespace plinth_tool
