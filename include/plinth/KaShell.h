#pragma once
// Services of the system shell: a collection of static members.
//
// RebootSystem(flags) takes the ExitWindowsEx flags: EWX_LOGOFF 0, EWX_SHUTDOWN 1, EWX_REBOOT
// 2, EWX_FORCE 4, EWX_POWEROFF 8. On the NT family it first switches SeShutdownPrivilege on.
// On the 5.1 release a request with any of shutdown, reboot or power-off set restarts the
// machine at once and forced (InitiateSystemShutdownExA, reason 0x40001), whatever it asked
// for; every other request goes to ExitWindowsEx unchanged:
//
//   CKaShell::RebootSystem(EWX_REBOOT | EWX_FORCE);
//
// It returns once the request is made and reports nothing; a refused request leaves the
// machine running.
//
// The launchers read the program's registered search path: the value "Path" of
// HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\<base name of the
// program>, extension as written ("app -x" looks up "app", '"C:\Tools\app.exe" -x' looks up
// "app.exe"). It goes in front of PATH for the creation only; PATH is set back before the call
// returns, also when the creation failed, and an empty or unset PATH is removed again. While it
// is changed, every thread of the process sees it: serialise launches from several threads.
//
// Choices made where the behaviour is open:
//  - The child's PATH on Windows is path + ";" + old PATH, the ";" always written. On POSIX the
//    registered path is split at ";" and ":" (a "c:\" drive's colon excepted, Windows paths made
//    native), empty elements are dropped and the rest joined by ":" in front of the old PATH;
//    with nothing registered the child gets the old PATH unchanged. No empty element, which
//    would mean the working directory there, is added.
//  - LaunchApplicationEx holds the document class, its command key and the built command line
//    in strings that grow: texts of any length are read and used whole, never cut or written
//    past an end. Texts within the 520 bytes of the documented buffer behave as documented.
//  - LaunchApplication with a null start-up record uses one built from SW_SHOWNORMAL; with a
//    null process record it closes the handles, there being nowhere to return them.
//    LaunchApplicationAndWait with a null exitCode waits all the same and reports nothing.

#include <plinth/Export.h>
#include <plinth/KaString.h>
#include <plinth/afx/String.h>
#include <plinth/win32.h>

class PLINTH_API CKaShell {
 public:
  CKaShell() {}
  CKaShell(const CKaShell&) {}
  CKaShell& operator=(const CKaShell&) { return *this; }
  virtual ~CKaShell();

  static void RebootSystem(unsigned int flags);

  // The variable's value as the process environment holds it (the block children inherit);
  // empty when it is not set or set to an empty value.
  static CString GetEnvironmentVariableA(const CString& name);

  // Starts commandLine with the program's registered private search path ("App Paths" under
  // HKEY_LOCAL_MACHINE, value "Path") in front of PATH for the child; PATH is restored before
  // the call returns. TRUE when the process was created.
  static bool LaunchApplication(const CKaString& commandLine, STARTUPINFOA* startupInfo,
                                PROCESS_INFORMATION* processInformation, bool closeHandles);
  static bool LaunchApplication(const CKaString& commandLine, WORD showCommand);

  // Starts commandLine in workingDirectory and waits up to timeLimit seconds (-1: no limit).
  // exitCode receives the child's exit code, STILL_ACTIVE after a time-out, or the error code
  // when the program could not be started. TRUE when it started and ended within the limit.
  static bool LaunchApplicationAndWait(const CString& commandLine, const CString& workingDirectory,
                                       WORD showCommand, int timeLimit, DWORD* exitCode);

  // Opens document through the shell; where the shell cannot, through the open command
  // registered for documentType under HKEY_CLASSES_ROOT. That command is cut before its "%1"
  // (before the opening quote of "\"%1\""), anything after the placeholder dropped, and " " and
  // the document appended: 'ed.exe "%1" /x' with a.txt starts 'ed.exe  a.txt'. FALSE when the
  // shell failed and documentType is null; TRUE, without starting anything, when the type's
  // class or its open command cannot be read; else whether the program started.
  static bool LaunchApplicationEx(const char* document, WORD showCommand, const char* documentType,
                                  HWND owner);

  // Appends "<local time>: message" to the log file, opening it (with a start line) when the
  // process has not been writing to that file. Every line is flushed.
  static void LogMessage(const CString& logFile, const CString& message);
};
