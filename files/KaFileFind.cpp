// CKaFileFind: folder enumeration over the framework's finder. FindFiles and the tree walk use
// a finder of their own on the stack and never touch the object's fields.

#include <plinth/KaFileFind.h>
#include <plinth/KaPath.h>
#include <plinth/win32.h>

#include <cstring>
#include <functional>
#include <unordered_set>
#include <vector>

namespace {

const char kSeparator[] = "\\";
constexpr int kLongestName = 260;

CString PatternOrAll(const CString& pattern) { return pattern.IsEmpty() ? CString("*") : pattern; }

struct IdentityHash {
  std::size_t operator()(const CFileIdentity& identity) const {
    return std::hash<ULONGLONG>()(identity.index * 1000003u ^ identity.volume);
  }
};

}  // namespace

// What the tree walk remembers: the folders on the path from the start (to stop at a link
// back into the tree) and every folder walked (so that a link is followed once per folder).
struct CKaFileFind::WalkState {
  std::vector<CFileIdentity> ancestors;
  std::unordered_set<CFileIdentity, IdentityHash> walked;
};

CKaFileFind::CKaFileFind() : m_more(FALSE), m_iteratorType(eFiles) {}

CKaFileFind::~CKaFileFind() = default;

int CKaFileFind::Enum(const CString& dir, CString pattern, EIteratorType type) {
  if (dir.IsEmpty()) return 0;
  m_iteratorType = type;
  m_more = m_finder.FindFile(CKaPath::ConcatenatePath(dir, PatternOrAll(pattern), kSeparator));
  return m_more;
}

int CKaFileFind::GetNext(CString& path) {
  if (!m_more) return 0;
  for (;;) {
    m_more = m_finder.FindNextFile();
    const bool isDirectory = m_finder.MatchesMask(FILE_ATTRIBUTE_DIRECTORY) != FALSE;
    const bool qualifies =
        m_iteratorType == eDirectories ? isDirectory && !m_finder.IsDots() : !isDirectory;
    if (qualifies) {
      path = m_finder.GetFilePath();
      return 1;
    }
    if (!m_more) return 0;
  }
}

int CKaFileFind::Iterate(const CString& dir, CString pattern,
                         int (*callback)(const CString& path, void* context), void* context,
                         EIteratorType type) {
  if (dir.IsEmpty() || callback == nullptr) return 0;
  const int started = Enum(dir, pattern, type);
  if (started == 0) return 0;
  CString path;
  while (GetNext(path)) {
    if (callback(path, context) == 0) break;
  }
  return started;
}

void CKaFileFind::FindFiles(const CString& dir, CString pattern, CStringArray& files) {
  if (dir.IsEmpty()) return;
  CFileFind finder;
  if (!finder.FindFile(CKaPath::ConcatenatePath(dir, PatternOrAll(pattern), kSeparator))) {
    finder.Close();
    return;
  }
  BOOL more;
  do {
    more = finder.FindNextFile();
    if (!finder.MatchesMask(FILE_ATTRIBUTE_DIRECTORY))
      files.SetAtGrow(files.GetSize(), finder.GetFilePath());
  } while (more);
  finder.Close();
}

void CKaFileFind::FindFilesRecursive(const CString& dir, CString pattern, CStringArray& files,
                                     bool includeFiles, bool includeDirectories) {
  if (dir.IsEmpty()) return;
  WalkState state;
  CFileIdentity start;
  if (AfxGetFileIdentity(dir, &start)) {
    state.ancestors.push_back(start);
    state.walked.insert(start);
  }
  Walk(dir, PatternOrAll(pattern), files, includeFiles, includeDirectories, state);
}

void CKaFileFind::Walk(const CString& dir, const CString& pattern, CStringArray& files,
                       bool includeFiles, bool includeDirectories, WalkState& state) {
  if (includeFiles) FindFiles(dir, pattern, files);
  CFileFind finder;
  if (!finder.FindFile(CKaPath::ConcatenatePath(dir, "*", kSeparator))) {
    finder.Close();
    return;
  }
  BOOL more;
  do {
    more = finder.FindNextFile();
    if (!finder.MatchesMask(FILE_ATTRIBUTE_DIRECTORY) || finder.IsDots()) continue;
    const CString subfolder = finder.GetFilePath();
    if (includeDirectories) files.SetAtGrow(files.GetSize(), subfolder);

    CFileIdentity identity;
    const bool known = AfxGetFileIdentity(subfolder, &identity) != FALSE;
    const bool throughLink = finder.MatchesMask(FILE_ATTRIBUTE_REPARSE_POINT) != FALSE;
    if (known) {
      bool onPath = false;
      for (const CFileIdentity& ancestor : state.ancestors) onPath = onPath || ancestor == identity;
      if (onPath) continue;
      if (!state.walked.insert(identity).second && throughLink) continue;
      state.ancestors.push_back(identity);
    } else if (throughLink) {
      continue;  // cannot tell where it leads, so it cannot be told apart from a loop
    }
    Walk(subfolder, pattern, files, includeFiles, includeDirectories, state);
    if (known) state.ancestors.pop_back();
  } while (more);
  finder.Close();
}

BOOL CKaFileFind::FindFile(const char* name, DWORD /*reserved*/) {
  if (name != nullptr && std::strlen(name) > static_cast<std::size_t>(kLongestName)) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    Close();
    return FALSE;
  }
  Close();
  if (name == nullptr) name = "*";
  m_pNextInfo = new WIN32_FIND_DATAA;
  std::memset(m_pNextInfo, 0, sizeof *m_pNextInfo);
  // The record's name field holds MAX_PATH bytes; a name of exactly 260 bytes is cut there and
  // the search itself refuses it.
  std::strncpy(m_pNextInfo->cFileName, name, MAX_PATH - 1);
  m_hContext = ::FindFirstFileA(name, m_pNextInfo);
  if (m_hContext == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    Close();
    SetLastError(error);
    return FALSE;
  }
  char full[kLongestName];
  if (_fullpath(full, name, sizeof full) == nullptr) {
    Close();
    SetLastError(ERROR_INVALID_NAME);
    return FALSE;
  }
  CString root(full);
  const int backslash = root.ReverseFind('\\');
  const int slash = root.ReverseFind('/');
  const int cut = backslash > slash ? backslash : slash;
  if (cut >= 0) root = root.Left(cut);
  m_strRoot = root;
  return TRUE;
}
