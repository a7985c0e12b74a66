#pragma once
/// \file
/// The framework's files: CFile (unbuffered bytes) and CStdioFile (buffered, text mode, lines).

#include <plinth/Export.h>
#include <plinth/afx/Exception.h>
#include <plinth/afx/Object.h>
#include <plinth/afx/String.h>
#include <plinth/win32.h>

#include <string>

/// The framework's file: unbuffered bytes on an operating-system file.
///
/// CStdioFile adds a buffer, text mode and lines:
///
/// \code
///   CStdioFile log("C:\\logs\\app.log", CFile::modeWrite | CFile::shareDenyNone |
///                                       CFile::modeCreate | CFile::modeNoTruncate |
///                                       CFile::typeText);  // 0x7041
///   log.SeekToEnd();
///   log.WriteString("started\n");  // "started\r\n" on disk
///   log.Flush();
/// \endcode
///
/// Failures throw a CFileException by pointer (the catcher calls Delete()) whose `m_cause` says
/// what went wrong and `m_lOsError` holds the Win32 error code; Open reports into the exception
/// object it is given instead and returns FALSE. Destructors close without throwing. Every
/// operation that needs an open file throws `invalidFile` (ERROR_INVALID_HANDLE) on a closed
/// object, except Close, Abort and Flush, which then do nothing, and the name getters, which
/// give empty text.
///
/// **Appending.** Seek(0, end) (and SeekToEnd) makes the end sticky: every later write goes to
/// the end of the file as it is at the moment of that write, even when other processes or other
/// objects have appended in between, until the next seek elsewhere. On POSIX the descriptor
/// gets O_APPEND; on Windows each write is an OVERLAPPED write at offset 0xFFFFFFFF:0xFFFFFFFF
/// (write at end of file). A write call is handed to the system whole, so one Write (or one
/// Flush of a CStdioFile) that appends a line is never interleaved with the appends of others.
///
/// **Sharing.** On Windows the share flags go to CreateFile as usual. On POSIX they are honoured
/// between CFile objects of any process through open-file-description locks: an open fails with
/// `sharingViolation` when it asks for access that an open object denies, or denies access that
/// an open object holds. shareCompat counts as shareExclusive, as on Windows. Programs that do
/// not open through CFile are not held back, and an object that writes a file it may not read
/// cannot hold its marks: later opens see neither its writing nor its denials. A file system
/// without locks shares everything.
///
/// **Names.** Backslash and slash both separate folders on every system (see
/// `plinth/win32/Files.h`). On POSIX a descriptor is always closed on exec, whatever
/// modeNoInherit says: a child would get a bare number, not a handle it can name.
class PLINTH_API CFile : public CObject {
 public:
  /// Flags for Open and the opening constructors: one access mode, one share mode, and any of
  /// the others. Two access bits together, or a share value above shareDenyNone, make the open
  /// fail with ERROR_INVALID_PARAMETER (`genericException`).
  enum OpenFlags : UINT {
    modeRead = 0x0000,        ///< Read access only; Write and SetLength throw `accessDenied`.
    modeWrite = 0x0001,       ///< Write access only; Read throws `accessDenied`.
    modeReadWrite = 0x0002,   ///< Read and write access.
    shareCompat = 0x0000,     ///< Treated as shareExclusive.
    shareExclusive = 0x0010,  ///< Others may neither read nor write while the file is open.
    shareDenyWrite = 0x0020,  ///< Others may read but not write.
    shareDenyRead = 0x0030,   ///< Others may write but not read.
    shareDenyNone = 0x0040,   ///< Others may read and write.
    modeNoInherit = 0x0080,   ///< Child processes do not inherit the handle (always so on POSIX).
    modeCreate = 0x1000,      ///< Create the file when missing; empty it unless modeNoTruncate.
    modeNoTruncate = 0x2000,  ///< With modeCreate: keep the content of an existing file.
    typeText = 0x4000,        ///< CStdioFile: text mode (its default). CFile ignores it.
    typeBinary = 0x8000,      ///< CStdioFile: binary mode, bytes unchanged. CFile ignores it.
  };
  /// Where a Seek offset counts from; any other value throws ERROR_INVALID_PARAMETER
  /// (`genericException`).
  enum SeekPosition : UINT { begin = 0x0, current = 0x1, end = 0x2 };

  /// The value of m_hFile while no file is open.
  static const HANDLE hFileNull;

  /// A closed file object; m_bCloseOnDelete is FALSE until an Open succeeds.
  CFile();
  /// Opens as Open does, throwing the CFileException instead of returning FALSE.
  /// \throws CFileException* with `m_cause`, `m_lOsError` and `m_strFileName` as Open reports.
  CFile(LPCTSTR fileName, UINT openFlags);
  /// Closes the file when it is open and m_bCloseOnDelete is set; errors are dropped.
  ~CFile() override;
  CFile(const CFile&) = delete;
  CFile& operator=(const CFile&) = delete;

  /// Opens fileName (an open file of this object is first closed, errors dropped).
  ///
  /// modeCreate without modeNoTruncate empties an existing file (only once the share modes
  /// allow the open); a folder is never opened (`accessDenied`). A null or empty name fails
  /// with ERROR_PATH_NOT_FOUND (`badPath`). On POSIX a modeWrite open also asks for reading
  /// where the file allows it, to hold its share marks, but Read still refuses.
  /// \return TRUE when the file is open, with m_bCloseOnDelete set and the full path kept for
  /// GetFilePath. FALSE on failure, with error (when given) filled in: `m_cause`, `m_lOsError`
  /// and `m_strFileName`. Nothing is thrown.
  virtual BOOL Open(LPCTSTR fileName, UINT openFlags, CFileException* error = nullptr);
  /// Closes the file; throws when the system reports an error (buffered data that cannot be
  /// written, for a CStdioFile). Closing a closed object does nothing.
  ///
  /// The handle is released and the object closed even when the call throws.
  /// \throws CFileException* when the system reports an error on closing.
  virtual void Close();
  /// Closes without throwing, dropping whatever cannot be written. Does nothing when closed.
  virtual void Abort();

  /// Reads up to count bytes into buffer.
  /// \return The bytes read, fewer than count only at the end of the file (0 there).
  /// \throws CFileException* `accessDenied` for a file opened modeWrite, `invalidFile` when
  /// closed, or the cause of the system's read error.
  virtual UINT Read(void* buffer, UINT count);
  /// Writes all count bytes or throws (`diskFull`, `accessDenied`, …).
  ///
  /// A file opened modeRead throws `accessDenied`; a system write that places nothing throws
  /// `diskFull`. Bytes written before a failure stay written.
  /// \throws CFileException* on failure.
  virtual void Write(const void* buffer, UINT count);
  /// Moves the position by offset from begin, current or end (see SeekPosition).
  ///
  /// A position beyond the end is allowed; the file grows only when written there. Seek(0, end)
  /// makes the end sticky (see the class notes); Seek(0, current) keeps it sticky, any other
  /// seek lets it go.
  /// \return The new position from the start.
  /// \throws CFileException* `badSeek` for a position before the start, `genericException`
  /// (ERROR_INVALID_PARAMETER) for an unknown from, `invalidFile` when closed.
  virtual ULONGLONG Seek(LONGLONG offset, UINT from);
  /// Seek(0, begin); also ends a sticky end.
  /// \throws CFileException* as Seek.
  void SeekToBegin() { Seek(0, begin); }
  /// Seek(0, end), which makes the end sticky.
  /// \return The length of the file, now the position.
  /// \throws CFileException* as Seek.
  ULONGLONG SeekToEnd() { return Seek(0, end); }
  /// The current position from the start of the file.
  /// \throws CFileException* `invalidFile` when closed, or the system's error.
  virtual ULONGLONG GetPosition() const;
  /// The length of the file in bytes as the system sees it now.
  /// \throws CFileException* `invalidFile` when closed, or the system's error.
  virtual ULONGLONG GetLength() const;
  /// Cuts or extends the file to length bytes.
  ///
  /// Extended bytes read as zeros. A position beyond the new end moves to the new end; any
  /// other position is kept.
  /// \throws CFileException* `accessDenied` for a file opened modeRead, `invalidFile` when
  /// closed, `genericException` (ERROR_INVALID_PARAMETER) on POSIX for a length above the
  /// largest signed 64-bit value, or the system's error.
  virtual void SetLength(ULONGLONG length);
  /// Writes the system's buffers for the file to the disk (FlushFileBuffers, fsync).
  ///
  /// Does nothing when closed, or for a pipe or terminal, which has no disk to wait for.
  /// \throws CFileException* when the system reports an error.
  virtual void Flush();

  /// The full path of the open file (as given when no full path can be made); empty when
  /// closed.
  virtual CString GetFilePath() const;
  /// The last component of GetFilePath (after the last backslash or slash); empty when closed.
  virtual CString GetFileName() const;
  /// GetFileName without its extension (cut at the last dot, unless the name starts with it:
  /// ".profile" stays whole); empty when closed.
  virtual CString GetFileTitle() const;

  /// On Windows the file handle; on POSIX the descriptor, cast. hFileNull when closed.
  HANDLE m_hFile;
  /// Whether the destructor closes the file. A successful Open sets it to TRUE.
  BOOL m_bCloseOnDelete;

 protected:
  /// Opens as Open does and throws the exception Open would report.
  /// \throws CFileException* with `m_cause`, `m_lOsError` and `m_strFileName` as Open reports.
  void OpenOrThrow(LPCTSTR fileName, UINT openFlags);
  ///@{
  /// The operating-system operations without the buffering of derived classes. Each throws a
  /// CFileException on failure (`invalidFile` when closed). RawSeek moves without touching the
  /// sticky end.
  void RawWrite(const void* buffer, size_t count);
  size_t RawRead(void* buffer, size_t count);
  ULONGLONG RawSeek(LONGLONG offset, UINT from);
  ULONGLONG RawPosition() const;
  ///@}
  /// Closes the open handle and forgets it and the file name, whatever the system reports.
  /// \throws CFileException* when the system reports an error and throwOnError is true.
  void RawClose(bool throwOnError);
  /// Makes the end sticky or lets it go. Does nothing when closed.
  /// \throws CFileException* on POSIX when the descriptor's flags cannot be changed.
  void SetAppend(bool append);
  /// Throws a CFileException for the Win32 error code osError, naming the open file.
  [[noreturn]] void ThrowOsError(DWORD osError) const;
  /// Whether a file is open.
  // Not through hFileNull, which static objects of other modules may see before it is set.
  bool IsOpen() const { return m_hFile != INVALID_HANDLE_VALUE; }

  /// The full path of the open file (as given when no full path can be made); empty when closed.
  CString m_strFileName;
  /// The flags of the last successful Open (for a CStdioFile without typeText and typeBinary).
  UINT m_nOpenFlags;
  /// Writes go to the end of the file as it is at each write.
  bool m_bAppend;
};

/// The framework's buffered file: CFile with a write buffer, read-ahead, text mode and lines.
///
/// In text mode (the default; typeBinary turns it off) each CR LF read becomes `"\n"` and each
/// `"\n"` written becomes CR LF; a lone CR is kept. Writes are collected and handed to the
/// system by Flush, Close, a seek, SetLength, GetLength or a read, and when the 4096-byte buffer
/// is full. So a write error may surface only in one of those later calls.
class PLINTH_API CStdioFile : public CFile {
 public:
  /// A closed file object in text mode.
  CStdioFile();
  /// Opens as Open does, throwing the CFileException instead of returning FALSE.
  /// \throws CFileException* with `m_cause`, `m_lOsError` and `m_strFileName` as Open reports.
  CStdioFile(LPCTSTR fileName, UINT openFlags);
  /// Closes as Abort does when the file is open and m_bCloseOnDelete is set: the collected
  /// writes are attempted, errors dropped.
  ~CStdioFile() override;

  /// As CFile::Open; text mode unless typeBinary is given. The buffers of an earlier file are
  /// dropped.
  BOOL Open(LPCTSTR fileName, UINT openFlags, CFileException* error = nullptr) override;
  /// Hands the collected writes to the system, then closes.
  ///
  /// When those writes fail the file is still closed and their exception passes on.
  /// \throws CFileException* when the writes or the close fail.
  void Close() override;
  /// Tries the collected writes, then closes; nothing is thrown. Does nothing when closed.
  void Abort() override;

  /// Reads up to count bytes into buffer through the read-ahead; collected writes go to the
  /// system first. In text mode each CR LF read becomes `"\n"` and a lone CR is kept; count
  /// counts the bytes delivered.
  /// \return The bytes delivered, fewer than count only at the end of the file.
  /// \throws CFileException* as CFile::Read.
  UINT Read(void* buffer, UINT count) override;
  /// Collects count bytes (text mode: with CR LF for every `"\n"`).
  ///
  /// The content of one call always reaches the system in one write (with what was collected
  /// before it when both fit in the buffer), so a line written and flushed arrives whole. Bytes
  /// a failed write could not place are dropped, not retried.
  /// \throws CFileException* `accessDenied` for a file opened modeRead, `invalidFile` when
  /// closed, or the error of a system write this call makes.
  void Write(const void* buffer, UINT count) override;
  /// Writes text up to its NUL (text mode: with CR LF for every `"\n"`).
  /// \throws CInvalidArgException* for a null text; CFileException* as Write.
  virtual void WriteString(LPCTSTR text);
  /// The next line without its line end into text.
  ///
  /// A last line without a line end is still a line. In binary mode only `"\n"` ends a line,
  /// so a CR before it stays in text. Embedded NULs are kept.
  /// \return TRUE when a line (possibly empty) was read; FALSE at the end of the file with
  /// nothing read (text is then empty).
  /// \throws CFileException* as Read.
  virtual BOOL ReadString(CString& text);
  /// As fgets: at most maxChars - 1 bytes, up to and including `"\n"`, then a NUL.
  /// \return text; null at the end of the file with nothing read (maxChars 1 gives text, empty).
  /// \throws CInvalidArgException* for a null text or a maxChars of 0; CFileException* as Read.
  virtual LPTSTR ReadString(LPTSTR text, UINT maxChars);

  /// As CFile::Seek, after handing the collected writes to the system and giving back the
  /// read-ahead.
  /// \throws CFileException* as CFile::Seek, or the error of the collected writes.
  ULONGLONG Seek(LONGLONG offset, UINT from) override;
  /// The logical position: collected writes counted, read-ahead not.
  /// \throws CFileException* as CFile::GetPosition.
  ULONGLONG GetPosition() const override;
  /// The length with the collected writes, which go to the system first.
  /// \throws CFileException* as CFile::GetLength, or the error of the collected writes.
  ULONGLONG GetLength() const override;
  /// As CFile::SetLength, after handing the collected writes to the system and giving back
  /// the read-ahead.
  /// \throws CFileException* as CFile::SetLength, or the error of the collected writes.
  void SetLength(ULONGLONG length) override;
  /// Hands the collected writes to the system; unlike CFile::Flush it does not wait for the
  /// disk, which is all that ending the process needs. Does nothing when closed.
  /// \throws CFileException* when the writes fail (the bytes are dropped).
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
