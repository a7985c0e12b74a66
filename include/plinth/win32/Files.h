#pragma once
/// \file
/// File search, attributes and the C runtime's path helpers, as Windows declares them in
/// <windows.h>, <io.h>, <stdio.h> and <stdlib.h>. Included by <plinth/win32.h> on POSIX only.
///
/// On POSIX, paths take `\` and `/` alike as separators, and `c:` (either case) in front of a
/// separator names the root of the file system, so `c:\tmp\x` is `/tmp/x`. A path whose
/// backslashes do not all lead to existing folders is tried with backslashes as part of the
/// names too, so an entry named `a\b` can still be reached: `dir\a\b` finds `dir/a\b` when
/// `dir/a/b` does not exist. Names come back as the file system spells them.

/// The Windows limit on a path in bytes, NUL included. The search calls refuse a name of
/// MAX_PATH bytes or more; the file system itself allows longer paths.
///@{
#define MAX_PATH 260
#define _MAX_PATH 260
///@}

#define ERROR_FILENAME_EXCED_RANGE 206L  ///< A path or command line longer than allowed.
#define ERROR_ENVVAR_NOT_FOUND 203L      ///< No environment variable of that name.
#define ERROR_BAD_PATHNAME 161L          ///< A path of a form that is refused.

/// File attributes. On POSIX an entry gets FILE_ATTRIBUTE_DIRECTORY for a folder, else
/// FILE_ATTRIBUTE_ARCHIVE (plus FILE_ATTRIBUTE_SYSTEM for a device, pipe or socket);
/// FILE_ATTRIBUTE_READONLY when the owner may not write it; FILE_ATTRIBUTE_HIDDEN when its
/// name starts with "." (other than "." and ".."); FILE_ATTRIBUTE_REPARSE_POINT for a symbolic
/// link. The other attributes are never reported.
///@{
#define FILE_ATTRIBUTE_READONLY 0x00000001
#define FILE_ATTRIBUTE_HIDDEN 0x00000002
#define FILE_ATTRIBUTE_SYSTEM 0x00000004
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020
#define FILE_ATTRIBUTE_DEVICE 0x00000040
#define FILE_ATTRIBUTE_NORMAL 0x00000080
#define FILE_ATTRIBUTE_TEMPORARY 0x00000100
#define FILE_ATTRIBUTE_SPARSE_FILE 0x00000200
#define FILE_ATTRIBUTE_REPARSE_POINT 0x00000400
#define FILE_ATTRIBUTE_COMPRESSED 0x00000800
#define FILE_ATTRIBUTE_OFFLINE 0x00001000
#define FILE_ATTRIBUTE_NOT_CONTENT_INDEXED 0x00002000
#define FILE_ATTRIBUTE_ENCRYPTED 0x00004000
///@}
/// What GetFileAttributesA returns on failure.
#define INVALID_FILE_ATTRIBUTES ((DWORD)-1)

/// Reparse tag of a symbolic link, in WIN32_FIND_DATAA::dwReserved0.
#define IO_REPARSE_TAG_SYMLINK 0xA000000CL

/// One entry of a search. Links are reported with the attributes of what they lead to plus
/// FILE_ATTRIBUTE_REPARSE_POINT (dwReserved0 = IO_REPARSE_TAG_SYMLINK); a dangling link is a
/// file of size 0. Names that start with "." (other than "." and "..") are hidden. Linux keeps
/// no birth time here, so ftCreationTime is the status-change time. Names are never given an
/// 8.3 alias: cAlternateFileName is empty.
struct WIN32_FIND_DATAA {
  DWORD dwFileAttributes;       ///< FILE_ATTRIBUTE_... flags (see there for what POSIX gives).
  FILETIME ftCreationTime;      ///< The status-change time: Linux keeps no birth time here.
  FILETIME ftLastAccessTime;    ///< Time of the last access.
  FILETIME ftLastWriteTime;     ///< Time of the last change of the contents.
  DWORD nFileSizeHigh;          ///< High 32 bits of the size; 0 for a folder.
  DWORD nFileSizeLow;           ///< Low 32 bits of the size; 0 for a folder or a dangling link.
  DWORD dwReserved0;            ///< IO_REPARSE_TAG_SYMLINK for a link, else 0.
  DWORD dwReserved1;            ///< Always 0.
  CHAR cFileName[MAX_PATH];     ///< The name as the file system spells it, NUL-terminated.
  CHAR cAlternateFileName[14];  ///< Always empty: there are no 8.3 aliases.
};
/// Pointers to a WIN32_FIND_DATAA.
///@{
typedef WIN32_FIND_DATAA* PWIN32_FIND_DATAA;
typedef WIN32_FIND_DATAA* LPWIN32_FIND_DATAA;
///@}

/// How much FindFirstFileExA reports of each entry: FindExInfoStandard every field,
/// FindExInfoBasic no short name (the same here, where there is none); FindExInfoMaxInfoLevel
/// is no level and is refused with ERROR_INVALID_PARAMETER.
enum FINDEX_INFO_LEVELS { FindExInfoStandard, FindExInfoBasic, FindExInfoMaxInfoLevel };
/// Which entries FindFirstFileExA is asked to report.
enum FINDEX_SEARCH_OPS {
  FindExSearchNameMatch,           ///< Every entry whose name matches.
  FindExSearchLimitToDirectories,  ///< A hint that only folders are wanted (advisory).
  FindExSearchLimitToDevices,      ///< Refused with ERROR_INVALID_PARAMETER.
  FindExSearchMaxSearchOp          ///< Not an operation: refused with ERROR_INVALID_PARAMETER.
};
/// Letters of the name match exactly (FindFirstFileExA).
#define FIND_FIRST_EX_CASE_SENSITIVE 0x00000001
/// Accepted, with no effect on POSIX (FindFirstFileExA).
#define FIND_FIRST_EX_LARGE_FETCH 0x00000002

extern "C" {
/// Starts a search for the entries of one folder that match the last component of fileName.
/// Wildcards as on Windows: "*" any run of bytes, "?" exactly one byte, "*.*" every name, and
/// letters match without regard to case; a last component without wildcards names one entry
/// (found in any case when the exact spelling does not exist). "." and ".." are listed like any
/// other entry. Entries come in the order the file system keeps them. The first match is in
/// *findData; close the handle with FindClose.
/// \return the search handle. Fails with INVALID_HANDLE_VALUE and ERROR_FILENAME_EXCED_RANGE
/// (name of MAX_PATH bytes or more), ERROR_INVALID_NAME (a wildcard before the last component),
/// ERROR_PATH_NOT_FOUND (no such folder, or an empty name), ERROR_ACCESS_DENIED (the folder
/// cannot be read), ERROR_FILE_NOT_FOUND (no entry matches, or the name ends in a separator),
/// ERROR_INVALID_PARAMETER (a null argument) or ERROR_NOT_ENOUGH_MEMORY.
PLINTH_API HANDLE FindFirstFileA(LPCSTR fileName, LPWIN32_FIND_DATAA findData);
/// The same search with options. infoLevel FindExInfoBasic leaves cAlternateFileName empty (it
/// always is here). searchOp FindExSearchLimitToDirectories is advisory, as on Windows: entries
/// that are certainly not folders may be left out, so that they cost no attribute lookup, but
/// callers still check FILE_ATTRIBUTE_DIRECTORY. FIND_FIRST_EX_CASE_SENSITIVE matches letters
/// exactly. searchFilter must be null; other values fail with ERROR_INVALID_PARAMETER.
/// \return as FindFirstFileA; also ERROR_INVALID_PARAMETER for an unknown level, search
/// operation or flag. findData points to a WIN32_FIND_DATAA.
PLINTH_API HANDLE FindFirstFileExA(LPCSTR fileName, FINDEX_INFO_LEVELS infoLevel, LPVOID findData,
                                   FINDEX_SEARCH_OPS searchOp, LPVOID searchFilter,
                                   DWORD additionalFlags);
/// The next matching entry; FALSE with ERROR_NO_MORE_FILES after the last one (and on every
/// later call), ERROR_INVALID_HANDLE for a handle that is not an open search,
/// ERROR_INVALID_PARAMETER for a null findData. An entry removed while the search runs is
/// skipped.
PLINTH_API BOOL FindNextFileA(HANDLE findFile, LPWIN32_FIND_DATAA findData);
/// Ends a search; FALSE with ERROR_INVALID_HANDLE for a handle that is not an open search
/// (one already closed included).
PLINTH_API BOOL FindClose(HANDLE findFile);
/// Attributes of one file or folder (links followed, FILE_ATTRIBUTE_REPARSE_POINT added), or
/// INVALID_FILE_ATTRIBUTES with ERROR_FILE_NOT_FOUND / ERROR_PATH_NOT_FOUND (also for a null or
/// empty name), ERROR_ACCESS_DENIED, ERROR_FILENAME_EXCED_RANGE, ERROR_NOT_ENOUGH_MEMORY, or
/// 1921 (ERROR_CANT_RESOLVE_FILENAME, a loop of links). Letters must match exactly here: no
/// case-insensitive fallback as in FindFirstFileA.
PLINTH_API DWORD GetFileAttributesA(LPCSTR fileName);

/// C runtime: may path be used as asked? mode: 0 existence, 2 write, 4 read, 6 both. 0 when
/// allowed, else -1 (errno set; EINVAL for a null path or another mode). Checked with the real
/// user's rights, as access(2) does.
PLINTH_API int _access(const char* path, int mode);
/// A name for a temporary file that does not exist yet, in a freshly malloc'd buffer, or null.
/// The folder is that of TMP (or TMPDIR) when it exists, else dir when that exists, else /tmp;
/// the name is that folder, `\`, prefix and a suffix made of the process id and a per-process
/// counter, so that callers in live processes never get the same name. The folder is written
/// with `\` separators as on Windows: `\tmp\pre1f2c_0`. prefix may be null. The file is
/// not created, so another process may still take the name. Null with errno ENOMEM, or EEXIST
/// after 1,000 names that all exist; free the result with free().
PLINTH_API char* _tempnam(const char* dir, const char* prefix);
/// The absolute form of path: a relative path is put after the working folder, "." and ".."
/// components are resolved and runs of separators become one; separators and "c:" stay as
/// written. Into absPath (maxLength bytes), or a malloc'd buffer when absPath is null. Null
/// (errno ERANGE) when the result does not fit, (errno EINVAL) for an empty path.
///
/// Nothing is looked up on the disk: links are not resolved and the path need not exist. ".."
/// never climbs above the root. "c:name" without a separator is relative, as a plain name is.
/// The malloc'd buffer (free it with free()) is at least _MAX_PATH and maxLength bytes; its
/// size never makes the call fail.
PLINTH_API char* _fullpath(char* absPath, const char* path, size_t maxLength);
}
