#pragma once
/// \file
/// Logoff, shutdown and restart requests. Included by <plinth/win32.h> on POSIX only.
///
/// Both calls hand their request to one replaceable handler and return what it returns. The
/// default handler asks the service manager: EWX_LOGOFF ends the caller's login session
/// (loginctl terminate-session $XDG_SESSION_ID), EWX_SHUTDOWN halts, EWX_POWEROFF powers off,
/// EWX_REBOOT restarts (systemctl halt | poweroff | reboot, with -i to pass inhibitors when
/// EWX_FORCE or forceAppsClosed is set); a delayed InitiateSystemShutdownExA becomes
/// `shutdown -r|-P +minutes message`. Stopping or restarting needs SeShutdownPrivilege enabled
/// (CAP_SYS_BOOT effective), else ERROR_PRIVILEGE_NOT_HELD, as on Windows. Tests install a
/// recording handler with PlinthSetPowerHandler and never reach the default one.
///
/// The default handler fails with ERROR_NOT_SUPPORTED when the command cannot be started (or,
/// for EWX_LOGOFF, when XDG_SESSION_ID is not set) and with ERROR_ACCESS_DENIED when the
/// command exits with a status other than 0. It waits for the command only: success means the
/// service manager took the request, not that the system has gone down.

/// What ExitWindowsEx asks for: EWX_LOGOFF (no other bit) ends the session, EWX_SHUTDOWN
/// halts, EWX_POWEROFF powers off, EWX_REBOOT restarts (it wins over the others); EWX_FORCE
/// and EWX_FORCEIFHUNG pass the service manager's inhibitors.
///@{
#define EWX_LOGOFF 0x00000000
#define EWX_SHUTDOWN 0x00000001
#define EWX_REBOOT 0x00000002
#define EWX_FORCE 0x00000004
#define EWX_POWEROFF 0x00000008
#define EWX_FORCEIFHUNG 0x00000010
///@}

/// Shutdown reasons. Handed to the handler as they are; the default handler does not use them.
///@{
#define SHTDN_REASON_MAJOR_APPLICATION 0x00040000
#define SHTDN_REASON_MINOR_MAINTENANCE 0x00000001
#define SHTDN_REASON_FLAG_PLANNED 0x80000000
///@}

#ifndef ERROR_BAD_NETPATH
#define ERROR_BAD_NETPATH 53L  ///< A machine other than this one was named.
#endif

/// Which call made a request (PLINTH_POWER_REQUEST::source).
///@{
#define PLINTH_POWER_EXIT_WINDOWS 1
#define PLINTH_POWER_INITIATE_SHUTDOWN 2
///@}

/// One request as the handler sees it; the texts are valid during the call only. For
/// ExitWindowsEx only flags and reason are set (the others are zero).
typedef struct _PLINTH_POWER_REQUEST {
  DWORD source;              ///< PLINTH_POWER_EXIT_WINDOWS or PLINTH_POWER_INITIATE_SHUTDOWN
  UINT flags;                ///< The EWX_... flags of ExitWindowsEx.
  DWORD reason;              ///< The SHTDN_REASON_... code given.
  LPCSTR machineName;        ///< The machine named to InitiateSystemShutdownExA, or null.
  LPCSTR message;            ///< The message to show, or null.
  DWORD timeoutSeconds;      ///< Delay before the shutdown; 0 for at once.
  BOOL forceAppsClosed;      ///< Whether programs may be closed without asking.
  BOOL rebootAfterShutdown;  ///< Restart rather than power off.
} PLINTH_POWER_REQUEST;

/// A power handler: returns TRUE when the request was accepted; on FALSE it sets the last
/// error. The last error is ERROR_SUCCESS when it is called. context is the pointer given to
/// PlinthSetPowerHandler.
typedef BOOL (*PLINTH_POWER_HANDLER)(const PLINTH_POWER_REQUEST* request, void* context);

extern "C" {

/// Logs off, halts, powers off or restarts, through the power handler.
///
/// The default handler runs `loginctl terminate-session $XDG_SESSION_ID` for EWX_LOGOFF and
/// `systemctl halt|poweroff|reboot` (with -i for EWX_FORCE or EWX_FORCEIFHUNG) otherwise.
/// \return what the handler returns. The default one fails with ERROR_PRIVILEGE_NOT_HELD
/// (stopping or restarting without SeShutdownPrivilege enabled), ERROR_NOT_SUPPORTED or
/// ERROR_ACCESS_DENIED (see the file description).
PLINTH_API BOOL ExitWindowsEx(UINT flags, DWORD reason);
/// Asks for a shutdown or restart after timeout seconds, through the power handler.
/// A named machine other than this one fails with ERROR_BAD_NETPATH before the handler runs
/// (null, "", ".", "localhost", the host name and its first label, any case and leading
/// backslashes ignored, mean this one, as for RegConnectRegistryA).
///
/// The default handler runs `systemctl reboot|poweroff` (with -i when forceAppsClosed) for a
/// timeout of 0, else `shutdown -r|-P +minutes message` with the timeout rounded up to whole
/// minutes.
/// \return what the handler returns; the default one fails as for ExitWindowsEx.
PLINTH_API BOOL InitiateSystemShutdownExA(LPSTR machineName, LPSTR message, DWORD timeout,
                                          BOOL forceAppsClosed, BOOL rebootAfterShutdown,
                                          DWORD reason);
/// Installs a handler (null restores the default) and returns the one it replaces (null for
/// the default). Not a Win32 call. context is handed to the handler with each request.
PLINTH_API PLINTH_POWER_HANDLER PlinthSetPowerHandler(PLINTH_POWER_HANDLER handler, void* context);

}  // extern "C"
