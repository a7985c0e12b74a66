#pragma once
// CKaPath: text operations on paths and command lines. Only FileExists and CreateTmpName look
// at the file system; the rest work on the text alone. Separators are found with the
// multibyte-aware searches of CString, so a trail byte 0x5C of a double-byte character is
// never taken for a backslash.
//
// Choices made where the behaviour is open:
//  - CreateTmpName names carry the process id and a per-process counter after the prefix and
//    name no file that exists at the time of the call, so concurrent callers in several
//    processes never get the same name; on POSIX the folder is written with backslashes and
//    the "c:" rule gives "c:\tmp\pre2a_0", which the platform's file calls take for /tmp/pre2a_0.

#include <plinth/Export.h>
#include <plinth/afx/String.h>

class PLINTH_API CKaPath {
 public:
  CKaPath() = default;
  CKaPath(const CKaPath&) = default;
  CKaPath& operator=(const CKaPath&) { return *this; }
  virtual ~CKaPath();

  // Last component: "C:\dir\file.txt" -> "file.txt" ("file" when stripping the extension);
  // only backslashes count when the path holds one ("a\b/c" -> "b/c"); "C:\dir\" -> "".
  static CString Basename(const CString& path, bool stripExtension);
  // Text after the last "." anywhere in the path ("C:\dir.old\file" -> "old\file"), or "".
  static CString GetExtension(CString path);
  // The path exists and may be read (_access with read mode).
  static bool FileExists(const CString& path);
  // '"C:\Program Files\app.exe" -x' -> 'C:\Program Files\app.exe' and ' -x'; 'app -x  -y' ->
  // 'app' and '-x  -y'. An opening quote without a closing one leaves both outputs unchanged.
  static void SplitCommand(const CString& commandLine, CString& program, CString& arguments);
  // Replaces \ : / * ? " < > | by "_"; with isPath, "\" and ":" stay.
  static CString FixFilename(const CString& name, bool isPath);
  // Joins with one separator when it is one byte long: "C:\dir \" + "file" -> "C:\dir\file".
  // A longer or empty separator is always inserted: "a::" + "b" with "::" -> "a::::b".
  static CString ConcatenatePath(const CString& first, const CString& second,
                                 const CString& separator);
  // Associates extension (".txt") with fileType and stores command as the type's open command
  // under HKEY_CLASSES_ROOT. S_OK, or E_FAIL when the extension key is missing, belongs to
  // another type, or a write fails.
  static long RegisterFileType(const CString& extension, const CString& fileType,
                               const CString& command);
  // A unique temporary file name starting with prefix, or "" when none can be made.
  static CString CreateTmpName(const CString& prefix);
};
