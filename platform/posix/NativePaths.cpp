// Windows path text to POSIX paths. Windows programs write "\\" where POSIX writes "/", and may
// start with a drive; names on POSIX may themselves hold backslashes. The plain reading (every
// backslash a separator) is what a Windows caller means and costs one lstat when it exists;
// only when it does not are backslashes tried as parts of names.

#include "platform/posix/NativePaths.h"

#include <plinth/win32.h>
#include <sys/stat.h>

#include <cerrno>
#include <vector>

namespace plinth::posix {
namespace {

bool Exists(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0;
}

// Strips a leading "c:" that stands for the root (before a separator or alone).
std::string WithoutDrive(const std::string& path) {
  if (path.size() >= 2 && (path[0] == 'c' || path[0] == 'C') && path[1] == ':' &&
      (path.size() == 2 || IsSeparator(path[2])))
    return path.size() == 2 ? std::string("/") : path.substr(2);
  return path;
}

// Each backslash may be a separator or part of a name; a folder reading is tried first.
// The number of lstat calls is bounded so that a long run of backslashes cannot take forever.
class LiteralBackslashResolver {
 public:
  explicit LiteralBackslashResolver(const std::string& path) {
    // Pieces between separators, remembering which separator followed each piece.
    std::string piece;
    for (char c : path) {
      if (IsSeparator(c)) {
        pieces_.push_back(piece);
        slashAfter_.push_back(c == '/');
        piece.clear();
      } else {
        piece += c;
      }
    }
    pieces_.push_back(piece);
    slashAfter_.push_back(true);
  }

  bool Resolve(std::string& resolved) {
    std::string prefix;
    return Walk(0, prefix, resolved);
  }

 private:
  static constexpr int kBudget = 4096;

  // Pieces [index, end) remain; prefix is the resolved POSIX path so far.
  bool Walk(std::size_t index, const std::string& prefix, std::string& resolved) {
    if (index == pieces_.size()) {
      resolved = prefix;
      return true;
    }
    std::string name;
    for (std::size_t last = index; last < pieces_.size(); ++last) {
      if (last > index) name += '\\';
      name += pieces_[last];
      std::string candidate = prefix;
      if (index > 0) candidate += '/';
      candidate += name;
      const bool isLast = last + 1 == pieces_.size();
      if (index == 0 && name.empty()) {
        // A leading separator: the root.
        if (isLast) {
          resolved = "/";
          return true;
        }
        if (Walk(last + 1, "", resolved)) return true;
        break;
      }
      if (--budget_ < 0) return false;
      if (Exists(candidate) && Walk(last + 1, candidate, resolved)) return true;
      // A "/" always ends a name; only a backslash may continue one.
      if (slashAfter_[last]) break;
    }
    return false;
  }

  std::vector<std::string> pieces_;
  std::vector<bool> slashAfter_;
  int budget_ = kBudget;
};

}  // namespace

std::string NativePath(const std::string& path) {
  const std::string undriven = WithoutDrive(path);
  std::string plain = undriven;
  bool hasBackslash = false;
  for (char& c : plain) {
    if (c == '\\') {
      c = '/';
      hasBackslash = true;
    }
  }
  if (!hasBackslash || Exists(plain)) return plain;
  std::string resolved;
  if (LiteralBackslashResolver(undriven).Resolve(resolved)) {
    // A relative path resolved from an empty prefix has no leading "/" added; keep it relative.
    return resolved.empty() ? plain : resolved;
  }
  return plain;
}

unsigned int PathErrorToWin32(int error, bool lastComponent) {
  switch (error) {
    case ENOENT: return lastComponent ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM: return ERROR_ACCESS_DENIED;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case ELOOP: return 1921;  // ERROR_CANT_RESOLVE_FILENAME: a loop of links
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    default: return ERROR_ACCESS_DENIED;
  }
}

}  // namespace plinth::posix
