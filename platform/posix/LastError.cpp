// The last-error code of the calling thread, as every Win32 call of the platform layer sets it.
#include <plinth/win32.h>

namespace {
thread_local DWORD t_lastError = ERROR_SUCCESS;
}

extern "C" DWORD GetLastError(void) { return t_lastError; }

extern "C" void SetLastError(DWORD code) { t_lastError = code; }
