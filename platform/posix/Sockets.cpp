// Windows Sockets start-up. The POSIX socket API needs no start-up, so this succeeds unless a
// test asks for the failure (FaultInjection.h); it then answers as Windows does when the
// sockets library cannot start.
#include <plinth/win32.h>

#include "platform/posix/FaultInjection.h"

#include <cstring>

namespace {
constexpr int kWsaSysNotReady = 10091;  // WSASYSNOTREADY
}

extern "C" int WSAStartup(WORD versionRequested, LPWSADATA data) {
  if (plinth::posix::FaultInjected("WSAStartup")) return kWsaSysNotReady;
  if (data) {
    std::memset(data, 0, sizeof *data);
    data->wVersion = versionRequested;
    data->wHighVersion = MAKEWORD(2, 2);
    std::strcpy(data->szDescription, "POSIX sockets");
    std::strcpy(data->szSystemStatus, "Running");
  }
  return 0;
}

extern "C" int WSACleanup(void) { return 0; }
