#pragma once
// Security identifiers, access-control lists and security descriptors in the published Windows
// binary layouts, the account lookup and the security of files. Included by <plinth/win32.h>
// on POSIX only; on Windows the same names come from <windows.h>.
//
// What the validators assume. The Win32 calls take a bare pointer, so the bytes they may read
// are those the structure itself claims: IsValidSid reads the two header bytes it checks;
// IsValidAcl reads AclSize bytes; IsValidSecurityDescriptor reads the 20-byte header of a
// self-relative descriptor and then each part at its offset, as far as the part's own header
// claims (an offset or size that would wrap fails). Nothing outside those bytes is read. The
// parts of a self-relative descriptor and its SIDs sit on 4-byte boundaries from its start.
// Untrusted bytes of a known length go through
// the length-checked forms PlinthIsValidSidBytes, PlinthIsValidAclBytes and
// PlinthIsValidSecurityDescriptorBytes first:
//
//   if (PlinthIsValidSecurityDescriptorBytes(bytes, size)) GetSecurityDescriptorLength(bytes);

// ---------------------------------------------------------------------------------------------
// Types.
typedef void* PVOID;
typedef PVOID PSID;
typedef PVOID PSECURITY_DESCRIPTOR;
typedef DWORD ACCESS_MASK;
typedef ACCESS_MASK* PACCESS_MASK;
typedef DWORD SECURITY_INFORMATION;
typedef WORD SECURITY_DESCRIPTOR_CONTROL;
typedef SECURITY_DESCRIPTOR_CONTROL* PSECURITY_DESCRIPTOR_CONTROL;
typedef unsigned char UCHAR;
typedef UCHAR* PUCHAR;
typedef DWORD* PDWORD;

#ifndef ANYSIZE_ARRAY
#define ANYSIZE_ARRAY 1
#endif

typedef struct _SID_IDENTIFIER_AUTHORITY {
  BYTE Value[6];
} SID_IDENTIFIER_AUTHORITY, *PSID_IDENTIFIER_AUTHORITY;

typedef struct _SID {
  BYTE Revision;
  BYTE SubAuthorityCount;
  SID_IDENTIFIER_AUTHORITY IdentifierAuthority;
  DWORD SubAuthority[ANYSIZE_ARRAY];
} SID, *PISID;

#define SID_REVISION 1
#define SID_MAX_SUB_AUTHORITIES 15
#define SECURITY_MAX_SID_SIZE 68

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

#define SECURITY_NULL_RID 0x00000000L
#define SECURITY_WORLD_RID 0x00000000L
#define SECURITY_LOCAL_RID 0x00000000L
#define SECURITY_CREATOR_OWNER_RID 0x00000000L
#define SECURITY_CREATOR_GROUP_RID 0x00000001L
#define SECURITY_LOCAL_SYSTEM_RID 0x00000012L
#define SECURITY_BUILTIN_DOMAIN_RID 0x00000020L
#define DOMAIN_ALIAS_RID_ADMINS 0x00000220L
#define DOMAIN_ALIAS_RID_USERS 0x00000221L

typedef enum _SID_NAME_USE {
  SidTypeUser = 1,
  SidTypeGroup,
  SidTypeDomain,
  SidTypeAlias,
  SidTypeWellKnownGroup,
  SidTypeDeletedAccount,
  SidTypeInvalid,
  SidTypeUnknown,
  SidTypeComputer,
  SidTypeLabel,
  SidTypeLogonSession
} SID_NAME_USE,
    *PSID_NAME_USE;

typedef struct _ACL {
  BYTE AclRevision;
  BYTE Sbz1;
  WORD AclSize;
  WORD AceCount;
  WORD Sbz2;
} ACL, *PACL;

#define ACL_REVISION 2
#define ACL_REVISION_DS 4
#define ACL_REVISION2 2
#define ACL_REVISION3 3
#define ACL_REVISION4 4
#define MIN_ACL_REVISION ACL_REVISION2
#define MAX_ACL_REVISION ACL_REVISION4

typedef struct _ACE_HEADER {
  BYTE AceType;
  BYTE AceFlags;
  WORD AceSize;
} ACE_HEADER, *PACE_HEADER;

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

#define OBJECT_INHERIT_ACE 0x1
#define CONTAINER_INHERIT_ACE 0x2
#define NO_PROPAGATE_INHERIT_ACE 0x4
#define INHERIT_ONLY_ACE 0x8
#define INHERITED_ACE 0x10
#define SUCCESSFUL_ACCESS_ACE_FLAG 0x40
#define FAILED_ACCESS_ACE_FLAG 0x80

typedef struct _ACCESS_ALLOWED_ACE {
  ACE_HEADER Header;
  ACCESS_MASK Mask;
  DWORD SidStart;
} ACCESS_ALLOWED_ACE, *PACCESS_ALLOWED_ACE;

typedef struct _ACCESS_DENIED_ACE {
  ACE_HEADER Header;
  ACCESS_MASK Mask;
  DWORD SidStart;
} ACCESS_DENIED_ACE, *PACCESS_DENIED_ACE;

typedef struct _SYSTEM_AUDIT_ACE {
  ACE_HEADER Header;
  ACCESS_MASK Mask;
  DWORD SidStart;
} SYSTEM_AUDIT_ACE, *PSYSTEM_AUDIT_ACE;

// The object ACEs: after the mask come Flags, then the GUIDs that Flags announces, then the SID.
#define ACE_OBJECT_TYPE_PRESENT 0x1
#define ACE_INHERITED_OBJECT_TYPE_PRESENT 0x2

typedef enum _ACL_INFORMATION_CLASS {
  AclRevisionInformation = 1,
  AclSizeInformation
} ACL_INFORMATION_CLASS;

typedef struct _ACL_REVISION_INFORMATION {
  DWORD AclRevision;
} ACL_REVISION_INFORMATION, *PACL_REVISION_INFORMATION;

typedef struct _ACL_SIZE_INFORMATION {
  DWORD AceCount;
  DWORD AclBytesInUse;
  DWORD AclBytesFree;
} ACL_SIZE_INFORMATION, *PACL_SIZE_INFORMATION;

#define SECURITY_DESCRIPTOR_REVISION 1
#define SECURITY_DESCRIPTOR_REVISION1 1

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

// Absolute form: the parts are pointers.
typedef struct _SECURITY_DESCRIPTOR {
  BYTE Revision;
  BYTE Sbz1;
  SECURITY_DESCRIPTOR_CONTROL Control;
  PSID Owner;
  PSID Group;
  PACL Sacl;
  PACL Dacl;
} SECURITY_DESCRIPTOR, *PISECURITY_DESCRIPTOR;

// Self-relative form: the parts are byte offsets from the start, 0 for an absent part.
typedef struct _SECURITY_DESCRIPTOR_RELATIVE {
  BYTE Revision;
  BYTE Sbz1;
  SECURITY_DESCRIPTOR_CONTROL Control;
  DWORD Owner;
  DWORD Group;
  DWORD Sacl;
  DWORD Dacl;
} SECURITY_DESCRIPTOR_RELATIVE, *PISECURITY_DESCRIPTOR_RELATIVE;

#define SECURITY_DESCRIPTOR_MIN_LENGTH (sizeof(SECURITY_DESCRIPTOR))

#define OWNER_SECURITY_INFORMATION 0x00000001L
#define GROUP_SECURITY_INFORMATION 0x00000002L
#define DACL_SECURITY_INFORMATION 0x00000004L
#define SACL_SECURITY_INFORMATION 0x00000008L

// ---------------------------------------------------------------------------------------------
// Access rights. Other services declare some of these too, hence the guards.
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

extern "C" {

// ---------------------------------------------------------------------------------------------
// SIDs. The accessors do not validate: as on Windows, they are for SIDs that passed IsValidSid.
PLINTH_API BOOL IsValidSid(PSID sid);
PLINTH_API PSID_IDENTIFIER_AUTHORITY GetSidIdentifierAuthority(PSID sid);
PLINTH_API PUCHAR GetSidSubAuthorityCount(PSID sid);
PLINTH_API PDWORD GetSidSubAuthority(PSID sid, DWORD index);
// 8 + 4 bytes per sub-authority; 0 for an invalid SID.
PLINTH_API DWORD GetLengthSid(PSID sid);
// Fails with ERROR_INSUFFICIENT_BUFFER when the destination is shorter than the SID.
PLINTH_API BOOL CopySid(DWORD destinationLength, PSID destination, PSID source);

// ---------------------------------------------------------------------------------------------
// ACLs. IsValidAcl checks the header, that every ACE lies inside AclSize on a 4-byte boundary,
// and that the SID of each ACE whose layout it knows is valid and inside the ACE.
PLINTH_API BOOL IsValidAcl(PACL acl);
PLINTH_API BOOL InitializeAcl(PACL acl, DWORD length, DWORD revision);
PLINTH_API BOOL GetAclInformation(PACL acl, LPVOID information, DWORD length,
                                  ACL_INFORMATION_CLASS informationClass);
// ERROR_INVALID_PARAMETER for an index at or past AceCount.
PLINTH_API BOOL GetAce(PACL acl, DWORD index, LPVOID* ace);
// Append an ACE; ERROR_ALLOTTED_SPACE_EXCEEDED when AclSize has no room for it.
PLINTH_API BOOL AddAccessAllowedAce(PACL acl, DWORD revision, DWORD accessMask, PSID sid);
PLINTH_API BOOL AddAccessDeniedAce(PACL acl, DWORD revision, DWORD accessMask, PSID sid);

// ---------------------------------------------------------------------------------------------
// Security descriptors, in both forms.
PLINTH_API BOOL InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR sd, DWORD revision);
PLINTH_API BOOL IsValidSecurityDescriptor(PSECURITY_DESCRIPTOR sd);
PLINTH_API BOOL GetSecurityDescriptorControl(PSECURITY_DESCRIPTOR sd,
                                             PSECURITY_DESCRIPTOR_CONTROL control,
                                             LPDWORD revision);
// For a self-relative descriptor, the bytes from its start to the end of its last part; for an
// absolute one, its header plus its parts (each on a 4-byte boundary).
PLINTH_API DWORD GetSecurityDescriptorLength(PSECURITY_DESCRIPTOR sd);
PLINTH_API BOOL GetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR sd, LPBOOL daclPresent, PACL* dacl,
                                          LPBOOL daclDefaulted);
PLINTH_API BOOL GetSecurityDescriptorOwner(PSECURITY_DESCRIPTOR sd, PSID* owner,
                                           LPBOOL ownerDefaulted);
PLINTH_API BOOL GetSecurityDescriptorGroup(PSECURITY_DESCRIPTOR sd, PSID* group,
                                           LPBOOL groupDefaulted);
// The setters work on absolute descriptors only (ERROR_INVALID_SECURITY_DESCR otherwise).
PLINTH_API BOOL SetSecurityDescriptorOwner(PSECURITY_DESCRIPTOR sd, PSID owner, BOOL defaulted);
PLINTH_API BOOL SetSecurityDescriptorGroup(PSECURITY_DESCRIPTOR sd, PSID group, BOOL defaulted);
PLINTH_API BOOL SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR sd, BOOL daclPresent, PACL dacl,
                                          BOOL daclDefaulted);
// Absolute to self-relative. A buffer shorter than needed (null included) fails with
// ERROR_INSUFFICIENT_BUFFER and the size needed in *bufferLength; a descriptor that is already
// self-relative fails with ERROR_BAD_DESCRIPTOR_FORMAT. Parts are laid out SACL, DACL, owner,
// group, each on a 4-byte boundary.
PLINTH_API BOOL MakeSelfRelativeSD(PSECURITY_DESCRIPTOR absolute, PSECURITY_DESCRIPTOR relative,
                                   LPDWORD bufferLength);

// ---------------------------------------------------------------------------------------------
// Accounts. Local lookup only (a system name other than null or "" fails with
// ERROR_NONE_MAPPED). Known: the well-known SIDs (S-1-1-0 "Everyone", S-1-5-18 "SYSTEM" in
// "NT AUTHORITY", S-1-5-32-544 "Administrators" in "BUILTIN", …) and the Unix users and groups
// S-1-22-1-uid (domain "Unix User", SidTypeUser) and S-1-22-2-gid ("Unix Group", SidTypeGroup).
// Both sizes are read before either buffer is written, so one variable may serve as both; on
// success each holds the length written without its NUL, on ERROR_INSUFFICIENT_BUFFER the
// size needed with it.
PLINTH_API BOOL LookupAccountSidA(LPCSTR systemName, PSID sid, LPSTR name, LPDWORD nameSize,
                                  LPSTR domainName, LPDWORD domainNameSize, PSID_NAME_USE use);

// A self-relative descriptor of a file: owner S-1-22-1-uid, group S-1-22-2-gid, and a DACL of
// allow ACEs, in the order owner, named users, owning group, named groups, Everyone, from the
// mode bits and the POSIX access ACL where the file system keeps one (a named entry limited by
// the mask). Read gives FILE_GENERIC_READ, write FILE_GENERIC_WRITE (and FILE_DELETE_CHILD on
// a directory), execute FILE_GENERIC_EXECUTE; the owner also gets READ_CONTROL | WRITE_DAC |
// FILE_WRITE_ATTRIBUTES, since it may always change the mode. An entry with no rights is left
// out. The file system keeps no audit entries, so no SACL is ever present. A buffer shorter than
// needed fails with ERROR_INSUFFICIENT_BUFFER and the size in *lengthNeeded.
PLINTH_API BOOL GetFileSecurityA(LPCSTR fileName, SECURITY_INFORMATION requested,
                                 PSECURITY_DESCRIPTOR sd, DWORD length, LPDWORD lengthNeeded);

// ---------------------------------------------------------------------------------------------
// Length-checked validation of untrusted bytes: the structure must lie wholly inside the size
// bytes given (a descriptor must be self-relative, its parts inside size). When these accept,
// the Win32 calls above read nothing outside those bytes.
PLINTH_API BOOL PlinthIsValidSidBytes(const void* bytes, size_t size);
PLINTH_API BOOL PlinthIsValidAclBytes(const void* bytes, size_t size);
PLINTH_API BOOL PlinthIsValidSecurityDescriptorBytes(const void* bytes, size_t size);

}  // extern "C"
