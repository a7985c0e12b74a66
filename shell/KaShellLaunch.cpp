// Starting programs, waiting for them and opening documents. A program started here finds its
// own registered search path ("App Paths") in front of PATH; since a child inherits the
// environment of the moment it is created, PATH is changed for the creation alone and put back
// whatever the creation gave.
#include <plinth/KaPath.h>
#include <plinth/KaShell.h>
#include <plinth/KaString.h>
#include <plinth/RegVal.h>
#include <plinth/Registry.h>
#include <plinth/win32.h>

#include "platform/SearchPath.h"

namespace {

const char kAppPathsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
const char kOpenCommandKey[] = "\\shell\\open\\command";

// The text of a string-family default or named value below a predefined root; false when the
// value cannot be read or is not a string.
bool ReadText(HKEY root, const CString& subkey, const char* name, CString& text) {
  CRegVal value;
  if (!CRegistry(root).LoadKey(subkey, name, value, true)) return false;
  return value.GetValue(text);
}

// A record as this library hands it to process creation: only the size, the show flag and the
// show command set.
STARTUPINFOA ShowWindowStartup(WORD showCommand) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof(STARTUPINFOA);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = showCommand;
  return startup;
}

// The open-command template up to its document placeholder: before the opening quote of
// "\"%1\"", else before "%1", else whole. What follows the placeholder is dropped.
CString CutAtPlaceholder(const CString& command) {
  const unsigned char* text = reinterpret_cast<const unsigned char*>(command.GetString());
  const unsigned char* placeholder =
      _mbsstr(text, reinterpret_cast<const unsigned char*>("\"%1\""));
  if (placeholder == nullptr)
    placeholder = _mbsstr(text, reinterpret_cast<const unsigned char*>("%1"));
  if (placeholder == nullptr) return command;
  return command.Left(static_cast<int>(placeholder - text));
}

}  // namespace

CString CKaShell::GetEnvironmentVariableA(const CString& name) {
  CString value;
  const DWORD needed = ::GetEnvironmentVariableA(name, nullptr, 0);
  if (needed == 0) return value;
  // The variable may change between the two calls; a second answer that does not fit is the
  // size it now needs, never a count of bytes written, so it reads as empty.
  char* buffer = value.GetBuffer(static_cast<int>(needed));
  DWORD read = ::GetEnvironmentVariableA(name, buffer, needed);
  if (read >= needed) read = 0;
  value.ReleaseBuffer(static_cast<int>(read));
  return value;
}

bool CKaShell::LaunchApplication(const CKaString& commandLine, STARTUPINFOA* startupInfo,
                                 PROCESS_INFORMATION* processInformation, bool closeHandles) {
  if (commandLine.IsEmpty()) return false;
  // Missing records are stood in for, so that a caller's null never reaches process creation;
  // without a record to hand them back in, the handles are closed.
  STARTUPINFOA standInStartup = ShowWindowStartup(SW_SHOWNORMAL);
  PROCESS_INFORMATION standInProcess = {};
  if (startupInfo == nullptr) startupInfo = &standInStartup;
  if (processInformation == nullptr) {
    processInformation = &standInProcess;
    closeHandles = true;
  }
  // Process creation may write into the command line, so it gets a copy of its own.
  CString writable = commandLine;
  const CString oldPath = GetEnvironmentVariableA("PATH");

  CString program;
  CString arguments;
  CKaPath::SplitCommand(commandLine, program, arguments);
  CKaString unquoted = program;
  unquoted.Unquote('"');
  const CString baseName = CKaPath::Basename(unquoted, false);

  // Only the "Path" value counts: the program itself must be found from the command line.
  CString applicationPath;
  if (!ReadText(HKEY_LOCAL_MACHINE, kAppPathsKey + baseName, "Path", applicationPath))
    applicationPath.Empty();

  _putenv("PATH=" + plinth::platform::PrependSearchPath(applicationPath, oldPath));
  const BOOL created =
      CreateProcessA(nullptr, writable.GetBuffer(), nullptr, nullptr, FALSE,
                     CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, startupInfo, processInformation);
  const DWORD creationError = GetLastError();
  writable.ReleaseBuffer();
  // An empty old path removes PATH again, as it was before. Putting it back must not hide why
  // the creation failed from a caller who asks.
  _putenv("PATH=" + oldPath);
  SetLastError(creationError);

  if (!created) return false;
  if (closeHandles) {
    CloseHandle(processInformation->hProcess);
    CloseHandle(processInformation->hThread);
  }
  return true;
}

bool CKaShell::LaunchApplication(const CKaString& commandLine, WORD showCommand) {
  if (commandLine.IsEmpty()) return false;
  STARTUPINFOA startup = ShowWindowStartup(showCommand);
  PROCESS_INFORMATION process = {};
  return LaunchApplication(commandLine, &startup, &process, true);
}

bool CKaShell::LaunchApplicationAndWait(const CString& commandLine, const CString& workingDirectory,
                                        WORD showCommand, int timeLimit, DWORD* exitCode) {
  DWORD ignored = 0;
  if (exitCode == nullptr) exitCode = &ignored;
  *exitCode = 0;
  // Seconds to milliseconds in 32 bits, as the wait takes them: other negative limits wrap to
  // very long waits rather than to none.
  const DWORD milliseconds =
      timeLimit == -1 ? INFINITE : static_cast<DWORD>(timeLimit) * static_cast<DWORD>(1000);
  STARTUPINFOA startup = ShowWindowStartup(showCommand);
  PROCESS_INFORMATION process = {};
  CString writable = commandLine;
  const BOOL created = CreateProcessA(nullptr, writable.GetBuffer(), nullptr, nullptr, TRUE,
                                      CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS, nullptr,
                                      workingDirectory, &startup, &process);
  writable.ReleaseBuffer();
  if (!created) {
    *exitCode = GetLastError();
    return false;
  }
  const DWORD waited = WaitForSingleObject(process.hProcess, milliseconds);
  GetExitCodeProcess(process.hProcess, exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return waited != static_cast<DWORD>(WAIT_TIMEOUT);
}

bool CKaShell::LaunchApplicationEx(const char* document, WORD showCommand, const char* documentType,
                                   HWND owner) {
  const HINSTANCE opened = ShellExecuteA(owner, "open", document, nullptr, nullptr, showCommand);
  if (reinterpret_cast<INT_PTR>(opened) > 32) return true;
  if (documentType == nullptr) return false;

  // The texts grow as needed: a class name or command longer than a fixed buffer is read and
  // used whole, never cut and never written past an end.
  CString documentClass;
  if (!ReadText(HKEY_CLASSES_ROOT, documentType, "", documentClass)) return true;
  CString command;
  if (!ReadText(HKEY_CLASSES_ROOT, documentClass + kOpenCommandKey, "", command)) return true;

  CKaString commandLine = CutAtPlaceholder(command) + " " + CString(document);
  return LaunchApplication(commandLine, showCommand);
}
