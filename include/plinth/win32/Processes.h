#pragma once
/// \file
/// Starting programs and waiting for them, as Windows declares it. Included by
/// <plinth/win32.h> on POSIX only.
///
/// On POSIX a command line never passes through a shell: it is split into the child's argv by
/// the rules of the Windows C runtime for quotes and backslashes, and the program is found as
/// Windows process creation finds it (a path as given, else the PATH search of the moment),
/// taking "name" when "name.exe" does not exist. Process and thread handles are entries of the
/// layer's handle table; a child whose handles are all closed while it runs is reaped by the
/// layer when it ends, so it never stays a zombie. CloseHandle (declared in
/// <plinth/win32/Tokens.h>) closes them.
///
/// Where POSIX has no Windows counterpart:
/// - PATH folders are separated by ':' and by ';' (the library itself writes "dir;old" lists);
///   "x:\" keeps its colon as a drive; an empty element is skipped and never means the working
///   directory, which is never searched.
/// - A child ended by signal N exits with 128 + N, as a POSIX shell reports it. When the caller
///   has set SIGCHLD to SIG_IGN the system discards exit statuses: the code is then 0xFFFFFFFF.
/// - The thread identifier is the pid (on Linux the main thread's id is the pid); the thread
///   handle is a second handle to the same child and must be closed as well.
/// - STARTUPINFOA is accepted and ignored: the child keeps this process's standard streams
///   (handles of this layer are not file descriptors) and has no window to show.
/// - CREATE_NEW_CONSOLE starts the child in a new session (no controlling terminal, standard
///   streams kept); CREATE_NEW_PROCESS_GROUP in a new process group.
/// - The child starts with no signals blocked and SIGPIPE and SIGCHLD at their default
///   actions, whatever this process has set.

#include <plinth/Export.h>

#ifndef WINAPI
/// Calling-convention marker of Win32 declarations; empty on POSIX.
#define WINAPI
#endif

/// Creation flags of CreateProcessA.
/// Only CREATE_NEW_CONSOLE (new session) and CREATE_NEW_PROCESS_GROUP (new process group) act
/// on POSIX; the others are accepted and ignored.
///@{
#define DEBUG_PROCESS 0x00000001
#define CREATE_NEW_CONSOLE 0x00000010
#define NORMAL_PRIORITY_CLASS 0x00000020
#define CREATE_NEW_PROCESS_GROUP 0x00000200
#define CREATE_NO_WINDOW 0x08000000
///@}

/// Start-up record flags (STARTUPINFOA::dwFlags).
/// Accepted and ignored on POSIX, like the whole record.
///@{
#define STARTF_USESHOWWINDOW 0x00000001
#define STARTF_USESTDHANDLES 0x00000100
///@}

/// Show commands.
/// A POSIX child has no window to show; they are accepted and handed on.
///@{
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_NORMAL 1
#define SW_SHOWMINIMIZED 2
#define SW_SHOWMAXIMIZED 3
#define SW_MAXIMIZE 3
#define SW_SHOWNOACTIVATE 4
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_SHOWMINNOACTIVE 7
#define SW_SHOWNA 8
#define SW_RESTORE 9
#define SW_SHOWDEFAULT 10
///@}

#define INFINITE 0xFFFFFFFFu       ///< Wait limit meaning "no limit".
#define WAIT_OBJECT_0 0x00000000L  ///< WaitForSingleObject: the process has ended.
#define WAIT_TIMEOUT 258L          ///< WaitForSingleObject: the limit ran out first.
/// WaitForSingleObject: not a process or thread handle (GetLastError gives the reason).
#define WAIT_FAILED ((DWORD)0xFFFFFFFF)
/// Exit code GetExitCodeProcess reports while the process runs. A child that really exits
/// with 259 cannot be told from a running one, as on Windows.
#define STILL_ACTIVE 259L

// Errors process creation reports besides those of <plinth/win32.h>.
#define ERROR_BAD_EXE_FORMAT 193L  ///< The program file is not a format the system can run.
#define ERROR_DIRECTORY 267L       ///< The working directory given is not a usable folder.

/// How to show the child's window and which standard handles it gets. Accepted and ignored
/// on POSIX: the child has no window, and this layer's handles are not file descriptors, so
/// the child keeps this process's standard streams. `cb` holds `sizeof(STARTUPINFOA)` of this
/// platform when filled in.
struct STARTUPINFOA {
  /// Fields as on Windows; none of them is read on POSIX.
  ///@{
  DWORD cb;
  LPSTR lpReserved;
  LPSTR lpDesktop;
  LPSTR lpTitle;
  DWORD dwX;
  DWORD dwY;
  DWORD dwXSize;
  DWORD dwYSize;
  DWORD dwXCountChars;
  DWORD dwYCountChars;
  DWORD dwFillAttribute;
  DWORD dwFlags;
  WORD wShowWindow;
  WORD cbReserved2;
  LPBYTE lpReserved2;
  HANDLE hStdInput;
  HANDLE hStdOutput;
  HANDLE hStdError;
  ///@}
};
typedef STARTUPINFOA* LPSTARTUPINFOA;  ///< Pointer to a STARTUPINFOA.

/// What CreateProcessA reports of the child it started. Both handles refer to the same child
/// and must each be closed with CloseHandle.
struct PROCESS_INFORMATION {
  HANDLE hProcess;    ///< Process handle: wait on it, read its exit code.
  HANDLE hThread;     ///< Thread handle: a second handle to the same child (it can be waited on).
  DWORD dwProcessId;  ///< The child's pid.
  DWORD dwThreadId;   ///< The pid again: on Linux the main thread's id is the pid.
};
/// Pointers to a PROCESS_INFORMATION.
///@{
typedef PROCESS_INFORMATION* PPROCESS_INFORMATION;
typedef PROCESS_INFORMATION* LPPROCESS_INFORMATION;
///@}

extern "C" {

/// Starts the program of commandLine (or applicationName, taken as it stands, when not null).
/// commandLine may be changed and must be writable, as on Windows.
///
/// On POSIX:
/// - applicationName is used as given (a Windows path is accepted, relative to the working
///   directory, no PATH search); when null, the first token of commandLine names the program
///   and a name without a folder is looked up in PATH at this moment. Either way "name" runs
///   when "name.exe" does not exist.
/// - commandLine is split into argv by the Windows C runtime's rules, never through a shell;
///   null means argv is just the program.
/// - processAttributes and threadAttributes are ignored; inheritHandles FALSE leaves the child
///   only descriptors 0, 1 and 2.
/// - environment is a "NAME=value\0...\0\0" block for the child, null for this process's
///   own; currentDirectory (Windows path accepted) is the child's, null or "" to inherit.
/// - startupInfo is ignored (see STARTUPINFOA).
///
/// \return TRUE with both handles and identifiers filled; FALSE with ERROR_FILE_NOT_FOUND (no
/// such program, or an empty program token), ERROR_PATH_NOT_FOUND (a program named with a
/// folder that does not exist), ERROR_ACCESS_DENIED (not executable, or a folder; also when a
/// PATH search found the name only where it cannot run), ERROR_BAD_EXE_FORMAT,
/// ERROR_DIRECTORY (currentDirectory is not a folder), ERROR_FILENAME_EXCED_RANGE (command
/// line or path too long), ERROR_NOT_ENOUGH_MEMORY, or ERROR_INVALID_PARAMETER (no program
/// named: both names null, an empty applicationName, a blank commandLine, or a null
/// processInformation).
PLINTH_API BOOL CreateProcessA(LPCSTR applicationName, LPSTR commandLine,
                               LPSECURITY_ATTRIBUTES processAttributes,
                               LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles,
                               DWORD creationFlags, LPVOID environment, LPCSTR currentDirectory,
                               LPSTARTUPINFOA startupInfo,
                               LPPROCESS_INFORMATION processInformation);

/// Waits until a child ends or the limit runs out; only process and thread handles of this
/// layer can be waited on.
///
/// milliseconds is the limit, INFINITE for none, 0 to look without waiting. Once the child has
/// ended its status is collected, so the exit code stays readable.
/// \return WAIT_OBJECT_0 once the process has ended, WAIT_TIMEOUT when the limit ran out
/// first, WAIT_FAILED with ERROR_INVALID_HANDLE for a handle that is not a process or thread
/// handle.
PLINTH_API DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);

/// Reads a child's exit code without waiting.
///
/// *exitCode receives STILL_ACTIVE while the process runs, then its exit status: 128 + N
/// after signal N, as a POSIX shell reports it, and 0xFFFFFFFF when the system discarded the
/// status (the caller set SIGCHLD to SIG_IGN).
/// \return TRUE; FALSE with ERROR_INVALID_HANDLE for anything but a process handle (a thread
/// handle included), ERROR_INVALID_PARAMETER for a null exitCode.
PLINTH_API BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode);

/// The identifier of the calling process: its pid.
PLINTH_API DWORD GetCurrentProcessId(void);

}  // extern "C"
