// CKaPath: path and command-line text. Everything here works on bytes of the process's code
// page through CString's multibyte-aware searches; only FileExists and CreateTmpName reach the
// runtime library.

#include <plinth/KaPath.h>
#include <plinth/KaString.h>
#include <plinth/RegVal.h>
#include <plinth/Registry.h>
#include <plinth/win32.h>

#include <cstdlib>

namespace {

// Characters a file name must not hold, in the order they are replaced. A full path keeps the
// first two (its folder separators and the drive colon).
const char* const kForbiddenInNames[] = {"\\", ":", "/", "*", "?", "\"", "<", ">", "|"};
constexpr int kFirstForbiddenInPaths = 2;

}  // namespace

CKaPath::~CKaPath() = default;

CString CKaPath::Basename(const CString& path, bool stripExtension) {
  CString work = path;
  int separator = work.ReverseFind('\\');
  if (separator < 0) separator = work.ReverseFind('/');
  CString base;
  if (separator < 0) {
    base = work;
  } else {
    // The position was found before trimming: a path that ends in a separator has no base.
    work.TrimRight("/\\");
    base = work.Right(work.GetLength() - separator - 1);
  }
  if (stripExtension) {
    const int dot = base.ReverseFind('.');
    if (dot >= 0) base = base.Left(dot);
  }
  return base;
}

CString CKaPath::GetExtension(CString path) {
  const int dot = path.ReverseFind('.');
  return dot < 0 ? CString() : path.Mid(dot + 1);
}

bool CKaPath::FileExists(const CString& path) { return _access(path, 4) == 0; }

void CKaPath::SplitCommand(const CString& commandLine, CString& program, CString& arguments) {
  if (!commandLine.IsEmpty() && commandLine[0] == '"') {
    const int closing = commandLine.Find('"', 1);
    if (closing < 0) return;
    program = commandLine.Mid(1, closing - 1);
    arguments = commandLine.Mid(closing + 1);
    return;
  }
  const int space = commandLine.Find(' ');
  if (space < 0) {
    program = commandLine;
    arguments.Empty();
    return;
  }
  program = commandLine.Left(space);
  arguments = commandLine.Mid(space + 1);
}

CString CKaPath::FixFilename(const CString& name, bool isPath) {
  CKaString fixed(name);
  const int count = static_cast<int>(sizeof kForbiddenInNames / sizeof kForbiddenInNames[0]);
  for (int i = isPath ? kFirstForbiddenInPaths : 0; i < count; ++i)
    fixed.FindReplace(kForbiddenInNames[i], "_", true);
  return fixed;
}

CString CKaPath::ConcatenatePath(const CString& first, const CString& second,
                                 const CString& separator) {
  if (second.IsEmpty()) return first;
  if (first.IsEmpty()) return second;
  CString head = first;
  if (separator.GetLength() == 1) {
    const char mark = separator[0];
    if (head[head.GetLength() - 1] == mark) {
      // The separator goes, and with it any white space written before it.
      head.SetAt(head.GetLength() - 1, ' ');
      head.TrimRight();
    }
    if (second[0] == mark) return head + second;
  }
  return head + separator + second;
}

long CKaPath::RegisterFileType(const CString& extension, const CString& fileType,
                               const CString& command) {
  CRegistry classes(HKEY_CLASSES_ROOT);
  CRegVal current;
  // The extension must have been made known already; it is never created here.
  if (!classes.LoadKey(extension, "", current, true)) return E_FAIL;
  // A default value that is not text names no type, so it does not stand in the way.
  CString owner;
  current.GetValue(owner);
  if (!owner.IsEmpty() && owner.CompareNoCase(fileType) != 0) return E_FAIL;
  if (!classes.SaveKey(extension, "", fileType)) return E_FAIL;
  const CString commandKey = ConcatenatePath(fileType, "shell\\open\\command", "\\");
  return classes.SaveKey(commandKey, "", command) ? S_OK : E_FAIL;
}

CString CKaPath::CreateTmpName(const CString& prefix) {
  char* made = _tempnam(nullptr, prefix);
  if (made == nullptr) return CString();
  CString name;
  if (made[0] == '\\') {
    name.Format("c:%s", made);
  } else {
    name = made;
  }
  std::free(made);
  return FixFilename(name, true);
}
