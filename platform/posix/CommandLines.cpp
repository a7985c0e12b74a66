// Splitting Windows command lines and PATH lists. Blanks are the two the Windows runtime
// knows, space and tab; everything else, shell characters included, is plain text.

#include "platform/posix/CommandLines.h"

#include <cstddef>
#include <utility>

namespace plinth::posix {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::string ProgramToken(const char* line, const char** rest) {
  while (IsBlank(*line)) ++line;
  std::string program;
  if (*line == '"') {
    ++line;
    while (*line != '\0' && *line != '"') program += *line++;
    if (*line == '"') ++line;
  } else {
    while (*line != '\0' && !IsBlank(*line)) program += *line++;
  }
  *rest = line;
  return program;
}

std::vector<std::string> SplitCommandLine(const char* line) {
  std::vector<std::string> argv;
  const char* p = line;
  argv.push_back(ProgramToken(line, &p));
  for (;;) {
    while (IsBlank(*p)) ++p;
    if (*p == '\0') break;
    std::string argument;
    bool quoted = false;
    while (*p != '\0' && (quoted || !IsBlank(*p))) {
      if (*p == '\\') {
        std::size_t backslashes = 0;
        while (*p == '\\') {
          ++backslashes;
          ++p;
        }
        if (*p == '"') {
          argument.append(backslashes / 2, '\\');
          if (backslashes % 2 == 1) {
            argument += '"';
            ++p;
          }
        } else {
          argument.append(backslashes, '\\');
        }
        continue;
      }
      if (*p == '"') {
        if (quoted && p[1] == '"') {
          argument += '"';
          p += 2;
        } else {
          quoted = !quoted;
          ++p;
        }
        continue;
      }
      argument += *p++;
    }
    argv.push_back(std::move(argument));
  }
  return argv;
}

std::vector<std::string> PathFolders(const std::string& value) {
  std::vector<std::string> folders;
  std::string folder;
  for (std::size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    const bool drive = c == ':' && folder.size() == 1 && i + 1 < value.size() &&
                       value[i + 1] == '\\' &&
                       ((folder[0] | 0x20) >= 'a' && (folder[0] | 0x20) <= 'z');
    if ((c == ':' || c == ';') && !drive) {
      if (!folder.empty()) folders.push_back(folder);
      folder.clear();
    } else {
      folder += c;
    }
  }
  if (!folder.empty()) folders.push_back(folder);
  return folders;
}

}  // namespace plinth::posix
