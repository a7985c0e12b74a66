// One rule for "this machine", so the registry and shutdown accept the same names.
#include "platform/posix/ThisMachine.h"

#include <strings.h>
#include <unistd.h>

#include <cstring>
#include <string>

namespace plinth::posix {

bool NamesThisMachine(const char* name) {
  if (!name) return true;
  while (*name == '\\') ++name;
  if (!*name) return true;
  if (std::strcmp(name, ".") == 0 || strcasecmp(name, "localhost") == 0) return true;
  char host[256] = {};
  if (gethostname(host, sizeof host - 1) != 0) return false;
  const std::string full(host);
  // Windows names machines by their NetBIOS-style short name; both forms reach this one.
  const std::string label = full.substr(0, full.find('.'));
  return strcasecmp(name, full.c_str()) == 0 ||
         (!label.empty() && strcasecmp(name, label.c_str()) == 0);
}

}  // namespace plinth::posix
