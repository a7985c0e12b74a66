#pragma once
// File search, attributes and the C runtime's path helpers, as Windows declares them in
// <windows.h>, <io.h>, <stdio.h> and <stdlib.h>.
//
// On POSIX, paths take "\\" and "/" alike as separators, and "c:" (either case) in front of a
// separator names the root of the file system, so "c:\\tmp\\x" is "/tmp/x". A path whose
// backslashes do not all lead to existing folders is tried with backslashes as part of the
// names too, so an entry named "a\\b" can still be reached: "dir\\a\\b" finds "dir/a\\b" when
// "dir/a/b" does not exist.

#define MAX_PATH 260
#define _MAX_PATH 260

#define ERROR_FILENAME_EXCED_RANGE 206L
#define ERROR_ENVVAR_NOT_FOUND 203L
#define ERROR_BAD_PATHNAME 161L

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
#define INVALID_FILE_ATTRIBUTES ((DWORD)-1)

#define IO_REPARSE_TAG_SYMLINK 0xA000000CL

// One entry of a search. Links are reported with the attributes of what they lead to plus
// FILE_ATTRIBUTE_REPARSE_POINT (dwReserved0 = IO_REPARSE_TAG_SYMLINK); a dangling link is a
// file of size 0. Names that start with "." (other than "." and "..") are hidden. Linux keeps
// no birth time here, so ftCreationTime is the status-change time. Names are never given an
// 8.3 alias: cAlternateFileName is empty.
struct WIN32_FIND_DATAA {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwReserved0;
  DWORD dwReserved1;
  CHAR cFileName[MAX_PATH];
  CHAR cAlternateFileName[14];
};
typedef WIN32_FIND_DATAA* PWIN32_FIND_DATAA;
typedef WIN32_FIND_DATAA* LPWIN32_FIND_DATAA;

enum FINDEX_INFO_LEVELS { FindExInfoStandard, FindExInfoBasic, FindExInfoMaxInfoLevel };
enum FINDEX_SEARCH_OPS {
  FindExSearchNameMatch,
  FindExSearchLimitToDirectories,
  FindExSearchLimitToDevices,
  FindExSearchMaxSearchOp
};
#define FIND_FIRST_EX_CASE_SENSITIVE 0x00000001
#define FIND_FIRST_EX_LARGE_FETCH 0x00000002

extern "C" {
// Starts a search for the entries of one folder that match the last component of fileName.
// Wildcards as on Windows: "*" any run of bytes, "?" exactly one byte, "*.*" every name, and
// letters match without regard to case; a last component without wildcards names one entry
// (found in any case when the exact spelling does not exist). "." and ".." are listed like any
// other entry. Entries come in the order the file system keeps them.
// Fails with INVALID_HANDLE_VALUE and ERROR_FILENAME_EXCED_RANGE (name of MAX_PATH bytes or
// more), ERROR_INVALID_NAME (a wildcard before the last component), ERROR_PATH_NOT_FOUND (no
// such folder), ERROR_ACCESS_DENIED (the folder cannot be read) or ERROR_FILE_NOT_FOUND (no
// entry matches, or the name ends in a separator).
PLINTH_API HANDLE FindFirstFileA(LPCSTR fileName, LPWIN32_FIND_DATAA findData);
// The same search with options. infoLevel FindExInfoBasic leaves cAlternateFileName empty (it
// always is here). searchOp FindExSearchLimitToDirectories is advisory, as on Windows: entries
// that are certainly not folders may be left out, so that they cost no attribute lookup, but
// callers still check FILE_ATTRIBUTE_DIRECTORY. FIND_FIRST_EX_CASE_SENSITIVE matches letters
// exactly. searchFilter must be null; other values fail with ERROR_INVALID_PARAMETER.
PLINTH_API HANDLE FindFirstFileExA(LPCSTR fileName, FINDEX_INFO_LEVELS infoLevel, LPVOID findData,
                                   FINDEX_SEARCH_OPS searchOp, LPVOID searchFilter,
                                   DWORD additionalFlags);
// The next matching entry; FALSE with ERROR_NO_MORE_FILES after the last one.
PLINTH_API BOOL FindNextFileA(HANDLE findFile, LPWIN32_FIND_DATAA findData);
// Ends a search; FALSE with ERROR_INVALID_HANDLE for a handle that is not an open search.
PLINTH_API BOOL FindClose(HANDLE findFile);
// Attributes of one file or folder (links followed, FILE_ATTRIBUTE_REPARSE_POINT added), or
// INVALID_FILE_ATTRIBUTES with ERROR_FILE_NOT_FOUND / ERROR_PATH_NOT_FOUND.
PLINTH_API DWORD GetFileAttributesA(LPCSTR fileName);

// C runtime. mode: 0 existence, 2 write, 4 read, 6 both. 0 when allowed, else -1 (errno set).
PLINTH_API int _access(const char* path, int mode);
// A name for a temporary file that does not exist yet, in a freshly malloc'd buffer, or null.
// The folder is that of TMP (or TMPDIR) when it exists, else dir when that exists, else /tmp;
// the name is that folder, "\\", prefix and a suffix made of the process id and a per-process
// counter, so that callers in live processes never get the same name. The folder is written
// with "\\" separators as on Windows: "\\tmp\\pre1f2c_0".
PLINTH_API char* _tempnam(const char* dir, const char* prefix);
// The absolute form of path: a relative path is put after the working folder, "." and ".."
// components are resolved and runs of separators become one; separators and "c:" stay as
// written. Into absPath (maxLength bytes), or a malloc'd buffer when absPath is null. Null
// (errno ERANGE) when the result does not fit, (errno EINVAL) for an empty path.
PLINTH_API char* _fullpath(char* absPath, const char* path, size_t maxLength);
}
