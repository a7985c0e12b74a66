// Windows Sockets start-up. The POSIX socket API needs no start-up, so this succeeds unless a
// test asks for the failure (FaultInjection.h); it then answers as Windows does when the
// sockets library cannot start.
#include <plinth/win32.h>

#include "platform/Sockets.h"
#include "platform/FaultInjection.h"

#include <atomic>
#include <cstring>

namespace {
constexpr int kWsaSysNotReady = 10091;      // WSASYSNOTREADY
constexpr int kWsaVerNotSupported = 10092;  // WSAVERNOTSUPPORTED
constexpr int kWsaNotInitialised = 10093;  // WSANOTINITIALISED
constexpr WORD kHighestVersion = MAKEWORD(2, 2);

// Each successful start-up needs its own clean-up, as on Windows.
std::atomic<int> startUps{0};

// A version word holds the major number in its low byte and the minor in its high byte, so
// the two are swapped to compare versions as numbers.
unsigned VersionOrder(WORD version) { return (version & 0xFFu) << 8 | version >> 8; }
}  // namespace

// The caller gets the version it asked for, or the highest one there is when it asked for a
// later one. A major version 0 does not exist: that request is refused, yet, as on Windows,
// the data is filled in with the highest version, so the caller learns what it could ask for.
extern "C" int WSAStartup(WORD versionRequested, LPWSADATA data) {
  if (plinth::platform::FaultInjected("WSAStartup")) return kWsaSysNotReady;
  const bool supported = (versionRequested & 0xFFu) != 0;
  if (data) {
    std::memset(data, 0, sizeof *data);
    data->wVersion = !supported || VersionOrder(versionRequested) > VersionOrder(kHighestVersion)
                         ? kHighestVersion
                         : versionRequested;
    data->wHighVersion = kHighestVersion;
    std::strcpy(data->szDescription, "POSIX sockets");
    std::strcpy(data->szSystemStatus, "Running");
  }
  if (!supported) return kWsaVerNotSupported;
  startUps.fetch_add(1);
  return 0;
}

// Without a start-up to match, Windows refuses with SOCKET_ERROR and WSANOTINITIALISED as the
// last error.
extern "C" int WSACleanup(void) {
  int count = startUps.load();
  while (count > 0 && !startUps.compare_exchange_weak(count, count - 1)) {
  }
  if (count > 0) return 0;
  SetLastError(kWsaNotInitialised);
  return -1;
}

namespace plinth::platform {

// The failure a test may ask for is WSAStartup's own here.
int StartSockets(WORD version, WSADATA* data) { return WSAStartup(version, data); }

}  // namespace plinth::platform
