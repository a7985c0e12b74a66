#pragma once
/// \file
/// The Win32 registry API on POSIX. Keys and values live in one SQLite store per user, shared
/// by every process of that user and safe against a crash of any of them: each writing call is
/// one transaction, committed before the call returns.
///
/// Where the store is: $PLINTH_REGISTRY when set and not empty, else
/// $XDG_DATA_HOME/plinth/registry.db, else ~/.local/share/plinth/registry.db. A missing or empty
/// file there is a new, empty store; a folder the store creates gets mode 0700, the file 0600.
/// The path is read once, at the first registry call of the process (a relative one is taken
/// from the working folder of that moment).
///
/// Behaviour worth knowing, decided for this platform:
/// - Names match without regard to case and keep the case they were created with; case is
///   folded for ASCII letters only (a key "Caf\xC9" and "caf\xE9" are two keys). Subkeys
///   enumerate in the order of their upper-cased names, as Windows hives sort them ("B" comes
///   before "_"); values in the order they were first set (rewriting a value keeps its place).
/// - Data is stored exactly as given: a REG_SZ written without its NUL reads back without one,
///   a REG_DWORD of 3 bytes stays 3 bytes.
/// - HKEY_CLASSES_ROOT is `HKEY_LOCAL_MACHINE\Software\Classes`, HKEY_CURRENT_CONFIG is
///   `HKEY_LOCAL_MACHINE\System\CurrentControlSet\Hardware Profiles\Current`, and
///   HKEY_CURRENT_USER is `HKEY_USERS\S-1-22-1-<uid>`. Those keys cannot be deleted.
///   HKEY_PERFORMANCE_DATA and HKEY_DYN_DATA answer every call but RegCloseKey with
///   ERROR_CALL_NOT_IMPLEMENTED.
/// - KEY_WOW64_32KEY turns `HKEY_LOCAL_MACHINE\Software\X` into
///   `HKEY_LOCAL_MACHINE\Software\Wow6432Node\X` (`Software\Classes` and `Software\Wow6432Node`
///   themselves are shared), for the path as seen from the root of the store.
/// - A store file that is not a registry store gives ERROR_BADDB, a store written by a later
///   release of the library ERROR_REVISION_MISMATCH, from every call; the file is left as it
///   is. An unreadable store gives ERROR_ACCESS_DENIED, an unusable folder ERROR_CANTOPEN.
/// - A second process writing at the same moment is waited for (up to 30 s, then ERROR_BUSY).
/// - Value data is limited to 1,000,000,000 bytes (more gives ERROR_NOT_ENOUGH_MEMORY); key
///   names to 255 characters, value names to 16,383 (more gives ERROR_INVALID_PARAMETER).
/// - REG_OPTION_VOLATILE keys are kept like any other: they outlive a restart of the machine.
/// - RegConnectRegistryA takes a null or empty name, ".", "localhost", this machine's host
///   name and its first label (any case, leading backslashes ignored) as this machine, as
///   InitiateSystemShutdownExA does; any other name gives ERROR_BAD_NETPATH.
/// - Every call can also fail with the errors of the store itself: ERROR_BADDB,
///   ERROR_REVISION_MISMATCH, ERROR_ACCESS_DENIED, ERROR_CANTOPEN, ERROR_BUSY, ERROR_DISK_FULL,
///   ERROR_NOT_ENOUGH_MEMORY or ERROR_REGISTRY_IO_FAILED. A key deleted (by any handle or
///   process) while a handle to it is open gives ERROR_KEY_DELETED through that handle.
/// - Registry calls return their error code and do not set the last error.
/// - RegFlushKey forces every completed call onto the disk; without it a completed call
///   survives any crash of the program, and a power failure may lose the last few.

#include <plinth/Export.h>

#include <cstdint>

typedef DWORD ACCESS_MASK;   ///< A set of access rights (standard, generic and specific).
typedef ACCESS_MASK REGSAM;  ///< Access rights asked for when a key is opened or created.
typedef HKEY* PHKEY;         ///< Where an opened key's handle is stored.

/// Predefined keys: the 32-bit Windows values, sign-extended as on 64-bit Windows. They are
/// always open (with every right), closing them does nothing; HKEY_CLASSES_ROOT,
/// HKEY_CURRENT_CONFIG and HKEY_CURRENT_USER are views of keys in the store (see the file
/// description); HKEY_PERFORMANCE_DATA and HKEY_DYN_DATA refuse every call with
/// ERROR_CALL_NOT_IMPLEMENTED.
///@{
#define HKEY_CLASSES_ROOT ((HKEY)(ULONG_PTR)((LONG)0x80000000))
#define HKEY_CURRENT_USER ((HKEY)(ULONG_PTR)((LONG)0x80000001))
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)((LONG)0x80000002))
#define HKEY_USERS ((HKEY)(ULONG_PTR)((LONG)0x80000003))
#define HKEY_PERFORMANCE_DATA ((HKEY)(ULONG_PTR)((LONG)0x80000004))
#define HKEY_CURRENT_CONFIG ((HKEY)(ULONG_PTR)((LONG)0x80000005))
#define HKEY_DYN_DATA ((HKEY)(ULONG_PTR)((LONG)0x80000006))
///@}

/// Value types. Only a label: the store keeps the bytes exactly as written, whatever the type
/// says (a REG_DWORD may hold 3 bytes, a REG_SZ need not end in NUL).
///@{
#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_DWORD_LITTLE_ENDIAN 4
#define REG_DWORD_BIG_ENDIAN 5
#define REG_LINK 6
#define REG_MULTI_SZ 7
#define REG_RESOURCE_LIST 8
#define REG_FULL_RESOURCE_DESCRIPTOR 9
#define REG_RESOURCE_REQUIREMENTS_LIST 10
#define REG_QWORD 11
#define REG_QWORD_LITTLE_ENDIAN 11
///@}

/// Standard and generic access rights. For a key the generic rights stand for KEY_READ,
/// KEY_WRITE, KEY_EXECUTE and (GENERIC_ALL, MAXIMUM_ALLOWED) KEY_ALL_ACCESS.
///@{
#define DELETE 0x00010000L
#define READ_CONTROL 0x00020000L
#define WRITE_DAC 0x00040000L
#define WRITE_OWNER 0x00080000L
#define SYNCHRONIZE 0x00100000L
#define STANDARD_RIGHTS_REQUIRED 0x000F0000L
#define STANDARD_RIGHTS_READ READ_CONTROL
#define STANDARD_RIGHTS_WRITE READ_CONTROL
#define STANDARD_RIGHTS_EXECUTE READ_CONTROL
#define STANDARD_RIGHTS_ALL 0x001F0000L
#define MAXIMUM_ALLOWED 0x02000000L
#define GENERIC_READ 0x80000000L
#define GENERIC_WRITE 0x40000000L
#define GENERIC_EXECUTE 0x20000000L
#define GENERIC_ALL 0x10000000L
///@}

/// Access rights of a key. A handle is checked on each call: reading values and key
/// information needs KEY_QUERY_VALUE, writing or deleting values KEY_SET_VALUE, creating a
/// missing subkey KEY_CREATE_SUB_KEY on the parent, enumerating subkeys
/// KEY_ENUMERATE_SUB_KEYS, deleting a key through its own handle DELETE; missing rights give
/// ERROR_ACCESS_DENIED. KEY_NOTIFY and KEY_CREATE_LINK are accepted and grant nothing more.
/// KEY_WOW64_32KEY selects the 32-bit view (`Software\Wow6432Node` under HKEY_LOCAL_MACHINE),
/// unless KEY_WOW64_64KEY is given too.
///@{
#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_CREATE_SUB_KEY 0x0004
#define KEY_ENUMERATE_SUB_KEYS 0x0008
#define KEY_NOTIFY 0x0010
#define KEY_CREATE_LINK 0x0020
#define KEY_WOW64_64KEY 0x0100
#define KEY_WOW64_32KEY 0x0200
#define KEY_WOW64_RES 0x0300
#define KEY_READ 0x00020019L
#define KEY_WRITE 0x00020006L
#define KEY_EXECUTE 0x00020019L
#define KEY_ALL_ACCESS 0x000F003FL
///@}

/// Options and dispositions of RegCreateKeyExA, options of RegOpenKeyExA. The options are
/// accepted and have no effect on POSIX (a volatile key outlives a restart, a link is an
/// ordinary key); any other option bit makes RegCreateKeyExA fail with
/// ERROR_INVALID_PARAMETER.
///@{
#define REG_OPTION_RESERVED 0x00000000L
#define REG_OPTION_NON_VOLATILE 0x00000000L
#define REG_OPTION_VOLATILE 0x00000001L
#define REG_OPTION_CREATE_LINK 0x00000002L
#define REG_OPTION_BACKUP_RESTORE 0x00000004L
#define REG_OPTION_OPEN_LINK 0x00000008L
#define REG_CREATED_NEW_KEY 0x00000001L
#define REG_OPENED_EXISTING_KEY 0x00000002L
///@}

/// Error codes the registry calls return beyond the common ones of win32.h.
///@{
#define ERROR_NOT_SUPPORTED 50L
#define ERROR_BAD_NETPATH 53L
#define ERROR_DISK_FULL 112L
#define ERROR_CALL_NOT_IMPLEMENTED 120L
#define ERROR_BAD_PATHNAME 161L
#define ERROR_BUSY 170L
#define ERROR_NOACCESS 998L
#define ERROR_BADDB 1009L
#define ERROR_BADKEY 1010L
#define ERROR_CANTOPEN 1011L
#define ERROR_CANTREAD 1012L
#define ERROR_CANTWRITE 1013L
#define ERROR_REGISTRY_IO_FAILED 1016L
#define ERROR_KEY_DELETED 1018L
#define ERROR_REVISION_MISMATCH 1306L
///@}

extern "C" {
/// Opens an existing key below hKey with the rights of samDesired.
///
/// A null or empty lpSubKey opens a new handle to hKey itself; ulOptions is ignored. A path
/// may not start with a backslash (ERROR_BAD_PATHNAME); trailing and doubled backslashes are
/// ignored; a name longer than 255 characters gives ERROR_INVALID_PARAMETER.
/// \return ERROR_SUCCESS with the handle in *phkResult; else an error code and *phkResult
/// null: ERROR_FILE_NOT_FOUND (no such key), ERROR_INVALID_HANDLE, ERROR_INVALID_PARAMETER
/// (null phkResult), or an error of the store.
PLINTH_API LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                              PHKEY phkResult);
/// Opens the key below hKey, creating it and every missing key on the way.
///
/// Creating needs KEY_CREATE_SUB_KEY on hKey (else ERROR_ACCESS_DENIED); opening an existing
/// key does not. lpClass and lpSecurityAttributes are ignored (keys have no class and take no
/// security). *lpdwDisposition, when given, tells REG_CREATED_NEW_KEY or
/// REG_OPENED_EXISTING_KEY. Paths are split as by RegOpenKeyExA.
/// \return ERROR_SUCCESS; ERROR_BADKEY for a null phkResult, ERROR_INVALID_PARAMETER for a
/// nonzero Reserved or an unknown option bit, ERROR_BAD_PATHNAME, ERROR_INVALID_HANDLE, or an
/// error of the store.
PLINTH_API LONG RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass,
                                DWORD dwOptions, REGSAM samDesired,
                                const SECURITY_ATTRIBUTES* lpSecurityAttributes, PHKEY phkResult,
                                LPDWORD lpdwDisposition);
/// Reads a value of the key (a null or empty name: the default value); needs KEY_QUERY_VALUE.
///
/// Without lpData only *lpType and the size in *lpcbData are reported. The data is copied as
/// stored: a string written without its NUL comes back without one.
/// \return ERROR_SUCCESS; ERROR_MORE_DATA when the buffer is too small (the size needed is in
/// *lpcbData, the buffer is left alone); ERROR_FILE_NOT_FOUND (no such value),
/// ERROR_INVALID_PARAMETER (lpReserved not null, or lpData without lpcbData),
/// ERROR_ACCESS_DENIED, ERROR_INVALID_HANDLE, ERROR_KEY_DELETED, or an error of the store.
PLINTH_API LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                                 LPBYTE lpData, LPDWORD lpcbData);
/// Writes a value exactly as given (a null name: the default value); needs KEY_SET_VALUE.
///
/// The bytes are not checked against dwType. Rewriting a value keeps its place in the
/// enumeration order. Reserved is ignored.
/// \return ERROR_SUCCESS once the write is committed; ERROR_INVALID_PARAMETER for a name
/// longer than 16,383 characters, ERROR_NOACCESS for null lpData with a nonzero cbData,
/// ERROR_NOT_ENOUGH_MEMORY for more than 1,000,000,000 bytes, ERROR_ACCESS_DENIED,
/// ERROR_INVALID_HANDLE, ERROR_KEY_DELETED, or an error of the store.
PLINTH_API LONG RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType,
                               const BYTE* lpData, DWORD cbData);
/// Deletes a value of the key (a null or empty name: the default value); needs KEY_SET_VALUE.
/// \return ERROR_SUCCESS; ERROR_FILE_NOT_FOUND when there is no such value,
/// ERROR_ACCESS_DENIED, ERROR_INVALID_HANDLE, ERROR_KEY_DELETED, or an error of the store.
PLINTH_API LONG RegDeleteValueA(HKEY hKey, LPCSTR lpValueName);
/// Deletes the key lpSubKey below hKey, with its values.
///
/// An empty lpSubKey deletes hKey's own key, which needs DELETE on the handle. Handles still
/// open to the deleted key then fail with ERROR_KEY_DELETED.
/// \return ERROR_SUCCESS; ERROR_ACCESS_DENIED while the key has subkeys, for the keys behind
/// the predefined views (which cannot be deleted) and without DELETE; ERROR_FILE_NOT_FOUND,
/// ERROR_INVALID_PARAMETER (null lpSubKey), ERROR_BAD_PATHNAME, ERROR_INVALID_HANDLE, or an
/// error of the store.
PLINTH_API LONG RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey);
/// Reads the name of the subkey at dwIndex; needs KEY_ENUMERATE_SUB_KEYS.
///
/// cchName counts the buffer's characters with the NUL. Subkeys come in the order of their
/// upper-cased names.
/// \return ERROR_SUCCESS; ERROR_NO_MORE_ITEMS past the last one, ERROR_MORE_DATA when the
/// name does not fit (nothing written), ERROR_INVALID_PARAMETER for a null lpName,
/// ERROR_ACCESS_DENIED, ERROR_INVALID_HANDLE, ERROR_KEY_DELETED, or an error of the store.
PLINTH_API LONG RegEnumKeyA(HKEY hKey, DWORD dwIndex, LPSTR lpName, DWORD cchName);
/// Reads the name and last write time of the subkey at dwIndex; needs KEY_ENUMERATE_SUB_KEYS.
///
/// *lpcchName: in, the buffer's characters with the NUL; out, the name's without it (unchanged
/// on ERROR_MORE_DATA). Keys have no class: lpClass, when given, receives the empty string and
/// *lpcchClass 0.
/// \return as RegEnumKeyA; ERROR_INVALID_PARAMETER also for a null lpcchName, a non-null
/// lpReserved, or lpClass without lpcchClass.
PLINTH_API LONG RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName,
                              LPDWORD lpReserved, LPSTR lpClass, LPDWORD lpcchClass,
                              PFILETIME lpftLastWriteTime);
/// Reads the name, type and data of the value at dwIndex; needs KEY_QUERY_VALUE.
///
/// Values come in the order they were first set. *lpcchValueName: in, the buffer's characters
/// with the NUL; out, the name's without it.
/// \return ERROR_SUCCESS; ERROR_NO_MORE_ITEMS past the last one; ERROR_MORE_DATA when the name
/// buffer is too small (nothing changed) or the data buffer is (name, type and the size needed
/// filled in); ERROR_INVALID_PARAMETER for a null name or length, a non-null lpReserved or
/// lpData without lpcbData; ERROR_ACCESS_DENIED, ERROR_INVALID_HANDLE, ERROR_KEY_DELETED, or
/// an error of the store.
PLINTH_API LONG RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                              LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData);
/// Reports counts and largest sizes of a key's subkeys and values; needs KEY_QUERY_VALUE.
///
/// Every out-parameter may be null. Name lengths count characters without the NUL. Keys have
/// no class (empty, length 0) and report the size of an empty self-relative security
/// descriptor (20 bytes).
/// \return ERROR_SUCCESS; ERROR_INVALID_PARAMETER for a non-null lpReserved or lpClass without
/// lpcchClass; ERROR_ACCESS_DENIED, ERROR_INVALID_HANDLE, ERROR_KEY_DELETED, or an error of the
/// store.
PLINTH_API LONG RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved,
                                 LPDWORD lpcSubKeys, LPDWORD lpcbMaxSubKeyLen,
                                 LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                                 LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen,
                                 LPDWORD lpcbSecurityDescriptor, PFILETIME lpftLastWriteTime);
/// Connects to the registry of a machine: only this one can be reached.
///
/// A null or empty name, ".", "localhost", this machine's host name and its first label (the
/// part before the first dot; any case, leading backslashes ignored) mean this machine; its
/// predefined key hKey comes back as it is.
/// \return ERROR_SUCCESS; ERROR_BAD_NETPATH for any other machine, ERROR_INVALID_HANDLE when
/// hKey is not a predefined key, ERROR_CALL_NOT_IMPLEMENTED for HKEY_PERFORMANCE_DATA and
/// HKEY_DYN_DATA, ERROR_INVALID_PARAMETER for a null phkResult.
PLINTH_API LONG RegConnectRegistryA(LPCSTR lpMachineName, HKEY hKey, PHKEY phkResult);
/// Forces every completed call (not only those on hKey) onto the disk.
/// \return ERROR_SUCCESS; ERROR_INVALID_HANDLE, or an error of the store.
PLINTH_API LONG RegFlushKey(HKEY hKey);
/// Closes a key handle. Closing a predefined key does nothing and succeeds.
/// \return ERROR_SUCCESS; ERROR_INVALID_HANDLE for anything else that is not an open handle.
PLINTH_API LONG RegCloseKey(HKEY hKey);

/// Not a Win32 call: the path of the store this process uses (see above), for messages that
/// name it. Follows the Win32 size protocol of the ANSI calls: returns the length without the
/// NUL when it fits in `size` bytes, else (or with a null buffer) the size needed with the
/// NUL, and writes nothing.
PLINTH_API DWORD PlinthRegistryStorePath(LPSTR buffer, DWORD size);
}
