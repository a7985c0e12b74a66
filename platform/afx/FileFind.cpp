// CFileFind over FindFirstFileA / FindNextFileA. The search always runs one entry ahead of the
// current one, which is how FindNextFile can answer "this is the last one" while handing it out.

#include <plinth/afx/FileFind.h>

#include <cstring>
#include <new>

CFileFind::CFileFind()
    : m_pFoundInfo(nullptr),
      m_pNextInfo(nullptr),
      m_hContext(nullptr),
      m_bGotLast(FALSE),
      m_chDirSeparator('\\') {}

CFileFind::~CFileFind() { Close(); }

void CFileFind::Close() {
  delete m_pFoundInfo;
  m_pFoundInfo = nullptr;
  delete m_pNextInfo;
  m_pNextInfo = nullptr;
  if (m_hContext != nullptr) {
    if (m_hContext != INVALID_HANDLE_VALUE) CloseContext();
    m_hContext = nullptr;
  }
  m_bGotLast = FALSE;
}

void CFileFind::CloseContext() { ::FindClose(m_hContext); }

BOOL CFileFind::FindFile(const char* name, DWORD /*unused*/) {
  Close();
  if (name == nullptr) name = "*.*";
  if (std::strlen(name) >= MAX_PATH) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return FALSE;
  }
  m_pNextInfo = new WIN32_FIND_DATAA;
  std::memset(m_pNextInfo, 0, sizeof *m_pNextInfo);
  std::strcpy(m_pNextInfo->cFileName, name);
  m_hContext = ::FindFirstFileA(name, m_pNextInfo);
  if (m_hContext == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    Close();
    SetLastError(error);
    return FALSE;
  }
  char full[MAX_PATH];
  if (_fullpath(full, name, MAX_PATH) == nullptr) {
    Close();
    SetLastError(ERROR_INVALID_NAME);
    return FALSE;
  }
  m_strRoot = full;
  const int cut = m_strRoot.ReverseFind('\\') > m_strRoot.ReverseFind('/')
                      ? m_strRoot.ReverseFind('\\')
                      : m_strRoot.ReverseFind('/');
  if (cut >= 0) m_strRoot = m_strRoot.Left(cut);
  return TRUE;
}

BOOL CFileFind::FindNextFile() {
  if (m_hContext == nullptr || m_pNextInfo == nullptr) return FALSE;
  if (m_bGotLast) {
    // The last entry stays current; there is nothing after it.
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  if (m_pFoundInfo == nullptr) m_pFoundInfo = new WIN32_FIND_DATAA;
  WIN32_FIND_DATAA* swap = m_pFoundInfo;
  m_pFoundInfo = m_pNextInfo;
  m_pNextInfo = swap;
  if (::FindNextFileA(m_hContext, m_pNextInfo)) return TRUE;
  m_bGotLast = TRUE;
  return FALSE;
}

CString CFileFind::GetRoot() const { return m_strRoot; }

CString CFileFind::GetFileName() const {
  return m_pFoundInfo == nullptr ? CString() : CString(m_pFoundInfo->cFileName);
}

CString CFileFind::GetFilePath() const {
  if (m_pFoundInfo == nullptr) return CString();
  CString path = m_strRoot;
  const int length = path.GetLength();
  if (length == 0 || (path[length - 1] != '\\' && path[length - 1] != '/')) path += '\\';
  path += m_pFoundInfo->cFileName;
  return path;
}

CString CFileFind::GetFileTitle() const {
  CString name = GetFileName();
  const int dot = name.ReverseFind('.');
  return dot > 0 ? name.Left(dot) : name;
}

ULONGLONG CFileFind::GetLength() const {
  if (m_pFoundInfo == nullptr) return 0;
  return (static_cast<ULONGLONG>(m_pFoundInfo->nFileSizeHigh) << 32) | m_pFoundInfo->nFileSizeLow;
}

BOOL CFileFind::GetCreationTime(FILETIME* time) const {
  if (m_pFoundInfo == nullptr || time == nullptr) return FALSE;
  *time = m_pFoundInfo->ftCreationTime;
  return TRUE;
}

BOOL CFileFind::GetLastAccessTime(FILETIME* time) const {
  if (m_pFoundInfo == nullptr || time == nullptr) return FALSE;
  *time = m_pFoundInfo->ftLastAccessTime;
  return TRUE;
}

BOOL CFileFind::GetLastWriteTime(FILETIME* time) const {
  if (m_pFoundInfo == nullptr || time == nullptr) return FALSE;
  *time = m_pFoundInfo->ftLastWriteTime;
  return TRUE;
}

BOOL CFileFind::MatchesMask(DWORD mask) const {
  return m_pFoundInfo != nullptr && (m_pFoundInfo->dwFileAttributes & mask) != 0;
}

BOOL CFileFind::IsDots() const {
  if (m_pFoundInfo == nullptr) return FALSE;
  const char* name = m_pFoundInfo->cFileName;
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

#if defined(_WIN32)
// Windows names a file by its volume serial number and file index; opening with backup
// semantics lets a folder be opened too.
BOOL AfxGetFileIdentity(const char* path, CFileIdentity* identity) {
  if (path == nullptr || identity == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  HANDLE file = ::CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return FALSE;
  BY_HANDLE_FILE_INFORMATION info;
  const BOOL ok = ::GetFileInformationByHandle(file, &info);
  const DWORD error = GetLastError();
  ::CloseHandle(file);
  if (!ok) {
    SetLastError(error);
    return FALSE;
  }
  identity->volume = info.dwVolumeSerialNumber;
  identity->index = (static_cast<ULONGLONG>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return TRUE;
}
#endif
