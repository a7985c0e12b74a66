// File search (FindFirstFileA and friends), attributes, and the C runtime's _access, _tempnam
// and _fullpath on POSIX. Paths go through NativePath, so both separators, the "c:" root and
// names holding backslashes work everywhere the same way.

#include <dirent.h>
#include <fcntl.h>
#include <plinth/win32.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/posix/NativePaths.h"

namespace {

using plinth::posix::IsSeparator;
using plinth::posix::NativePath;
using plinth::posix::PathErrorToWin32;

char FoldAscii(unsigned char c) {
  return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
}

// Windows wildcard matching on bytes: "*" any run, "?" one byte, ASCII letters without regard
// to case. Greedy with one back-up point, so the cost stays within length(name) * length(mask).
bool Same(char a, char b, bool caseSensitive) {
  return caseSensitive
             ? a == b
             : FoldAscii(static_cast<unsigned char>(a)) == FoldAscii(static_cast<unsigned char>(b));
}

bool MatchesWildcard(const char* mask, const char* name, bool caseSensitive) {
  const char* starMask = nullptr;
  const char* starName = nullptr;
  while (*name != '\0') {
    if (*mask == '*') {
      starMask = ++mask;
      starName = name;
      continue;
    }
    if (*mask != '\0' && (*mask == '?' || Same(*mask, *name, caseSensitive))) {
      ++mask;
      ++name;
      continue;
    }
    if (starMask == nullptr) return false;
    mask = starMask;
    name = ++starName;
  }
  while (*mask == '*') ++mask;
  return *mask == '\0';
}

bool EqualNoCase(const char* a, const char* b) {
  for (; *a != '\0' && *b != '\0'; ++a, ++b)
    if (FoldAscii(static_cast<unsigned char>(*a)) != FoldAscii(static_cast<unsigned char>(*b)))
      return false;
  return *a == *b;
}

bool HasWildcard(const char* text, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i)
    if (text[i] == '*' || text[i] == '?') return true;
  return false;
}

FILETIME ToFileTime(const struct timespec& time) {
  // Seconds between 1601-01-01 and 1970-01-01.
  constexpr int64_t kEpochDifference = 11644473600LL;
  int64_t ticks =
      (static_cast<int64_t>(time.tv_sec) + kEpochDifference) * 10000000LL + time.tv_nsec / 100;
  if (ticks < 0) ticks = 0;
  FILETIME result;
  result.dwLowDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks) & 0xFFFFFFFFu);
  result.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks) >> 32);
  return result;
}

DWORD AttributesOf(const struct stat& info, bool isLink, const char* name) {
  DWORD attributes = 0;
  if (S_ISDIR(info.st_mode)) {
    attributes |= FILE_ATTRIBUTE_DIRECTORY;
  } else {
    attributes |= FILE_ATTRIBUTE_ARCHIVE;
    if (!S_ISREG(info.st_mode) && !isLink) attributes |= FILE_ATTRIBUTE_SYSTEM;
  }
  if ((info.st_mode & S_IWUSR) == 0) attributes |= FILE_ATTRIBUTE_READONLY;
  if (isLink) attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
  if (name[0] == '.' && std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0)
    attributes |= FILE_ATTRIBUTE_HIDDEN;
  return attributes;
}

// Fills data for the entry name of the folder open as folderFd. False when the entry has gone
// since it was listed.
bool FillFindData(int folderFd, const char* name, WIN32_FIND_DATAA* data) {
  struct stat info;
  if (fstatat(folderFd, name, &info, AT_SYMLINK_NOFOLLOW) != 0) return false;
  bool isLink = false;
  if (S_ISLNK(info.st_mode)) {
    isLink = true;
    struct stat target;
    if (fstatat(folderFd, name, &target, 0) == 0) {
      info = target;
    } else {
      info.st_size = 0;  // a dangling link
    }
  }
  std::memset(data, 0, sizeof *data);
  data->dwFileAttributes = AttributesOf(info, isLink, name);
  data->ftCreationTime = ToFileTime(info.st_ctim);
  data->ftLastAccessTime = ToFileTime(info.st_atim);
  data->ftLastWriteTime = ToFileTime(info.st_mtim);
  if (!S_ISDIR(info.st_mode)) {
    const uint64_t size = static_cast<uint64_t>(info.st_size);
    data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data->nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFFu);
  }
  if (isLink) data->dwReserved0 = IO_REPARSE_TAG_SYMLINK;
  std::strncpy(data->cFileName, name, MAX_PATH - 1);
  return true;
}

// An open search: the folder stream and the mask, or one entry named without wildcards.
struct FindSearch {
  DIR* folder = nullptr;
  std::string mask;   // empty for a search of one named entry
  bool done = false;  // the one named entry has been handed out
  bool caseSensitive = false;
  bool foldersOnly = false;  // entries that are certainly not folders may be skipped
  ~FindSearch() {
    if (folder != nullptr) closedir(folder);
  }
};

// Live searches, so that a stale or made-up handle is refused instead of followed.
std::mutex g_searchesLock;
std::unordered_set<const void*> g_searches;

FindSearch* LookUpSearch(HANDLE handle) {
  std::lock_guard<std::mutex> hold(g_searchesLock);
  auto found = g_searches.find(handle);
  return found == g_searches.end() ? nullptr : static_cast<FindSearch*>(handle);
}

// Next entry of the folder that matches the mask; false at the end.
bool NextMatch(FindSearch& search, WIN32_FIND_DATAA* data) {
  const int folderFd = dirfd(search.folder);
  for (;;) {
    errno = 0;
    const struct dirent* entry = readdir(search.folder);
    if (entry == nullptr) return false;
    // The listing's type spares an attribute lookup for what cannot be a folder; a link or an
    // unknown type still gets one.
    if (search.foldersOnly && entry->d_type != DT_DIR && entry->d_type != DT_LNK &&
        entry->d_type != DT_UNKNOWN)
      continue;
    if (!MatchesWildcard(search.mask.c_str(), entry->d_name, search.caseSensitive)) continue;
    if (FillFindData(folderFd, entry->d_name, data)) return true;
  }
}

// The folder part (up to and including the last separator) and the last component.
void SplitLast(const std::string& path, std::string& folder, std::string& last) {
  std::size_t cut = path.size();
  while (cut > 0 && !IsSeparator(path[cut - 1])) --cut;
  folder = path.substr(0, cut);
  last = path.substr(cut);
  // "c:name" is a name in the working folder of drive c, which is the working folder here.
  if (cut == 0 && last.size() >= 2 && (last[0] == 'c' || last[0] == 'C') && last[1] == ':') {
    last = last.substr(2);
  }
}

std::string FolderToOpen(const std::string& folderPart) {
  if (folderPart.empty()) return ".";
  std::string native = NativePath(folderPart);
  return native.empty() ? std::string(".") : native;
}

}  // namespace

extern "C" HANDLE FindFirstFileA(LPCSTR fileName, LPWIN32_FIND_DATAA findData) {
  return FindFirstFileExA(fileName, FindExInfoStandard, findData, FindExSearchNameMatch, nullptr,
                          0);
}

extern "C" HANDLE FindFirstFileExA(LPCSTR fileName, FINDEX_INFO_LEVELS infoLevel, LPVOID data,
                                   FINDEX_SEARCH_OPS searchOp, LPVOID searchFilter,
                                   DWORD additionalFlags) {
  auto* findData = static_cast<LPWIN32_FIND_DATAA>(data);
  if (fileName == nullptr || findData == nullptr || searchFilter != nullptr ||
      (infoLevel != FindExInfoStandard && infoLevel != FindExInfoBasic) ||
      (searchOp != FindExSearchNameMatch && searchOp != FindExSearchLimitToDirectories) ||
      (additionalFlags &
       ~static_cast<DWORD>(FIND_FIRST_EX_CASE_SENSITIVE | FIND_FIRST_EX_LARGE_FETCH)) != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  const std::size_t length = std::strlen(fileName);
  if (length >= MAX_PATH) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return INVALID_HANDLE_VALUE;
  }
  if (length == 0) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  std::string folderPart;
  std::string last;
  SplitLast(fileName, folderPart, last);
  if (HasWildcard(folderPart.data(), folderPart.size())) {
    SetLastError(ERROR_INVALID_NAME);
    return INVALID_HANDLE_VALUE;
  }
  if (last.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }

  auto* search = new (std::nothrow) FindSearch;
  if (search == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return INVALID_HANDLE_VALUE;
  }
  search->caseSensitive = (additionalFlags & FIND_FIRST_EX_CASE_SENSITIVE) != 0;
  search->foldersOnly = searchOp == FindExSearchLimitToDirectories;
  search->folder = opendir(FolderToOpen(folderPart).c_str());
  if (search->folder == nullptr) {
    const int error = errno;
    delete search;
    SetLastError(error == ENOENT ? ERROR_PATH_NOT_FOUND : PathErrorToWin32(error, false));
    return INVALID_HANDLE_VALUE;
  }

  bool found = false;
  if (HasWildcard(last.data(), last.size())) {
    search->mask = last == "*.*" ? std::string("*") : last;
    found = NextMatch(*search, findData);
  } else {
    // One named entry: the exact spelling, else the first spelling that differs only in case.
    const int folderFd = dirfd(search->folder);
    found = FillFindData(folderFd, last.c_str(), findData);
    if (!found) {
      while (const struct dirent* entry = readdir(search->folder)) {
        if (!search->caseSensitive && EqualNoCase(entry->d_name, last.c_str()) &&
            FillFindData(folderFd, entry->d_name, findData)) {
          found = true;
          break;
        }
      }
    }
    search->done = true;
  }
  if (!found) {
    delete search;
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  {
    std::lock_guard<std::mutex> hold(g_searchesLock);
    g_searches.insert(search);
  }
  return search;
}

extern "C" BOOL FindNextFileA(HANDLE findFile, LPWIN32_FIND_DATAA findData) {
  FindSearch* search = LookUpSearch(findFile);
  if (search == nullptr || findData == nullptr) {
    SetLastError(search == nullptr ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (search->done || !NextMatch(*search, findData)) {
    search->done = true;
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  return TRUE;
}

extern "C" BOOL FindClose(HANDLE findFile) {
  {
    std::lock_guard<std::mutex> hold(g_searchesLock);
    if (g_searches.erase(findFile) == 0) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
  }
  delete static_cast<FindSearch*>(findFile);
  return TRUE;
}

extern "C" DWORD GetFileAttributesA(LPCSTR fileName) {
  if (fileName == nullptr || *fileName == '\0') {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_FILE_ATTRIBUTES;
  }
  const std::string native = NativePath(fileName);
  struct stat info;
  if (lstat(native.c_str(), &info) != 0) {
    SetLastError(PathErrorToWin32(errno, true));
    return INVALID_FILE_ATTRIBUTES;
  }
  bool isLink = false;
  if (S_ISLNK(info.st_mode)) {
    isLink = true;
    struct stat target;
    if (stat(native.c_str(), &target) == 0) info = target;
  }
  std::string folder;
  std::string last;
  SplitLast(fileName, folder, last);
  return AttributesOf(info, isLink, last.c_str());
}

extern "C" int _access(const char* path, int mode) {
  if (path == nullptr || (mode & ~6) != 0) {
    errno = EINVAL;
    return -1;
  }
  int how = F_OK;
  if (mode & 2) how |= W_OK;
  if (mode & 4) how |= R_OK;
  if (how != F_OK) how &= ~F_OK;
  return access(NativePath(path).c_str(), how) == 0 ? 0 : -1;
}

namespace {

bool IsFolder(const char* path) {
  struct stat info;
  return path != nullptr && *path != '\0' && stat(NativePath(path).c_str(), &info) == 0 &&
         S_ISDIR(info.st_mode);
}

std::atomic<unsigned long> g_tempCounter{0};

}  // namespace

extern "C" char* _tempnam(const char* dir, const char* prefix) {
  std::string folder;
  const char* const candidates[] = {std::getenv("TMP"), std::getenv("TMPDIR"), dir};
  for (const char* candidate : candidates) {
    if (IsFolder(candidate)) {
      folder = NativePath(candidate);
      break;
    }
  }
  if (folder.empty()) folder = P_tmpdir;
  for (char& c : folder)
    if (c == '/') c = '\\';
  if (folder.empty() || folder.back() != '\\') folder += '\\';
  if (prefix != nullptr) folder += prefix;

  char suffix[48];
  for (int attempt = 0; attempt < 1000; ++attempt) {
    std::snprintf(suffix, sizeof suffix, "%lx_%lx", static_cast<unsigned long>(getpid()),
                  g_tempCounter.fetch_add(1));
    const std::string name = folder + suffix;
    struct stat info;
    if (lstat(NativePath(name).c_str(), &info) == 0) continue;
    char* result = static_cast<char*>(std::malloc(name.size() + 1));
    if (result == nullptr) {
      errno = ENOMEM;
      return nullptr;
    }
    std::memcpy(result, name.c_str(), name.size() + 1);
    return result;
  }
  errno = EEXIST;
  return nullptr;
}

extern "C" char* _fullpath(char* absPath, const char* path, size_t maxLength) {
  if (path == nullptr || *path == '\0') {
    errno = EINVAL;
    return nullptr;
  }
  std::string text = path;
  std::string root;  // kept as written: "/", "\\", "c:\\"
  std::size_t start = 0;
  if (text.size() >= 2 && (text[0] == 'c' || text[0] == 'C') && text[1] == ':') {
    root = text.substr(0, 2);
    start = 2;
    if (start < text.size() && IsSeparator(text[start])) {
      root += text[start++];
    } else {
      root = "";  // "c:name": relative to the working folder, as a plain name is
    }
  } else if (IsSeparator(text[0])) {
    root = text.substr(0, 1);
    start = 1;
  }
  if (root.empty()) {
    char* cwd = getcwd(nullptr, 0);
    if (cwd == nullptr) return nullptr;
    root = cwd;
    std::free(cwd);
    // The working folder's components go through the same clean-up as the rest.
    text = root + "/" + text.substr(start);
    root = "/";
    start = 1;
  }

  // Components with the separator that followed each; "." dropped, ".." removes one.
  struct Component {
    std::string name;
    char separator;  // '\0' for the last one when the path does not end in a separator
  };
  std::vector<Component> components;
  std::size_t i = start;
  while (i < text.size()) {
    while (i < text.size() && IsSeparator(text[i])) ++i;
    if (i >= text.size()) break;
    std::size_t end = i;
    while (end < text.size() && !IsSeparator(text[end])) ++end;
    Component component{text.substr(i, end - i), end < text.size() ? text[end] : '\0'};
    i = end + (end < text.size() ? 1 : 0);
    if (component.name == ".") continue;
    if (component.name == "..") {
      if (!components.empty()) components.pop_back();
      continue;
    }
    components.push_back(component);
  }
  // Each component keeps the separator written after it; the last one only when the path
  // itself ends in a separator ("a\\b\\.." is "a", "a\\b\\..\\" is "a\\").
  std::string result = root;
  for (std::size_t k = 0; k < components.size(); ++k) {
    result += components[k].name;
    if (k + 1 < components.size()) result += components[k].separator;
  }
  if (!components.empty() && IsSeparator(text.back())) result += text.back();
  if (absPath == nullptr) {
    const std::size_t size = maxLength > result.size() ? maxLength : result.size() + 1;
    absPath = static_cast<char*>(std::malloc(size < _MAX_PATH ? _MAX_PATH : size));
    if (absPath == nullptr) {
      errno = ENOMEM;
      return nullptr;
    }
  } else if (result.size() + 1 > maxLength) {
    errno = ERANGE;
    return nullptr;
  }
  std::memcpy(absPath, result.c_str(), result.size() + 1);
  return absPath;
}
