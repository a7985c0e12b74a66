// The sockets start-up on Windows: ws2_32's, unless a test asks for its failure.
#include "platform/Sockets.h"

#include <cstdlib>
#include <cstring>

namespace plinth::platform {
namespace {

bool FailureRequested(const char* callName) {
  const char* list = std::getenv("PLINTH_FAULT_INJECT");
  if (!list) return false;
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

}  // namespace

int StartSockets(WORD version, WSADATA* data) {
  if (FailureRequested("WSAStartup")) return WSASYSNOTREADY;
  return WSAStartup(version, data);
}

}  // namespace plinth::platform
