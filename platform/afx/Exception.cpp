#include <plinth/afx/Exception.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

namespace {

// Copies message into the caller's buffer, cut to maxChars - 1 bytes without splitting a
// double-byte character of the code page.
BOOL CopyMessage(const char* message, LPTSTR buffer, UINT maxChars, UINT* helpContext) {
  if (helpContext) *helpContext = 0;
  if (!buffer || maxChars == 0) return TRUE;
  const size_t room = maxChars - 1;
  size_t length = 0;
  for (size_t next; message[length]; length = next) {
    next = length + 1;
    if (_ismbblead(static_cast<unsigned char>(message[length])) && message[next]) ++next;
    if (next > room) break;
  }
  std::memcpy(buffer, message, length);
  buffer[length] = '\0';
  return TRUE;
}

BOOL NoMessage(LPTSTR buffer, UINT maxChars, UINT* helpContext) {
  if (helpContext) *helpContext = 0;
  if (buffer && maxChars > 0) buffer[0] = '\0';
  return FALSE;
}

// A message that names a file when there is one: "<what> '<name>'." or "<what>."
BOOL CopyWithFileName(const char* what, const CString& fileName, LPTSTR buffer, UINT maxChars,
                      UINT* helpContext) {
  CString message(what);
  if (!fileName.IsEmpty()) {
    message += " '";
    message += fileName;
    message += "'";
  }
  message += '.';
  return CopyMessage(message, buffer, maxChars, helpContext);
}

// Allocating the exception can itself fail; the static memory exception stands in then.
template <class E, class... Args>
[[noreturn]] void ThrowNew(Args&&... args) {
  E* exception = nullptr;
  try {
    exception = new E(std::forward<Args>(args)...);
  } catch (const std::bad_alloc&) {
    AfxThrowMemoryException();
  }
  throw exception;
}

}  // namespace

// --- CException ---------------------------------------------------------------------------

CException::CException(BOOL autoDelete) : m_bAutoDelete(autoDelete) {}

CException::~CException() = default;

void CException::Delete() {
  if (m_bAutoDelete) delete this;
}

BOOL CException::GetErrorMessage(LPTSTR buffer, UINT maxChars, UINT* helpContext) const {
  return NoMessage(buffer, maxChars, helpContext);
}

// --- CMemoryException, CInvalidArgException -----------------------------------------------

CMemoryException::CMemoryException() : CException(TRUE) {}
CMemoryException::CMemoryException(BOOL autoDelete) : CException(autoDelete) {}

BOOL CMemoryException::GetErrorMessage(LPTSTR buffer, UINT maxChars, UINT* helpContext) const {
  return CopyMessage("Out of memory.", buffer, maxChars, helpContext);
}

CInvalidArgException::CInvalidArgException() : CException(TRUE) {}
CInvalidArgException::CInvalidArgException(BOOL autoDelete) : CException(autoDelete) {}

BOOL CInvalidArgException::GetErrorMessage(LPTSTR buffer, UINT maxChars, UINT* helpContext) const {
  return CopyMessage("Invalid argument.", buffer, maxChars, helpContext);
}

// --- COleException ------------------------------------------------------------------------

COleException::COleException() : CException(TRUE), m_sc(S_OK) {}

BOOL COleException::GetErrorMessage(LPTSTR buffer, UINT maxChars, UINT* helpContext) const {
  char message[64];
  std::snprintf(message, sizeof message, "OLE error 0x%08X.", static_cast<unsigned>(m_sc));
  return CopyMessage(message, buffer, maxChars, helpContext);
}

// --- CArchiveException --------------------------------------------------------------------

CArchiveException::CArchiveException(int cause, LPCTSTR archiveName)
    : CException(TRUE), m_cause(cause), m_strFileName(archiveName) {}

BOOL CArchiveException::GetErrorMessage(LPTSTR buffer, UINT maxChars, UINT* helpContext) const {
  const char* what;
  switch (m_cause) {
    case none: return NoMessage(buffer, maxChars, helpContext);
    case readOnly: what = "Attempt to write to an archive opened for reading"; break;
    case endOfFile: what = "Unexpected end of file while reading archive"; break;
    case writeOnly: what = "Attempt to read from an archive opened for writing"; break;
    case badIndex: what = "Invalid format in archive"; break;
    case badClass: what = "Unexpected object type in archive"; break;
    case badSchema: what = "Unsupported object version in archive"; break;
    case bufferFull: what = "Archive buffer full"; break;
    default: what = "Archive error"; break;
  }
  return CopyWithFileName(what, m_strFileName, buffer, maxChars, helpContext);
}

// --- CFileException -----------------------------------------------------------------------

CFileException::CFileException(int cause, LONG osError, LPCTSTR fileName)
    : CException(TRUE), m_cause(cause), m_lOsError(osError), m_strFileName(fileName) {}

BOOL CFileException::GetErrorMessage(LPTSTR buffer, UINT maxChars, UINT* helpContext) const {
  const char* what;
  switch (m_cause) {
    case none: return NoMessage(buffer, maxChars, helpContext);
    case fileNotFound: what = "File not found"; break;
    case badPath: what = "Invalid path"; break;
    case tooManyOpenFiles: what = "Too many open files"; break;
    case accessDenied: what = "Access denied"; break;
    case invalidFile: what = "Invalid file handle"; break;
    case removeCurrentDir: what = "Cannot remove the current directory"; break;
    case directoryFull: what = "Directory full"; break;
    case badSeek: what = "Seek failed"; break;
    case hardIO: what = "Hardware input/output error"; break;
    case sharingViolation: what = "Sharing violation"; break;
    case lockViolation: what = "Lock violation"; break;
    case diskFull: what = "Disk full"; break;
    case endOfFile: what = "Unexpected end of file"; break;
    default: what = "File error"; break;
  }
  return CopyWithFileName(what, m_strFileName, buffer, maxChars, helpContext);
}

// --- throwing -----------------------------------------------------------------------------

void AfxThrowMemoryException() {
  // Built in place without allocating, on first use, so that it exists whatever the order in
  // which the static objects of several modules are built; never destroyed, so that it can
  // still be thrown while they are torn down at exit.
  alignas(CMemoryException) static unsigned char storage[sizeof(CMemoryException)];
  static CMemoryException* const outOfMemory = ::new (storage) CMemoryException(FALSE);
  throw outOfMemory;
}

void AfxThrowInvalidArgException() { ThrowNew<CInvalidArgException>(); }

void AfxThrowOleException(SCODE sc) {
  COleException* exception = nullptr;
  try {
    exception = new COleException;
  } catch (const std::bad_alloc&) {
    AfxThrowMemoryException();
  }
  exception->m_sc = sc;
  throw exception;
}

void AfxThrowArchiveException(int cause, LPCTSTR archiveName) {
  ThrowNew<CArchiveException>(cause, archiveName);
}

void AfxThrowFileException(int cause, LONG osError, LPCTSTR fileName) {
  ThrowNew<CFileException>(cause, osError, fileName);
}
