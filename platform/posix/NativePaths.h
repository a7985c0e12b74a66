#pragma once
// Windows path text to POSIX paths, shared by the file services of the platform layer.

#include <string>

namespace plinth::posix {

// True for the two separators Windows accepts.
inline bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// The POSIX path for a Windows-style path of an existing file or folder: "c:" before a
// separator (or alone) is the root, and backslashes are separators. When that path does not
// exist and the text holds backslashes, backslashes are also tried as parts of names, folders
// first, so that entries whose names hold a backslash stay reachable. When nothing exists
// under any reading, the plain reading is returned so the caller reports the system's error.
std::string NativePath(const std::string& path);

// errno of a failed path lookup as a Win32 error code: a missing last component is
// ERROR_FILE_NOT_FOUND, a missing folder on the way ERROR_PATH_NOT_FOUND.
unsigned int PathErrorToWin32(int error, bool lastComponent);

}  // namespace plinth::posix
