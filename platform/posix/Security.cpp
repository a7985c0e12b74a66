// SIDs, ACLs and security descriptors in their Windows binary layouts. Every structure is read
// byte-wise (memcpy) so that a caller's unaligned buffer never makes a misaligned load, and
// every walk is bounded by the size the enclosing structure claims, or by the size the caller
// gave to the length-checked forms: these calls take untrusted bytes.
#include <plinth/win32.h>

#include <cstdint>
#include <cstring>

#include "platform/posix/SecurityLayout.h"

namespace plinth::posix {

namespace {

constexpr size_t kSidHeader = 8;
constexpr size_t kAclHeader = sizeof(ACL);
constexpr size_t kRelativeHeader = sizeof(SECURITY_DESCRIPTOR_RELATIVE);
constexpr size_t kUnbounded = kUnboundedBytes;

template <class T>
T Load(const void* at) {
  T value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

const unsigned char* Bytes(const void* p) { return static_cast<const unsigned char*>(p); }

bool Aligned4(size_t offset) { return (offset & 3) == 0; }

// The object ACEs carry Flags after the mask and a GUID for each flag they set before the SID.
bool IsObjectAce(BYTE type) {
  return type == ACCESS_ALLOWED_OBJECT_ACE_TYPE || type == ACCESS_DENIED_OBJECT_ACE_TYPE ||
         type == SYSTEM_AUDIT_OBJECT_ACE_TYPE || type == SYSTEM_ALARM_OBJECT_ACE_TYPE ||
         type == ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE ||
         type == ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE ||
         type == SYSTEM_AUDIT_CALLBACK_OBJECT_ACE_TYPE ||
         type == SYSTEM_ALARM_CALLBACK_OBJECT_ACE_TYPE;
}

bool IsBasicAce(BYTE type) {
  return type == ACCESS_ALLOWED_ACE_TYPE || type == ACCESS_DENIED_ACE_TYPE ||
         type == SYSTEM_AUDIT_ACE_TYPE || type == SYSTEM_ALARM_ACE_TYPE ||
         type == ACCESS_ALLOWED_CALLBACK_ACE_TYPE || type == ACCESS_DENIED_CALLBACK_ACE_TYPE ||
         type == SYSTEM_AUDIT_CALLBACK_ACE_TYPE || type == SYSTEM_ALARM_CALLBACK_ACE_TYPE ||
         type == SYSTEM_MANDATORY_LABEL_ACE_TYPE;
}

// Where the SID of a known ACE starts, or 0 for a layout this code does not know.
size_t SidOffsetInAce(const unsigned char* ace, size_t aceSize) {
  const BYTE type = ace[0];
  if (IsBasicAce(type)) return 8;
  if (IsObjectAce(type)) {
    if (aceSize < 12) return 0;
    const DWORD flags = Load<DWORD>(ace + 8);
    size_t offset = 12;
    if (flags & ACE_OBJECT_TYPE_PRESENT) offset += 16;
    if (flags & ACE_INHERITED_OBJECT_TYPE_PRESENT) offset += 16;
    return offset;
  }
  return 0;
}

}  // namespace

size_t SidBytes(const void* sid, size_t available) {
  if (!sid || available < 2) return 0;
  const unsigned char* p = Bytes(sid);
  if (p[0] != SID_REVISION || p[1] > SID_MAX_SUB_AUTHORITIES) return 0;
  const size_t length = kSidHeader + 4u * p[1];
  return length <= available ? length : 0;
}

bool ValidSidHeader(const void* sid) {
  if (!sid) return false;
  const unsigned char* p = Bytes(sid);
  return p[0] == SID_REVISION && p[1] <= SID_MAX_SUB_AUTHORITIES;
}

bool ValidAcl(const void* acl, size_t available) {
  if (!acl || available < kAclHeader) return false;
  const unsigned char* p = Bytes(acl);
  const BYTE revision = p[0];
  const size_t aclSize = Load<WORD>(p + 2);
  const size_t aceCount = Load<WORD>(p + 4);
  if (revision < MIN_ACL_REVISION || revision > MAX_ACL_REVISION) return false;
  if (aclSize < kAclHeader || aclSize > available) return false;
  size_t offset = kAclHeader;
  for (size_t i = 0; i < aceCount; ++i) {
    if (aclSize - offset < sizeof(ACE_HEADER)) return false;
    const unsigned char* ace = p + offset;
    const size_t aceSize = Load<WORD>(ace + 2);
    if (aceSize < sizeof(ACE_HEADER) || !Aligned4(aceSize) || aceSize > aclSize - offset)
      return false;
    if (const size_t sidOffset = SidOffsetInAce(ace, aceSize)) {
      if (sidOffset > aceSize) return false;
      if (!SidBytes(ace + sidOffset, aceSize - sidOffset)) return false;
    }
    offset += aceSize;
  }
  return true;
}

size_t AclBytesInUse(const void* acl) {
  const unsigned char* p = Bytes(acl);
  const size_t aclSize = Load<WORD>(p + 2);
  const size_t aceCount = Load<WORD>(p + 4);
  size_t offset = kAclHeader;
  for (size_t i = 0; i < aceCount; ++i) {
    if (offset > aclSize || aclSize - offset < sizeof(ACE_HEADER)) return 0;
    const size_t aceSize = Load<WORD>(p + offset + 2);
    if (aceSize < sizeof(ACE_HEADER) || aceSize > aclSize - offset) return 0;
    offset += aceSize;
  }
  return offset;
}

bool ReadDescriptor(const void* sd, size_t available, DescriptorParts& parts) {
  if (!sd || available < 4) return false;
  const unsigned char* p = Bytes(sd);
  parts = DescriptorParts();
  parts.revision = p[0];
  parts.control = Load<WORD>(p + 2);
  if (parts.revision != SECURITY_DESCRIPTOR_REVISION) return false;
  const bool daclPresent = parts.control & SE_DACL_PRESENT;
  const bool saclPresent = parts.control & SE_SACL_PRESENT;
  if (parts.control & SE_SELF_RELATIVE) {
    if (available < kRelativeHeader) return false;
    parts.selfRelative = true;
    parts.span = kRelativeHeader;
    auto part = [&](size_t fieldOffset, bool present, bool isAcl, const void*& out) {
      const size_t offset = Load<DWORD>(p + fieldOffset);
      if (!present || offset == 0) return true;
      if (offset < kRelativeHeader || !Aligned4(offset) || offset >= available) return false;
      const size_t room = available == kUnbounded ? kUnbounded : available - offset;
      size_t size;
      if (isAcl) {
        if (!ValidAcl(p + offset, room)) return false;
        size = Load<WORD>(p + offset + 2);
      } else {
        size = SidBytes(p + offset, room);
        if (!size) return false;
      }
      out = p + offset;
      if (offset + size > parts.span) parts.span = offset + size;
      return true;
    };
    return part(4, true, false, parts.owner) && part(8, true, false, parts.group) &&
           part(12, saclPresent, true, parts.sacl) && part(16, daclPresent, true, parts.dacl);
  }
  // The absolute form holds pointers; its parts live wherever they point.
  if (available < sizeof(SECURITY_DESCRIPTOR)) return false;
  const SECURITY_DESCRIPTOR absolute = Load<SECURITY_DESCRIPTOR>(p);
  parts.owner = absolute.Owner;
  parts.group = absolute.Group;
  parts.sacl = saclPresent ? absolute.Sacl : nullptr;
  parts.dacl = daclPresent ? absolute.Dacl : nullptr;
  if (parts.owner && !SidBytes(parts.owner, kUnbounded)) return false;
  if (parts.group && !SidBytes(parts.group, kUnbounded)) return false;
  if (parts.sacl && !ValidAcl(parts.sacl, kUnbounded)) return false;
  if (parts.dacl && !ValidAcl(parts.dacl, kUnbounded)) return false;
  return true;
}

}  // namespace plinth::posix

using plinth::posix::DescriptorParts;
using plinth::posix::kUnboundedBytes;

namespace {

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

size_t Align4(size_t n) { return (n + 3) & ~size_t{3}; }

WORD AclSizeOf(const void* acl) {
  WORD size;
  std::memcpy(&size, static_cast<const unsigned char*>(acl) + 2, sizeof size);
  return size;
}

BOOL AddBasicAce(PACL acl, DWORD revision, BYTE type, DWORD accessMask, PSID sid) {
  if (!plinth::posix::ValidAcl(acl, kUnboundedBytes)) return Fail(ERROR_INVALID_ACL);
  if (revision < MIN_ACL_REVISION || revision > MAX_ACL_REVISION)
    return Fail(ERROR_REVISION_MISMATCH);
  const size_t sidLength = plinth::posix::SidBytes(sid, kUnboundedBytes);
  if (!sidLength) return Fail(ERROR_INVALID_SID);
  unsigned char* p = reinterpret_cast<unsigned char*>(acl);
  const size_t used = plinth::posix::AclBytesInUse(acl);
  const size_t aceSize = 8 + sidLength;
  if (used + aceSize > AclSizeOf(acl)) return Fail(ERROR_ALLOTTED_SPACE_EXCEEDED);
  unsigned char* ace = p + used;
  const WORD size = static_cast<WORD>(aceSize);
  ace[0] = type;
  ace[1] = 0;
  std::memcpy(ace + 2, &size, 2);
  std::memcpy(ace + 4, &accessMask, 4);
  std::memmove(ace + 8, sid, sidLength);
  WORD count;
  std::memcpy(&count, p + 4, 2);
  ++count;
  std::memcpy(p + 4, &count, 2);
  if (p[0] < revision) p[0] = static_cast<BYTE>(revision);
  return TRUE;
}

// The absolute header of a descriptor the setters may change.
BOOL LoadAbsolute(PSECURITY_DESCRIPTOR sd, SECURITY_DESCRIPTOR& header) {
  if (!sd) return Fail(ERROR_INVALID_PARAMETER);
  std::memcpy(&header, sd, sizeof header);
  if (header.Revision != SECURITY_DESCRIPTOR_REVISION) return Fail(ERROR_UNKNOWN_REVISION);
  if (header.Control & SE_SELF_RELATIVE) return Fail(ERROR_INVALID_SECURITY_DESCR);
  return TRUE;
}

}  // namespace

extern "C" {

BOOL IsValidSid(PSID sid) { return plinth::posix::ValidSidHeader(sid) ? TRUE : FALSE; }

PSID_IDENTIFIER_AUTHORITY GetSidIdentifierAuthority(PSID sid) {
  SetLastError(ERROR_SUCCESS);
  return reinterpret_cast<PSID_IDENTIFIER_AUTHORITY>(static_cast<unsigned char*>(sid) + 2);
}

PUCHAR GetSidSubAuthorityCount(PSID sid) {
  SetLastError(ERROR_SUCCESS);
  return static_cast<unsigned char*>(sid) + 1;
}

PDWORD GetSidSubAuthority(PSID sid, DWORD index) {
  SetLastError(ERROR_SUCCESS);
  return reinterpret_cast<PDWORD>(static_cast<unsigned char*>(sid) + 8 + 4 * size_t{index});
}

DWORD GetLengthSid(PSID sid) {
  return static_cast<DWORD>(plinth::posix::SidBytes(sid, kUnboundedBytes));
}

BOOL CopySid(DWORD destinationLength, PSID destination, PSID source) {
  const size_t length = plinth::posix::SidBytes(source, kUnboundedBytes);
  if (!length) return Fail(ERROR_INVALID_SID);
  if (!destination || destinationLength < length) return Fail(ERROR_INSUFFICIENT_BUFFER);
  std::memmove(destination, source, length);
  return TRUE;
}

BOOL IsValidAcl(PACL acl) { return plinth::posix::ValidAcl(acl, kUnboundedBytes) ? TRUE : FALSE; }

BOOL InitializeAcl(PACL acl, DWORD length, DWORD revision) {
  if (!acl) return Fail(ERROR_INVALID_PARAMETER);
  if (length < sizeof(ACL)) return Fail(ERROR_INSUFFICIENT_BUFFER);
  if (length > 0xFFFF || revision < MIN_ACL_REVISION || revision > MAX_ACL_REVISION)
    return Fail(ERROR_INVALID_PARAMETER);
  const ACL header = {static_cast<BYTE>(revision), 0, static_cast<WORD>(length), 0, 0};
  std::memcpy(acl, &header, sizeof header);
  return TRUE;
}

BOOL GetAclInformation(PACL acl, LPVOID information, DWORD length,
                       ACL_INFORMATION_CLASS informationClass) {
  if (!acl || !information) return Fail(ERROR_INVALID_PARAMETER);
  const unsigned char* p = reinterpret_cast<const unsigned char*>(acl);
  switch (informationClass) {
    case AclRevisionInformation: {
      if (length < sizeof(ACL_REVISION_INFORMATION)) return Fail(ERROR_INSUFFICIENT_BUFFER);
      const ACL_REVISION_INFORMATION info = {p[0]};
      std::memcpy(information, &info, sizeof info);
      return TRUE;
    }
    case AclSizeInformation: {
      if (length < sizeof(ACL_SIZE_INFORMATION)) return Fail(ERROR_INSUFFICIENT_BUFFER);
      const size_t used = plinth::posix::AclBytesInUse(acl);
      if (!used) return Fail(ERROR_INVALID_ACL);
      WORD count;
      std::memcpy(&count, p + 4, 2);
      const ACL_SIZE_INFORMATION info = {count, static_cast<DWORD>(used),
                                         static_cast<DWORD>(AclSizeOf(acl) - used)};
      std::memcpy(information, &info, sizeof info);
      return TRUE;
    }
  }
  return Fail(ERROR_INVALID_PARAMETER);
}

BOOL GetAce(PACL acl, DWORD index, LPVOID* ace) {
  if (!acl || !ace) return Fail(ERROR_INVALID_PARAMETER);
  unsigned char* p = reinterpret_cast<unsigned char*>(acl);
  WORD count;
  std::memcpy(&count, p + 4, 2);
  if (index >= count) return Fail(ERROR_INVALID_PARAMETER);
  const size_t aclSize = AclSizeOf(acl);
  size_t offset = sizeof(ACL);
  for (DWORD i = 0;; ++i) {
    if (offset > aclSize || aclSize - offset < sizeof(ACE_HEADER))
      return Fail(ERROR_INVALID_PARAMETER);
    if (i == index) break;
    WORD aceSize;
    std::memcpy(&aceSize, p + offset + 2, 2);
    if (aceSize < sizeof(ACE_HEADER)) return Fail(ERROR_INVALID_PARAMETER);
    offset += aceSize;
  }
  *ace = p + offset;
  return TRUE;
}

BOOL AddAccessAllowedAce(PACL acl, DWORD revision, DWORD accessMask, PSID sid) {
  return AddBasicAce(acl, revision, ACCESS_ALLOWED_ACE_TYPE, accessMask, sid);
}

BOOL AddAccessDeniedAce(PACL acl, DWORD revision, DWORD accessMask, PSID sid) {
  return AddBasicAce(acl, revision, ACCESS_DENIED_ACE_TYPE, accessMask, sid);
}

BOOL InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR sd, DWORD revision) {
  if (!sd) return Fail(ERROR_INVALID_PARAMETER);
  if (revision != SECURITY_DESCRIPTOR_REVISION) return Fail(ERROR_UNKNOWN_REVISION);
  SECURITY_DESCRIPTOR header = {};
  header.Revision = SECURITY_DESCRIPTOR_REVISION;
  std::memcpy(sd, &header, sizeof header);
  return TRUE;
}

BOOL IsValidSecurityDescriptor(PSECURITY_DESCRIPTOR sd) {
  DescriptorParts parts;
  if (plinth::posix::ReadDescriptor(sd, kUnboundedBytes, parts)) return TRUE;
  return Fail(ERROR_INVALID_SECURITY_DESCR);
}

BOOL GetSecurityDescriptorControl(PSECURITY_DESCRIPTOR sd, PSECURITY_DESCRIPTOR_CONTROL control,
                                  LPDWORD revision) {
  if (!sd || !control || !revision) return Fail(ERROR_INVALID_PARAMETER);
  const unsigned char* p = static_cast<const unsigned char*>(sd);
  *revision = p[0];
  std::memcpy(control, p + 2, sizeof *control);
  if (p[0] != SECURITY_DESCRIPTOR_REVISION) return Fail(ERROR_UNKNOWN_REVISION);
  return TRUE;
}

DWORD GetSecurityDescriptorLength(PSECURITY_DESCRIPTOR sd) {
  DescriptorParts parts;
  if (!plinth::posix::ReadDescriptor(sd, kUnboundedBytes, parts)) return 0;
  if (parts.selfRelative) return static_cast<DWORD>(parts.span);
  // As on Windows, an absolute descriptor counts its own (pointer-sized) header.
  return static_cast<DWORD>(plinth::posix::SelfRelativeSize(parts) -
                            sizeof(SECURITY_DESCRIPTOR_RELATIVE) + sizeof(SECURITY_DESCRIPTOR));
}

BOOL GetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR sd, LPBOOL daclPresent, PACL* dacl,
                               LPBOOL daclDefaulted) {
  if (!daclPresent || !dacl || !daclDefaulted) return Fail(ERROR_INVALID_PARAMETER);
  DescriptorParts parts;
  if (!plinth::posix::ReadDescriptor(sd, kUnboundedBytes, parts))
    return Fail(ERROR_INVALID_SECURITY_DESCR);
  *daclPresent = (parts.control & SE_DACL_PRESENT) ? TRUE : FALSE;
  // As on Windows, the list and its defaulted flag are written only when a list is present.
  if (*daclPresent) {
    *dacl = static_cast<PACL>(const_cast<void*>(parts.dacl));
    *daclDefaulted = (parts.control & SE_DACL_DEFAULTED) ? TRUE : FALSE;
  }
  return TRUE;
}

BOOL GetSecurityDescriptorOwner(PSECURITY_DESCRIPTOR sd, PSID* owner, LPBOOL ownerDefaulted) {
  if (!owner || !ownerDefaulted) return Fail(ERROR_INVALID_PARAMETER);
  DescriptorParts parts;
  if (!plinth::posix::ReadDescriptor(sd, kUnboundedBytes, parts))
    return Fail(ERROR_INVALID_SECURITY_DESCR);
  *owner = const_cast<void*>(parts.owner);
  *ownerDefaulted = (parts.control & SE_OWNER_DEFAULTED) ? TRUE : FALSE;
  return TRUE;
}

BOOL GetSecurityDescriptorGroup(PSECURITY_DESCRIPTOR sd, PSID* group, LPBOOL groupDefaulted) {
  if (!group || !groupDefaulted) return Fail(ERROR_INVALID_PARAMETER);
  DescriptorParts parts;
  if (!plinth::posix::ReadDescriptor(sd, kUnboundedBytes, parts))
    return Fail(ERROR_INVALID_SECURITY_DESCR);
  *group = const_cast<void*>(parts.group);
  *groupDefaulted = (parts.control & SE_GROUP_DEFAULTED) ? TRUE : FALSE;
  return TRUE;
}

BOOL SetSecurityDescriptorOwner(PSECURITY_DESCRIPTOR sd, PSID owner, BOOL defaulted) {
  SECURITY_DESCRIPTOR header;
  if (!LoadAbsolute(sd, header)) return FALSE;
  header.Owner = owner;
  header.Control = static_cast<WORD>((header.Control & ~SE_OWNER_DEFAULTED) |
                                     (defaulted ? SE_OWNER_DEFAULTED : 0));
  std::memcpy(sd, &header, sizeof header);
  return TRUE;
}

BOOL SetSecurityDescriptorGroup(PSECURITY_DESCRIPTOR sd, PSID group, BOOL defaulted) {
  SECURITY_DESCRIPTOR header;
  if (!LoadAbsolute(sd, header)) return FALSE;
  header.Group = group;
  header.Control = static_cast<WORD>((header.Control & ~SE_GROUP_DEFAULTED) |
                                     (defaulted ? SE_GROUP_DEFAULTED : 0));
  std::memcpy(sd, &header, sizeof header);
  return TRUE;
}

BOOL SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR sd, BOOL daclPresent, PACL dacl,
                               BOOL daclDefaulted) {
  SECURITY_DESCRIPTOR header;
  if (!LoadAbsolute(sd, header)) return FALSE;
  WORD control = static_cast<WORD>(header.Control & ~(SE_DACL_PRESENT | SE_DACL_DEFAULTED));
  if (daclPresent) {
    control |= SE_DACL_PRESENT;
    if (daclDefaulted) control |= SE_DACL_DEFAULTED;
    header.Dacl = dacl;
  } else {
    header.Dacl = nullptr;
  }
  header.Control = control;
  std::memcpy(sd, &header, sizeof header);
  return TRUE;
}

BOOL MakeSelfRelativeSD(PSECURITY_DESCRIPTOR absolute, PSECURITY_DESCRIPTOR relative,
                        LPDWORD bufferLength) {
  if (!bufferLength) return Fail(ERROR_INVALID_PARAMETER);
  DescriptorParts parts;
  if (!plinth::posix::ReadDescriptor(absolute, kUnboundedBytes, parts))
    return Fail(ERROR_INVALID_SECURITY_DESCR);
  if (parts.selfRelative) return Fail(ERROR_BAD_DESCRIPTOR_FORMAT);
  const size_t needed = plinth::posix::SelfRelativeSize(parts);
  if (!relative || *bufferLength < needed) {
    *bufferLength = static_cast<DWORD>(needed);
    return Fail(ERROR_INSUFFICIENT_BUFFER);
  }
  unsigned char* out = static_cast<unsigned char*>(relative);
  std::memset(out, 0, needed);
  SECURITY_DESCRIPTOR_RELATIVE header = {};
  header.Revision = parts.revision;
  header.Control = static_cast<WORD>(parts.control | SE_SELF_RELATIVE);
  size_t offset = sizeof header;
  auto place = [&](const void* part, size_t size) -> DWORD {
    if (!part) return 0;
    std::memcpy(out + offset, part, size);
    const DWORD at = static_cast<DWORD>(offset);
    offset += Align4(size);
    return at;
  };
  header.Sacl = parts.sacl ? place(parts.sacl, AclSizeOf(parts.sacl)) : 0;
  header.Dacl = parts.dacl ? place(parts.dacl, AclSizeOf(parts.dacl)) : 0;
  header.Owner = place(parts.owner, plinth::posix::SidBytes(parts.owner, kUnboundedBytes));
  header.Group = place(parts.group, plinth::posix::SidBytes(parts.group, kUnboundedBytes));
  std::memcpy(out, &header, sizeof header);
  return TRUE;
}

BOOL PlinthIsValidSidBytes(const void* bytes, size_t size) {
  return plinth::posix::SidBytes(bytes, size) ? TRUE : FALSE;
}

BOOL PlinthIsValidAclBytes(const void* bytes, size_t size) {
  return plinth::posix::ValidAcl(bytes, size) ? TRUE : FALSE;
}

BOOL PlinthIsValidSecurityDescriptorBytes(const void* bytes, size_t size) {
  if (!bytes || size < sizeof(SECURITY_DESCRIPTOR_RELATIVE)) return FALSE;
  WORD control;
  std::memcpy(&control, static_cast<const unsigned char*>(bytes) + 2, sizeof control);
  // Absolute descriptors hold pointers, which no byte count can bound.
  if (!(control & SE_SELF_RELATIVE)) return FALSE;
  DescriptorParts parts;
  return plinth::posix::ReadDescriptor(bytes, size, parts) ? TRUE : FALSE;
}

}  // extern "C"

namespace plinth::posix {

size_t SelfRelativeSize(const DescriptorParts& parts) {
  size_t size = sizeof(SECURITY_DESCRIPTOR_RELATIVE);
  if (parts.sacl) size += Align4(AclSizeOf(parts.sacl));
  if (parts.dacl) size += Align4(AclSizeOf(parts.dacl));
  if (parts.owner) size += SidBytes(parts.owner, kUnboundedBytes);
  if (parts.group) size += SidBytes(parts.group, kUnboundedBytes);
  return size;
}

}  // namespace plinth::posix
