#pragma once
// Starting programs and waiting for them, as Windows declares it. Included by
// <plinth/win32.h> on POSIX only.
//
// On POSIX a command line never passes through a shell: it is split into the child's argv by
// the rules of the Windows C runtime for quotes and backslashes, and the program is found as
// Windows process creation finds it (a path as given, else the PATH search of the moment),
// taking "name" when "name.exe" does not exist. Process and thread handles are entries of the
// layer's handle table; a child whose handles are all closed while it runs is reaped by the
// layer when it ends, so it never stays a zombie.
//
// Where POSIX has no Windows counterpart:
// - PATH folders are separated by ':' and by ';' (the library itself writes "dir;old" lists);
//   "x:\" keeps its colon as a drive; an empty element is skipped and never means the working
//   directory, which is never searched.
// - A child ended by signal N exits with 128 + N, as a POSIX shell reports it. When the caller
//   has set SIGCHLD to SIG_IGN the system discards exit statuses: the code is then 0xFFFFFFFF.
// - The thread identifier is the pid (on Linux the main thread's id is the pid); the thread
//   handle is a second handle to the same child and must be closed as well.
// - STARTUPINFOA is accepted and ignored: the child keeps this process's standard streams
//   (handles of this layer are not file descriptors) and has no window to show.
// - CREATE_NEW_CONSOLE starts the child in a new session (no controlling terminal, standard
//   streams kept); CREATE_NEW_PROCESS_GROUP in a new process group.

#include <plinth/Export.h>

#ifndef WINAPI
#define WINAPI
#endif

// Creation flags.
#define DEBUG_PROCESS 0x00000001
#define CREATE_NEW_CONSOLE 0x00000010
#define NORMAL_PRIORITY_CLASS 0x00000020
#define CREATE_NEW_PROCESS_GROUP 0x00000200
#define CREATE_NO_WINDOW 0x08000000

// Start-up record flags.
#define STARTF_USESHOWWINDOW 0x00000001
#define STARTF_USESTDHANDLES 0x00000100

// Show commands. A POSIX child has no window to show; they are accepted and handed on.
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

// Waiting.
#define INFINITE 0xFFFFFFFFu
#define WAIT_OBJECT_0 0x00000000L
#define WAIT_TIMEOUT 258L
#define WAIT_FAILED ((DWORD)0xFFFFFFFF)
#define STILL_ACTIVE 259L

// Errors process creation reports besides those of <plinth/win32.h>.
#define ERROR_BAD_EXE_FORMAT 193L
#define ERROR_DIRECTORY 267L

struct STARTUPINFOA {
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
};
typedef STARTUPINFOA* LPSTARTUPINFOA;

struct PROCESS_INFORMATION {
  HANDLE hProcess;
  HANDLE hThread;
  DWORD dwProcessId;
  DWORD dwThreadId;
};
typedef PROCESS_INFORMATION* PPROCESS_INFORMATION;
typedef PROCESS_INFORMATION* LPPROCESS_INFORMATION;

extern "C" {

// Starts the program of commandLine (or applicationName, taken as it stands, when not null).
// commandLine may be changed and must be writable, as on Windows. TRUE with both handles and
// identifiers filled; FALSE with ERROR_FILE_NOT_FOUND (no such program), ERROR_PATH_NOT_FOUND
// (a program named with a folder that does not exist), ERROR_ACCESS_DENIED (not executable, or
// a folder), ERROR_BAD_EXE_FORMAT, ERROR_DIRECTORY (currentDirectory is not a folder) or
// ERROR_INVALID_PARAMETER (no program named).
PLINTH_API BOOL CreateProcessA(LPCSTR applicationName, LPSTR commandLine,
                               LPSECURITY_ATTRIBUTES processAttributes,
                               LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles,
                               DWORD creationFlags, LPVOID environment, LPCSTR currentDirectory,
                               LPSTARTUPINFOA startupInfo,
                               LPPROCESS_INFORMATION processInformation);

// WAIT_OBJECT_0 once the process has ended, WAIT_TIMEOUT when the limit (milliseconds,
// INFINITE for none) ran out first, WAIT_FAILED with ERROR_INVALID_HANDLE for a handle that is
// not a process or thread handle.
PLINTH_API DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);

// STILL_ACTIVE while the process runs, then its exit status (128 + N after signal N).
PLINTH_API BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode);

PLINTH_API DWORD GetCurrentProcessId(void);

}  // extern "C"
