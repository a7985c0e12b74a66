#pragma once
/// \file
/// Access tokens and privileges. Included by <plinth/win32.h> on POSIX only.
///
/// Privileges are Linux capabilities of the calling thread (the process, in a host with one
/// thread): a privilege is held when its capability is in the permitted set and enabled when it
/// is in the effective set. Several privileges share a capability, so switching one off
/// switches its partners off too (SeTcbPrivilege and SeMachineAccountPrivilege are both
/// CAP_SYS_ADMIN); SeChangeNotifyPrivilege and SeCreateSymbolicLinkPrivilege need no capability
/// on Linux and are always held and enabled. The table is in platform/posix/Tokens.cpp:
///
///     SeShutdownPrivilege -> CAP_SYS_BOOT, SeDebugPrivilege -> CAP_SYS_PTRACE, ...
///
/// A token handle is an entry of the layer's table holding the access it was opened with; the
/// privileges it speaks for are read from and written to the thread's capabilities at each
/// call, so a change made by other code is seen at once.

/// A locally unique identifier; here only the fixed identifiers of the privileges, which are
/// those of Windows (SeShutdownPrivilege is 19).
typedef struct _LUID {
  DWORD LowPart;  ///< Low 32 bits: the privilege's number.
  LONG HighPart;  ///< High 32 bits: always 0 for a privilege.
} LUID, *PLUID;
/// \typedef PLUID
/// Pointer to a LUID.

/// A privilege and its state.
typedef struct _LUID_AND_ATTRIBUTES {
  LUID Luid;         ///< The privilege, as LookupPrivilegeValueA gives it.
  DWORD Attributes;  ///< SE_PRIVILEGE_... flags.
} LUID_AND_ATTRIBUTES, *PLUID_AND_ATTRIBUTES;
/// \typedef PLUID_AND_ATTRIBUTES
/// Pointer to a LUID_AND_ATTRIBUTES.

/// A list of privileges for AdjustTokenPrivileges; a longer list is a buffer with room for
/// PrivilegeCount entries.
typedef struct _TOKEN_PRIVILEGES {
  DWORD PrivilegeCount;               ///< Number of entries in Privileges.
  LUID_AND_ATTRIBUTES Privileges[1];  ///< The entries, as many as counted.
} TOKEN_PRIVILEGES, *PTOKEN_PRIVILEGES;
/// \typedef PTOKEN_PRIVILEGES
/// Pointer to a TOKEN_PRIVILEGES.

typedef HANDLE* PHANDLE;  ///< Where an opened handle is stored.

/// Privilege attributes. SE_PRIVILEGE_ENABLED asks to enable (reports an enabled privilege:
/// its capability is effective); without it the privilege is disabled. SE_PRIVILEGE_REMOVED
/// drops the capability from the permitted set too, so it cannot be enabled again by this
/// process.
///@{
#define SE_PRIVILEGE_ENABLED_BY_DEFAULT 0x00000001L
#define SE_PRIVILEGE_ENABLED 0x00000002L
#define SE_PRIVILEGE_REMOVED 0x00000004L
#define SE_PRIVILEGE_USED_FOR_ACCESS 0x80000000L
///@}

/// Access rights of a token. AdjustTokenPrivileges needs TOKEN_ADJUST_PRIVILEGES, and
/// TOKEN_QUERY as well to report the previous state; the others are accepted and recorded.
///@{
#define TOKEN_ASSIGN_PRIMARY 0x0001
#define TOKEN_DUPLICATE 0x0002
#define TOKEN_IMPERSONATE 0x0004
#define TOKEN_QUERY 0x0008
#define TOKEN_QUERY_SOURCE 0x0010
#define TOKEN_ADJUST_PRIVILEGES 0x0020
#define TOKEN_ADJUST_GROUPS 0x0040
#define TOKEN_ADJUST_DEFAULT 0x0080
#define TOKEN_ADJUST_SESSIONID 0x0100
#define TOKEN_ALL_ACCESS 0x000F01FF
///@}

/// Privilege names, as LookupPrivilegeValueA takes them (matched without regard to case). Each
/// stands for a Linux capability (see the table in platform/posix/Tokens.cpp);
/// SeChangeNotifyPrivilege and SeCreateSymbolicLinkPrivilege need none and are always held and
/// enabled.
///@{
#define SE_CREATE_TOKEN_NAME "SeCreateTokenPrivilege"
#define SE_ASSIGNPRIMARYTOKEN_NAME "SeAssignPrimaryTokenPrivilege"
#define SE_LOCK_MEMORY_NAME "SeLockMemoryPrivilege"
#define SE_INCREASE_QUOTA_NAME "SeIncreaseQuotaPrivilege"
#define SE_MACHINE_ACCOUNT_NAME "SeMachineAccountPrivilege"
#define SE_TCB_NAME "SeTcbPrivilege"
#define SE_SECURITY_NAME "SeSecurityPrivilege"
#define SE_TAKE_OWNERSHIP_NAME "SeTakeOwnershipPrivilege"
#define SE_LOAD_DRIVER_NAME "SeLoadDriverPrivilege"
#define SE_SYSTEM_PROFILE_NAME "SeSystemProfilePrivilege"
#define SE_SYSTEMTIME_NAME "SeSystemtimePrivilege"
#define SE_PROF_SINGLE_PROCESS_NAME "SeProfileSingleProcessPrivilege"
#define SE_INC_BASE_PRIORITY_NAME "SeIncreaseBasePriorityPrivilege"
#define SE_CREATE_PAGEFILE_NAME "SeCreatePagefilePrivilege"
#define SE_CREATE_PERMANENT_NAME "SeCreatePermanentPrivilege"
#define SE_BACKUP_NAME "SeBackupPrivilege"
#define SE_RESTORE_NAME "SeRestorePrivilege"
#define SE_SHUTDOWN_NAME "SeShutdownPrivilege"
#define SE_DEBUG_NAME "SeDebugPrivilege"
#define SE_AUDIT_NAME "SeAuditPrivilege"
#define SE_SYSTEM_ENVIRONMENT_NAME "SeSystemEnvironmentPrivilege"
#define SE_CHANGE_NOTIFY_NAME "SeChangeNotifyPrivilege"
#define SE_REMOTE_SHUTDOWN_NAME "SeRemoteShutdownPrivilege"
#define SE_UNDOCK_NAME "SeUndockPrivilege"
#define SE_SYNC_AGENT_NAME "SeSyncAgentPrivilege"
#define SE_ENABLE_DELEGATION_NAME "SeEnableDelegationPrivilege"
#define SE_MANAGE_VOLUME_NAME "SeManageVolumePrivilege"
#define SE_IMPERSONATE_NAME "SeImpersonatePrivilege"
#define SE_CREATE_GLOBAL_NAME "SeCreateGlobalPrivilege"
#define SE_TRUSTED_CREDMAN_ACCESS_NAME "SeTrustedCredManAccessPrivilege"
#define SE_RELABEL_NAME "SeRelabelPrivilege"
#define SE_INC_WORKING_SET_NAME "SeIncreaseWorkingSetPrivilege"
#define SE_TIME_ZONE_NAME "SeTimeZonePrivilege"
#define SE_CREATE_SYMBOLIC_LINK_NAME "SeCreateSymbolicLinkPrivilege"
///@}

extern "C" {

/// The pseudo-handle of the calling process, (HANDLE)-1; closing it does nothing.
PLINTH_API HANDLE GetCurrentProcess(void);
/// Opens the token of the current process (only the pseudo-handle is accepted; any other
/// handle fails with ERROR_INVALID_HANDLE). Release the token with CloseHandle.
///
/// Generic rights map as for a token object; MAXIMUM_ALLOWED grants TOKEN_ALL_ACCESS, since
/// the process owns its token. The token speaks for the calling thread's capabilities.
/// \return TRUE with the handle in *token; FALSE with ERROR_INVALID_PARAMETER (null token),
/// ERROR_INVALID_HANDLE, or ERROR_ACCESS_DENIED (rights a token does not have).
PLINTH_API BOOL OpenProcessToken(HANDLE process, DWORD desiredAccess, PHANDLE token);
/// Closes a token, process or thread handle (the pseudo-handle too, which does nothing);
/// ERROR_INVALID_HANDLE for anything else, a handle already closed included. Registry keys
/// (RegCloseKey) and searches (FindClose) have their own calls.
/// \return TRUE; FALSE with ERROR_INVALID_HANDLE.
PLINTH_API BOOL CloseHandle(HANDLE object);
/// Finds the LUID of a privilege name (SE_..._NAME).
/// Local system only (a system name other than null or "" fails with ERROR_NONE_MAPPED);
/// privilege names match without regard to case; an unknown one fails with
/// ERROR_NO_SUCH_PRIVILEGE. The LUIDs are those of Windows (SeShutdownPrivilege is 19).
/// \return TRUE; FALSE with those errors or ERROR_INVALID_PARAMETER (null name or luid).
PLINTH_API BOOL LookupPrivilegeValueA(LPCSTR systemName, LPCSTR name, PLUID luid);
/// Enables, disables or removes privileges of the calling thread (its effective and permitted
/// capabilities).
/// Needs TOKEN_ADJUST_PRIVILEGES (else ERROR_ACCESS_DENIED) and, with a previous state,
/// TOKEN_QUERY. Succeeds with last error 0, or with ERROR_NOT_ALL_ASSIGNED when some privilege
/// of the list is not held (those are left alone, the others are changed). A previous-state
/// buffer receives the entries it changed; one too small fails with ERROR_INSUFFICIENT_BUFFER
/// and the size needed in *returnLength, changing nothing. disableAll switches every privilege
/// off. An unknown LUID fails with ERROR_NO_SUCH_PRIVILEGE.
///
/// newState and previousState may be the same buffer. Privileges that share a capability
/// change together; the always-held ones cannot be switched off and are left out of the
/// previous state.
/// \return TRUE (check GetLastError for ERROR_NOT_ALL_ASSIGNED); FALSE with
/// ERROR_INVALID_HANDLE (not a token), ERROR_INVALID_PARAMETER (null newState without
/// disableAll), ERROR_ACCESS_DENIED (also when the system refuses the change),
/// ERROR_NO_SUCH_PRIVILEGE or ERROR_INSUFFICIENT_BUFFER.
PLINTH_API BOOL AdjustTokenPrivileges(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES newState,
                                      DWORD bufferLength, PTOKEN_PRIVILEGES previousState,
                                      LPDWORD returnLength);

}  // extern "C"
