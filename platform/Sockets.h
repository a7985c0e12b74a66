#pragma once
// The framework starts Windows Sockets through this hook rather than calling WSAStartup itself,
// so that tests on every system can make the start-up fail (a failure the real system never
// shows), and see the load refused. Set PLINTH_FAULT_INJECT to a comma-separated list that
// names WSAStartup; it is read at each call, since the start-up runs while a module loads.

#include <plinth/win32.h>

namespace plinth::platform {

// WSAStartup(version, data), or WSASYSNOTREADY (10091) when a test asks for the failure.
int StartSockets(WORD version, WSADATA* data);

}  // namespace plinth::platform
