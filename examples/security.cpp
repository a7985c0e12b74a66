// A file's owner, group and access per account with CKaSecurity, and switching a privilege.
#include <plinth/Plinth.h>

#include <cstdio>
#include <cstdlib>

// CKaSecurity is a base class: the host reads a descriptor for its kind of object and hands it
// in. The object adopts the malloc'ed descriptor and frees it.
class CFileSecurity : public CKaSecurity {
 public:
  bool Load(const char* path) {
    const SECURITY_INFORMATION wanted =
        OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    DWORD needed = 0;
    GetFileSecurityA(path, wanted, nullptr, 0, &needed);
    void* sd = std::malloc(needed ? needed : 1);
    if (sd && GetFileSecurityA(path, wanted, sd, needed, &needed) && SetSecurityDescriptor(sd))
      return true;
    std::free(sd);
    return false;
  }
};

int main(int argc, char** argv) {
  const char* path = argc > 1 ? argv[1] : argv[0];  // by default, this program's own file
  CFileSecurity security;
  if (!security.Load(path)) {
    std::printf("cannot read the security of %s (error %lu)\n", path,
                static_cast<unsigned long>(GetLastError()));
    return 1;
  }
  CKaSecurity::SIDInfo owner;
  if (security.GetOwnerSIDInfo(owner))
    std::printf("owner %s (%s), %s\n", owner.strAccountName.GetString(), owner.strSID.GetString(),
                owner.strSIDType.GetString());

  // One record per account, its mask the OR of every entry that names the account.
  int accounts = 0;
  CKaSecurity::AccessInfo* info = nullptr;
  security.Reset();
  while (security.Next(1, &info, nullptr) == S_OK) {
    std::printf("  %-24s 0x%08lX\n", info->strAccountName.GetString(),
                static_cast<unsigned long>(info->dwAccessMask));
    ++accounts;
  }

  // True only when the account holds the privilege; on Linux privileges are capabilities.
  bool enabled = CKaSecurity::SetPrivilegeInAccessToken(true, "SeBackupPrivilege");
  std::printf("SeBackupPrivilege %s\n", enabled ? "enabled" : "not held");
  if (enabled) CKaSecurity::SetPrivilegeInAccessToken(false, "SeBackupPrivilege");
  return accounts > 0 ? 0 : 1;
}
