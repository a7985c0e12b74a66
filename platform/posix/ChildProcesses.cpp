// Helper programs of the platform layer. They go through CreateProcessA like any program the
// library starts, so that one place owns spawning, signal dispositions and reaping; this file
// only turns an argument list into the command line that process creation splits back.
#include "platform/posix/ChildProcesses.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/posix/CommandLines.h"
#include "platform/posix/NativePaths.h"

namespace plinth::posix {

std::string FindOnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  if (!path || name.empty()) return std::string();
  for (const std::string& folder : PathFolders(path)) {
    const std::string candidate = NativePath(folder) + "/" + name;
    struct stat status;
    if (stat(candidate.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
        access(candidate.c_str(), X_OK) == 0)
      return candidate;
  }
  return std::string();
}

std::string CommandLineFor(const std::vector<std::string>& argv) {
  std::string line;
  if (!argv.empty()) {
    // The program token ends at the next quote whatever comes before it, so a quote cannot be
    // part of it; it is only a name the child sees itself by.
    line += '"';
    for (char c : argv[0])
      if (c != '"') line += c;
    line += '"';
  }
  for (size_t i = 1; i < argv.size(); ++i) {
    line += " \"";
    size_t backslashes = 0;
    for (char c : argv[i]) {
      if (c == '\\') {
        ++backslashes;
        continue;
      }
      // Backslashes count only before a quote: there they are doubled, and the quote escaped.
      line.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
      backslashes = 0;
      line += c;
    }
    // Before the closing quote, too.
    line.append(backslashes * 2, '\\');
    line += '"';
  }
  return line;
}

BOOL StartProgram(const std::string& program, const std::vector<std::string>& argv,
                  DWORD creationFlags, PROCESS_INFORMATION& started) {
  std::string line = CommandLineFor(argv);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  started = PROCESS_INFORMATION{};
  return CreateProcessA(program.c_str(), &line[0], nullptr, nullptr, FALSE, creationFlags, nullptr,
                        nullptr, &startup, &started);
}

}  // namespace plinth::posix
