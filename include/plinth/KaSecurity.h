#pragma once
// Security descriptors as owner, primary group and a table of access rights per account, the
// text form of account identifiers (SIDs), and the privileges of the process token.
//
// CKaSecurity is a base class: a host derives from it, obtains a descriptor of some object and
// hands it in, then reads the owner and group records and walks the access table:
//
//   class CFileSecurity : public CKaSecurity { ... BuildSelfRelativeSD(sd) ... };
//   CKaSecurity::AccessInfo* info;
//   fs.Reset();
//   while (fs.Next(1, &info, nullptr) == S_OK) { ... }
//
// The access table has one record per account name; its mask is the OR of the masks of every
// ACE (allow, deny or audit alike) whose SID resolves to that name, so an allow of 0x120089 and
// a deny of 0x10000 for one account read 0x130089. ACEs whose SID does not resolve to an
// account are left out.

#include <plinth/Export.h>
#include <plinth/afx/Map.h>
#include <plinth/afx/String.h>
#include <plinth/win32.h>

// An enumeration in the manner of the component interfaces: S_OK when an element was
// delivered, E_FAIL when none was (or the operation is not supported). The interface's own
// operations do nothing and answer S_FALSE.
template <class T>
struct KaIEnum {
  KaIEnum() {}
  KaIEnum(const KaIEnum&) {}
  KaIEnum& operator=(const KaIEnum&) { return *this; }

  virtual long Next(unsigned long /*wanted*/, T* /*elements*/, unsigned long* /*delivered*/) {
    return S_FALSE;
  }
  virtual long Skip(unsigned long /*count*/) { return S_FALSE; }
  virtual long Reset() { return S_FALSE; }
};

// A CMap that enumerates its values. Next delivers exactly one value per call, whatever the
// number asked for (the array must have room for one), and E_FAIL once the walk is past the
// last entry or before any Reset; Skip is not supported (E_FAIL). Iteration order is the map's.
template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE>
class CKaEnumHashtable : public CMap<KEY, ARG_KEY, VALUE, ARG_VALUE>, public KaIEnum<VALUE> {
  typedef CMap<KEY, ARG_KEY, VALUE, ARG_VALUE> Map;

 public:
  CKaEnumHashtable() : Map(10), m_posEnum(nullptr) {}

  // The same entries (the same values, not copies of what they point to).
  CKaEnumHashtable(const CKaEnumHashtable& source) : Map(10), KaIEnum<VALUE>(), m_posEnum(nullptr) {
    CopyEntriesFrom(source);
  }

  // Sets every entry of the source into this map (a key present in both takes the source's
  // value); entries only here stay. An empty source, or the map itself, changes nothing. The
  // enumeration position is left as it was.
  CKaEnumHashtable& operator=(const CKaEnumHashtable& source) {
    if (this != &source && !source.IsEmpty()) CopyEntriesFrom(source);
    return *this;
  }

  long Next(unsigned long /*wanted*/, VALUE* elements, unsigned long* delivered) override {
    if (!m_posEnum) return E_FAIL;
    KEY key;
    VALUE value;
    this->GetNextAssoc(m_posEnum, key, value);
    elements[0] = value;
    if (delivered) *delivered = 1;
    return S_OK;
  }
  long Skip(unsigned long /*count*/) override { return E_FAIL; }
  long Reset() override {
    m_posEnum = this->GetStartPosition();
    return S_OK;
  }

 protected:
  POSITION m_posEnum;

 private:
  void CopyEntriesFrom(const CKaEnumHashtable& source) {
    POSITION position = source.GetStartPosition();
    while (position) {
      KEY key;
      VALUE value;
      source.GetNextAssoc(position, key, value);
      this->SetAt(key, value);
    }
  }
};

// One account of a descriptor's access list (CKaSecurity::AccessInfo).
struct KaAccessInfo {
  CString strSID;          // SID text of the first ACE that named the account
  CString strSIDType;      // "SidTypeUser", "SidTypeGroup", ...
  CString strAccountName;  // also the key of the access table
  CString strDomainName;
  DWORD dwAccessMask;  // OR of the masks of every ACE naming the account
};

class PLINTH_API CKaSecurity : public KaIEnum<KaAccessInfo*> {
 public:
  // An account: its SID text, its type name and where it lives.
  struct SIDInfo {
    CString strSID;
    CString strSIDType;
    CString strAccountName;
    CString strDomainName;
  };
  typedef KaAccessInfo AccessInfo;

  // A copy owns a self-relative copy of the source's descriptor and copies of its records, so
  // both release theirs once; it reports the same owner, group, accounts and masks. Assignment
  // first releases what the target held, then copies the same way.
  CKaSecurity(const CKaSecurity& source);
  CKaSecurity& operator=(const CKaSecurity& source);
  // Releases the descriptor (with free) and every access record.
  virtual ~CKaSecurity();

  bool HasSecurityInfo() const;
  // False for an object without a descriptor, an invalid SID, or an account not found.
  bool GetOwnerSIDInfo(SIDInfo& info);
  bool GetPrimaryGroupSIDInfo(SIDInfo& info);

  // The access table's enumeration: Reset, then Next(1, ...) until it stops returning S_OK.
  long Next(unsigned long wanted, AccessInfo** elements, unsigned long* delivered) override;
  long Skip(unsigned long count) override;  // always E_FAIL
  long Reset() override;

  // Switches a privilege on or off in the process token. True only when the platform reports
  // no error afterwards: a privilege the account does not hold gives false
  // (ERROR_NOT_ALL_ASSIGNED).
  static bool SetPrivilegeInAccessToken(bool enable, const CString& privilege);
  // Switches a privilege in the given token (opened with TOKEN_ADJUST_PRIVILEGES); the result is
  // the platform's, so a privilege the token does not hold still gives non-zero. 0 for an
  // unknown name.
  static int SetPrivilege(void* token, const char* privilege, int enable);
  // SetPrivilege("SeTcbPrivilege", on) in the process token; 0 when the token cannot be opened.
  static int AdjustPrivilege();

 protected:
  CKaSecurity();

  // "S-1-", the authority ("0", "1", "2", "3", "5", else "UnknownAuthority!") and each
  // sub-authority after a hyphen: S-1-5-32-544. A revision other than 1 adds
  // "bad_revision==N" straight after "S-1-" (S-1-bad_revision==25-18). A null SID gives "".
  static void GetSIDAsString(void* const sid, CString& text);

  // The held descriptor and its parts (pointers into it), or null.
  void* GetSecurityDescriptor() const;
  void* GetOwner() const;
  void* GetPrimaryGroup() const;
  ACL* GetDacl() const;

  // Adopts a descriptor allocated with malloc (the object frees it). Handing in a second one
  // releases the first; its accounts are added to the table, their masks ORed into records of
  // the same name. An invalid descriptor returns false and changes nothing.
  bool SetSecurityDescriptor(void* const sd);
  // Holds a self-relative copy of the descriptor (absolute ones are converted). When the copy
  // cannot be made the object keeps what it held.
  bool BuildSelfRelativeSD(void* const sd);
  // A self-relative copy allocated with malloc in *copy (null on failure): byte for byte for a
  // self-relative descriptor, converted for an absolute one.
  static bool BuildSelfRelativeSD(void* const sd, void** copy);

 private:
  bool GetSIDInfo(void* const sid, SIDInfo& info);
  bool InitSDComponents();
  bool MapAccessRights(ACL* const dacl);
  void Release();
  void CopyFrom(const CKaSecurity& source);

  void* m_pSD;
  ACL* m_pDacl;
  void* m_pOwner;
  void* m_pGroup;
  CKaEnumHashtable<CString, const char*, AccessInfo*, AccessInfo*&> m_mapAccess;
};
