// Command lines and PATH lists of the POSIX process layer on arbitrary bytes. The input, read
// as one command line, must split without fault; read as NUL-separated arguments, quoting them
// as a Windows program quotes for its children and splitting the result must give them back;
// read as a PATH value, no folder may be empty or hold a separator.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/posix/CommandLines.h"

namespace {

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "property broken: %s\n", what);
    std::abort();
  }
}

// The usual quoting for the Windows runtime: bare when nothing needs protecting, else in
// quotes with the backslashes before a quote (and before the closing quote) doubled.
std::string Quote(const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) return argument;
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') {
      quoted.append(backslashes * 2 + 1, '\\');
    } else {
      quoted.append(backslashes, '\\');
    }
    quoted += c;
    backslashes = 0;
  }
  quoted.append(backslashes * 2, '\\');
  return quoted + '"';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  const std::string line(bytes.c_str());  // up to the first NUL, as the layer sees it
  const std::vector<std::string> argv = plinth::posix::SplitCommandLine(line.c_str());
  Check(!argv.empty(), "argv has the program");

  std::vector<std::string> arguments{"program"};
  for (std::size_t start = 0; start <= bytes.size();) {
    std::size_t end = bytes.find('\0', start);
    if (end == std::string::npos) end = bytes.size();
    arguments.push_back(bytes.substr(start, end - start));
    start = end + 1;
  }
  std::string quoted = "\"program\"";
  for (std::size_t i = 1; i < arguments.size(); ++i) quoted += ' ' + Quote(arguments[i]);
  Check(plinth::posix::SplitCommandLine(quoted.c_str()) == arguments, "quoting round trip");

  for (const std::string& folder : plinth::posix::PathFolders(line)) {
    Check(!folder.empty(), "no empty folder");
    for (std::size_t i = 0; i < folder.size(); ++i) {
      const bool drive = i == 1 && folder[i] == ':' && i + 1 < folder.size() && folder[2] == '\\';
      Check(folder[i] != ';' && (folder[i] != ':' || drive), "no separator in a folder");
    }
  }
  return 0;
}
