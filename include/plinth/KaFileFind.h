#pragma once
/// \file
/// CKaFileFind: the entries of a folder, step by step, through a callback, or as arrays.

#include <plinth/Export.h>
#include <plinth/afx/Array.h>
#include <plinth/afx/FileFind.h>
#include <plinth/afx/String.h>

/// The entries of a folder step by step (Enum, GetNext), through a callback (Iterate), or as
/// arrays of paths of one folder (FindFiles) or a whole tree (FindFilesRecursive). Folder and
/// pattern are joined with CKaPath::ConcatenatePath and a backslash; an empty pattern means
/// "*". Entries come in the order the file system gives them.
///
/// Choices made where the behaviour is open:
/// - FindFilesRecursive does not descend into a folder that is already on the path from the
///   starting folder (a link or mount leading back into the tree): it is listed, but nothing
///   below it. A folder reached through a link is walked only if no folder with the same
///   identity has been walked before in this call, so links that lead out of the tree, or to
///   each other, add each folder's content at most once more than the tree itself holds.
///   For "dir\loop" leading to "dir": "dir\loop" is listed, "dir\loop\..." never.
///
/// Paths come back full (the folder made absolute), with names as the file system spells them.
/// Pattern matching follows Windows rules ("*", "?", "*.*" matches every name, letters match
/// without regard to case). An empty dir gives nothing. No member throws for a missing or
/// unreadable folder: it simply yields no entries.
class PLINTH_API CKaFileFind : public CFileFind {
 public:
  /// The kind of entry Enum and Iterate deliver. A fixed underlying type, so that any int a
  /// host passes is a value of the type.
  enum EIteratorType : int {
    eDirectories = 0,  ///< folders other than "." and ".."
    eFiles = 1,        ///< everything that is not a folder; so is every other value
  };

  /// No enumeration running: GetNext answers 0 until Enum finds an entry.
  CKaFileFind();
  /// Ends any search the object still holds.
  ~CKaFileFind() override;

  /// Starts an enumeration of the entries of dir that match pattern (empty: "*"); read them
  /// with GetNext. \return nonzero when an entry matches (of any kind; GetNext may still find
  /// none of the kind asked for), 0 otherwise. An empty dir returns 0 and leaves a running
  /// enumeration untouched.
  int Enum(const CString& dir, CString pattern, EIteratorType type);
  /// Delivers the full path of the next entry of the kind Enum asked for.
  /// \return 1 with path set; 0 when there is none left (path untouched), also before Enum.
  int GetNext(CString& path);
  /// Enum, then the callback for every path until it returns 0 (which stops the walk).
  /// \return the result of Enum; 0 for an empty dir or a null callback (nothing called).
  int Iterate(const CString& dir, CString pattern,
              int (*callback)(const CString& path, void* context), void* context,
              EIteratorType type);
  /// Appends the full paths of the entries of dir that match pattern (empty: "*") and are not
  /// folders; what files held stays in front. An empty dir or a failed search appends nothing.
  void FindFiles(const CString& dir, CString pattern, CStringArray& files);
  /// Pre-order over the tree below dir: the matching files of a folder (when includeFiles), then
  /// each subfolder (whatever its name; listed when includeDirectories) followed by what lies
  /// below it. Appends to files; an empty dir appends nothing.
  void FindFilesRecursive(const CString& dir, CString pattern, CStringArray& files,
                          bool includeFiles, bool includeDirectories);

  /// The base search for a name of at most 260 bytes: a longer one fails with
  /// ERROR_FILENAME_EXCED_RANGE, one without a full path with ERROR_INVALID_NAME, a failed
  /// search with the system's code (ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ...), each set
  /// through SetLastError. Null searches "*". A search the object held before is ended first.
  /// \return TRUE when an entry was found (read it with FindNextFile); FALSE otherwise.
  BOOL FindFile(const char* name = nullptr, DWORD reserved = 0) override;

 private:
  struct WalkState;
  void Walk(const CString& dir, const CString& pattern, CStringArray& files, bool includeFiles,
            bool includeDirectories, WalkState& state);

  int m_more;
  CFileFind m_finder;
  EIteratorType m_iteratorType;
};
