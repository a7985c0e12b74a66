#pragma once
/// \file
/// CKaSecurity: security descriptors as owner, group and access table, SID text and privileges;
/// with the enumeration helpers KaIEnum and CKaEnumHashtable it is built on.

#include <plinth/Export.h>
#include <plinth/afx/Map.h>
#include <plinth/afx/String.h>
#include <plinth/win32.h>

/// An enumeration in the manner of the component interfaces: S_OK when an element was
/// delivered, E_FAIL when none was (or the operation is not supported). The interface's own
/// operations do nothing and answer S_FALSE; derived classes give them meaning.
template <class T>
struct KaIEnum {
  /// Holds no state.
  KaIEnum() {}
  /// Holds no state, so a copy copies nothing.
  KaIEnum(const KaIEnum&) {}
  /// Holds no state, so assignment changes nothing.
  KaIEnum& operator=(const KaIEnum&) { return *this; }

  /// Delivers up to wanted elements into elements and their number into *delivered (when not
  /// null). \return S_OK when an element was delivered, E_FAIL when none was; here S_FALSE.
  virtual long Next(unsigned long /*wanted*/, T* /*elements*/, unsigned long* /*delivered*/) {
    return S_FALSE;
  }
  /// Passes over count elements. \return S_OK when done, E_FAIL when not supported; here
  /// S_FALSE.
  virtual long Skip(unsigned long /*count*/) { return S_FALSE; }
  /// Starts the enumeration again at the first element. \return S_OK when done; here S_FALSE.
  virtual long Reset() { return S_FALSE; }
};

/// A CMap that enumerates its values. Next delivers exactly one value per call, whatever the
/// number asked for (the array must have room for one), and E_FAIL once the walk is past the
/// last entry or before any Reset; Skip is not supported (E_FAIL). Iteration order is the map's.
/// Changing the map during a walk invalidates the walk: Reset again afterwards.
template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE>
class CKaEnumHashtable : public CMap<KEY, ARG_KEY, VALUE, ARG_VALUE>, public KaIEnum<VALUE> {
  typedef CMap<KEY, ARG_KEY, VALUE, ARG_VALUE> Map;

 public:
  /// An empty map (block size 10) with no walk started.
  CKaEnumHashtable() : Map(10), m_posEnum(nullptr) {}

  /// The same entries (the same values, not copies of what they point to); no walk started.
  CKaEnumHashtable(const CKaEnumHashtable& source) : Map(10), KaIEnum<VALUE>(), m_posEnum(nullptr) {
    CopyEntriesFrom(source);
  }

  /// Sets every entry of the source into this map (a key present in both takes the source's
  /// value); entries only here stay. An empty source, or the map itself, changes nothing. The
  /// enumeration position is left as it was.
  CKaEnumHashtable& operator=(const CKaEnumHashtable& source) {
    if (this != &source && !source.IsEmpty()) CopyEntriesFrom(source);
    return *this;
  }

  /// Delivers the next value into elements[0] and 1 into *delivered (when not null), whatever
  /// the number wanted. \return S_OK when a value was delivered; E_FAIL past the last entry or
  /// before the first Reset, and then nothing is written.
  long Next(unsigned long /*wanted*/, VALUE* elements, unsigned long* delivered) override {
    if (!m_posEnum) return E_FAIL;
    KEY key;
    VALUE value;
    this->GetNextAssoc(m_posEnum, key, value);
    elements[0] = value;
    if (delivered) *delivered = 1;
    return S_OK;
  }
  /// Not supported. \return E_FAIL, always.
  long Skip(unsigned long /*count*/) override { return E_FAIL; }
  /// Starts a walk at the map's first entry (an empty map has none: Next then gives E_FAIL).
  /// \return S_OK, always.
  long Reset() override {
    m_posEnum = this->GetStartPosition();
    return S_OK;
  }

 protected:
  POSITION m_posEnum;  ///< The entry Next delivers next; null before Reset and past the end.

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

/// One account of a descriptor's access list (CKaSecurity::AccessInfo).
struct KaAccessInfo {
  CString strSID;          ///< SID text of the first ACE that named the account
  CString strSIDType;      ///< "SidTypeUser", "SidTypeGroup", ... (as in CKaSecurity::SIDInfo)
  CString strAccountName;  ///< also the key of the access table
  CString strDomainName;   ///< where the account lives ("BUILTIN", "NT AUTHORITY", ...)
  DWORD dwAccessMask;  ///< OR of the masks of every ACE naming the account
};

/// Security descriptors as owner, primary group and a table of access rights per account, the
/// text form of account identifiers (SIDs), and the privileges of the process token.
///
/// CKaSecurity is a base class: a host derives from it, obtains a descriptor of some object and
/// hands it in, then reads the owner and group records and walks the access table:
///
/// \code
///   class CFileSecurity : public CKaSecurity { ... BuildSelfRelativeSD(sd) ... };
///   CKaSecurity::AccessInfo* info;
///   fs.Reset();
///   while (fs.Next(1, &info, nullptr) == S_OK) { ... }
/// \endcode
///
/// The access table has one record per account name; its mask is the OR of the masks of every
/// ACE (allow, deny or audit alike) whose SID resolves to that name, so an allow of 0x120089 and
/// a deny of 0x10000 for one account read 0x130089. ACEs whose SID does not resolve to an
/// account are left out. The records belong to the object: do not delete them, and do not keep
/// them past its destruction or assignment.
class PLINTH_API CKaSecurity : public KaIEnum<KaAccessInfo*> {
 public:
  /// An account: its SID text, its type name and where it lives.
  struct SIDInfo {
    CString strSID;          ///< "S-1-5-32-544"; see GetSIDAsString
    CString strSIDType;      ///< "SidTypeUser", "SidTypeGroup", "SidTypeDomain", "SidTypeAlias",
                             ///< "SidTypeWellKnownGroup", "SidTypeDeletedAccount",
                             ///< "SidTypeInvalid" or "SidTypeUnknown"
    CString strAccountName;  ///< the account's name ("Administrators"; on POSIX also Unix users)
    CString strDomainName;   ///< where the account lives ("BUILTIN", "NT AUTHORITY", ...)
  };
  /// One record of the access table.
  typedef KaAccessInfo AccessInfo;

  /// A copy owns a self-relative copy of the source's descriptor and copies of its records, so
  /// both release theirs once; it reports the same owner, group, accounts and masks. Assignment
  /// first releases what the target held, then copies the same way; assigning an object to
  /// itself changes nothing. \throws CMemoryException* when the copy cannot be made.
  ///@{
  CKaSecurity(const CKaSecurity& source);
  CKaSecurity& operator=(const CKaSecurity& source);
  ///@}
  /// Releases the descriptor (with free) and every access record.
  virtual ~CKaSecurity();

  /// Whether the object holds a descriptor.
  bool HasSecurityInfo() const;
  /// Fills info with the account of the descriptor's owner, or of its primary group.
  /// \return false for an object without a descriptor or without that part, an invalid SID
  /// (info untouched), or an account not found (account and domain names emptied).
  ///@{
  bool GetOwnerSIDInfo(SIDInfo& info);
  bool GetPrimaryGroupSIDInfo(SIDInfo& info);
  ///@}

  /// The access table's enumeration: Reset, then Next(1, ...) until it stops returning S_OK.
  /// Next delivers one record per call whatever the number wanted (elements needs room for
  /// one) and 1 into *delivered when that is not null. \return S_OK when a record was
  /// delivered; E_FAIL past the last record or before the first Reset.
  long Next(unsigned long wanted, AccessInfo** elements, unsigned long* delivered) override;
  /// Not supported. \return E_FAIL, always.
  long Skip(unsigned long count) override;
  /// Starts the walk of the access table at its first record. \return S_OK, always.
  long Reset() override;

  /// Switches a privilege ("SeShutdownPrivilege", ...) on or off in the process token.
  /// \return true only when the platform reports no error afterwards: a privilege the account
  /// does not hold gives false (last error ERROR_NOT_ALL_ASSIGNED), as do an unknown name
  /// (ERROR_NO_SUCH_PRIVILEGE) and a token that cannot be opened. On POSIX a privilege is held
  /// when its capability is permitted and enabled when it is effective.
  static bool SetPrivilegeInAccessToken(bool enable, const CString& privilege);
  /// Switches a privilege in the given token (opened with TOKEN_ADJUST_PRIVILEGES); enable is
  /// taken as a truth value. \return the platform's result, so a privilege the token does not
  /// hold still gives non-zero (with last error ERROR_NOT_ALL_ASSIGNED); 0 for a null or unknown
  /// name, or a token that cannot be adjusted.
  static int SetPrivilege(void* token, const char* privilege, int enable);
  /// SetPrivilege("SeTcbPrivilege", on) in the process token. \return SetPrivilege's result; 0
  /// when the token cannot be opened.
  static int AdjustPrivilege();

 protected:
  /// An object without a descriptor and with an empty access table.
  CKaSecurity();

  /// "S-1-", the authority ("0", "1", "2", "3", "5", else "UnknownAuthority!") and each
  /// sub-authority after a hyphen: S-1-5-32-544. A revision other than 1 adds
  /// "bad_revision==N" straight after "S-1-" (S-1-bad_revision==25-18). A null SID gives "".
  /// The SID is not validated; the text is cut at 255 characters.
  static void GetSIDAsString(void* const sid, CString& text);

  /// The held descriptor and its parts (pointers into it), or null; valid until the
  /// descriptor is replaced or the object destroyed.
  ///@{
  void* GetSecurityDescriptor() const;
  void* GetOwner() const;
  void* GetPrimaryGroup() const;
  ACL* GetDacl() const;
  ///@}

  /// Adopts a descriptor allocated with malloc (the object frees it). Handing in a second one
  /// releases the first; its accounts are added to the table, their masks ORed into records of
  /// the same name. An invalid (or null) descriptor returns false and changes nothing.
  /// \return true when the owner, group and access list could be read; false otherwise (the
  /// descriptor is adopted all the same). \throws CMemoryException* when a record cannot be
  /// allocated.
  bool SetSecurityDescriptor(void* const sd);
  /// Holds a self-relative copy of the descriptor (absolute ones are converted); the caller
  /// keeps sd. When the copy cannot be made (null or invalid sd, no memory) the object keeps
  /// what it held and the result is false. \return true when the copy was made and its parts
  /// could be read.
  bool BuildSelfRelativeSD(void* const sd);
  /// A self-relative copy allocated with malloc in *copy (null on failure): byte for byte for a
  /// self-relative descriptor, converted for an absolute one. The caller frees it.
  /// \return false for a null copy pointer (nothing written), a null or invalid descriptor
  /// (*copy untouched) or a failed allocation or conversion.
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
