#pragma once
/// \file
/// The framework's file finder CFileFind, and file identities (CFileIdentity,
/// AfxGetFileIdentity).

#include <plinth/Export.h>
#include <plinth/afx/Object.h>
#include <plinth/afx/String.h>
#include <plinth/win32.h>

/// The framework's file finder: one search over FindFirstFileA / FindNextFileA at a time, one
/// entry ahead, so that FindNextFile can tell that the entry it makes current is the last one.
///
/// \code
///   CFileFind finder;
///   for (BOOL more = finder.FindFile("C:\\data\\*.txt"); more;) {
///     more = finder.FindNextFile();
///     use(finder.GetFilePath());  // "C:\\data\\a.txt", also for the last entry
///   }
/// \endcode
///
/// Members that describe the current entry give empty text, 0 or FALSE before the first
/// FindNextFile and after Close. Entries come in the order the file system reports them;
/// nothing is sorted, and "." and ".." are entries like the others (see IsDots).
class PLINTH_API CFileFind : public CObject {
 public:
  /// A finder with no search and no current entry.
  CFileFind();
  /// Closes the search.
  ~CFileFind() override;
  CFileFind(const CFileFind&) = delete;
  CFileFind& operator=(const CFileFind&) = delete;

  /// Closes any open search and starts one for the wildcard path name (null: "*.*").
  ///
  /// No entry is current yet: the first FindNextFile makes the first one current. unused is
  /// ignored.
  /// \return TRUE when an entry matches. On failure FALSE, with the last error of the search
  /// (ERROR_FILE_NOT_FOUND when nothing matches, ERROR_PATH_NOT_FOUND for a missing folder,
  /// …), or ERROR_FILENAME_EXCED_RANGE for a name of MAX_PATH bytes or more,
  /// ERROR_INVALID_NAME when no full path can be made; no search is then open.
  virtual BOOL FindFile(const char* name = nullptr, DWORD unused = 0);
  /// Makes the next entry current; FALSE when that entry is the last one (it stays valid).
  ///
  /// Once the last entry is current, further calls return FALSE with the last error
  /// ERROR_NO_MORE_FILES and leave it current. Without an open search (no FindFile, a failed
  /// one, or after Close) the call returns FALSE and leaves the last error alone.
  virtual BOOL FindNextFile();
  /// Ends the search and forgets its entries; a closed finder may be closed again.
  void Close();

  /// The folder searched: the full path of the name given, cut before its last separator.
  ///
  /// That of the last successful FindFile, kept after Close and a failed FindFile; empty
  /// before the first.
  CString GetRoot() const;
  /// The root, a backslash unless the root ends in a separator (backslash or slash), and the
  /// entry's name.
  CString GetFilePath() const;
  /// The current entry's name, without folder.
  CString GetFileName() const;
  /// The name without its extension (cut at the last dot, unless the name starts with it:
  /// ".profile" stays whole).
  CString GetFileTitle() const;
  /// The current entry's size in bytes.
  ULONGLONG GetLength() const;
  ///@{
  /// Copies a time stamp of the current entry into time. On POSIX the creation time is the
  /// time of the last status change.
  /// \return FALSE, time untouched, when no entry is current or time is null.
  BOOL GetCreationTime(FILETIME* time) const;
  BOOL GetLastAccessTime(FILETIME* time) const;
  BOOL GetLastWriteTime(FILETIME* time) const;
  ///@}

  /// The current entry's attributes include any bit of mask (FILE_ATTRIBUTE_…).
  BOOL MatchesMask(DWORD mask) const;
  /// The current entry is "." or "..".
  BOOL IsDots() const;
  // Each of the following is MatchesMask with one attribute bit, FALSE when no entry is current.
  /// The current entry is a folder (FILE_ATTRIBUTE_DIRECTORY).
  BOOL IsDirectory() const { return MatchesMask(FILE_ATTRIBUTE_DIRECTORY); }
  /// FILE_ATTRIBUTE_READONLY; on POSIX: the owner may not write the entry.
  BOOL IsReadOnly() const { return MatchesMask(FILE_ATTRIBUTE_READONLY); }
  /// FILE_ATTRIBUTE_HIDDEN; on POSIX: the name starts with a dot (but is not "." or "..").
  BOOL IsHidden() const { return MatchesMask(FILE_ATTRIBUTE_HIDDEN); }
  /// FILE_ATTRIBUTE_SYSTEM; on POSIX: a device, pipe or socket.
  BOOL IsSystem() const { return MatchesMask(FILE_ATTRIBUTE_SYSTEM); }
  /// FILE_ATTRIBUTE_ARCHIVE; on POSIX: every entry that is not a folder.
  BOOL IsArchived() const { return MatchesMask(FILE_ATTRIBUTE_ARCHIVE); }
  /// FILE_ATTRIBUTE_NORMAL, which the system sets only for an entry without any other
  /// attribute; never on POSIX.
  BOOL IsNormal() const { return MatchesMask(FILE_ATTRIBUTE_NORMAL); }
  /// FILE_ATTRIBUTE_TEMPORARY; never on POSIX.
  BOOL IsTemporary() const { return MatchesMask(FILE_ATTRIBUTE_TEMPORARY); }
  /// FILE_ATTRIBUTE_COMPRESSED; never on POSIX.
  BOOL IsCompressed() const { return MatchesMask(FILE_ATTRIBUTE_COMPRESSED); }

 protected:
  /// Closes the system search m_hContext (FindClose); Close calls it only for a valid handle.
  virtual void CloseContext();

  WIN32_FIND_DATAA* m_pFoundInfo;  ///< the current entry, null before the first FindNextFile
  WIN32_FIND_DATAA* m_pNextInfo;   ///< the entry fetched ahead
  HANDLE m_hContext;               ///< the open search, or null
  BOOL m_bGotLast;                 ///< the entry ahead was the last one
  /// The folder searched, as GetRoot gives it.
  CString m_strRoot;
  /// The separator the finder would put between folder names: a backslash.
  char m_chDirSeparator;
};

/// Which file or folder a path names, links followed: two paths name the same one exactly when
/// both calls succeed and give equal identities. Walks of a tree use it to notice a link that
/// leads back to a folder they are already in.
struct CFileIdentity {
  ULONGLONG volume;  ///< Windows: the volume serial number; POSIX: the device number.
  ULONGLONG index;   ///< Windows: the file index; POSIX: the inode number.
  /// Same volume and same index: the same file or folder.
  bool operator==(const CFileIdentity& other) const {
    return volume == other.volume && index == other.index;
  }
  /// Not the same file or folder.
  bool operator!=(const CFileIdentity& other) const { return !(*this == other); }
};
/// Fills identity with the identity of the file or folder path names (links followed).
/// \return TRUE on success. FALSE, with the last error set, when the path cannot be opened
/// (ERROR_INVALID_PARAMETER for a null path or identity); identity is then untouched.
PLINTH_API BOOL AfxGetFileIdentity(const char* path, CFileIdentity* identity);
