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
  static bool LaunchApplicationAndWait(const CString& commandLine,
                                       const CString& workingDirectory, WORD showCommand,
                                       int timeLimit, DWORD* exitCode);

  // Opens document through the shell; where the shell cannot, through the open command
  // registered for documentType under HKEY_CLASSES_ROOT.
  static bool LaunchApplicationEx(const char* document, WORD showCommand,
                                  const char* documentType, HWND owner);

  // Appends "<local time>: message" to the log file, opening it (with a start line) when the
  // process has not been writing to that file. Every line is flushed.
  static void LogMessage(const CString& logFile, const CString& message);
};
