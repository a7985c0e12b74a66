// Account lookup and file security on POSIX. Accounts are the well-known SIDs of Windows and
// the Unix users and groups under the authority 22 (S-1-22-1-uid, S-1-22-2-gid), as Samba
// names them; a file's descriptor is made from its owner, group, mode bits and POSIX ACL.
#include <errno.h>
#include <grp.h>
#include <pwd.h>
#include <sys/acl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <acl/libacl.h>
#include <plinth/win32.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/posix/SecurityLayout.h"

namespace {

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

struct WellKnownAccount {
  BYTE authority;
  BYTE count;
  DWORD subAuthorities[2];
  const char* name;
  const char* domain;
  SID_NAME_USE use;
};

// clang-format off
const WellKnownAccount kWellKnown[] = {
    {0, 1, {0},        "NULL SID",               "",             SidTypeWellKnownGroup},
    {1, 1, {0},        "Everyone",               "",             SidTypeWellKnownGroup},
    {2, 1, {0},        "LOCAL",                  "",             SidTypeWellKnownGroup},
    {2, 1, {1},        "CONSOLE LOGON",          "",             SidTypeWellKnownGroup},
    {3, 1, {0},        "CREATOR OWNER",          "",             SidTypeWellKnownGroup},
    {3, 1, {1},        "CREATOR GROUP",          "",             SidTypeWellKnownGroup},
    {3, 1, {4},        "OWNER RIGHTS",           "",             SidTypeWellKnownGroup},
    {5, 1, {1},        "DIALUP",                 "NT AUTHORITY", SidTypeWellKnownGroup},
    {5, 1, {2},        "NETWORK",                "NT AUTHORITY", SidTypeWellKnownGroup},
    {5, 1, {3},        "BATCH",                  "NT AUTHORITY", SidTypeWellKnownGroup},
    {5, 1, {4},        "INTERACTIVE",            "NT AUTHORITY", SidTypeWellKnownGroup},
    {5, 1, {6},        "SERVICE",                "NT AUTHORITY", SidTypeWellKnownGroup},
    {5, 1, {7},        "ANONYMOUS LOGON",        "NT AUTHORITY", SidTypeWellKnownGroup},
    {5, 1, {10},       "SELF",                   "NT AUTHORITY", SidTypeWellKnownGroup},
    {5, 1, {11},       "Authenticated Users",    "NT AUTHORITY", SidTypeWellKnownGroup},
    {5, 1, {18},       "SYSTEM",                 "NT AUTHORITY", SidTypeWellKnownGroup},
    {5, 1, {19},       "LOCAL SERVICE",          "NT AUTHORITY", SidTypeWellKnownGroup},
    {5, 1, {20},       "NETWORK SERVICE",        "NT AUTHORITY", SidTypeWellKnownGroup},
    {5, 1, {32},       "BUILTIN",                "BUILTIN",      SidTypeDomain},
    {5, 2, {32, 544},  "Administrators",         "BUILTIN",      SidTypeAlias},
    {5, 2, {32, 545},  "Users",                  "BUILTIN",      SidTypeAlias},
    {5, 2, {32, 546},  "Guests",                 "BUILTIN",      SidTypeAlias},
    {5, 2, {32, 547},  "Power Users",            "BUILTIN",      SidTypeAlias},
    {5, 2, {32, 551},  "Backup Operators",       "BUILTIN",      SidTypeAlias},
    {5, 2, {32, 555},  "Remote Desktop Users",   "BUILTIN",      SidTypeAlias},
};
// clang-format on

constexpr BYTE kUnixAuthority = 22;
constexpr DWORD kUnixUsers = 1;
constexpr DWORD kUnixGroups = 2;

DWORD SubAuthority(const unsigned char* sid, size_t index) {
  DWORD value;
  std::memcpy(&value, sid + 8 + 4 * index, sizeof value);
  return value;
}

// The authority as a number when its high bytes are zero (every one named here), else -1.
int SmallAuthority(const unsigned char* sid) {
  for (int i = 2; i < 7; ++i)
    if (sid[i] != 0) return -1;
  return sid[7];
}

bool UserName(uid_t uid, std::string& name) {
  std::vector<char> buffer(1024);
  for (;;) {
    passwd entry;
    passwd* found = nullptr;
    const int error = getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found);
    if (error == ERANGE && buffer.size() < (1u << 20)) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (error || !found) return false;
    name = found->pw_name;
    return true;
  }
}

bool GroupName(gid_t gid, std::string& name) {
  std::vector<char> buffer(1024);
  for (;;) {
    group entry;
    group* found = nullptr;
    const int error = getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found);
    if (error == ERANGE && buffer.size() < (1u << 20)) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (error || !found) return false;
    name = found->gr_name;
    return true;
  }
}

bool ResolveAccount(const unsigned char* sid, std::string& name, std::string& domain,
                    SID_NAME_USE& use) {
  const int authority = SmallAuthority(sid);
  const size_t count = sid[1];
  for (const WellKnownAccount& account : kWellKnown) {
    if (account.authority != authority || account.count != count) continue;
    bool same = true;
    for (size_t i = 0; i < count; ++i)
      same = same && SubAuthority(sid, i) == account.subAuthorities[i];
    if (!same) continue;
    name = account.name;
    domain = account.domain;
    use = account.use;
    return true;
  }
  if (authority == kUnixAuthority && count == 2) {
    const DWORD kind = SubAuthority(sid, 0);
    const DWORD id = SubAuthority(sid, 1);
    if (kind == kUnixUsers && UserName(static_cast<uid_t>(id), name)) {
      domain = "Unix User";
      use = SidTypeUser;
      return true;
    }
    if (kind == kUnixGroups && GroupName(static_cast<gid_t>(id), name)) {
      domain = "Unix Group";
      use = SidTypeGroup;
      return true;
    }
  }
  return false;
}

// ---------------------------------------------------------------------------------------------
// File descriptors.

std::vector<unsigned char> UnixSid(DWORD kind, DWORD id) {
  std::vector<unsigned char> sid(16, 0);
  sid[0] = SID_REVISION;
  sid[1] = 2;
  sid[7] = kUnixAuthority;
  std::memcpy(sid.data() + 8, &kind, 4);
  std::memcpy(sid.data() + 12, &id, 4);
  return sid;
}

const unsigned char kEveryone[12] = {1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0};

struct AllowEntry {
  std::vector<unsigned char> sid;
  DWORD mask;
};

DWORD RightsOf(unsigned bits, bool directory) {
  DWORD mask = 0;
  if (bits & 4) mask |= FILE_GENERIC_READ;
  if (bits & 2) mask |= FILE_GENERIC_WRITE | (directory ? FILE_DELETE_CHILD : 0);
  if (bits & 1) mask |= FILE_GENERIC_EXECUTE;
  return mask;
}

constexpr DWORD kOwnerExtra = READ_CONTROL | WRITE_DAC | FILE_WRITE_ATTRIBUTES;

unsigned PermBits(acl_entry_t entry) {
  acl_permset_t permset;
  if (acl_get_permset(entry, &permset) != 0) return 0;
  unsigned bits = 0;
  if (acl_get_perm(permset, ACL_READ) == 1) bits |= 4;
  if (acl_get_perm(permset, ACL_WRITE) == 1) bits |= 2;
  if (acl_get_perm(permset, ACL_EXECUTE) == 1) bits |= 1;
  return bits;
}

// Owner, named users, owning group, named groups, Everyone: the order POSIX checks them in.
std::vector<AllowEntry> FileEntries(const char* path, const struct stat& info) {
  const bool directory = S_ISDIR(info.st_mode);
  std::vector<AllowEntry> users, groups;
  unsigned ownerBits = (info.st_mode >> 6) & 7, groupBits = (info.st_mode >> 3) & 7,
           otherBits = info.st_mode & 7, maskBits = 7;
  if (acl_t acl = acl_get_file(path, ACL_TYPE_ACCESS)) {
    struct Named {
      bool user;
      DWORD id;
      unsigned bits;
    };
    std::vector<Named> named;
    acl_entry_t entry;
    for (int which = ACL_FIRST_ENTRY; acl_get_entry(acl, which, &entry) == 1;
         which = ACL_NEXT_ENTRY) {
      acl_tag_t tag;
      if (acl_get_tag_type(entry, &tag) != 0) continue;
      const unsigned bits = PermBits(entry);
      if (tag == ACL_MASK) {
        maskBits = bits;
      } else if (tag == ACL_USER || tag == ACL_GROUP) {
        void* qualifier = acl_get_qualifier(entry);
        if (!qualifier) continue;
        const DWORD id =
            tag == ACL_USER ? *static_cast<uid_t*>(qualifier) : *static_cast<gid_t*>(qualifier);
        acl_free(qualifier);
        named.push_back({tag == ACL_USER, id, bits});
      } else if (tag == ACL_GROUP_OBJ) {
        groupBits = bits;
      }
    }
    acl_free(acl);
    for (const Named& n : named)
      (n.user ? users : groups)
          .push_back({UnixSid(n.user ? kUnixUsers : kUnixGroups, n.id),
                      RightsOf(n.bits & maskBits, directory)});
    if (named.empty()) maskBits = 7;  // a minimal ACL has no mask: the mode's group bits rule
    groupBits &= maskBits;
  }
  std::vector<AllowEntry> entries;
  entries.push_back(
      {UnixSid(kUnixUsers, info.st_uid), RightsOf(ownerBits, directory) | kOwnerExtra});
  entries.insert(entries.end(), users.begin(), users.end());
  entries.push_back({UnixSid(kUnixGroups, info.st_gid), RightsOf(groupBits, directory)});
  entries.insert(entries.end(), groups.begin(), groups.end());
  entries.push_back({std::vector<unsigned char>(kEveryone, kEveryone + sizeof kEveryone),
                     RightsOf(otherBits, directory)});
  std::vector<AllowEntry> kept;
  for (AllowEntry& e : entries)
    if (e.mask) kept.push_back(std::move(e));
  return kept;
}

DWORD ErrnoToWin32(int error) {
  switch (error) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM: return ERROR_ACCESS_DENIED;
    case ENAMETOOLONG: return ERROR_INVALID_NAME;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    default: return ERROR_INVALID_FUNCTION;
  }
}

}  // namespace

extern "C" {

BOOL LookupAccountSidA(LPCSTR systemName, PSID sid, LPSTR name, LPDWORD nameSize, LPSTR domainName,
                       LPDWORD domainNameSize, PSID_NAME_USE use) {
  if (!nameSize || !domainNameSize || !use) return Fail(ERROR_INVALID_PARAMETER);
  if (!plinth::posix::SidBytes(sid, plinth::posix::kUnboundedBytes)) return Fail(ERROR_INVALID_SID);
  if (systemName && *systemName) return Fail(ERROR_NONE_MAPPED);
  std::string account, domain;
  SID_NAME_USE kind = SidTypeUnknown;
  if (!ResolveAccount(static_cast<const unsigned char*>(sid), account, domain, kind))
    return Fail(ERROR_NONE_MAPPED);
  // Both sizes are taken before either is written: a caller may pass one variable for both.
  const DWORD nameRoom = *nameSize;
  const DWORD domainRoom = *domainNameSize;
  const DWORD nameNeeded = static_cast<DWORD>(account.size() + 1);
  const DWORD domainNeeded = static_cast<DWORD>(domain.size() + 1);
  if (!name || nameRoom < nameNeeded || !domainName || domainRoom < domainNeeded) {
    *nameSize = nameNeeded;
    *domainNameSize = domainNeeded;
    return Fail(ERROR_INSUFFICIENT_BUFFER);
  }
  std::memcpy(name, account.c_str(), nameNeeded);
  std::memcpy(domainName, domain.c_str(), domainNeeded);
  *nameSize = nameNeeded - 1;
  *domainNameSize = domainNeeded - 1;
  *use = kind;
  return TRUE;
}

BOOL GetFileSecurityA(LPCSTR fileName, SECURITY_INFORMATION requested, PSECURITY_DESCRIPTOR sd,
                      DWORD length, LPDWORD lengthNeeded) {
  if (!fileName || !lengthNeeded) return Fail(ERROR_INVALID_PARAMETER);
  std::string path(fileName);
  for (char& c : path)
    if (c == '\\') c = '/';
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return Fail(ErrnoToWin32(errno));

  std::vector<unsigned char> owner, group, dacl;
  if (requested & OWNER_SECURITY_INFORMATION) owner = UnixSid(kUnixUsers, info.st_uid);
  if (requested & GROUP_SECURITY_INFORMATION) group = UnixSid(kUnixGroups, info.st_gid);
  if (requested & DACL_SECURITY_INFORMATION) {
    const std::vector<AllowEntry> entries = FileEntries(path.c_str(), info);
    size_t size = sizeof(ACL);
    for (const AllowEntry& e : entries) size += 8 + e.sid.size();
    dacl.assign(size, 0);
    PACL list = reinterpret_cast<PACL>(dacl.data());
    InitializeAcl(list, static_cast<DWORD>(size), ACL_REVISION);
    for (const AllowEntry& e : entries)
      AddAccessAllowedAce(list, ACL_REVISION, e.mask, const_cast<unsigned char*>(e.sid.data()));
  }

  const size_t needed = sizeof(SECURITY_DESCRIPTOR_RELATIVE) + owner.size() + group.size() +
                        dacl.size();  // all multiples of 4
  *lengthNeeded = static_cast<DWORD>(needed);
  if (!sd || length < needed) return Fail(ERROR_INSUFFICIENT_BUFFER);
  unsigned char* out = static_cast<unsigned char*>(sd);
  SECURITY_DESCRIPTOR_RELATIVE header = {};
  header.Revision = SECURITY_DESCRIPTOR_REVISION;
  header.Control = SE_SELF_RELATIVE;
  size_t offset = sizeof header;
  if (!dacl.empty()) {
    header.Control |= SE_DACL_PRESENT;
    header.Dacl = static_cast<DWORD>(offset);
    std::memcpy(out + offset, dacl.data(), dacl.size());
    offset += dacl.size();
  }
  if (!owner.empty()) {
    header.Owner = static_cast<DWORD>(offset);
    std::memcpy(out + offset, owner.data(), owner.size());
    offset += owner.size();
  }
  if (!group.empty()) {
    header.Group = static_cast<DWORD>(offset);
    std::memcpy(out + offset, group.data(), group.size());
  }
  std::memcpy(out, &header, sizeof header);
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

}  // extern "C"
