// CloseHandle over the handle tables of the layer's services.

#include "platform/posix/Handles.h"

extern "C" {

// Closes a token, process or thread handle: TRUE; the current-process pseudo-handle: TRUE,
// nothing happens; anything else: FALSE with ERROR_INVALID_HANDLE.
BOOL CloseHandle(HANDLE object) {
  if (object == GetCurrentProcess()) return TRUE;
  if (plinth::posix::CloseTokenHandle(object)) return TRUE;
  if (plinth::posix::CloseProcessHandle(object)) return TRUE;
  SetLastError(ERROR_INVALID_HANDLE);
  return FALSE;
}

}  // extern "C"
