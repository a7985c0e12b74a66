// Security descriptors read as owner, group and an access table per account name.
#include <plinth/KaSecurity.h>
#include <plinth/afx/Exception.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// A sub-authority read byte-wise: SIDs inside ACEs need not sit on a 4-byte boundary.
DWORD SubAuthorityAt(void* sid, DWORD index) {
  DWORD value;
  std::memcpy(&value, GetSidSubAuthority(sid, index), sizeof value);
  return value;
}

const char* AuthorityText(const BYTE value[6]) {
  for (int i = 0; i < 5; ++i)
    if (value[i] != 0) return "UnknownAuthority!";
  switch (value[5]) {
    case 0: return "0";
    case 1: return "1";
    case 2: return "2";
    case 3: return "3";
    case 5: return "5";
    default: return "UnknownAuthority!";
  }
}

const char* SidTypeName(int use) {
  static const char* const kNames[] = {
      "SidTypeUser",           "SidTypeGroup",          "SidTypeDomain", "SidTypeAlias",
      "SidTypeWellKnownGroup", "SidTypeDeletedAccount", "SidTypeInvalid"};
  if (use >= 1 && use <= 7) return kNames[use - 1];
  return "SidTypeUnknown";
}

// Where the SID of an ACE in the basic layout starts, when a whole SID fits inside the ACE;
// null otherwise, so that a short or foreign ACE is never read past its end.
void* BasicAceSid(void* ace) {
  const unsigned char* bytes = static_cast<const unsigned char*>(ace);
  WORD aceSize;
  std::memcpy(&aceSize, bytes + 2, sizeof aceSize);
  const size_t sidOffset = 8;
  if (aceSize < sidOffset + 8) return nullptr;
  const size_t sidLength = 8 + 4 * size_t{bytes[sidOffset + 1]};
  if (sidOffset + sidLength > aceSize) return nullptr;
  return static_cast<unsigned char*>(ace) + sidOffset;
}

}  // namespace

CKaSecurity::CKaSecurity()
    : m_pSD(nullptr), m_pDacl(nullptr), m_pOwner(nullptr), m_pGroup(nullptr) {}

CKaSecurity::CKaSecurity(const CKaSecurity& source)
    : KaIEnum<AccessInfo*>(source),
      m_pSD(nullptr),
      m_pDacl(nullptr),
      m_pOwner(nullptr),
      m_pGroup(nullptr) {
  CopyFrom(source);
}

CKaSecurity& CKaSecurity::operator=(const CKaSecurity& source) {
  if (this != &source) {
    Release();
    CopyFrom(source);
  }
  return *this;
}

CKaSecurity::~CKaSecurity() { Release(); }

void CKaSecurity::Release() {
  if (m_pSD) free(m_pSD);
  m_pSD = nullptr;
  m_pDacl = nullptr;
  m_pOwner = nullptr;
  m_pGroup = nullptr;
  m_mapAccess.Reset();
  AccessInfo* record = nullptr;
  while (m_mapAccess.Next(1, &record, nullptr) == S_OK) delete record;
  m_mapAccess.RemoveAll();
}

// Own copies of everything: a pointer into the source's descriptor is re-read from this
// object's copy, and each record is duplicated.
void CKaSecurity::CopyFrom(const CKaSecurity& source) {
  if (source.m_pSD) {
    void* copy = nullptr;
    if (!BuildSelfRelativeSD(source.m_pSD, &copy)) AfxThrowMemoryException();
    m_pSD = copy;
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    PSID owner = nullptr, group = nullptr;
    GetSecurityDescriptorDacl(m_pSD, &present, &dacl, &defaulted);
    GetSecurityDescriptorOwner(m_pSD, &owner, &defaulted);
    GetSecurityDescriptorGroup(m_pSD, &group, &defaulted);
    m_pDacl = source.m_pDacl ? dacl : nullptr;
    m_pOwner = source.m_pOwner ? owner : nullptr;
    m_pGroup = source.m_pGroup ? group : nullptr;
  }
  POSITION position = source.m_mapAccess.GetStartPosition();
  while (position) {
    CString name;
    AccessInfo* record = nullptr;
    source.m_mapAccess.GetNextAssoc(position, name, record);
    AccessInfo* duplicate = nullptr;
    AfxThrowMemoryOnAllocFailure([&] { duplicate = new AccessInfo(*record); });
    try {
      m_mapAccess.SetAt(name, duplicate);
    } catch (...) {
      delete duplicate;
      throw;
    }
  }
}

bool CKaSecurity::HasSecurityInfo() const { return m_pSD != nullptr; }

bool CKaSecurity::GetOwnerSIDInfo(SIDInfo& info) { return GetSIDInfo(m_pOwner, info); }

bool CKaSecurity::GetPrimaryGroupSIDInfo(SIDInfo& info) { return GetSIDInfo(m_pGroup, info); }

long CKaSecurity::Next(unsigned long wanted, AccessInfo** elements, unsigned long* delivered) {
  return m_mapAccess.Next(wanted, elements, delivered);
}

long CKaSecurity::Skip(unsigned long count) { return m_mapAccess.Skip(count); }

long CKaSecurity::Reset() { return m_mapAccess.Reset(); }

void* CKaSecurity::GetSecurityDescriptor() const { return m_pSD; }
void* CKaSecurity::GetOwner() const { return m_pOwner; }
void* CKaSecurity::GetPrimaryGroup() const { return m_pGroup; }
ACL* CKaSecurity::GetDacl() const { return m_pDacl; }

void CKaSecurity::GetSIDAsString(void* const sid, CString& text) {
  if (!sid) {
    text.Empty();
    return;
  }
  const int kSize = 256;
  char* buffer = text.GetBuffer(kSize);
  const unsigned char* bytes = static_cast<const unsigned char*>(sid);
  int length = std::snprintf(buffer, kSize, "S-%d-", 1);
  // Each piece is cut at the buffer's end: the SID is not validated, and a count byte above 15
  // would otherwise write past it.
  auto append = [&](const char* format, auto value) {
    if (length >= kSize - 1) return;
    const int written = std::snprintf(buffer + length, kSize - length, format, value);
    if (written > 0) length = written < kSize - length ? length + written : kSize - 1;
  };
  if (bytes[0] != SID_REVISION) append("bad_revision==%d", static_cast<int>(bytes[0]));
  append("%s", AuthorityText(GetSidIdentifierAuthority(sid)->Value));
  const DWORD count = *GetSidSubAuthorityCount(sid);
  for (DWORD i = 0; i < count; ++i)
    append("-%lu", static_cast<unsigned long>(SubAuthorityAt(sid, i)));
  text.ReleaseBuffer(length);
}

bool CKaSecurity::GetSIDInfo(void* const sid, SIDInfo& info) {
  if (!sid || !IsValidSid(sid)) return false;
  // One size serves both buffers, in and out.
  DWORD size = 256;
  SID_NAME_USE use = SidTypeUnknown;
  char* name = info.strAccountName.GetBuffer(256);
  char* domain = info.strDomainName.GetBuffer(256);
  if (!LookupAccountSidA(nullptr, sid, name, &size, domain, &size, &use)) {
    info.strAccountName.ReleaseBuffer(0);
    info.strDomainName.ReleaseBuffer(0);
    return false;
  }
  info.strAccountName.ReleaseBuffer();
  info.strDomainName.ReleaseBuffer();
  GetSIDAsString(sid, info.strSID);
  info.strSIDType = SidTypeName(static_cast<int>(use));
  return true;
}

bool CKaSecurity::SetSecurityDescriptor(void* const sd) {
  if (!sd || !IsValidSecurityDescriptor(sd)) return false;
  if (m_pSD && m_pSD != sd) {
    free(m_pSD);
    // No pointer into the released descriptor may survive, even where the new one has no part.
    m_pDacl = nullptr;
    m_pOwner = nullptr;
    m_pGroup = nullptr;
  }
  m_pSD = sd;
  return InitSDComponents();
}

bool CKaSecurity::BuildSelfRelativeSD(void* const sd) {
  void* copy = nullptr;
  if (!BuildSelfRelativeSD(sd, &copy)) return false;
  if (m_pSD) {
    free(m_pSD);
    m_pDacl = nullptr;
    m_pOwner = nullptr;
    m_pGroup = nullptr;
  }
  m_pSD = copy;
  return InitSDComponents();
}

bool CKaSecurity::BuildSelfRelativeSD(void* const sd, void** copy) {
  if (!copy) return false;
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  if (!sd || !IsValidSecurityDescriptor(sd) ||
      !GetSecurityDescriptorControl(sd, &control, &revision))
    return false;
  *copy = nullptr;
  if (control & SE_SELF_RELATIVE) {
    const DWORD size = GetSecurityDescriptorLength(sd);
    void* bytes = malloc(size);
    if (!bytes) return false;
    std::memcpy(bytes, sd, size);
    *copy = bytes;
    return true;
  }
  DWORD size = 0;
  if (MakeSelfRelativeSD(sd, nullptr, &size) || GetLastError() != ERROR_INSUFFICIENT_BUFFER)
    return false;
  void* bytes = malloc(size);
  if (!bytes) return false;
  if (!MakeSelfRelativeSD(sd, bytes, &size)) {
    free(bytes);
    return false;
  }
  *copy = bytes;
  return true;
}

bool CKaSecurity::InitSDComponents() {
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = m_pDacl;
  if (!GetSecurityDescriptorDacl(m_pSD, &present, &dacl, &defaulted)) return false;
  m_pDacl = dacl;
  if (m_pDacl) MapAccessRights(m_pDacl);
  PSID owner = nullptr;
  if (!GetSecurityDescriptorOwner(m_pSD, &owner, &defaulted)) return false;
  m_pOwner = owner;
  PSID group = nullptr;
  const bool ok = GetSecurityDescriptorGroup(m_pSD, &group, &defaulted) != FALSE;
  if (ok) m_pGroup = group;
  return ok;
}

bool CKaSecurity::MapAccessRights(ACL* const dacl) {
  if (!IsValidAcl(dacl)) return false;
  ACL_SIZE_INFORMATION sizes = {};
  if (!GetAclInformation(dacl, &sizes, sizeof sizes, AclSizeInformation)) return false;
  for (DWORD index = 0; index < sizes.AceCount; ++index) {
    void* ace = nullptr;
    if (!GetAce(dacl, index, &ace)) return false;
    void* sid = BasicAceSid(ace);
    if (!sid) continue;
    DWORD mask;
    std::memcpy(&mask, static_cast<unsigned char*>(ace) + sizeof(ACE_HEADER), sizeof mask);
    SIDInfo info;
    if (!GetSIDInfo(sid, info)) continue;
    AccessInfo* record = nullptr;
    if (m_mapAccess.Lookup(info.strAccountName, record)) {
      record->dwAccessMask |= mask;
      continue;
    }
    AfxThrowMemoryOnAllocFailure([&] {
      record = new AccessInfo{info.strSID, info.strSIDType, info.strAccountName, info.strDomainName,
                              mask};
    });
    try {
      m_mapAccess.SetAt(info.strAccountName, record);
    } catch (...) {
      delete record;
      throw;
    }
  }
  return true;
}
