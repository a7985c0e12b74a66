// ShellExecuteA: the desktop's document opener. Freedesktop systems open documents through
// xdg-open, which finds the handler the user chose; a system without it, or without a handler
// for the document, answers "no association", the answer that makes callers fall back to the
// open command they registered themselves.
#include <plinth/win32.h>
#include <strings.h>
#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <string>
#include <vector>

#include "platform/posix/ChildProcesses.h"
#include "platform/posix/NativePaths.h"

namespace {

using plinth::posix::IsSeparator;

// A value above 32; Windows gives back an instance handle there, which callers only compare.
HINSTANCE const kOpened = reinterpret_cast<HINSTANCE>(static_cast<ULONG_PTR>(42));
const unsigned kOpenerLimitMilliseconds = 30000;
// xdg-open's exit status for a document that does not exist.
const DWORD kOpenerFileNotFound = 2;

HINSTANCE Fail(INT_PTR result, DWORD error) {
  SetLastError(error);
  return reinterpret_cast<HINSTANCE>(result);
}

// "https:", "mailto:": a letter, then letters, digits, '+', '-' or '.', then a colon, at least
// two characters before it so that a drive ("c:") stays a path.
bool IsAddress(const std::string& text) {
  if (text.empty() || !std::isalpha(static_cast<unsigned char>(text[0]))) return false;
  size_t i = 1;
  while (i < text.size() && (std::isalnum(static_cast<unsigned char>(text[i])) || text[i] == '+' ||
                             text[i] == '-' || text[i] == '.'))
    ++i;
  return i >= 2 && i < text.size() && text[i] == ':';
}

bool IsAbsolute(const std::string& path) {
  return IsSeparator(path[0]) || (path.size() >= 2 && path[1] == ':');
}

// The failure for a document that cannot be looked at, from stat's errno.
HINSTANCE MissingDocument(int error) {
  switch (error) {
    case ENOENT: return Fail(SE_ERR_FNF, ERROR_FILE_NOT_FOUND);
    case ENOTDIR: return Fail(SE_ERR_PNF, ERROR_PATH_NOT_FOUND);
    case EACCES:
    case EPERM: return Fail(SE_ERR_ACCESSDENIED, ERROR_ACCESS_DENIED);
    default: return Fail(SE_ERR_FNF, plinth::posix::PathErrorToWin32(error, true));
  }
}

}  // namespace

extern "C" {

// owner, showCommand: not used. verb: null or "open" (in any case). file: the document, a path
// or an address. parameters: not used. directory: the folder a relative path starts from, or
// null or "" for the working folder. A value above 32 when the opener accepted the document,
// else an SE_ERR_ code with the matching last error (see <plinth/win32/Shell.h>).
HINSTANCE ShellExecuteA(HWND /*owner*/, LPCSTR verb, LPCSTR file, LPCSTR /*parameters*/,
                        LPCSTR directory, INT /*showCommand*/) {
  if (verb && strcasecmp(verb, "open") != 0) return Fail(SE_ERR_NOASSOC, ERROR_NO_ASSOCIATION);
  if (!file || !*file) return Fail(SE_ERR_FNF, ERROR_FILE_NOT_FOUND);

  std::string document(file);
  if (!IsAddress(document)) {
    if (directory && *directory && !IsAbsolute(document))
      document = std::string(directory) + "/" + document;
    document = plinth::posix::NativePath(document);
    struct stat status;
    if (stat(document.c_str(), &status) != 0) return MissingDocument(errno);
    // A name that starts with a dash would be read as an option.
    if (document[0] == '-') document = "./" + document;
  }

  const std::string opener = plinth::posix::FindOnPath("xdg-open");
  if (opener.empty()) return Fail(SE_ERR_NOASSOC, ERROR_NO_ASSOCIATION);
  PROCESS_INFORMATION started;
  if (!plinth::posix::StartProgram(opener, {"xdg-open", document}, 0, started)) {
    const DWORD error = GetLastError();
    if (error == ERROR_ACCESS_DENIED) return Fail(SE_ERR_ACCESSDENIED, ERROR_ACCESS_DENIED);
    if (error == ERROR_NOT_ENOUGH_MEMORY) return Fail(SE_ERR_OOM, ERROR_NOT_ENOUGH_MEMORY);
    return Fail(SE_ERR_NOASSOC, ERROR_NO_ASSOCIATION);
  }
  // An opener still running at the limit is taken to be showing the document (some run the
  // handler in the foreground); the process layer reaps it once its handles are closed.
  const DWORD waited = WaitForSingleObject(started.hProcess, kOpenerLimitMilliseconds);
  DWORD exitCode = 0;
  if (waited != WAIT_OBJECT_0 || !GetExitCodeProcess(started.hProcess, &exitCode)) exitCode = 0;
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
  // A status the system discarded (the host ignores SIGCHLD) reads as 0xFFFFFFFF: the opener
  // ran to its end, and the document was there, so it is taken to have opened it rather than
  // have the caller open it a second time.
  if (exitCode == 0 || exitCode == 0xFFFFFFFFu) {
    SetLastError(ERROR_SUCCESS);
    return kOpened;
  }
  if (exitCode == kOpenerFileNotFound) return Fail(SE_ERR_FNF, ERROR_FILE_NOT_FOUND);
  return Fail(SE_ERR_NOASSOC, ERROR_NO_ASSOCIATION);
}

}  // extern "C"
