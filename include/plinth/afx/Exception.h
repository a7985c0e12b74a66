#pragma once
/// \file
/// The framework's exception classes and the AfxThrow… functions that raise them.

#include <plinth/afx/Object.h>
#include <plinth/afx/String.h>
#include <plinth/win32.h>

#include <new>
#include <stdexcept>

/// Base of the framework exceptions. They are thrown by pointer and caught as CException*; the
/// catcher releases them with Delete(), which leaves alone the few that live in static storage.
///
/// \code
///   try { ... } catch (CException* e) { e->Delete(); }
/// \endcode
class PLINTH_API CException : public CObject {
 public:
  /// An exception that Delete() frees (autoDelete TRUE: it must come from new) or leaves alone.
  explicit CException(BOOL autoDelete = TRUE);
  ~CException() override;

  /// Frees a heap-allocated exception; does nothing for one that is not auto-deleted.
  void Delete();

  /// Copies a description of the error (at most maxChars - 1 bytes and a NUL) into buffer;
  /// returns FALSE when there is none. helpContext, when given, receives 0.
  ///
  /// A longer description is cut without splitting a double-byte character. A null buffer or
  /// a maxChars of 0 receives nothing; the result still says whether there is a description.
  /// The base class has none: FALSE, with buffer emptied.
  virtual BOOL GetErrorMessage(LPTSTR buffer, UINT maxChars, UINT* helpContext = nullptr) const;

  /// Whether Delete() frees the object.
  BOOL m_bAutoDelete;
};

/// Out of memory. AfxThrowMemoryException throws one static object that is not auto-deleted.
class PLINTH_API CMemoryException : public CException {
 public:
  /// An auto-deleted exception.
  CMemoryException();
  /// An exception that Delete() frees or not, as autoDelete says.
  explicit CMemoryException(BOOL autoDelete);
  /// "Out of memory."; TRUE.
  BOOL GetErrorMessage(LPTSTR buffer, UINT maxChars, UINT* helpContext = nullptr) const override;
};

/// An index outside a collection, or an argument outside its allowed range.
class PLINTH_API CInvalidArgException : public CException {
 public:
  /// An auto-deleted exception.
  CInvalidArgException();
  /// An exception that Delete() frees or not, as autoDelete says.
  explicit CInvalidArgException(BOOL autoDelete);
  /// "Invalid argument."; TRUE.
  BOOL GetErrorMessage(LPTSTR buffer, UINT maxChars, UINT* helpContext = nullptr) const override;
};

/// A COM operation that failed with an HRESULT other than E_OUTOFMEMORY.
class PLINTH_API COleException : public CException {
 public:
  /// An auto-deleted exception with m_sc S_OK.
  COleException();
  /// "OLE error 0x" and m_sc in eight upper-case hex digits, then "."; TRUE.
  BOOL GetErrorMessage(LPTSTR buffer, UINT maxChars, UINT* helpContext = nullptr) const override;
  /// The HRESULT that failed.
  SCODE m_sc;
};

/// A malformed or misused archive (a serialised object stream).
class PLINTH_API CArchiveException : public CException {
 public:
  /// The values m_cause takes.
  enum {
    none,              ///< No error: GetErrorMessage gives no description.
    genericException,  ///< An error without a more precise cause.
    readOnly,          ///< A write to an archive opened for reading.
    endOfFile,         ///< The data ended before the object did.
    writeOnly,         ///< A read from an archive opened for writing.
    badIndex,          ///< Invalid format in the archive.
    badClass,          ///< An object of an unexpected type.
    badSchema,         ///< An unsupported object version.
    bufferFull         ///< The archive's buffer is full.
  };
  /// An auto-deleted exception for cause (see the enumeration) and the archive's name (null:
  /// none).
  explicit CArchiveException(int cause = none, LPCTSTR archiveName = nullptr);
  /// A sentence for m_cause ("Archive error" for an unknown one), followed by the archive's
  /// name in single quotes when there is one, then "."; TRUE. FALSE, buffer emptied, for none.
  BOOL GetErrorMessage(LPTSTR buffer, UINT maxChars, UINT* helpContext = nullptr) const override;

  /// What went wrong: one of the enumeration's values.
  int m_cause;
  /// The archive's name; empty when unknown.
  CString m_strFileName;
};

/// A failed file operation: CFile and CStdioFile throw it, Open reports into one.
class PLINTH_API CFileException : public CException {
 public:
  /// The values m_cause takes, and the Win32 error codes the file classes turn into each.
  enum {
    none,              ///< No error (0): GetErrorMessage gives no description.
    genericException,  ///< Any other error code.
    fileNotFound,      ///< ERROR_FILE_NOT_FOUND.
    /// ERROR_PATH_NOT_FOUND, ERROR_INVALID_NAME, ERROR_BAD_PATHNAME, ERROR_FILENAME_EXCED_RANGE.
    badPath,
    tooManyOpenFiles,  ///< ERROR_TOO_MANY_OPEN_FILES.
    /// ERROR_ACCESS_DENIED, ERROR_WRITE_PROTECT, ERROR_FILE_EXISTS, ERROR_ALREADY_EXISTS.
    accessDenied,
    invalidFile,       ///< ERROR_INVALID_HANDLE, also for an operation on a closed file.
    removeCurrentDir,  ///< ERROR_CURRENT_DIRECTORY.
    directoryFull,     ///< The folder cannot take another entry (no error code maps to it).
    badSeek,           ///< ERROR_NEGATIVE_SEEK: a position before the start of the file.
    hardIO,            ///< ERROR_NOT_READY, ERROR_CRC, ERROR_IO_DEVICE.
    sharingViolation,  ///< ERROR_SHARING_VIOLATION.
    lockViolation,     ///< ERROR_LOCK_VIOLATION.
    diskFull,          ///< ERROR_DISK_FULL, ERROR_HANDLE_DISK_FULL.
    endOfFile          ///< ERROR_HANDLE_EOF.
  };
  /// An auto-deleted exception for cause, the Win32 error code osError (-1: unknown) and the
  /// file's name (null: none).
  explicit CFileException(int cause = none, LONG osError = -1, LPCTSTR fileName = nullptr);
  /// A sentence for m_cause ("File error" for genericException or an unknown one), followed by
  /// the file's name in single quotes when there is one, then "." (as "Access denied
  /// 'C:\\a.txt'."); TRUE. FALSE, buffer emptied, for none.
  BOOL GetErrorMessage(LPTSTR buffer, UINT maxChars, UINT* helpContext = nullptr) const override;

  /// What went wrong: one of the enumeration's values.
  int m_cause;
  /// The Win32 error code behind m_cause; -1 when unknown.
  LONG m_lOsError;
  /// The file's name: as given for a failed open, the full path for an operation on an open
  /// file; empty when unknown.
  CString m_strFileName;
};

// Each throws a new exception object by pointer and does not return; when that object cannot
// be allocated, the memory exception is thrown instead.

/// Throws the memory exception: a static object (so that it can be thrown when nothing more can
/// be allocated) that is not auto-deleted, so Delete() on it does nothing.
[[noreturn]] PLINTH_API void AfxThrowMemoryException();
/// Throws a new CInvalidArgException (or the memory exception when none can be allocated).
[[noreturn]] PLINTH_API void AfxThrowInvalidArgException();
/// Throws a new COleException carrying sc in m_sc (or the memory exception when none can be
/// allocated).
[[noreturn]] PLINTH_API void AfxThrowOleException(SCODE sc);
/// Throws a new CArchiveException for cause and archiveName (or the memory exception when none
/// can be allocated).
[[noreturn]] PLINTH_API void AfxThrowArchiveException(int cause, LPCTSTR archiveName = nullptr);
/// Throws a new CFileException for cause, osError and fileName (or the memory exception when
/// none can be allocated).
[[noreturn]] PLINTH_API void AfxThrowFileException(int cause, LONG osError = -1,
                                                   LPCTSTR fileName = nullptr);

/// Runs f, turning the standard library's allocation failures into CMemoryException, which is
/// what callers of the framework's containers catch.
///
/// std::bad_alloc and std::length_error become AfxThrowMemoryException; other exceptions pass
/// unchanged.
template <class F>
void AfxThrowMemoryOnAllocFailure(F&& f) {
  try {
    f();
  } catch (const std::bad_alloc&) {
    AfxThrowMemoryException();
  } catch (const std::length_error&) {
    AfxThrowMemoryException();
  }
}
