// A file's identity on POSIX is its device and inode number, read through links.

#include <plinth/afx/FileFind.h>
#include <sys/stat.h>

#include <cerrno>

#include "platform/posix/NativePaths.h"

BOOL AfxGetFileIdentity(const char* path, CFileIdentity* identity) {
  if (path == nullptr || identity == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  struct stat info;
  if (stat(plinth::posix::NativePath(path).c_str(), &info) != 0) {
    SetLastError(plinth::posix::PathErrorToWin32(errno, true));
    return FALSE;
  }
  identity->volume = static_cast<ULONGLONG>(info.st_dev);
  identity->index = static_cast<ULONGLONG>(info.st_ino);
  return TRUE;
}
