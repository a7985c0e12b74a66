// CFile and CStdioFile. The operating-system calls are confined to the Raw… members and Open,
// one version for Windows and one for POSIX; buffering, text mode and lines are shared.

#include <plinth/afx/File.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#if defined(_WIN32)
#include <stdlib.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "platform/posix/NativePaths.h"
#endif

namespace {

// Win32 error codes not every declaration of the API spells out.
constexpr DWORD kErrorFileNotFound = 2;
constexpr DWORD kErrorPathNotFound = 3;
constexpr DWORD kErrorTooManyOpenFiles = 4;
constexpr DWORD kErrorAccessDenied = 5;
constexpr DWORD kErrorInvalidHandle = 6;
constexpr DWORD kErrorCurrentDirectory = 16;
constexpr DWORD kErrorWriteProtect = 19;
constexpr DWORD kErrorNotReady = 21;
constexpr DWORD kErrorCrc = 23;
constexpr DWORD kErrorGenFailure = 31;
constexpr DWORD kErrorSharingViolation = 32;
constexpr DWORD kErrorLockViolation = 33;
constexpr DWORD kErrorHandleEof = 38;
constexpr DWORD kErrorHandleDiskFull = 39;
constexpr DWORD kErrorFileExists = 80;
constexpr DWORD kErrorInvalidParameter = 87;
constexpr DWORD kErrorDiskFull = 112;
constexpr DWORD kErrorInvalidName = 123;
constexpr DWORD kErrorNegativeSeek = 131;
constexpr DWORD kErrorBadPathname = 161;
constexpr DWORD kErrorAlreadyExists = 183;
constexpr DWORD kErrorFilenameExcedRange = 206;
constexpr DWORD kErrorIoDevice = 1117;

// The exception cause for a Win32 error code.
int CauseOf(DWORD osError) {
  switch (osError) {
    case 0: return CFileException::none;
    case kErrorFileNotFound: return CFileException::fileNotFound;
    case kErrorPathNotFound:
    case kErrorInvalidName:
    case kErrorBadPathname:
    case kErrorFilenameExcedRange: return CFileException::badPath;
    case kErrorTooManyOpenFiles: return CFileException::tooManyOpenFiles;
    case kErrorAccessDenied:
    case kErrorWriteProtect:
    case kErrorFileExists:
    case kErrorAlreadyExists: return CFileException::accessDenied;
    case kErrorInvalidHandle: return CFileException::invalidFile;
    case kErrorCurrentDirectory: return CFileException::removeCurrentDir;
    case kErrorNegativeSeek: return CFileException::badSeek;
    case kErrorNotReady:
    case kErrorCrc:
    case kErrorIoDevice: return CFileException::hardIO;
    case kErrorSharingViolation: return CFileException::sharingViolation;
    case kErrorLockViolation: return CFileException::lockViolation;
    case kErrorHandleDiskFull:
    case kErrorDiskFull: return CFileException::diskFull;
    case kErrorHandleEof: return CFileException::endOfFile;
    default: return CFileException::genericException;
  }
}

void Report(CFileException* error, DWORD osError, LPCTSTR fileName) {
  if (error == nullptr) return;
  error->m_cause = CauseOf(osError);
  error->m_lOsError = static_cast<LONG>(osError);
  error->m_strFileName = fileName;
}

// How far the buffer of a CStdioFile fills before it goes to the system on its own.
constexpr size_t kBufferSize = 4096;

#if !defined(_WIN32)

int Descriptor(HANDLE handle) { return static_cast<int>(reinterpret_cast<intptr_t>(handle)); }
HANDLE AsHandle(int fd) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(fd)); }

// errno as the Win32 error code Windows gives in the same situation.
DWORD ErrnoToWin32(int error, const std::string& path) {
  switch (error) {
    case ENOENT: {
      // A missing folder on the way is a bad path, a missing last component a missing file.
      const size_t cut = path.find_last_of('/');
      struct stat folder;
      const bool folderExists = cut == std::string::npos ||
                                ::stat(cut == 0 ? "/" : path.substr(0, cut).c_str(), &folder) == 0;
      return plinth::posix::PathErrorToWin32(error, folderExists);
    }
    case ENOTDIR:
    case EACCES:
    case EPERM:
    case ENAMETOOLONG:
    case ELOOP:
    case ENOMEM: return plinth::posix::PathErrorToWin32(error, true);
    case EISDIR: return kErrorAccessDenied;
    case EROFS: return kErrorWriteProtect;
    case EMFILE:
    case ENFILE: return kErrorTooManyOpenFiles;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return kErrorDiskFull;
    case EEXIST: return kErrorFileExists;
    case EBADF: return kErrorInvalidHandle;
    case EIO: return kErrorIoDevice;
    case EINVAL: return kErrorInvalidParameter;
    case EAGAIN: return kErrorLockViolation;
    default: return kErrorGenFailure;
  }
}

// Share modes between CFile objects, on open-file-description locks. Each open object holds a
// shared lock on one marker byte per access it has and per access it denies, far beyond any
// real data; an open that wants what someone denies, or denies what someone has, finds that
// marker locked by another description. Markers are placed first and checked afterwards, so
// two racing opens that conflict can both fail but never both succeed.
constexpr off_t kMarkerBase = static_cast<off_t>(LLONG_MAX) - 16;
enum Marker { kHasRead, kHasWrite, kDeniesRead, kDeniesWrite };

struct flock MarkerLock(Marker marker, short type) {
  struct flock lock = {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = kMarkerBase + marker;
  lock.l_len = 1;
  return lock;
}

bool MarkerHeldElsewhere(int fd, Marker marker) {
  struct flock lock = MarkerLock(marker, F_WRLCK);
  // A file system without locks has no markers either: nothing is held.
  return ::fcntl(fd, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
}

void PlaceMarker(int fd, Marker marker) {
  struct flock lock = MarkerLock(marker, F_RDLCK);
  // A descriptor opened for writing only cannot hold a shared lock; its access goes unseen.
  (void)::fcntl(fd, F_OFD_SETLK, &lock);
}

// ERROR_SHARING_VIOLATION when the open conflicts with another, else 0.
DWORD ClaimSharing(int fd, UINT openFlags) {
  const UINT access = openFlags & 0x3;
  const UINT share = openFlags & 0x70;
  const bool reads = access != CFile::modeWrite;
  const bool writes = access != CFile::modeRead;
  const bool deniesRead = share == CFile::shareCompat || share == CFile::shareExclusive ||
                          share == CFile::shareDenyRead;
  const bool deniesWrite = share == CFile::shareCompat || share == CFile::shareExclusive ||
                           share == CFile::shareDenyWrite;
  if (reads) PlaceMarker(fd, kHasRead);
  if (writes) PlaceMarker(fd, kHasWrite);
  if (deniesRead) PlaceMarker(fd, kDeniesRead);
  if (deniesWrite) PlaceMarker(fd, kDeniesWrite);
  if ((reads && MarkerHeldElsewhere(fd, kDeniesRead)) ||
      (writes && MarkerHeldElsewhere(fd, kDeniesWrite)) ||
      (deniesRead && MarkerHeldElsewhere(fd, kHasRead)) ||
      (deniesWrite && MarkerHeldElsewhere(fd, kHasWrite)))
    return kErrorSharingViolation;
  return 0;
}

#endif

}  // namespace

// --- CFile --------------------------------------------------------------------------------

const HANDLE CFile::hFileNull = INVALID_HANDLE_VALUE;

CFile::CFile()
    : m_hFile(INVALID_HANDLE_VALUE), m_bCloseOnDelete(FALSE), m_nOpenFlags(0), m_bAppend(false) {}

CFile::CFile(LPCTSTR fileName, UINT openFlags) : CFile() { OpenOrThrow(fileName, openFlags); }

CFile::~CFile() {
  if (IsOpen() && m_bCloseOnDelete) RawClose(false);
}

void CFile::OpenOrThrow(LPCTSTR fileName, UINT openFlags) {
  CFileException error;
  if (!Open(fileName, openFlags, &error))
    AfxThrowFileException(error.m_cause, error.m_lOsError, error.m_strFileName);
}

BOOL CFile::Open(LPCTSTR fileName, UINT openFlags, CFileException* error) {
  if (IsOpen()) Abort();
  if (fileName == nullptr || *fileName == '\0') {
    Report(error, kErrorPathNotFound, fileName);
    return FALSE;
  }
  const UINT access = openFlags & 0x3;
  const UINT share = openFlags & 0x70;
  if (access == 0x3 || share > shareDenyNone) {
    Report(error, kErrorInvalidParameter, fileName);
    return FALSE;
  }
  const bool create = (openFlags & modeCreate) != 0;
  const bool truncate = create && (openFlags & modeNoTruncate) == 0;

#if defined(_WIN32)
  const DWORD desired = access == modeRead    ? GENERIC_READ
                        : access == modeWrite ? GENERIC_WRITE
                                              : GENERIC_READ | GENERIC_WRITE;
  DWORD shareMode = 0;
  if (share == shareDenyWrite) shareMode = FILE_SHARE_READ;
  if (share == shareDenyRead) shareMode = FILE_SHARE_WRITE;
  if (share == shareDenyNone) shareMode = FILE_SHARE_READ | FILE_SHARE_WRITE;
  SECURITY_ATTRIBUTES security = {static_cast<DWORD>(sizeof security), nullptr,
                                  (openFlags & modeNoInherit) ? FALSE : TRUE};
  const DWORD disposition = !create ? OPEN_EXISTING : truncate ? CREATE_ALWAYS : OPEN_ALWAYS;
  HANDLE file = ::CreateFileA(fileName, desired, shareMode, &security, disposition,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    Report(error, ::GetLastError(), fileName);
    return FALSE;
  }
  m_hFile = file;
#else
  const std::string path = plinth::posix::NativePath(fileName);
  // Writing-only opens ask for reading too where the file allows it, so that the descriptor
  // can hold the share markers; Read refuses all the same.
  int flags = O_CLOEXEC | (create ? O_CREAT : 0);
  flags |= access == modeRead ? O_RDONLY : O_RDWR;
  int fd = ::open(path.c_str(), flags, 0666);
  if (fd < 0 && errno == EACCES && access == modeWrite)
    fd = ::open(path.c_str(), (flags & ~O_RDWR) | O_WRONLY, 0666);
  if (fd < 0) {
    Report(error, ErrnoToWin32(errno, path), fileName);
    return FALSE;
  }
  struct stat info = {};
  if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
    ::close(fd);
    Report(error, kErrorAccessDenied, fileName);
    return FALSE;
  }
  // Emptied only once the share modes allow the open, as Windows does; devices such as
  // /dev/null have nothing to empty.
  DWORD failure = ClaimSharing(fd, openFlags);
  if (failure == 0 && truncate && S_ISREG(info.st_mode) && ::ftruncate(fd, 0) != 0)
    failure = ErrnoToWin32(errno, path);
  if (failure != 0) {
    ::close(fd);
    Report(error, failure, fileName);
    return FALSE;
  }
  m_hFile = AsHandle(fd);
#endif

  m_nOpenFlags = openFlags;
  m_bAppend = false;
  m_bCloseOnDelete = TRUE;
  char full[MAX_PATH];
  m_strFileName = _fullpath(full, fileName, MAX_PATH) != nullptr ? full : fileName;
  return TRUE;
}

void CFile::Close() {
  if (IsOpen()) RawClose(true);
}

void CFile::Abort() {
  if (IsOpen()) RawClose(false);
}

void CFile::ThrowOsError(DWORD osError) const {
  AfxThrowFileException(CauseOf(osError), static_cast<LONG>(osError), m_strFileName);
}

UINT CFile::Read(void* buffer, UINT count) { return static_cast<UINT>(RawRead(buffer, count)); }

void CFile::Write(const void* buffer, UINT count) { RawWrite(buffer, count); }

ULONGLONG CFile::Seek(LONGLONG offset, UINT from) {
  if (!IsOpen()) ThrowOsError(kErrorInvalidHandle);
  // Seeking to the end makes the end sticky; only staying where one is keeps it so.
  SetAppend((from == end && offset == 0) || (m_bAppend && from == current && offset == 0));
  return RawSeek(offset, from);
}

ULONGLONG CFile::GetPosition() const { return RawPosition(); }

CString CFile::GetFilePath() const { return IsOpen() ? m_strFileName : CString(); }

CString CFile::GetFileName() const {
  const CString path = GetFilePath();
  const int cut = std::max(path.ReverseFind('\\'), path.ReverseFind('/'));
  return path.Mid(cut + 1);
}

CString CFile::GetFileTitle() const {
  const CString name = GetFileName();
  const int dot = name.ReverseFind('.');
  return dot > 0 ? name.Left(dot) : name;
}

#if defined(_WIN32)

void CFile::RawWrite(const void* buffer, size_t count) {
  if (!IsOpen()) ThrowOsError(kErrorInvalidHandle);
  if ((m_nOpenFlags & 0x3) == modeRead) ThrowOsError(kErrorAccessDenied);
  const char* data = static_cast<const char*>(buffer);
  while (count > 0) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(count, 0x40000000));
    DWORD written = 0;
    OVERLAPPED atEnd = {};
    atEnd.Offset = 0xFFFFFFFF;
    atEnd.OffsetHigh = 0xFFFFFFFF;
    if (!::WriteFile(m_hFile, data, chunk, &written, m_bAppend ? &atEnd : nullptr))
      ThrowOsError(::GetLastError());
    if (written == 0) ThrowOsError(kErrorDiskFull);
    data += written;
    count -= written;
  }
}

size_t CFile::RawRead(void* buffer, size_t count) {
  if (!IsOpen()) ThrowOsError(kErrorInvalidHandle);
  char* data = static_cast<char*>(buffer);
  size_t total = 0;
  while (total < count) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(count - total, 0x40000000));
    DWORD got = 0;
    if (!::ReadFile(m_hFile, data + total, chunk, &got, nullptr)) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_BROKEN_PIPE || error == kErrorHandleEof) break;
      ThrowOsError(error);
    }
    if (got == 0) break;
    total += got;
  }
  return total;
}

ULONGLONG CFile::RawSeek(LONGLONG offset, UINT from) {
  if (!IsOpen()) ThrowOsError(kErrorInvalidHandle);
  if (from > end) ThrowOsError(kErrorInvalidParameter);
  const DWORD method = from == begin ? FILE_BEGIN : from == current ? FILE_CURRENT : FILE_END;
  LARGE_INTEGER distance, position;
  distance.QuadPart = offset;
  if (!::SetFilePointerEx(m_hFile, distance, &position, method)) ThrowOsError(::GetLastError());
  return static_cast<ULONGLONG>(position.QuadPart);
}

ULONGLONG CFile::RawPosition() const {
  if (!IsOpen()) ThrowOsError(kErrorInvalidHandle);
  LARGE_INTEGER zero, position;
  zero.QuadPart = 0;
  if (!::SetFilePointerEx(m_hFile, zero, &position, FILE_CURRENT)) ThrowOsError(::GetLastError());
  return static_cast<ULONGLONG>(position.QuadPart);
}

ULONGLONG CFile::GetLength() const {
  if (!IsOpen()) ThrowOsError(kErrorInvalidHandle);
  LARGE_INTEGER size;
  if (!::GetFileSizeEx(m_hFile, &size)) ThrowOsError(::GetLastError());
  return static_cast<ULONGLONG>(size.QuadPart);
}

void CFile::SetLength(ULONGLONG length) {
  const ULONGLONG was = RawPosition();
  RawSeek(static_cast<LONGLONG>(length), begin);
  if (!::SetEndOfFile(m_hFile)) ThrowOsError(::GetLastError());
  RawSeek(static_cast<LONGLONG>(std::min(was, length)), begin);
}

void CFile::Flush() {
  if (!IsOpen()) return;
  if (!::FlushFileBuffers(m_hFile) && ::GetLastError() != ERROR_INVALID_HANDLE)
    ThrowOsError(::GetLastError());
}

void CFile::SetAppend(bool append) { m_bAppend = append; }

void CFile::RawClose(bool throwOnError) {
  const BOOL closed = ::CloseHandle(m_hFile);
  const DWORD error = ::GetLastError();
  m_hFile = INVALID_HANDLE_VALUE;
  m_bAppend = false;
  m_strFileName.Empty();
  if (!closed && throwOnError) AfxThrowFileException(CauseOf(error), static_cast<LONG>(error));
}

#else

void CFile::RawWrite(const void* buffer, size_t count) {
  if (!IsOpen()) ThrowOsError(kErrorInvalidHandle);
  if ((m_nOpenFlags & 0x3) == modeRead) ThrowOsError(kErrorAccessDenied);
  const char* data = static_cast<const char*>(buffer);
  while (count > 0) {
    const ssize_t written = ::write(Descriptor(m_hFile), data, count);
    if (written < 0) {
      if (errno == EINTR) continue;
      ThrowOsError(ErrnoToWin32(errno, std::string()));
    }
    if (written == 0) ThrowOsError(kErrorDiskFull);
    data += written;
    count -= static_cast<size_t>(written);
  }
}

size_t CFile::RawRead(void* buffer, size_t count) {
  if (!IsOpen()) ThrowOsError(kErrorInvalidHandle);
  if ((m_nOpenFlags & 0x3) == modeWrite) ThrowOsError(kErrorAccessDenied);
  char* data = static_cast<char*>(buffer);
  size_t total = 0;
  while (total < count) {
    const ssize_t got = ::read(Descriptor(m_hFile), data + total, count - total);
    if (got < 0) {
      if (errno == EINTR) continue;
      ThrowOsError(errno == EBADF ? kErrorAccessDenied : ErrnoToWin32(errno, std::string()));
    }
    if (got == 0) break;
    total += static_cast<size_t>(got);
  }
  return total;
}

ULONGLONG CFile::RawSeek(LONGLONG offset, UINT from) {
  if (!IsOpen()) ThrowOsError(kErrorInvalidHandle);
  if (from > end) ThrowOsError(kErrorInvalidParameter);
  const int whence = from == begin ? SEEK_SET : from == current ? SEEK_CUR : SEEK_END;
  const off_t position = ::lseek(Descriptor(m_hFile), static_cast<off_t>(offset), whence);
  if (position < 0) ThrowOsError(errno == EINVAL ? kErrorNegativeSeek : ErrnoToWin32(errno, {}));
  return static_cast<ULONGLONG>(position);
}

ULONGLONG CFile::RawPosition() const {
  if (!IsOpen()) ThrowOsError(kErrorInvalidHandle);
  const off_t position = ::lseek(Descriptor(m_hFile), 0, SEEK_CUR);
  if (position < 0) ThrowOsError(ErrnoToWin32(errno, std::string()));
  return static_cast<ULONGLONG>(position);
}

ULONGLONG CFile::GetLength() const {
  if (!IsOpen()) ThrowOsError(kErrorInvalidHandle);
  struct stat info;
  if (::fstat(Descriptor(m_hFile), &info) != 0) ThrowOsError(ErrnoToWin32(errno, std::string()));
  return static_cast<ULONGLONG>(info.st_size);
}

void CFile::SetLength(ULONGLONG length) {
  if (!IsOpen()) ThrowOsError(kErrorInvalidHandle);
  if ((m_nOpenFlags & 0x3) == modeRead) ThrowOsError(kErrorAccessDenied);
  if (length > static_cast<ULONGLONG>(LLONG_MAX)) ThrowOsError(kErrorInvalidParameter);
  if (::ftruncate(Descriptor(m_hFile), static_cast<off_t>(length)) != 0)
    ThrowOsError(ErrnoToWin32(errno, std::string()));
  // Windows leaves the pointer of a shortened file at its new end.
  if (RawPosition() > length) RawSeek(static_cast<LONGLONG>(length), begin);
}

void CFile::Flush() {
  if (!IsOpen()) return;
  // Pipes and terminals have no disk to wait for.
  if (::fsync(Descriptor(m_hFile)) != 0 && errno != EINVAL && errno != EROFS)
    ThrowOsError(ErrnoToWin32(errno, std::string()));
}

void CFile::SetAppend(bool append) {
  if (append == m_bAppend || !IsOpen()) return;
  const int fd = Descriptor(m_hFile);
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, append ? flags | O_APPEND : flags & ~O_APPEND) != 0)
    ThrowOsError(ErrnoToWin32(errno, std::string()));
  m_bAppend = append;
}

void CFile::RawClose(bool throwOnError) {
  // The descriptor is gone whatever close says; retrying could close someone else's.
  const int result = ::close(Descriptor(m_hFile));
  const int error = errno;
  m_hFile = INVALID_HANDLE_VALUE;
  m_bAppend = false;
  const CString name = m_strFileName;
  m_strFileName.Empty();
  if (result != 0 && error != EINTR && throwOnError) {
    const DWORD osError = ErrnoToWin32(error, std::string());
    AfxThrowFileException(CauseOf(osError), static_cast<LONG>(osError), name);
  }
}

#endif

// --- CStdioFile ---------------------------------------------------------------------------

CStdioFile::CStdioFile() : m_bText(true), m_readPos(0) {}

CStdioFile::CStdioFile(LPCTSTR fileName, UINT openFlags) : CStdioFile() {
  OpenOrThrow(fileName, openFlags);
}

CStdioFile::~CStdioFile() {
  if (IsOpen() && m_bCloseOnDelete) Abort();
}

BOOL CStdioFile::Open(LPCTSTR fileName, UINT openFlags, CFileException* error) {
  if (IsOpen()) Abort();
  m_pendingWrite.clear();
  m_readAhead.clear();
  m_readPos = 0;
  m_bText = (openFlags & typeBinary) == 0;
  return CFile::Open(fileName, openFlags & ~(typeText | typeBinary), error);
}

void CStdioFile::Close() {
  if (!IsOpen()) return;
  try {
    FlushWrites();
  } catch (CException*) {
    RawClose(false);
    throw;
  }
  m_readAhead.clear();
  m_readPos = 0;
  RawClose(true);
}

void CStdioFile::Abort() {
  if (!IsOpen()) return;
  try {
    FlushWrites();
  } catch (CException* e) {
    e->Delete();
  }
  m_readAhead.clear();
  m_readPos = 0;
  RawClose(false);
}

void CStdioFile::FlushWrites() {
  if (m_pendingWrite.empty()) return;
  std::string out;
  out.swap(m_pendingWrite);
  RawWrite(out.data(), out.size());
}

void CStdioFile::DropReadAhead() {
  const size_t unread = m_readAhead.size() - m_readPos;
  m_readAhead.clear();
  m_readPos = 0;
  if (unread > 0) RawSeek(-static_cast<LONGLONG>(unread), current);
}

void CStdioFile::Collect(const char* data, size_t count) {
  if (!m_readAhead.empty()) DropReadAhead();
  if (!m_pendingWrite.empty() && m_pendingWrite.size() + count > kBufferSize) FlushWrites();
  m_pendingWrite.append(data, count);
  if (m_pendingWrite.size() >= kBufferSize) FlushWrites();
}

void CStdioFile::Write(const void* buffer, UINT count) {
  if (!IsOpen()) ThrowOsError(kErrorInvalidHandle);
  if ((m_nOpenFlags & 0x3) == modeRead) ThrowOsError(kErrorAccessDenied);
  const char* data = static_cast<const char*>(buffer);
  if (!m_bText) {
    Collect(data, count);
    return;
  }
  std::string text;
  text.reserve(count + count / 16);
  for (UINT i = 0; i < count; ++i) {
    if (data[i] == '\n') text += '\r';
    text += data[i];
  }
  Collect(text.data(), text.size());
}

void CStdioFile::WriteString(LPCTSTR text) {
  if (text == nullptr) AfxThrowInvalidArgException();
  Write(text, static_cast<UINT>(std::strlen(text)));
}

int CStdioFile::NextByte() {
  if (m_readPos == m_readAhead.size()) {
    FlushWrites();
    m_readAhead.resize(kBufferSize);
    m_readAhead.resize(RawRead(&m_readAhead[0], kBufferSize));
    m_readPos = 0;
    if (m_readAhead.empty()) return -1;
  }
  return static_cast<unsigned char>(m_readAhead[m_readPos++]);
}

UINT CStdioFile::Read(void* buffer, UINT count) {
  if (!IsOpen()) ThrowOsError(kErrorInvalidHandle);
  char* data = static_cast<char*>(buffer);
  UINT done = 0;
  while (done < count) {
    int c = NextByte();
    if (c < 0) break;
    if (m_bText && c == '\r') {
      const int next = NextByte();
      if (next == '\n') {
        c = '\n';
      } else if (next >= 0) {
        --m_readPos;  // NextByte just filled or stepped: the byte is still in the buffer
      }
    }
    data[done++] = static_cast<char>(c);
  }
  return done;
}

BOOL CStdioFile::ReadString(CString& text) {
  text.Empty();
  std::string line;
  bool any = false;
  for (;;) {
    char c;
    if (Read(&c, 1) == 0) break;
    any = true;
    if (c == '\n') break;
    line += c;
  }
  text.SetString(line.data(), static_cast<int>(line.size()));
  return any ? TRUE : FALSE;
}

LPTSTR CStdioFile::ReadString(LPTSTR text, UINT maxChars) {
  if (text == nullptr || maxChars == 0) AfxThrowInvalidArgException();
  UINT length = 0;
  while (length + 1 < maxChars) {
    char c;
    if (Read(&c, 1) == 0) break;
    text[length++] = c;
    if (c == '\n') break;
  }
  text[length] = '\0';
  return length == 0 && maxChars > 1 ? nullptr : text;
}

ULONGLONG CStdioFile::Seek(LONGLONG offset, UINT from) {
  if (!IsOpen()) ThrowOsError(kErrorInvalidHandle);
  FlushWrites();
  DropReadAhead();
  return CFile::Seek(offset, from);
}

ULONGLONG CStdioFile::GetPosition() const {
  return RawPosition() - (m_readAhead.size() - m_readPos) + m_pendingWrite.size();
}

ULONGLONG CStdioFile::GetLength() const {
  // The collected writes count, as they do for the runtime's buffered streams.
  const_cast<CStdioFile*>(this)->FlushWrites();
  return CFile::GetLength();
}

void CStdioFile::SetLength(ULONGLONG length) {
  FlushWrites();
  DropReadAhead();
  CFile::SetLength(length);
}

void CStdioFile::Flush() { FlushWrites(); }
