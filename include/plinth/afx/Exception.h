#pragma once
// Framework exceptions. They are thrown by pointer and caught as CException*; the catcher
// releases them with Delete(), which leaves alone the few that live in static storage.
//
//   try { ... } catch (CException* e) { e->Delete(); }

#include <plinth/afx/Object.h>
#include <plinth/afx/String.h>
#include <plinth/win32.h>

#include <new>
#include <stdexcept>

class PLINTH_API CException : public CObject {
 public:
  explicit CException(BOOL autoDelete = TRUE);
  ~CException() override;

  // Frees a heap-allocated exception; does nothing for one that is not auto-deleted.
  void Delete();

  // Copies a description of the error (at most maxChars - 1 bytes and a NUL) into buffer;
  // returns FALSE when there is none. helpContext, when given, receives 0.
  virtual BOOL GetErrorMessage(LPTSTR buffer, UINT maxChars, UINT* helpContext = nullptr) const;

  BOOL m_bAutoDelete;
};

class PLINTH_API CMemoryException : public CException {
 public:
  CMemoryException();
  explicit CMemoryException(BOOL autoDelete);
  BOOL GetErrorMessage(LPTSTR buffer, UINT maxChars, UINT* helpContext = nullptr) const override;
};

class PLINTH_API CInvalidArgException : public CException {
 public:
  CInvalidArgException();
  explicit CInvalidArgException(BOOL autoDelete);
  BOOL GetErrorMessage(LPTSTR buffer, UINT maxChars, UINT* helpContext = nullptr) const override;
};

class PLINTH_API COleException : public CException {
 public:
  COleException();
  BOOL GetErrorMessage(LPTSTR buffer, UINT maxChars, UINT* helpContext = nullptr) const override;
  // The HRESULT that failed.
  SCODE m_sc;
};

class PLINTH_API CArchiveException : public CException {
 public:
  enum {
    none,
    genericException,
    readOnly,
    endOfFile,
    writeOnly,
    badIndex,
    badClass,
    badSchema,
    bufferFull
  };
  explicit CArchiveException(int cause = none, LPCTSTR archiveName = nullptr);
  BOOL GetErrorMessage(LPTSTR buffer, UINT maxChars, UINT* helpContext = nullptr) const override;

  int m_cause;
  CString m_strFileName;
};

class PLINTH_API CFileException : public CException {
 public:
  enum {
    none,
    genericException,
    fileNotFound,
    badPath,
    tooManyOpenFiles,
    accessDenied,
    invalidFile,
    removeCurrentDir,
    directoryFull,
    badSeek,
    hardIO,
    sharingViolation,
    lockViolation,
    diskFull,
    endOfFile
  };
  explicit CFileException(int cause = none, LONG osError = -1, LPCTSTR fileName = nullptr);
  BOOL GetErrorMessage(LPTSTR buffer, UINT maxChars, UINT* helpContext = nullptr) const override;

  int m_cause;
  LONG m_lOsError;
  CString m_strFileName;
};

// Each throws a new exception object by pointer and does not return. The memory exception is
// a static object (so that it can be thrown when nothing more can be allocated); Delete() on it
// does nothing.
[[noreturn]] PLINTH_API void AfxThrowMemoryException();
[[noreturn]] PLINTH_API void AfxThrowInvalidArgException();
[[noreturn]] PLINTH_API void AfxThrowOleException(SCODE sc);
[[noreturn]] PLINTH_API void AfxThrowArchiveException(int cause, LPCTSTR archiveName = nullptr);
[[noreturn]] PLINTH_API void AfxThrowFileException(int cause, LONG osError = -1,
                                                   LPCTSTR fileName = nullptr);

// Runs f, turning the standard library's allocation failures into CMemoryException, which is
// what callers of the framework's containers catch.
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
