#pragma once
/// \file
/// Security identifiers, access-control lists and security descriptors in the published Windows
/// binary layouts, the account lookup and the security of files. Included by <plinth/win32.h>
/// on POSIX only; on Windows the same names come from <windows.h>.
///
/// What the validators assume. The Win32 calls take a bare pointer, so the bytes they may read
/// are those the structure itself claims: IsValidSid reads the two header bytes it checks;
/// IsValidAcl reads AclSize bytes; IsValidSecurityDescriptor reads the 20-byte header of a
/// self-relative descriptor and then each part at its offset, as far as the part's own header
/// claims (an offset or size that would wrap fails). Nothing outside those bytes is read. The
/// parts of a self-relative descriptor and its SIDs sit on 4-byte boundaries from its start.
/// Untrusted bytes of a known length go through
/// the length-checked forms PlinthIsValidSidBytes, PlinthIsValidAclBytes and
/// PlinthIsValidSecurityDescriptorBytes first:
///
///     if (PlinthIsValidSecurityDescriptorBytes(bytes, size)) GetSecurityDescriptorLength(bytes);
///
/// Calls that fail set the last error; calls that succeed leave it alone, except the SID
/// accessors and GetFileSecurityA, which set ERROR_SUCCESS.

// ---------------------------------------------------------------------------------------------
// Types.
typedef void* PVOID;  ///< Untyped pointer.
typedef PVOID PSID;   ///< A SID, in its binary layout (see SID).
/// A security descriptor, absolute (SECURITY_DESCRIPTOR) or self-relative
/// (SECURITY_DESCRIPTOR_RELATIVE); its Control word tells which (SE_SELF_RELATIVE).
typedef PVOID PSECURITY_DESCRIPTOR;
typedef DWORD ACCESS_MASK;          ///< A set of access rights (standard, generic, specific).
typedef ACCESS_MASK* PACCESS_MASK;  ///< Pointer to an ACCESS_MASK.
/// Which parts of a descriptor are asked for (OWNER_SECURITY_INFORMATION, …).
typedef DWORD SECURITY_INFORMATION;
typedef WORD SECURITY_DESCRIPTOR_CONTROL;  ///< The SE_... flags of a security descriptor.
/// Pointer to a SECURITY_DESCRIPTOR_CONTROL.
typedef SECURITY_DESCRIPTOR_CONTROL* PSECURITY_DESCRIPTOR_CONTROL;
typedef unsigned char UCHAR;  ///< Unsigned byte.
typedef UCHAR* PUCHAR;        ///< Pointer to a UCHAR.
typedef DWORD* PDWORD;        ///< Pointer to a DWORD.

#ifndef ANYSIZE_ARRAY
/// Declared length of a trailing array whose real length the record itself gives.
#define ANYSIZE_ARRAY 1
#endif

/// The 48-bit identifier authority of a SID, most significant byte first.
typedef struct _SID_IDENTIFIER_AUTHORITY {
  BYTE Value[6];  ///< The authority, big-endian (S-1-5-… has {0,0,0,0,0,5}).
} SID_IDENTIFIER_AUTHORITY, *PSID_IDENTIFIER_AUTHORITY;
/// \typedef PSID_IDENTIFIER_AUTHORITY
/// Pointer to a SID_IDENTIFIER_AUTHORITY.

/// A security identifier: 8 header bytes, then SubAuthorityCount 32-bit sub-authorities
/// (little-endian). Its length is 8 + 4 × SubAuthorityCount (GetLengthSid).
typedef struct _SID {
  BYTE Revision;                                 ///< SID_REVISION for a valid SID.
  BYTE SubAuthorityCount;                        ///< At most SID_MAX_SUB_AUTHORITIES.
  SID_IDENTIFIER_AUTHORITY IdentifierAuthority;  ///< The authority (the "5" of S-1-5-18).
  DWORD SubAuthority[ANYSIZE_ARRAY];             ///< The sub-authorities, as many as counted.
} SID, *PISID;
/// \typedef PISID
/// Pointer to a SID.

#define SID_REVISION 1              ///< The only SID revision there is.
#define SID_MAX_SUB_AUTHORITIES 15  ///< Most sub-authorities a valid SID may have.
#define SECURITY_MAX_SID_SIZE 68    ///< Bytes of the longest valid SID.

/// Identifier authorities of the well-known SIDs, as SID_IDENTIFIER_AUTHORITY initialisers.
///@{
#define SECURITY_NULL_SID_AUTHORITY \
  { 0, 0, 0, 0, 0, 0 }
#define SECURITY_WORLD_SID_AUTHORITY \
  { 0, 0, 0, 0, 0, 1 }
#define SECURITY_LOCAL_SID_AUTHORITY \
  { 0, 0, 0, 0, 0, 2 }
#define SECURITY_CREATOR_SID_AUTHORITY \
  { 0, 0, 0, 0, 0, 3 }
#define SECURITY_NON_UNIQUE_AUTHORITY \
  { 0, 0, 0, 0, 0, 4 }
#define SECURITY_NT_AUTHORITY \
  { 0, 0, 0, 0, 0, 5 }
#define SECURITY_MANDATORY_LABEL_AUTHORITY \
  { 0, 0, 0, 0, 0, 16 }
///@}

/// Relative identifiers (sub-authorities) of the well-known SIDs.
///@{
#define SECURITY_NULL_RID 0x00000000L
#define SECURITY_WORLD_RID 0x00000000L
#define SECURITY_LOCAL_RID 0x00000000L
#define SECURITY_CREATOR_OWNER_RID 0x00000000L
#define SECURITY_CREATOR_GROUP_RID 0x00000001L
#define SECURITY_LOCAL_SYSTEM_RID 0x00000012L
#define SECURITY_BUILTIN_DOMAIN_RID 0x00000020L
#define DOMAIN_ALIAS_RID_ADMINS 0x00000220L
#define DOMAIN_ALIAS_RID_USERS 0x00000221L
///@}

/// What kind of account a SID names, as LookupAccountSidA reports it. On POSIX only
/// SidTypeUser (Unix users), SidTypeGroup (Unix groups), SidTypeDomain, SidTypeAlias (BUILTIN
/// groups) and SidTypeWellKnownGroup come back.
typedef enum _SID_NAME_USE {
  SidTypeUser = 1,        ///< A user account.
  SidTypeGroup,           ///< A group account.
  SidTypeDomain,          ///< A domain.
  SidTypeAlias,           ///< A local (alias) group, such as BUILTIN\\Administrators.
  SidTypeWellKnownGroup,  ///< A well-known group, such as Everyone.
  SidTypeDeletedAccount,  ///< An account that was deleted.
  SidTypeInvalid,         ///< Not a valid account.
  SidTypeUnknown,         ///< An account of unknown kind.
  SidTypeComputer,        ///< A computer.
  SidTypeLabel,           ///< A mandatory integrity label.
  SidTypeLogonSession     ///< A logon session.
} SID_NAME_USE,
    *PSID_NAME_USE;
/// \typedef PSID_NAME_USE
/// Pointer to a SID_NAME_USE.

/// Header of an access-control list; its ACEs follow it, each on a 4-byte boundary, inside
/// AclSize bytes.
typedef struct _ACL {
  BYTE AclRevision;  ///< MIN_ACL_REVISION … MAX_ACL_REVISION.
  BYTE Sbz1;         ///< Zero.
  WORD AclSize;      ///< Bytes of the whole list, header and free room included.
  WORD AceCount;     ///< Number of ACEs.
  WORD Sbz2;         ///< Zero.
} ACL, *PACL;
/// \typedef PACL
/// Pointer to a ACL.

/// ACL revisions. Adding an ACE of a later revision raises the list's revision.
///@{
#define ACL_REVISION 2
#define ACL_REVISION_DS 4
#define ACL_REVISION2 2
#define ACL_REVISION3 3
#define ACL_REVISION4 4
#define MIN_ACL_REVISION ACL_REVISION2
#define MAX_ACL_REVISION ACL_REVISION4
///@}

/// Header of every access-control entry.
typedef struct _ACE_HEADER {
  BYTE AceType;   ///< One of the ..._ACE_TYPE values.
  BYTE AceFlags;  ///< Inheritance and audit flags (OBJECT_INHERIT_ACE, …).
  WORD AceSize;   ///< Bytes of the whole ACE, a multiple of 4.
} ACE_HEADER, *PACE_HEADER;
/// \typedef PACE_HEADER
/// Pointer to a ACE_HEADER.

/// ACE types (ACE_HEADER::AceType). IsValidAcl checks the SID of the types whose layout it
/// knows; AddAccessAllowedAce and AddAccessDeniedAce write the first two.
///@{
#define ACCESS_ALLOWED_ACE_TYPE 0x0
#define ACCESS_DENIED_ACE_TYPE 0x1
#define SYSTEM_AUDIT_ACE_TYPE 0x2
#define SYSTEM_ALARM_ACE_TYPE 0x3
#define ACCESS_ALLOWED_COMPOUND_ACE_TYPE 0x4
#define ACCESS_ALLOWED_OBJECT_ACE_TYPE 0x5
#define ACCESS_DENIED_OBJECT_ACE_TYPE 0x6
#define SYSTEM_AUDIT_OBJECT_ACE_TYPE 0x7
#define SYSTEM_ALARM_OBJECT_ACE_TYPE 0x8
#define ACCESS_ALLOWED_CALLBACK_ACE_TYPE 0x9
#define ACCESS_DENIED_CALLBACK_ACE_TYPE 0xA
#define ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE 0xB
#define ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE 0xC
#define SYSTEM_AUDIT_CALLBACK_ACE_TYPE 0xD
#define SYSTEM_ALARM_CALLBACK_ACE_TYPE 0xE
#define SYSTEM_AUDIT_CALLBACK_OBJECT_ACE_TYPE 0xF
#define SYSTEM_ALARM_CALLBACK_OBJECT_ACE_TYPE 0x10
#define SYSTEM_MANDATORY_LABEL_ACE_TYPE 0x11
///@}

/// ACE flags (ACE_HEADER::AceFlags): inheritance and audit.
///@{
#define OBJECT_INHERIT_ACE 0x1
#define CONTAINER_INHERIT_ACE 0x2
#define NO_PROPAGATE_INHERIT_ACE 0x4
#define INHERIT_ONLY_ACE 0x8
#define INHERITED_ACE 0x10
#define SUCCESSFUL_ACCESS_ACE_FLAG 0x40
#define FAILED_ACCESS_ACE_FLAG 0x80
///@}

/// An ACE that allows the rights of Mask to the SID that starts at SidStart.
typedef struct _ACCESS_ALLOWED_ACE {
  ACE_HEADER Header;  ///< AceType ACCESS_ALLOWED_ACE_TYPE.
  ACCESS_MASK Mask;   ///< The rights allowed.
  DWORD SidStart;     ///< First 4 bytes of the SID, which runs on to the end of the ACE.
} ACCESS_ALLOWED_ACE, *PACCESS_ALLOWED_ACE;
/// \typedef PACCESS_ALLOWED_ACE
/// Pointer to a ACCESS_ALLOWED_ACE.

/// An ACE that denies the rights of Mask to the SID that starts at SidStart.
typedef struct _ACCESS_DENIED_ACE {
  ACE_HEADER Header;  ///< AceType ACCESS_DENIED_ACE_TYPE.
  ACCESS_MASK Mask;   ///< The rights denied.
  DWORD SidStart;     ///< First 4 bytes of the SID, which runs on to the end of the ACE.
} ACCESS_DENIED_ACE, *PACCESS_DENIED_ACE;
/// \typedef PACCESS_DENIED_ACE
/// Pointer to a ACCESS_DENIED_ACE.

/// An ACE that audits use of the rights of Mask by the SID that starts at SidStart.
typedef struct _SYSTEM_AUDIT_ACE {
  ACE_HEADER Header;  ///< AceType SYSTEM_AUDIT_ACE_TYPE.
  ACCESS_MASK Mask;   ///< The rights audited.
  DWORD SidStart;     ///< First 4 bytes of the SID, which runs on to the end of the ACE.
} SYSTEM_AUDIT_ACE, *PSYSTEM_AUDIT_ACE;
/// \typedef PSYSTEM_AUDIT_ACE
/// Pointer to a SYSTEM_AUDIT_ACE.

/// The object ACEs: after the mask come Flags, then the GUIDs that Flags announces, then the SID.
///@{
#define ACE_OBJECT_TYPE_PRESENT 0x1
#define ACE_INHERITED_OBJECT_TYPE_PRESENT 0x2
///@}

/// What GetAclInformation reports.
typedef enum _ACL_INFORMATION_CLASS {
  AclRevisionInformation = 1,  ///< An ACL_REVISION_INFORMATION.
  AclSizeInformation           ///< An ACL_SIZE_INFORMATION.
} ACL_INFORMATION_CLASS;

/// The revision of an ACL, from GetAclInformation.
typedef struct _ACL_REVISION_INFORMATION {
  DWORD AclRevision;  ///< ACL::AclRevision.
} ACL_REVISION_INFORMATION, *PACL_REVISION_INFORMATION;
/// \typedef PACL_REVISION_INFORMATION
/// Pointer to a ACL_REVISION_INFORMATION.

/// The size and use of an ACL, from GetAclInformation.
typedef struct _ACL_SIZE_INFORMATION {
  DWORD AceCount;       ///< Number of ACEs.
  DWORD AclBytesInUse;  ///< Bytes from the start of the list to the end of its last ACE.
  DWORD AclBytesFree;   ///< AclSize less AclBytesInUse: room for more ACEs.
} ACL_SIZE_INFORMATION, *PACL_SIZE_INFORMATION;
/// \typedef PACL_SIZE_INFORMATION
/// Pointer to a ACL_SIZE_INFORMATION.

/// The only security descriptor revision there is.
///@{
#define SECURITY_DESCRIPTOR_REVISION 1
#define SECURITY_DESCRIPTOR_REVISION1 1
///@}

/// Control flags of a security descriptor (SECURITY_DESCRIPTOR_CONTROL). SE_SELF_RELATIVE
/// tells the self-relative form from the absolute one; SE_DACL_PRESENT tells whether a DACL
/// is present at all (a present but null DACL allows everything, as on Windows).
///@{
#define SE_OWNER_DEFAULTED 0x0001
#define SE_GROUP_DEFAULTED 0x0002
#define SE_DACL_PRESENT 0x0004
#define SE_DACL_DEFAULTED 0x0008
#define SE_SACL_PRESENT 0x0010
#define SE_SACL_DEFAULTED 0x0020
#define SE_DACL_AUTO_INHERIT_REQ 0x0100
#define SE_SACL_AUTO_INHERIT_REQ 0x0200
#define SE_DACL_AUTO_INHERITED 0x0400
#define SE_SACL_AUTO_INHERITED 0x0800
#define SE_DACL_PROTECTED 0x1000
#define SE_SACL_PROTECTED 0x2000
#define SE_RM_CONTROL_VALID 0x4000
#define SE_SELF_RELATIVE 0x8000
///@}

/// Absolute form of a security descriptor: the parts are pointers (null for an absent part).
/// Only this form can be changed by the setters.
typedef struct _SECURITY_DESCRIPTOR {
  BYTE Revision;                        ///< SECURITY_DESCRIPTOR_REVISION.
  BYTE Sbz1;                            ///< Zero.
  SECURITY_DESCRIPTOR_CONTROL Control;  ///< SE_... flags; SE_SELF_RELATIVE clear.
  PSID Owner;                           ///< The owner's SID, or null.
  PSID Group;                           ///< The primary group's SID, or null.
  PACL Sacl;                            ///< The audit list, when SE_SACL_PRESENT.
  PACL Dacl;                            ///< The access list, when SE_DACL_PRESENT.
} SECURITY_DESCRIPTOR, *PISECURITY_DESCRIPTOR;
/// \typedef PISECURITY_DESCRIPTOR
/// Pointer to a SECURITY_DESCRIPTOR.

/// Self-relative form: the parts are byte offsets from the start, 0 for an absent part. The
/// header is 20 bytes; GetFileSecurityA and MakeSelfRelativeSD produce this form.
typedef struct _SECURITY_DESCRIPTOR_RELATIVE {
  BYTE Revision;                        ///< SECURITY_DESCRIPTOR_REVISION.
  BYTE Sbz1;                            ///< Zero.
  SECURITY_DESCRIPTOR_CONTROL Control;  ///< SE_... flags; SE_SELF_RELATIVE set.
  DWORD Owner;                          ///< Offset of the owner's SID, or 0.
  DWORD Group;                          ///< Offset of the primary group's SID, or 0.
  DWORD Sacl;                           ///< Offset of the audit list, or 0.
  DWORD Dacl;                           ///< Offset of the access list, or 0.
} SECURITY_DESCRIPTOR_RELATIVE, *PISECURITY_DESCRIPTOR_RELATIVE;
/// \typedef PISECURITY_DESCRIPTOR_RELATIVE
/// Pointer to a SECURITY_DESCRIPTOR_RELATIVE.

/// Bytes of an absolute descriptor's header (pointer-sized parts: 40 on 64-bit platforms).
#define SECURITY_DESCRIPTOR_MIN_LENGTH (sizeof(SECURITY_DESCRIPTOR))

/// Parts of a descriptor a caller asks for (SECURITY_INFORMATION). GetFileSecurityA gives the
/// owner, group and DACL; it never has a SACL to give.
///@{
#define OWNER_SECURITY_INFORMATION 0x00000001L
#define GROUP_SECURITY_INFORMATION 0x00000002L
#define DACL_SECURITY_INFORMATION 0x00000004L
#define SACL_SECURITY_INFORMATION 0x00000008L
///@}

// ---------------------------------------------------------------------------------------------
// Access rights. Other services declare some of these too, hence the guards.
/// Standard and generic access rights, as Windows defines them. On POSIX they label the
/// entries GetFileSecurityA makes and the rights asked of registry keys; nothing here checks
/// them against a file.
///@{
#ifndef DELETE
#define DELETE 0x00010000L
#endif
#ifndef READ_CONTROL
#define READ_CONTROL 0x00020000L
#endif
#ifndef WRITE_DAC
#define WRITE_DAC 0x00040000L
#endif
#ifndef WRITE_OWNER
#define WRITE_OWNER 0x00080000L
#endif
#ifndef SYNCHRONIZE
#define SYNCHRONIZE 0x00100000L
#endif
#ifndef STANDARD_RIGHTS_REQUIRED
#define STANDARD_RIGHTS_REQUIRED 0x000F0000L
#endif
#ifndef STANDARD_RIGHTS_READ
#define STANDARD_RIGHTS_READ READ_CONTROL
#endif
#ifndef STANDARD_RIGHTS_WRITE
#define STANDARD_RIGHTS_WRITE READ_CONTROL
#endif
#ifndef STANDARD_RIGHTS_EXECUTE
#define STANDARD_RIGHTS_EXECUTE READ_CONTROL
#endif
#ifndef STANDARD_RIGHTS_ALL
#define STANDARD_RIGHTS_ALL 0x001F0000L
#endif
#ifndef SPECIFIC_RIGHTS_ALL
#define SPECIFIC_RIGHTS_ALL 0x0000FFFFL
#endif
#ifndef ACCESS_SYSTEM_SECURITY
#define ACCESS_SYSTEM_SECURITY 0x01000000L
#endif
#ifndef MAXIMUM_ALLOWED
#define MAXIMUM_ALLOWED 0x02000000L
#endif
#ifndef GENERIC_READ
#define GENERIC_READ 0x80000000L
#endif
#ifndef GENERIC_WRITE
#define GENERIC_WRITE 0x40000000L
#endif
#ifndef GENERIC_EXECUTE
#define GENERIC_EXECUTE 0x20000000L
#endif
#ifndef GENERIC_ALL
#define GENERIC_ALL 0x10000000L
#endif
///@}

/// Specific access rights of files and folders. GetFileSecurityA maps the mode bits onto
/// them: read gives FILE_GENERIC_READ, write FILE_GENERIC_WRITE (and FILE_DELETE_CHILD on a
/// folder), execute FILE_GENERIC_EXECUTE.
///@{
#define FILE_READ_DATA 0x0001
#define FILE_LIST_DIRECTORY 0x0001
#define FILE_WRITE_DATA 0x0002
#define FILE_ADD_FILE 0x0002
#define FILE_APPEND_DATA 0x0004
#define FILE_ADD_SUBDIRECTORY 0x0004
#define FILE_READ_EA 0x0008
#define FILE_WRITE_EA 0x0010
#define FILE_EXECUTE 0x0020
#define FILE_TRAVERSE 0x0020
#define FILE_DELETE_CHILD 0x0040
#define FILE_READ_ATTRIBUTES 0x0080
#define FILE_WRITE_ATTRIBUTES 0x0100
#define FILE_ALL_ACCESS (STANDARD_RIGHTS_REQUIRED | SYNCHRONIZE | 0x1FF)
#define FILE_GENERIC_READ \
  (STANDARD_RIGHTS_READ | FILE_READ_DATA | FILE_READ_ATTRIBUTES | FILE_READ_EA | SYNCHRONIZE)
#define FILE_GENERIC_WRITE                                                           \
  (STANDARD_RIGHTS_WRITE | FILE_WRITE_DATA | FILE_WRITE_ATTRIBUTES | FILE_WRITE_EA | \
   FILE_APPEND_DATA | SYNCHRONIZE)
#define FILE_GENERIC_EXECUTE \
  (STANDARD_RIGHTS_EXECUTE | FILE_READ_ATTRIBUTES | FILE_EXECUTE | SYNCHRONIZE)
///@}

/// Error codes of the security, account and privilege calls, beyond the common ones of
/// <plinth/win32.h>.
///@{
#define ERROR_NOT_ALL_ASSIGNED 1300L
#ifndef ERROR_UNKNOWN_REVISION
#define ERROR_UNKNOWN_REVISION 1305L
#endif
#ifndef ERROR_REVISION_MISMATCH
#define ERROR_REVISION_MISMATCH 1306L
#endif
#define ERROR_PRIVILEGE_NOT_HELD 1314L
#define ERROR_INVALID_OWNER 1307L
#define ERROR_INVALID_PRIMARY_GROUP 1308L
#define ERROR_NO_SUCH_PRIVILEGE 1313L
#define ERROR_INVALID_ACL 1336L
#define ERROR_INVALID_SID 1337L
#define ERROR_INVALID_SECURITY_DESCR 1338L
#define ERROR_BAD_DESCRIPTOR_FORMAT 1361L
#define ERROR_NONE_MAPPED 1332L
#define ERROR_ALLOTTED_SPACE_EXCEEDED 1344L
#define ERROR_INVALID_COMPUTERNAME 1210L
#ifndef ERROR_NOT_SUPPORTED
#define ERROR_NOT_SUPPORTED 50L
#endif
///@}

extern "C" {

// ---------------------------------------------------------------------------------------------
// SIDs. The accessors do not validate: as on Windows, they are for SIDs that passed IsValidSid.

/// Whether sid is not null, has revision SID_REVISION and at most SID_MAX_SUB_AUTHORITIES
/// sub-authorities. Reads only the two header bytes it checks; sets no last error.
PLINTH_API BOOL IsValidSid(PSID sid);
/// Pointers into a SID: its identifier authority, its sub-authority count, and its
/// sub-authority at index. They do not validate (as on Windows, they are for SIDs that passed
/// IsValidSid; an index past the count points past the SID) and set the last error to
/// ERROR_SUCCESS.
///@{
PLINTH_API PSID_IDENTIFIER_AUTHORITY GetSidIdentifierAuthority(PSID sid);
PLINTH_API PUCHAR GetSidSubAuthorityCount(PSID sid);
PLINTH_API PDWORD GetSidSubAuthority(PSID sid, DWORD index);
///@}
/// Bytes of a SID: 8 + 4 bytes per sub-authority; 0 for an invalid SID (no last error set).
PLINTH_API DWORD GetLengthSid(PSID sid);
/// Copies a SID into a buffer of destinationLength bytes (the two may overlap).
/// \return TRUE; FALSE with ERROR_INVALID_SID for an invalid source, ERROR_INSUFFICIENT_BUFFER
/// when the destination is null or shorter than the SID.
PLINTH_API BOOL CopySid(DWORD destinationLength, PSID destination, PSID source);

// ---------------------------------------------------------------------------------------------
// ACLs.

/// Whether an ACL is well formed: IsValidAcl checks the header, that every ACE lies inside
/// AclSize on a 4-byte boundary, and that the SID of each ACE whose layout it knows is valid
/// and inside the ACE. Reads AclSize bytes and no more; a null acl is invalid. Sets no last
/// error.
PLINTH_API BOOL IsValidAcl(PACL acl);
/// Makes an empty ACL of length bytes and the given revision in acl.
/// \return TRUE; FALSE with ERROR_INVALID_PARAMETER (null acl, length over 65,535, revision
/// outside MIN_ACL_REVISION … MAX_ACL_REVISION) or ERROR_INSUFFICIENT_BUFFER (length shorter
/// than the 8-byte header).
PLINTH_API BOOL InitializeAcl(PACL acl, DWORD length, DWORD revision);
/// Fills an ACL_REVISION_INFORMATION or ACL_SIZE_INFORMATION of length bytes.
/// \return TRUE; FALSE with ERROR_INVALID_PARAMETER (null pointer, unknown class),
/// ERROR_INSUFFICIENT_BUFFER (length too small for the record), ERROR_INVALID_ACL (sizes of a
/// malformed list).
PLINTH_API BOOL GetAclInformation(PACL acl, LPVOID information, DWORD length,
                                  ACL_INFORMATION_CLASS informationClass);
/// Points *ace at the ACE at index of the list.
/// \return TRUE; FALSE with ERROR_INVALID_PARAMETER for a null pointer, an index at or past
/// AceCount, or ACEs that run out of AclSize on the way.
PLINTH_API BOOL GetAce(PACL acl, DWORD index, LPVOID* ace);
/// Append an allow (deny) ACE for sid with accessMask and no flags, after the ACEs already
/// there; the list's revision rises to revision when that is higher.
/// \return TRUE; FALSE with ERROR_INVALID_ACL, ERROR_REVISION_MISMATCH (revision outside
/// MIN_ACL_REVISION … MAX_ACL_REVISION), ERROR_INVALID_SID, or ERROR_ALLOTTED_SPACE_EXCEEDED
/// when AclSize has no room for it.
///@{
PLINTH_API BOOL AddAccessAllowedAce(PACL acl, DWORD revision, DWORD accessMask, PSID sid);
PLINTH_API BOOL AddAccessDeniedAce(PACL acl, DWORD revision, DWORD accessMask, PSID sid);
///@}

// ---------------------------------------------------------------------------------------------
// Security descriptors, in both forms.

/// Makes sd an empty absolute descriptor: no owner, group or lists, no control flags.
/// \return TRUE; FALSE with ERROR_INVALID_PARAMETER (null sd) or ERROR_UNKNOWN_REVISION
/// (revision other than SECURITY_DESCRIPTOR_REVISION).
PLINTH_API BOOL InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR sd, DWORD revision);
/// Whether a descriptor, in either form, and its parts are well formed (see the file
/// description for the bytes it reads).
/// \return TRUE; FALSE with ERROR_INVALID_SECURITY_DESCR.
PLINTH_API BOOL IsValidSecurityDescriptor(PSECURITY_DESCRIPTOR sd);
/// Reads the revision and control flags of a descriptor. Both are written even when the
/// revision is unknown.
/// \return TRUE; FALSE with ERROR_INVALID_PARAMETER (a null pointer) or ERROR_UNKNOWN_REVISION.
PLINTH_API BOOL GetSecurityDescriptorControl(PSECURITY_DESCRIPTOR sd,
                                             PSECURITY_DESCRIPTOR_CONTROL control,
                                             LPDWORD revision);
/// For a self-relative descriptor, the bytes from its start to the end of its last part; for an
/// absolute one, its header plus its parts (each on a 4-byte boundary). 0 for an invalid
/// descriptor (no last error set).
PLINTH_API DWORD GetSecurityDescriptorLength(PSECURITY_DESCRIPTOR sd);
/// Reads whether a DACL is present and, only when it is, the list (null for a present null
/// DACL) and its defaulted flag; *dacl and *daclDefaulted are left alone otherwise.
/// \return TRUE; FALSE with ERROR_INVALID_PARAMETER (a null out-pointer) or
/// ERROR_INVALID_SECURITY_DESCR.
PLINTH_API BOOL GetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR sd, LPBOOL daclPresent, PACL* dacl,
                                          LPBOOL daclDefaulted);
/// Read the owner (group) SID, null when absent, and its defaulted flag; for a self-relative
/// descriptor the SID points into it.
/// \return TRUE; FALSE with ERROR_INVALID_PARAMETER (a null out-pointer) or
/// ERROR_INVALID_SECURITY_DESCR.
///@{
PLINTH_API BOOL GetSecurityDescriptorOwner(PSECURITY_DESCRIPTOR sd, PSID* owner,
                                           LPBOOL ownerDefaulted);
PLINTH_API BOOL GetSecurityDescriptorGroup(PSECURITY_DESCRIPTOR sd, PSID* group,
                                           LPBOOL groupDefaulted);
///@}
/// Set the owner, the group, or the DACL of an absolute descriptor. The setters work on
/// absolute descriptors only and copy nothing: the descriptor keeps the pointer, which must
/// outlive it. SetSecurityDescriptorDacl with daclPresent FALSE clears the DACL and its flags;
/// with TRUE and a null dacl it gives a present null DACL.
/// \return TRUE; FALSE with ERROR_INVALID_PARAMETER (null sd), ERROR_UNKNOWN_REVISION, or
/// ERROR_INVALID_SECURITY_DESCR (a self-relative descriptor).
///@{
PLINTH_API BOOL SetSecurityDescriptorOwner(PSECURITY_DESCRIPTOR sd, PSID owner, BOOL defaulted);
PLINTH_API BOOL SetSecurityDescriptorGroup(PSECURITY_DESCRIPTOR sd, PSID group, BOOL defaulted);
PLINTH_API BOOL SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR sd, BOOL daclPresent, PACL dacl,
                                          BOOL daclDefaulted);
///@}
/// Absolute to self-relative. A buffer shorter than needed (null included) fails with
/// ERROR_INSUFFICIENT_BUFFER and the size needed in *bufferLength; a descriptor that is already
/// self-relative fails with ERROR_BAD_DESCRIPTOR_FORMAT. Parts are laid out SACL, DACL, owner,
/// group, each on a 4-byte boundary.
/// \return TRUE; FALSE with those errors, ERROR_INVALID_PARAMETER (null bufferLength) or
/// ERROR_INVALID_SECURITY_DESCR.
PLINTH_API BOOL MakeSelfRelativeSD(PSECURITY_DESCRIPTOR absolute, PSECURITY_DESCRIPTOR relative,
                                   LPDWORD bufferLength);

// ---------------------------------------------------------------------------------------------
// Accounts.

/// Finds the account name and domain of a SID. Local lookup only (a system name other than
/// null or "" fails with ERROR_NONE_MAPPED). Known: the well-known SIDs (S-1-1-0 "Everyone",
/// S-1-5-18 "SYSTEM" in "NT AUTHORITY", S-1-5-32-544 "Administrators" in "BUILTIN", …) and the
/// Unix users and groups S-1-22-1-uid (domain "Unix User", SidTypeUser) and S-1-22-2-gid
/// ("Unix Group", SidTypeGroup).
/// Both sizes are read before either buffer is written, so one variable may serve as both; on
/// success each holds the length written without its NUL, on ERROR_INSUFFICIENT_BUFFER the
/// size needed with it (a null buffer counts as too small).
/// \return TRUE; FALSE with ERROR_INVALID_PARAMETER (a null size or use pointer),
/// ERROR_INVALID_SID, ERROR_NONE_MAPPED (unknown SID, or another machine) or
/// ERROR_INSUFFICIENT_BUFFER.
PLINTH_API BOOL LookupAccountSidA(LPCSTR systemName, PSID sid, LPSTR name, LPDWORD nameSize,
                                  LPSTR domainName, LPDWORD domainNameSize, PSID_NAME_USE use);

/// A self-relative descriptor of a file: owner S-1-22-1-uid, group S-1-22-2-gid, and a DACL of
/// allow ACEs, in the order owner, named users, owning group, named groups, Everyone, from the
/// mode bits and the POSIX access ACL where the file system keeps one (a named entry limited by
/// the mask). Read gives FILE_GENERIC_READ, write FILE_GENERIC_WRITE (and FILE_DELETE_CHILD on
/// a directory), execute FILE_GENERIC_EXECUTE; the owner also gets READ_CONTROL | WRITE_DAC |
/// FILE_WRITE_ATTRIBUTES, since it may always change the mode. An entry with no rights is left
/// out. The file system keeps no audit entries, so no SACL is ever present. A buffer shorter than
/// needed fails with ERROR_INSUFFICIENT_BUFFER and the size in *lengthNeeded.
///
/// Only the parts named in requested are included. fileName may use `\` or `/` as separators; a
/// symbolic link is followed. \return TRUE (last error ERROR_SUCCESS); FALSE with
/// ERROR_INVALID_PARAMETER (null fileName or lengthNeeded), ERROR_FILE_NOT_FOUND,
/// ERROR_PATH_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_INVALID_NAME (name too long),
/// ERROR_NOT_ENOUGH_MEMORY, ERROR_INVALID_FUNCTION (any other failure of the system) or
/// ERROR_INSUFFICIENT_BUFFER.
PLINTH_API BOOL GetFileSecurityA(LPCSTR fileName, SECURITY_INFORMATION requested,
                                 PSECURITY_DESCRIPTOR sd, DWORD length, LPDWORD lengthNeeded);

// ---------------------------------------------------------------------------------------------
// Length-checked validation.

/// Length-checked validation of untrusted bytes: the structure must lie wholly inside the size
/// bytes given (a descriptor must be self-relative, its parts inside size). When these accept,
/// the Win32 calls above read nothing outside those bytes. Not Win32 calls; they set no last
/// error.
///@{
PLINTH_API BOOL PlinthIsValidSidBytes(const void* bytes, size_t size);
PLINTH_API BOOL PlinthIsValidAclBytes(const void* bytes, size_t size);
PLINTH_API BOOL PlinthIsValidSecurityDescriptorBytes(const void* bytes, size_t size);
///@}

}  // extern "C"
