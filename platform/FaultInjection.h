#pragma once
// Lets tests make a platform call fail where the real system never fails it (the sockets
// start-up, for one), so that the library's failure paths run on every system. The variable
// PLINTH_FAULT_INJECT holds a comma-separated list of the names of the calls to fail; it is read
// at each call because the calls in question mostly run while a module loads, before a test's
// main() could set anything up.

#include <cstdlib>
#include <cstring>

namespace plinth::platform {

inline bool FaultInjected(const char* callName) {
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

}  // namespace plinth::platform
