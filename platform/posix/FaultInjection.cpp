#include "platform/posix/FaultInjection.h"

#include <cstdlib>
#include <cstring>

namespace plinth::posix {

bool FaultInjected(const char* callName) {
  const char* list = std::getenv("PLINTH_FAULT_INJECT");
  if (!list || !*list) return false;
  const size_t nameLength = std::strlen(callName);
  for (const char* item = list; *item;) {
    const char* end = std::strchr(item, ',');
    const size_t length = end ? static_cast<size_t>(end - item) : std::strlen(item);
    if (length == nameLength && std::strncmp(item, callName, length) == 0) return true;
    if (!end) break;
    item = end + 1;
  }
  return false;
}

}  // namespace plinth::posix
