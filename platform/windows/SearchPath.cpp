// The child's PATH on Windows: the separator is always written, empty parts and all, which the
// system's search skips.
#include "platform/SearchPath.h"

namespace plinth::platform {

CString PrependSearchPath(const CString& applicationPath, const CString& oldPath) {
  return applicationPath + ";" + oldPath;
}

}  // namespace plinth::platform
