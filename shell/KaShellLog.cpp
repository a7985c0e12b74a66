// The message log: one log file per process, kept open between calls, a time-stamped line per
// message, each line flushed before the call returns.
//
// The state is process-wide. Callers are meant to serialise their calls, but a host that does
// not must not see one thread free the file under another's write, so calls take a lock (a
// recursive one: the start line is written by a nested call). The state is never torn
// down, so that a host logging from its own static destructors still finds it; the system
// closes the file when the process ends, and by then every line has been written.

#include <plinth/KaShell.h>
#include <plinth/afx/DateTime.h>
#include <plinth/afx/Exception.h>
#include <plinth/afx/File.h>

#include <mutex>

namespace {

struct LogState {
  std::recursive_mutex lock;
  CStdioFile* file = nullptr;
  CString name;
};

LogState& State() {
  static LogState* const state = new LogState;
  return *state;
}

// Write access, other processes may read and write, created when missing, never emptied,
// text mode (each "\n" goes to disk as CR LF).
constexpr UINT kLogOpenFlags = CFile::modeWrite | CFile::shareDenyNone | CFile::modeCreate |
                               CFile::modeNoTruncate | CFile::typeText;
static_assert(kLogOpenFlags == 0x7041, "the log's open flags");

const char kStartText[] = "************* Start ************* ";

void CloseLog(LogState& state) {
  // The destructor flushes and closes without throwing.
  delete state.file;
  state.file = nullptr;
}

}  // namespace

void CKaShell::LogMessage(const CString& logFile, const CString& message) {
  if (logFile.IsEmpty()) return;
  LogState& state = State();
  const std::lock_guard<std::recursive_mutex> hold(state.lock);
  if (state.file != nullptr && state.name.CompareNoCase(logFile) != 0) CloseLog(state);

  if (state.file == nullptr) {
    // Nothing that goes wrong while taking up the file leaves the call: a log that cannot be
    // written must not take the host down. A file object that exists stays, so the message
    // line below is still tried.
    try {
      state.file = new CStdioFile(logFile, kLogOpenFlags);
      state.file->Seek(0, CFile::end);
      state.name = logFile;
      LogMessage(logFile, kStartText);
    } catch (CException* e) {
      e->Delete();
    } catch (...) {
    }
  }
  if (state.file == nullptr) return;

  // Failures from here on are the caller's to see: the file is open and should take the line.
  CString line = COleDateTime::GetCurrentTime().Format("%c");
  line += ": ";
  line += message;
  line += "\n";
  state.file->WriteString(line);
  state.file->Flush();
}
