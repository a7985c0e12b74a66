#pragma once
// How a program's private search path goes in front of PATH differs by operating system: a
// Windows PATH is a ";" list that tolerates empty elements, while a POSIX PATH is a ":" list in
// which an empty element means the working directory, so one must never be put there. The
// launcher builds the child's PATH through this hook; each platform folder provides it.

#include <plinth/afx/String.h>

namespace plinth::platform {

// The PATH value (without "PATH=") for a child: applicationPath in front of oldPath.
// Windows: applicationPath + ";" + oldPath, always with the ";", so an empty part leaves an
// empty element at that end. POSIX: the elements of applicationPath (separated by ";" or ":",
// "c:\dir" elements taken as Windows paths, empty ones dropped) joined by ":" in front of
// oldPath; oldPath alone, unchanged, when applicationPath holds no element.
CString PrependSearchPath(const CString& applicationPath, const CString& oldPath);

}  // namespace plinth::platform
