#pragma once
// Hand-built SIDs, access lists and descriptors for tests, made with the Win32 builders so that
// they hold on Windows and on the platform layer alike.

#include <plinth/win32.h>

#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <vector>

namespace plinth::test {

// A SID in DWORD-aligned storage: revision, authority (its last byte; or all six), then the
// sub-authorities.
class Sid {
 public:
  Sid(BYTE authority, std::initializer_list<DWORD> subAuthorities, BYTE revision = 1)
      : Sid({0, 0, 0, 0, 0, authority}, subAuthorities, revision) {}
  Sid(std::initializer_list<BYTE> authority6, std::initializer_list<DWORD> subAuthorities,
      BYTE revision = 1)
      : words_(2 + subAuthorities.size()) {
    unsigned char* bytes = reinterpret_cast<unsigned char*>(words_.data());
    bytes[0] = revision;
    bytes[1] = static_cast<BYTE>(subAuthorities.size());
    size_t i = 2;
    for (BYTE b : authority6) bytes[i++] = b;
    size_t s = 2;
    for (DWORD d : subAuthorities) words_[s++] = d;
  }

  PSID get() { return words_.data(); }
  size_t size() const { return words_.size() * 4; }

 private:
  std::vector<DWORD> words_;
};

inline Sid Everyone() { return Sid(1, {0}); }
inline Sid LocalSystem() { return Sid(5, {18}); }
inline Sid Administrators() { return Sid(5, {32, 544}); }
inline Sid Users() { return Sid(5, {32, 545}); }

// An ACL with room for `room` bytes of ACEs.
class Acl {
 public:
  explicit Acl(size_t room = 512) : words_((sizeof(ACL) + room + 3) / 4) {
    InitializeAcl(get(), static_cast<DWORD>(words_.size() * 4), ACL_REVISION);
  }
  PACL get() { return reinterpret_cast<PACL>(words_.data()); }
  Acl& Allow(Sid sid, DWORD mask) {
    AddAccessAllowedAce(get(), ACL_REVISION, mask, sid.get());
    return *this;
  }
  Acl& Deny(Sid sid, DWORD mask) {
    AddAccessDeniedAce(get(), ACL_REVISION, mask, sid.get());
    return *this;
  }

 private:
  std::vector<DWORD> words_;
};

// An absolute descriptor over parts that this object keeps alive.
class AbsoluteSd {
 public:
  AbsoluteSd(Sid owner, Sid group) : owner_(owner), group_(group) {
    InitializeSecurityDescriptor(&sd_, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorOwner(&sd_, owner_.get(), FALSE);
    SetSecurityDescriptorGroup(&sd_, group_.get(), FALSE);
  }
  AbsoluteSd(const AbsoluteSd&) = delete;
  AbsoluteSd& operator=(const AbsoluteSd&) = delete;

  AbsoluteSd& WithDacl(const Acl& dacl) {
    dacl_ = dacl;
    SetSecurityDescriptorDacl(&sd_, TRUE, dacl_.get(), FALSE);
    return *this;
  }
  AbsoluteSd& WithNullDacl() {
    SetSecurityDescriptorDacl(&sd_, TRUE, nullptr, FALSE);
    return *this;
  }
  PSECURITY_DESCRIPTOR get() { return &sd_; }

  // A self-relative copy in memory from malloc (the caller frees it, or hands it on).
  void* SelfRelative() {
    DWORD size = 0;
    MakeSelfRelativeSD(&sd_, nullptr, &size);
    void* bytes = std::malloc(size);
    if (!MakeSelfRelativeSD(&sd_, bytes, &size)) {
      std::free(bytes);
      return nullptr;
    }
    return bytes;
  }

 private:
  SECURITY_DESCRIPTOR sd_;
  Sid owner_;
  Sid group_;
  Acl dacl_{0};
};

}  // namespace plinth::test
