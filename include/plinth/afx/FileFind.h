#pragma once
// The framework's file finder: one search over FindFirstFileA / FindNextFileA at a time, one
// entry ahead, so that FindNextFile can tell that the entry it makes current is the last one.
//
//   CFileFind finder;
//   for (BOOL more = finder.FindFile("C:\\data\\*.txt"); more;) {
//     more = finder.FindNextFile();
//     use(finder.GetFilePath());  // "C:\\data\\a.txt", also for the last entry
//   }
//
// Members that describe the current entry give empty text, 0 or FALSE before the first
// FindNextFile and after Close.

#include <plinth/Export.h>
#include <plinth/afx/Object.h>
#include <plinth/afx/String.h>
#include <plinth/win32.h>

class PLINTH_API CFileFind : public CObject {
 public:
  CFileFind();
  ~CFileFind() override;
  CFileFind(const CFileFind&) = delete;
  CFileFind& operator=(const CFileFind&) = delete;

  // Closes any open search and starts one for the wildcard path name (null: "*.*"); TRUE when
  // an entry matches. On failure the last error is the search's (or ERROR_FILENAME_EXCED_RANGE
  // for a name of MAX_PATH bytes or more, ERROR_INVALID_NAME when no full path can be made).
  virtual BOOL FindFile(const char* name = nullptr, DWORD unused = 0);
  // Makes the next entry current; FALSE when that entry is the last one (it stays valid).
  virtual BOOL FindNextFile();
  void Close();

  // The folder searched: the full path of the name given, cut before its last separator.
  CString GetRoot() const;
  // The root, "\\" unless the root ends in a separator, and the entry's name.
  CString GetFilePath() const;
  CString GetFileName() const;
  // The name without its extension.
  CString GetFileTitle() const;
  ULONGLONG GetLength() const;
  BOOL GetCreationTime(FILETIME* time) const;
  BOOL GetLastAccessTime(FILETIME* time) const;
  BOOL GetLastWriteTime(FILETIME* time) const;

  // The current entry's attributes include any bit of mask.
  BOOL MatchesMask(DWORD mask) const;
  BOOL IsDots() const;
  BOOL IsDirectory() const { return MatchesMask(FILE_ATTRIBUTE_DIRECTORY); }
  BOOL IsReadOnly() const { return MatchesMask(FILE_ATTRIBUTE_READONLY); }
  BOOL IsHidden() const { return MatchesMask(FILE_ATTRIBUTE_HIDDEN); }
  BOOL IsSystem() const { return MatchesMask(FILE_ATTRIBUTE_SYSTEM); }
  BOOL IsArchived() const { return MatchesMask(FILE_ATTRIBUTE_ARCHIVE); }
  BOOL IsNormal() const { return MatchesMask(FILE_ATTRIBUTE_NORMAL); }
  BOOL IsTemporary() const { return MatchesMask(FILE_ATTRIBUTE_TEMPORARY); }
  BOOL IsCompressed() const { return MatchesMask(FILE_ATTRIBUTE_COMPRESSED); }

 protected:
  virtual void CloseContext();

  WIN32_FIND_DATAA* m_pFoundInfo;  // the current entry, null before the first FindNextFile
  WIN32_FIND_DATAA* m_pNextInfo;   // the entry fetched ahead
  HANDLE m_hContext;               // the open search, or null
  BOOL m_bGotLast;                 // the entry ahead was the last one
  CString m_strRoot;
  char m_chDirSeparator;
};

// Which file or folder a path names, links followed: two paths name the same one exactly when
// both calls succeed and give equal identities. Walks of a tree use it to notice a link that
// leads back to a folder they are already in.
struct CFileIdentity {
  ULONGLONG volume;
  ULONGLONG index;
  bool operator==(const CFileIdentity& other) const {
    return volume == other.volume && index == other.index;
  }
  bool operator!=(const CFileIdentity& other) const { return !(*this == other); }
};
// FALSE, with the last error set, when the path cannot be opened.
PLINTH_API BOOL AfxGetFileIdentity(const char* path, CFileIdentity* identity);
