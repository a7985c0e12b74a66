#pragma once
/// \file
/// CKaPath: text operations on paths and command lines, file types and temporary names.

#include <plinth/Export.h>
#include <plinth/afx/String.h>

/// Text operations on paths and command lines. Only FileExists and CreateTmpName look
/// at the file system; the rest work on the text alone. Separators are found with the
/// multibyte-aware searches of CString, so a trail byte 0x5C of a double-byte character is
/// never taken for a backslash.
///
/// Choices made where the behaviour is open:
/// - CreateTmpName names carry the process id and a per-process counter after the prefix and
///   name no file that exists at the time of the call, so concurrent callers in several
///   processes never get the same name; on POSIX the folder is written with backslashes and
///   "c:" put in front of a name that starts with a backslash gives "c:\tmp\pre2a_0", which
///   the platform's file calls take for /tmp/pre2a_0.
class PLINTH_API CKaPath {
 public:
  /// The class holds no state; every member is static.
  CKaPath() = default;
  /// Holds no state, so a copy copies nothing.
  CKaPath(const CKaPath&) = default;
  /// Holds no state, so assignment changes nothing.
  CKaPath& operator=(const CKaPath&) { return *this; }
  /// Does nothing.
  virtual ~CKaPath();

  /// Last component: "C:\dir\file.txt" -> "file.txt" ("file" when stripping the extension);
  /// only backslashes count when the path holds one ("a\b/c" -> "b/c"); 'C:\\dir\\' -> "".
  /// A path without a separator is its own last component.
  static CString Basename(const CString& path, bool stripExtension);
  /// Text after the last "." anywhere in the path ("C:\dir.old\file" -> "old\file"), or ""
  /// when there is no dot. The dot itself is not included.
  static CString GetExtension(CString path);
  /// Whether the path exists and may be read (_access with read mode); folders count.
  static bool FileExists(const CString& path);
  /// Splits a command line into the program and its arguments:
  /// '"C:\Program Files\app.exe" -x' -> 'C:\\Program Files\\app.exe' and ' -x'; 'app -x  -y' ->
  /// 'app' and '-x  -y'; 'app' -> 'app' and ''. An opening quote without a closing one leaves
  /// both outputs unchanged.
  static void SplitCommand(const CString& commandLine, CString& program, CString& arguments);
  /// Replaces each backslash, colon, slash, "*", "?", double quote, "<", ">" and "|" by "_";
  /// with isPath, backslashes and colons stay.
  /// \return the fixed name; the argument is not changed.
  static CString FixFilename(const CString& name, bool isPath);
  /// Joins with one separator when it is one byte long: 'C:\\dir \\' + 'file' -> 'C:\\dir\\file'
  /// (a separator ending first goes, with the white space before it; one starting second
  /// stays). A longer or empty separator is always inserted: "a::" + "b" with "::" -> "a::::b".
  /// An empty first or second gives the other one unchanged.
  static CString ConcatenatePath(const CString& first, const CString& second,
                                 const CString& separator);
  /// Associates extension (".txt") with fileType and stores command as the type's open command
  /// ("fileType\shell\open\command") under HKEY_CLASSES_ROOT. The extension key must exist
  /// already; its default value may be empty, not text, or fileType (any case).
  /// \retval S_OK the association and the command were written.
  /// \retval E_FAIL the extension key is missing, belongs to another type, or a write fails.
  static long RegisterFileType(const CString& extension, const CString& fileType,
                               const CString& command);
  /// A unique temporary file name starting with prefix; the file is not created.
  /// \return the name, or "" when none can be made.
  static CString CreateTmpName(const CString& prefix);
};
