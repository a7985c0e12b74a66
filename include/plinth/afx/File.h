#pragma once
// The framework's files: CFile, unbuffered bytes on an operating-system file, and CStdioFile,
// which adds a buffer, text mode and lines.
//
//   CStdioFile log("C:\\logs\\app.log", CFile::modeWrite | CFile::shareDenyNone |
//                                       CFile::modeCreate | CFile::modeNoTruncate |
//                                       CFile::typeText);  // 0x7041
//   log.SeekToEnd();
//   log.WriteString("started\n");  // "started\r\n" on disk
//   log.Flush();
//
// Failures throw a CFileException by pointer (the catcher calls Delete()) whose m_cause says
// what went wrong and m_lOsError holds the Win32 error code; Open reports into the exception
// object it is given instead and returns FALSE. Destructors close without throwing.
//
// Appending. Seek(0, end) (and SeekToEnd) makes the end sticky: every later write goes to the
// end of the file as it is at the moment of that write, even when other processes or other
// objects have appended in between, until the next seek elsewhere. On POSIX the descriptor
// gets O_APPEND; on Windows each write is an OVERLAPPED write at offset 0xFFFFFFFF:0xFFFFFFFF
// (write at end of file). A write call is handed to the system whole, so one Write (or one
// Flush of a CStdioFile) that appends a line is never interleaved with the appends of others.
//
// Sharing. On Windows the share flags go to CreateFile as usual. On POSIX they are honoured
// between CFile objects of any process through open-file-description locks: an open fails with
// sharingViolation when it asks for access that an open object denies, or denies access that
// an open object holds. shareCompat counts as shareExclusive, as on Windows. Programs that do
// not open through CFile are not held back, and an object that writes a file it may not read
// cannot hold its marks: later opens see neither its writing nor its denials. A file system
// without locks shares everything.
//
// Names: "\\" and "/" both separate folders on every system (see <plinth/win32/Files.h>). On
// POSIX a descriptor is always closed on exec, whatever modeNoInherit says: a child would get a
// bare number, not a handle it can name.

#include <plinth/Export.h>
#include <plinth/afx/Exception.h>
#include <plinth/afx/Object.h>
#include <plinth/afx/String.h>
#include <plinth/win32.h>

#include <string>

class PLINTH_API CFile : public CObject {
 public:
  enum OpenFlags : UINT {
    modeRead = 0x0000,
    modeWrite = 0x0001,
    modeReadWrite = 0x0002,
    shareCompat = 0x0000,
    shareExclusive = 0x0010,
    shareDenyWrite = 0x0020,
    shareDenyRead = 0x0030,
    shareDenyNone = 0x0040,
    modeNoInherit = 0x0080,
    modeCreate = 0x1000,
    modeNoTruncate = 0x2000,
    typeText = 0x4000,
    typeBinary = 0x8000,
  };
  enum SeekPosition : UINT { begin = 0x0, current = 0x1, end = 0x2 };

  // The value of m_hFile while no file is open.
  static const HANDLE hFileNull;

  CFile();
  // Opens as Open does, throwing the CFileException instead of returning FALSE.
  CFile(LPCTSTR fileName, UINT openFlags);
  ~CFile() override;
  CFile(const CFile&) = delete;
  CFile& operator=(const CFile&) = delete;

  // Opens fileName (an open file of this object is first closed, errors dropped). modeCreate
  // without modeNoTruncate empties an existing file; a folder is never opened (accessDenied).
  // FALSE on failure, with error (when given) filled in: m_cause, m_lOsError and m_strFileName.
  virtual BOOL Open(LPCTSTR fileName, UINT openFlags, CFileException* error = nullptr);
  // Closes the file; throws when the system reports an error (buffered data that cannot be
  // written, for a CStdioFile). Closing a closed object does nothing.
  virtual void Close();
  // Closes without throwing, dropping whatever cannot be written.
  virtual void Abort();

  // The bytes read, fewer than count only at the end of the file.
  virtual UINT Read(void* buffer, UINT count);
  // Writes all count bytes or throws (diskFull, accessDenied, …).
  virtual void Write(const void* buffer, UINT count);
  // The new position from the start. A position before the start throws badSeek.
  virtual ULONGLONG Seek(LONGLONG offset, UINT from);
  void SeekToBegin() { Seek(0, begin); }
  ULONGLONG SeekToEnd() { return Seek(0, end); }
  virtual ULONGLONG GetPosition() const;
  virtual ULONGLONG GetLength() const;
  // Cuts or extends the file to length bytes.
  virtual void SetLength(ULONGLONG length);
  // Writes the system's buffers for the file to the disk (FlushFileBuffers, fsync).
  virtual void Flush();

  // The full path of the open file (as given when no full path can be made), its last
  // component, and the name without extension; empty when closed.
  virtual CString GetFilePath() const;
  virtual CString GetFileName() const;
  virtual CString GetFileTitle() const;

  // On Windows the file handle; on POSIX the descriptor, cast. hFileNull when closed.
  HANDLE m_hFile;
  // Whether the destructor closes the file.
  BOOL m_bCloseOnDelete;

 protected:
  // Opens as Open does and throws the exception Open would report.
  void OpenOrThrow(LPCTSTR fileName, UINT openFlags);
  // The operating-system operations without the buffering of derived classes. Each throws a
  // CFileException on failure. RawSeek moves without touching the sticky end.
  void RawWrite(const void* buffer, size_t count);
  size_t RawRead(void* buffer, size_t count);
  ULONGLONG RawSeek(LONGLONG offset, UINT from);
  ULONGLONG RawPosition() const;
  void RawClose(bool throwOnError);
  // Makes the end sticky or lets it go.
  void SetAppend(bool append);
  [[noreturn]] void ThrowOsError(DWORD osError) const;
  // Not through hFileNull, which static objects of other modules may see before it is set.
  bool IsOpen() const { return m_hFile != INVALID_HANDLE_VALUE; }

  CString m_strFileName;
  UINT m_nOpenFlags;
  // Writes go to the end of the file as it is at each write.
  bool m_bAppend;
};

class PLINTH_API CStdioFile : public CFile {
 public:
  CStdioFile();
  CStdioFile(LPCTSTR fileName, UINT openFlags);
  ~CStdioFile() override;

  // As CFile::Open; text mode unless typeBinary is given.
  BOOL Open(LPCTSTR fileName, UINT openFlags, CFileException* error = nullptr) override;
  void Close() override;
  void Abort() override;

  // In text mode each CR LF read becomes "\n" and each "\n" written becomes CR LF; a lone CR is
  // kept. Writes are collected and handed to the system by Flush, Close, a seek or a read, and
  // when the buffer is full: the content of one call always reaches the system in one write
  // (with what was collected before it when both fit in the buffer), so a line written and
  // flushed arrives whole. Bytes a failed write could not place are dropped, not retried.
  UINT Read(void* buffer, UINT count) override;
  void Write(const void* buffer, UINT count) override;
  // Writes text up to its NUL (text mode: with CR LF for every "\n").
  virtual void WriteString(LPCTSTR text);
  // The next line without its line end into text; FALSE at the end of the file with nothing
  // read (text is then empty). A last line without a line end is still a line.
  virtual BOOL ReadString(CString& text);
  // As fgets: at most maxChars - 1 bytes, up to and including "\n", then a NUL; null at the end
  // of the file.
  virtual LPTSTR ReadString(LPTSTR text, UINT maxChars);

  ULONGLONG Seek(LONGLONG offset, UINT from) override;
  ULONGLONG GetPosition() const override;
  ULONGLONG GetLength() const override;
  void SetLength(ULONGLONG length) override;
  // Hands the collected writes to the system; unlike CFile::Flush it does not wait for the
  // disk, which is all that ending the process needs.
  void Flush() override;

 private:
  // Hands the collected writes to the system; afterwards nothing is pending.
  void FlushWrites();
  // Gives back read-ahead bytes so that the system position is the logical one.
  void DropReadAhead();
  // One byte, or -1 at the end of the file.
  int NextByte();
  void Collect(const char* data, size_t count);

  bool m_bText;
  std::string m_pendingWrite;
  std::string m_readAhead;
  size_t m_readPos;
};
