// Process tokens and privileges over Linux capabilities. A token handle is an entry in a small
// table (the access it was opened with); the privileges it speaks for are the capabilities of
// the calling thread, read and changed through libcap at each call.
#include <strings.h>
#include <sys/capability.h>

#include <plinth/win32.h>

#include "platform/posix/Handles.h"

#include <cstdint>
#include <cstring>
#include <mutex>
#include <vector>

namespace {

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

constexpr int kNoCapability = -1;

struct Privilege {
  const char* name;
  DWORD luid;
  int capability;
};

#ifdef CAP_PERFMON
constexpr int kProfiling = CAP_PERFMON;
#else
constexpr int kProfiling = CAP_SYS_ADMIN;
#endif

// clang-format off
const Privilege kPrivileges[] = {
    {SE_CREATE_TOKEN_NAME,           2,  CAP_SETUID},
    {SE_ASSIGNPRIMARYTOKEN_NAME,     3,  CAP_SETUID},
    {SE_LOCK_MEMORY_NAME,            4,  CAP_IPC_LOCK},
    {SE_INCREASE_QUOTA_NAME,         5,  CAP_SYS_RESOURCE},
    {SE_MACHINE_ACCOUNT_NAME,        6,  CAP_SYS_ADMIN},
    {SE_TCB_NAME,                    7,  CAP_SYS_ADMIN},
    {SE_SECURITY_NAME,               8,  CAP_AUDIT_CONTROL},
    {SE_TAKE_OWNERSHIP_NAME,         9,  CAP_CHOWN},
    {SE_LOAD_DRIVER_NAME,            10, CAP_SYS_MODULE},
    {SE_SYSTEM_PROFILE_NAME,         11, kProfiling},
    {SE_SYSTEMTIME_NAME,             12, CAP_SYS_TIME},
    {SE_PROF_SINGLE_PROCESS_NAME,    13, kProfiling},
    {SE_INC_BASE_PRIORITY_NAME,      14, CAP_SYS_NICE},
    {SE_CREATE_PAGEFILE_NAME,        15, CAP_SYS_ADMIN},
    {SE_CREATE_PERMANENT_NAME,       16, CAP_SYS_ADMIN},
    {SE_BACKUP_NAME,                 17, CAP_DAC_READ_SEARCH},
    {SE_RESTORE_NAME,                18, CAP_DAC_OVERRIDE},
    {SE_SHUTDOWN_NAME,               19, CAP_SYS_BOOT},
    {SE_DEBUG_NAME,                  20, CAP_SYS_PTRACE},
    {SE_AUDIT_NAME,                  21, CAP_AUDIT_WRITE},
    {SE_SYSTEM_ENVIRONMENT_NAME,     22, CAP_SYS_ADMIN},
    {SE_CHANGE_NOTIFY_NAME,          23, kNoCapability},
    {SE_REMOTE_SHUTDOWN_NAME,        24, CAP_SYS_BOOT},
    {SE_UNDOCK_NAME,                 25, CAP_SYS_ADMIN},
    {SE_SYNC_AGENT_NAME,             26, CAP_SYS_ADMIN},
    {SE_ENABLE_DELEGATION_NAME,      27, CAP_SYS_ADMIN},
    {SE_MANAGE_VOLUME_NAME,          28, CAP_SYS_ADMIN},
    {SE_IMPERSONATE_NAME,            29, CAP_SETUID},
    {SE_CREATE_GLOBAL_NAME,          30, CAP_IPC_OWNER},
    {SE_TRUSTED_CREDMAN_ACCESS_NAME, 31, CAP_SYS_ADMIN},
    {SE_RELABEL_NAME,                32, CAP_MAC_ADMIN},
    {SE_INC_WORKING_SET_NAME,        33, CAP_IPC_LOCK},
    {SE_TIME_ZONE_NAME,              34, CAP_SYS_TIME},
    {SE_CREATE_SYMBOLIC_LINK_NAME,   35, kNoCapability},
};
// clang-format on

const Privilege* FindByLuid(const LUID& luid) {
  if (luid.HighPart != 0) return nullptr;
  for (const Privilege& p : kPrivileges)
    if (p.luid == luid.LowPart) return &p;
  return nullptr;
}

// Token handles: small tagged numbers, far from any address, indexing the table of the access
// each was opened with (0 = free slot).
constexpr uintptr_t kTokenTag = 0x70C0000;
std::mutex g_tokensLock;
std::vector<DWORD> g_tokens;

HANDLE TokenHandle(size_t index) { return reinterpret_cast<HANDLE>(kTokenTag + index * 4); }

bool TokenAccess(HANDLE handle, DWORD& access) {
  const uintptr_t value = reinterpret_cast<uintptr_t>(handle);
  if (value < kTokenTag || (value - kTokenTag) % 4 != 0) return false;
  const size_t index = (value - kTokenTag) / 4;
  std::lock_guard<std::mutex> lock(g_tokensLock);
  if (index >= g_tokens.size() || g_tokens[index] == 0) return false;
  access = g_tokens[index];
  return true;
}

// The capability state of the calling thread, released on scope exit.
class Capabilities {
 public:
  Capabilities() : caps_(cap_get_proc()) {}
  ~Capabilities() {
    if (caps_) cap_free(caps_);
  }
  Capabilities(const Capabilities&) = delete;
  Capabilities& operator=(const Capabilities&) = delete;

  bool ok() const { return caps_ != nullptr; }
  bool Has(int capability, cap_flag_t set) const {
    if (capability == kNoCapability) return true;
    cap_flag_value_t value = CAP_CLEAR;
    return cap_get_flag(caps_, capability, set, &value) == 0 && value == CAP_SET;
  }
  bool Held(int capability) const { return Has(capability, CAP_PERMITTED); }
  bool Enabled(int capability) const { return Has(capability, CAP_EFFECTIVE); }
  void Set(int capability, cap_flag_t set, bool on) {
    if (capability == kNoCapability) return;
    cap_value_t value = capability;
    cap_set_flag(caps_, set, 1, &value, on ? CAP_SET : CAP_CLEAR);
  }
  bool Apply() { return cap_set_proc(caps_) == 0; }

 private:
  cap_t caps_;
};

DWORD StateOf(const Capabilities& caps, const Privilege& p) {
  if (p.capability == kNoCapability) return SE_PRIVILEGE_ENABLED | SE_PRIVILEGE_ENABLED_BY_DEFAULT;
  return caps.Enabled(p.capability) ? SE_PRIVILEGE_ENABLED : 0;
}

}  // namespace

namespace plinth::posix {

bool CloseTokenHandle(HANDLE handle) {
  DWORD access;
  if (!TokenAccess(handle, access)) return false;
  std::lock_guard<std::mutex> lock(g_tokensLock);
  g_tokens[(reinterpret_cast<uintptr_t>(handle) - kTokenTag) / 4] = 0;
  return true;
}

}  // namespace plinth::posix

extern "C" {

HANDLE GetCurrentProcess(void) { return reinterpret_cast<HANDLE>(intptr_t{-1}); }

BOOL OpenProcessToken(HANDLE process, DWORD desiredAccess, PHANDLE token) {
  if (!token) return Fail(ERROR_INVALID_PARAMETER);
  if (process != GetCurrentProcess()) return Fail(ERROR_INVALID_HANDLE);
  // Generic rights map as the token object maps them; MAXIMUM_ALLOWED grants everything, since
  // the process owns its token.
  DWORD access = desiredAccess & ~DWORD{GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE |
                                        GENERIC_ALL | MAXIMUM_ALLOWED};
  if (desiredAccess & GENERIC_READ) access |= READ_CONTROL | TOKEN_QUERY;
  if (desiredAccess & GENERIC_WRITE)
    access |= READ_CONTROL | TOKEN_ADJUST_PRIVILEGES | TOKEN_ADJUST_GROUPS | TOKEN_ADJUST_DEFAULT;
  if (desiredAccess & GENERIC_EXECUTE) access |= READ_CONTROL;
  if (desiredAccess & (GENERIC_ALL | MAXIMUM_ALLOWED)) access |= TOKEN_ALL_ACCESS;
  if (access & ~DWORD{TOKEN_ALL_ACCESS}) return Fail(ERROR_ACCESS_DENIED);
  std::lock_guard<std::mutex> lock(g_tokensLock);
  size_t index = 0;
  while (index < g_tokens.size() && g_tokens[index] != 0) ++index;
  if (index == g_tokens.size()) g_tokens.push_back(0);
  // A token opened with no access at all still needs a live slot.
  g_tokens[index] = access | 0x80000000u;
  *token = TokenHandle(index);
  return TRUE;
}

BOOL LookupPrivilegeValueA(LPCSTR systemName, LPCSTR name, PLUID luid) {
  if (!name || !luid) return Fail(ERROR_INVALID_PARAMETER);
  if (systemName && *systemName) return Fail(ERROR_NONE_MAPPED);
  for (const Privilege& p : kPrivileges) {
    if (strcasecmp(p.name, name) == 0) {
      luid->LowPart = p.luid;
      luid->HighPart = 0;
      return TRUE;
    }
  }
  return Fail(ERROR_NO_SUCH_PRIVILEGE);
}

BOOL AdjustTokenPrivileges(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES newState,
                           DWORD bufferLength, PTOKEN_PRIVILEGES previousState,
                           LPDWORD returnLength) {
  DWORD access;
  if (!TokenAccess(token, access)) return Fail(ERROR_INVALID_HANDLE);
  if (!(access & TOKEN_ADJUST_PRIVILEGES)) return Fail(ERROR_ACCESS_DENIED);
  if (previousState && !(access & TOKEN_QUERY)) return Fail(ERROR_ACCESS_DENIED);
  if (!disableAll && !newState) return Fail(ERROR_INVALID_PARAMETER);

  // The list of changes, read once: newState and previousState may be the same buffer.
  struct Change {
    const Privilege* privilege;
    DWORD attributes;
  };
  std::vector<Change> changes;
  if (disableAll) {
    for (const Privilege& p : kPrivileges) changes.push_back({&p, 0});
  } else {
    for (DWORD i = 0; i < newState->PrivilegeCount; ++i) {
      LUID_AND_ATTRIBUTES entry;
      std::memcpy(&entry, &newState->Privileges[0] + i, sizeof entry);
      const Privilege* p = FindByLuid(entry.Luid);
      if (!p) return Fail(ERROR_NO_SUCH_PRIVILEGE);
      changes.push_back({p, entry.Attributes});
    }
  }

  Capabilities caps;
  if (!caps.ok()) return Fail(ERROR_ACCESS_DENIED);
  bool allAssigned = true;
  std::vector<LUID_AND_ATTRIBUTES> previous;
  for (const Change& change : changes) {
    const Privilege& p = *change.privilege;
    if (!caps.Held(p.capability)) {
      if (!disableAll) allAssigned = false;
      continue;
    }
    if (p.capability == kNoCapability) continue;  // always on, cannot be switched off
    const DWORD before = StateOf(caps, p);
    const bool remove = change.attributes & SE_PRIVILEGE_REMOVED;
    const bool enable = !remove && (change.attributes & SE_PRIVILEGE_ENABLED);
    if (((before & SE_PRIVILEGE_ENABLED) != 0) != enable || remove)
      previous.push_back({{p.luid, 0}, before});
    caps.Set(p.capability, CAP_EFFECTIVE, enable);
    if (remove) caps.Set(p.capability, CAP_PERMITTED, false);
  }

  if (previousState) {
    const size_t needed =
        offsetof(TOKEN_PRIVILEGES, Privileges) + previous.size() * sizeof(LUID_AND_ATTRIBUTES);
    if (bufferLength < needed) {
      if (returnLength) *returnLength = static_cast<DWORD>(needed);
      return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
  }
  if (!caps.Apply()) return Fail(ERROR_ACCESS_DENIED);
  if (previousState) {
    const DWORD count = static_cast<DWORD>(previous.size());
    std::memcpy(&previousState->PrivilegeCount, &count, sizeof count);
    if (!previous.empty())
      std::memcpy(&previousState->Privileges[0], previous.data(),
                  previous.size() * sizeof(LUID_AND_ATTRIBUTES));
    if (returnLength)
      *returnLength = static_cast<DWORD>(offsetof(TOKEN_PRIVILEGES, Privileges) +
                                         previous.size() * sizeof(LUID_AND_ATTRIBUTES));
  }
  SetLastError(allAssigned ? ERROR_SUCCESS : ERROR_NOT_ALL_ASSIGNED);
  return TRUE;
}

}  // extern "C"
