// The sockets start-up on Windows: ws2_32's, unless a test asks for its failure.
#include "platform/Sockets.h"

#include "platform/FaultInjection.h"

namespace plinth::platform {

int StartSockets(WORD version, WSADATA* data) {
  if (FaultInjected("WSAStartup")) return WSASYSNOTREADY;
  return WSAStartup(version, data);
}

}  // namespace plinth::platform
