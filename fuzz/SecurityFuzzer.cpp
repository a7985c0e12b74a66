// Feeds arbitrary bytes to the length-checked SID, ACL and descriptor validators and, when one
// accepts, to the Win32 calls that trust the structure's own sizes and to CKaSecurity. Each
// input is copied into a heap block of exactly its size, so a read one byte past the end is an
// AddressSanitizer report. Besides crashes, the target checks that the two kinds of validator
// agree and that a descriptor's length never exceeds the bytes that held it.

#include <plinth/KaSecurity.h>
#include <plinth/win32.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

class Security : public CKaSecurity {
 public:
  using CKaSecurity::BuildSelfRelativeSD;
  using CKaSecurity::GetSIDAsString;
  using CKaSecurity::SetSecurityDescriptor;
};

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

// An exact-size copy, freed by the caller with free().
void* Copy(const uint8_t* data, size_t size) {
  void* bytes = std::malloc(size ? size : 1);
  if (size) std::memcpy(bytes, data, size);
  return bytes;
}

void Walk(CKaSecurity& security) {
  security.Reset();
  CKaSecurity::AccessInfo* info = nullptr;
  unsigned long delivered = 0;
  for (int guard = 0; security.Next(1, &info, &delivered) == S_OK; ++guard) {
    Check(delivered == 1 && info != nullptr && guard < 100000);
    Check(info->strAccountName.GetLength() >= 0);
  }
  CKaSecurity::SIDInfo owner;
  security.GetOwnerSIDInfo(owner);
  security.GetPrimaryGroupSIDInfo(owner);
}

void FuzzSid(const uint8_t* data, size_t size) {
  void* sid = Copy(data, size);
  if (PlinthIsValidSidBytes(sid, size)) {
    Check(IsValidSid(sid));
    Check(GetLengthSid(sid) <= size);
    CString text;
    Security::GetSIDAsString(sid, text);
    Check(text.GetLength() < 256);
    char name[256], domain[256];
    DWORD nameSize = sizeof name, domainSize = sizeof domain;
    SID_NAME_USE use;
    LookupAccountSidA(nullptr, sid, name, &nameSize, domain, &domainSize, &use);
  }
  std::free(sid);
}

void FuzzAcl(const uint8_t* data, size_t size) {
  void* bytes = Copy(data, size);
  PACL acl = static_cast<PACL>(bytes);
  if (PlinthIsValidAclBytes(acl, size)) {
    Check(IsValidAcl(acl));
    ACL_SIZE_INFORMATION sizes = {};
    Check(GetAclInformation(acl, &sizes, sizeof sizes, AclSizeInformation));
    Check(sizes.AclBytesInUse + sizes.AclBytesFree <= size);
    for (DWORD i = 0; i < sizes.AceCount; ++i) {
      void* ace = nullptr;
      Check(GetAce(acl, i, &ace));
    }
  }
  std::free(bytes);
}

void FuzzDescriptor(const uint8_t* data, size_t size) {
  void* sd = Copy(data, size);
  if (!PlinthIsValidSecurityDescriptorBytes(sd, size)) {
    std::free(sd);
    return;
  }
  Check(IsValidSecurityDescriptor(sd));
  const DWORD length = GetSecurityDescriptorLength(sd);
  Check(length >= sizeof(SECURITY_DESCRIPTOR_RELATIVE) && length <= size);

  Security copied;
  Check(copied.BuildSelfRelativeSD(sd));
  Walk(copied);
  Security adopted;
  Check(adopted.SetSecurityDescriptor(sd));  // adopted now frees sd
  Walk(adopted);
  Security copy(adopted);
  Walk(copy);
  copied = copy;
  Walk(copied);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 16) return 0;
  FuzzSid(data, size);
  FuzzAcl(data, size);
  FuzzDescriptor(data, size);
  return 0;
}
