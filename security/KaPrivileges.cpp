// Privileges of access tokens: one privilege at a time, switched on or off.
#include <plinth/KaSecurity.h>

namespace {

// The token access the helpers open with: adjust the privileges and read them.
const DWORD kAdjustAndQuery = TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY;

// The one-entry adjustment record; the platform is told its size, 16 bytes.
TOKEN_PRIVILEGES OneEntry(const LUID& luid, bool enable) {
  TOKEN_PRIVILEGES privileges = {};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Luid = luid;
  privileges.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
  return privileges;
}

}  // namespace

bool CKaSecurity::SetPrivilegeInAccessToken(bool enable, const CString& privilege) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), kAdjustAndQuery, &token)) return false;
  LUID luid = {};
  bool adjusted = false;
  if (LookupPrivilegeValueA(nullptr, privilege, &luid)) {
    TOKEN_PRIVILEGES privileges = OneEntry(luid, enable);
    // The call succeeds also for a privilege the token lacks; only the last error tells.
    AdjustTokenPrivileges(token, FALSE, &privileges, sizeof privileges, nullptr, nullptr);
    adjusted = GetLastError() == ERROR_SUCCESS;
  }
  CloseHandle(token);
  return adjusted;
}

int CKaSecurity::SetPrivilege(void* token, const char* privilege, int enable) {
  LUID luid = {};
  if (!privilege || !LookupPrivilegeValueA(nullptr, privilege, &luid)) return 0;
  TOKEN_PRIVILEGES privileges = OneEntry(luid, enable != 0);
  return AdjustTokenPrivileges(token, FALSE, &privileges, sizeof privileges, nullptr, nullptr);
}

int CKaSecurity::AdjustPrivilege() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), kAdjustAndQuery, &token)) return 0;
  const int result = SetPrivilege(token, "SeTcbPrivilege", TRUE);
  CloseHandle(token);
  return result;
}
