// The child's PATH on POSIX. A registered search path is usually written the Windows way
// ("c:\tools;c:\tools\bin"), but may be a POSIX list too, so both separators split it; a drive
// letter's colon does not. The caller's PATH is kept as it is: whatever it holds was already
// the process's choice, and an empty element is never added to it here.
#include "platform/SearchPath.h"

#include "platform/posix/NativePaths.h"

#include <string>

namespace plinth::platform {

namespace {

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// "c:" at the start of an element, alone or before a backslash, is a drive, not a list
// separator. Before "/" it is not: "b:/opt" in a POSIX list is the folder b, then /opt.
bool StartsWithDrive(const std::string& text, std::size_t start) {
  if (start + 1 >= text.size() || !IsLetter(text[start]) || text[start + 1] != ':') return false;
  return start + 2 == text.size() || text[start + 2] == ';' || text[start + 2] == '\\';
}

void AppendElement(std::string& list, const std::string& element) {
  if (element.empty()) return;
  const bool windowsPath = element.find('\\') != std::string::npos || StartsWithDrive(element, 0);
  const std::string native = windowsPath ? posix::NativePath(element) : element;
  if (native.empty()) return;
  if (!list.empty()) list += ':';
  list += native;
}

}  // namespace

CString PrependSearchPath(const CString& applicationPath, const CString& oldPath) {
  const std::string text(static_cast<const char*>(applicationPath),
                         static_cast<std::size_t>(applicationPath.GetLength()));
  std::string list;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = start;
    if (StartsWithDrive(text, start)) end += 2;
    while (end < text.size() && text[end] != ';' && text[end] != ':') ++end;
    AppendElement(list, text.substr(start, end - start));
    start = end + 1;
  }
  if (list.empty()) return oldPath;
  if (oldPath.IsEmpty()) return CString(list.c_str(), static_cast<int>(list.size()));
  list += ':';
  list.append(static_cast<const char*>(oldPath), static_cast<std::size_t>(oldPath.GetLength()));
  return CString(list.c_str(), static_cast<int>(list.size()));
}

}  // namespace plinth::platform
