#pragma once
// Logoff, shutdown and restart requests. Included by <plinth/win32.h> on POSIX only.
//
// Both calls hand their request to one replaceable handler and return what it returns. The
// default handler asks the service manager: EWX_LOGOFF ends the caller's login session
// (loginctl terminate-session $XDG_SESSION_ID), EWX_SHUTDOWN halts, EWX_POWEROFF powers off,
// EWX_REBOOT restarts (systemctl halt | poweroff | reboot, with -i to pass inhibitors when
// EWX_FORCE or forceAppsClosed is set); a delayed InitiateSystemShutdownExA becomes
// `shutdown -r|-P +minutes message`. Stopping or restarting needs SeShutdownPrivilege enabled
// (CAP_SYS_BOOT effective), else ERROR_PRIVILEGE_NOT_HELD, as on Windows. Tests install a
// recording handler with PlinthSetPowerHandler and never reach the default one.

#define EWX_LOGOFF 0x00000000
#define EWX_SHUTDOWN 0x00000001
#define EWX_REBOOT 0x00000002
#define EWX_FORCE 0x00000004
#define EWX_POWEROFF 0x00000008
#define EWX_FORCEIFHUNG 0x00000010

#define SHTDN_REASON_MAJOR_APPLICATION 0x00040000
#define SHTDN_REASON_MINOR_MAINTENANCE 0x00000001
#define SHTDN_REASON_FLAG_PLANNED 0x80000000

#ifndef ERROR_BAD_NETPATH
#define ERROR_BAD_NETPATH 53L
#endif

// Which call made a request.
#define PLINTH_POWER_EXIT_WINDOWS 1
#define PLINTH_POWER_INITIATE_SHUTDOWN 2

// One request as the handler sees it; the texts are valid during the call only. For
// ExitWindowsEx only flags and reason are set (the others are zero).
typedef struct _PLINTH_POWER_REQUEST {
  DWORD source;  // PLINTH_POWER_EXIT_WINDOWS or PLINTH_POWER_INITIATE_SHUTDOWN
  UINT flags;
  DWORD reason;
  LPCSTR machineName;
  LPCSTR message;
  DWORD timeoutSeconds;
  BOOL forceAppsClosed;
  BOOL rebootAfterShutdown;
} PLINTH_POWER_REQUEST;

// Returns TRUE when the request was accepted; on FALSE it sets the last error.
typedef BOOL (*PLINTH_POWER_HANDLER)(const PLINTH_POWER_REQUEST* request, void* context);

extern "C" {

PLINTH_API BOOL ExitWindowsEx(UINT flags, DWORD reason);
// A named machine other than this one fails with ERROR_BAD_NETPATH before the handler runs.
PLINTH_API BOOL InitiateSystemShutdownExA(LPSTR machineName, LPSTR message, DWORD timeout,
                                          BOOL forceAppsClosed, BOOL rebootAfterShutdown,
                                          DWORD reason);
// Installs a handler (null restores the default) and returns the one it replaces.
PLINTH_API PLINTH_POWER_HANDLER PlinthSetPowerHandler(PLINTH_POWER_HANDLER handler, void* context);

}  // extern "C"
