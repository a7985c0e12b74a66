#pragma once
/// \file
/// CKaShell: restarting the system, launching programs and documents, and the message log.

#include <plinth/Export.h>
#include <plinth/KaString.h>
#include <plinth/afx/String.h>
#include <plinth/win32.h>

/// Services of the system shell: a collection of static members.
///
/// The launchers read the program's registered search path: the value "Path" of
/// HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\\<base name of
/// the program\>, extension as written ("app -x" looks up "app", '"C:\Tools\app.exe" -x' looks up
/// "app.exe"). It goes in front of PATH for the creation only; PATH is set back before the call
/// returns, also when the creation failed, and an empty or unset PATH is removed again. While it
/// is changed, every thread of the process sees it: serialise launches from several threads.
///
/// Choices made where the behaviour is open:
/// - The child's PATH on Windows is path + ";" + old PATH, the ";" always written. On POSIX the
///   registered path is split at ";" and ":" (the colon of a drive such as c: excepted, Windows
///   paths made native), empty elements are dropped and the rest joined by ":" in front of the
///   old PATH; with nothing registered the child gets the old PATH unchanged. No empty element,
///   which would mean the working directory there, is added.
/// - LaunchApplicationEx holds the document class, its command key and the built command line
///   in strings that grow: texts of any length are read and used whole, never cut or written
///   past an end. Texts within the 520 bytes of the documented buffer behave as documented.
/// - LaunchApplication with a null start-up record uses one built from SW_SHOWNORMAL; with a
///   null process record it closes the handles, there being nowhere to return them.
///   LaunchApplicationAndWait with a null exitCode waits all the same and reports nothing.
class PLINTH_API CKaShell {
 public:
  /// The class holds no state; every member is static.
  CKaShell() {}
  /// Holds no state, so a copy copies nothing.
  CKaShell(const CKaShell&) {}
  /// Holds no state, so assignment changes nothing.
  CKaShell& operator=(const CKaShell&) { return *this; }
  /// Does nothing.
  virtual ~CKaShell();

  /// Asks the system to log off, shut down, restart or power off. flags are the ExitWindowsEx
  /// flags: EWX_LOGOFF 0, EWX_SHUTDOWN 1, EWX_REBOOT 2, EWX_FORCE 4, EWX_POWEROFF 8. On the NT
  /// family it first switches SeShutdownPrivilege on. On the 5.1 release a request with any of
  /// shutdown, reboot or power-off set restarts the machine at once and forced
  /// (InitiateSystemShutdownExA, reason 0x40001), whatever it asked for; every other request
  /// goes to ExitWindowsEx unchanged:
  ///
  /// \code
  ///   CKaShell::RebootSystem(EWX_REBOOT | EWX_FORCE);
  /// \endcode
  ///
  /// It returns once the request is made and reports nothing; a refused request (for one, a
  /// process without the shutdown privilege) leaves the machine running.
  static void RebootSystem(unsigned int flags);

  /// The variable's value as the process environment holds it (the block children inherit);
  /// empty when it is not set or set to an empty value (the two cannot be told apart here).
  static CString GetEnvironmentVariableA(const CString& name);

  /// Starts commandLine with the program's registered private search path ("App Paths" under
  /// HKEY_LOCAL_MACHINE, value "Path") in front of PATH for the child; PATH is restored before
  /// the call returns. The command line never passes through a shell. With closeHandles the
  /// process and thread handles are closed; otherwise the caller closes those returned in
  /// processInformation. The showCommand form uses a start-up record built from it and closes
  /// the handles.
  /// \return true when the process was created; false for an empty command line (nothing
  /// started) or a failed creation, whose error (ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ...)
  /// GetLastError still gives after PATH was restored.
  ///@{
  static bool LaunchApplication(const CKaString& commandLine, STARTUPINFOA* startupInfo,
                                PROCESS_INFORMATION* processInformation, bool closeHandles);
  static bool LaunchApplication(const CKaString& commandLine, WORD showCommand);
  ///@}

  /// Starts commandLine in workingDirectory (empty: the current one) in a new console and waits
  /// up to timeLimit seconds (-1: no limit; other negative limits wrap to very long waits).
  /// The registered search path is not used. exitCode receives the child's exit code,
  /// STILL_ACTIVE after a time-out, or the error code when the program could not be started.
  /// \return true when it started and ended within the limit; false otherwise (after a
  /// time-out the child keeps running).
  static bool LaunchApplicationAndWait(const CString& commandLine, const CString& workingDirectory,
                                       WORD showCommand, int timeLimit, DWORD* exitCode);

  /// Opens document through the shell; where the shell cannot, through the open command
  /// registered for documentType (".txt") under HKEY_CLASSES_ROOT. That command is cut before
  /// its "%1" (before the opening quote of "\"%1\""), anything after the placeholder dropped,
  /// and " " and the document appended: 'ed.exe "%1" /x' with a.txt starts 'ed.exe  a.txt'.
  /// \return true when the shell opened it; false when the shell failed and documentType is
  /// null; true, without starting anything, when the type's class or its open command cannot
  /// be read; else whether LaunchApplication started the program.
  static bool LaunchApplicationEx(const char* document, WORD showCommand, const char* documentType,
                                  HWND owner);

  /// Appends "<local time>: message" to the log file, opening it (with a start line) when the
  /// process has not been writing to that file. Every line is flushed. One log is open at a
  /// time: naming another file (names compared without regard to case) closes the previous
  /// one. Calls from several threads are serialised. An empty name does nothing, and a file
  /// that cannot be opened or created is passed over silently.
  /// \throws CFileException* when writing to the open file fails.
  static void LogMessage(const CString& logFile, const CString& message);
};
