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

// The subfolders of one folder, for the tree walk. It lists what a CFileFind on "dir\\*" lists,
// with the same paths, but asks the system for folders only: where the file system can tell
// without looking at each file (the listing says what every entry is), files then cost
// nothing, and most entries of a tree are files. The hint is advisory, so the attributes are
// still checked.
class SubfolderSearch {
 public:
  explicit SubfolderSearch(const CString& dir) {
    const CString name = CKaPath::ConcatenatePath(dir, "*", kSeparator);
    search_ = ::FindFirstFileExA(name, FindExInfoBasic, &data_, FindExSearchLimitToDirectories,
                                 nullptr, 0);
    if (search_ == INVALID_HANDLE_VALUE) return;
    char full[kLongestName];
    if (_fullpath(full, name, sizeof full) == nullptr) {
      ::FindClose(search_);
      search_ = INVALID_HANDLE_VALUE;
      return;
    }
    root_ = full;
    const int backslash = root_.ReverseFind('\\');
    const int slash = root_.ReverseFind('/');
    const int cut = backslash > slash ? backslash : slash;
    if (cut >= 0) root_ = root_.Left(cut);
    const int length = root_.GetLength();
    if (length == 0 || (root_[length - 1] != '\\' && root_[length - 1] != '/')) root_ += '\\';
    pending_ = true;
  }
  ~SubfolderSearch() {
    if (search_ != INVALID_HANDLE_VALUE) ::FindClose(search_);
  }
  SubfolderSearch(const SubfolderSearch&) = delete;
  SubfolderSearch& operator=(const SubfolderSearch&) = delete;

  // The next folder other than "." and "..": its path and whether it is a link.
  bool Next(CString& path, bool& isLink) {
    while (pending_) {
      const WIN32_FIND_DATAA entry = data_;
      pending_ = ::FindNextFileA(search_, &data_) != FALSE;
      if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) continue;
      const char* name = entry.cFileName;
      if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
      path = root_ + name;
      isLink = (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
      return true;
    }
    return false;
  }

 private:
  HANDLE search_ = INVALID_HANDLE_VALUE;
  WIN32_FIND_DATAA data_;
  CString root_;
  bool pending_ = false;
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
  SubfolderSearch search(dir);
  CString subfolder;
  bool throughLink = false;
  while (search.Next(subfolder, throughLink)) {
    if (includeDirectories) files.SetAtGrow(files.GetSize(), subfolder);

    CFileIdentity identity;
    const bool known = AfxGetFileIdentity(subfolder, &identity) != FALSE;
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
  }
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
