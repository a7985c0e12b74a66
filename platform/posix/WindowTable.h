#pragma once
// The windows of the POSIX layer: records of the viewer programs it started for the library,
// kept by platform/posix/Windows.cpp and created by the services that start such viewers.

#include <plinth/win32.h>

#include <sys/types.h>

namespace plinth::posix {

// A new window for the viewer process processId: shown, empty at (0, 0) and at the top of the
// window order, as a freshly opened viewer is.
HWND CreateViewerWindow(pid_t processId);

}  // namespace plinth::posix
