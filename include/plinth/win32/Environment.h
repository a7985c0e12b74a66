#pragma once
/// \file
/// The process environment, as Windows declares it in <windows.h> and <stdlib.h>. Included by
/// <plinth/win32.h> on POSIX only.
///
/// On POSIX, names match without regard to case, as on Windows; where several spellings of one
/// name exist, the exact spelling wins, then the first in the order of the environment block.

typedef char* LPCH;  ///< An environment block: "NAME=value" entries, each NUL-terminated.

extern "C" {
/// Copies the value of name into buffer. Returns the number of bytes copied without the NUL;
/// when size is too small, the size needed including the NUL (buffer untouched); 0 with
/// ERROR_ENVVAR_NOT_FOUND when the variable does not exist. An empty value gives 0 with
/// ERROR_SUCCESS when it fits and 1 when size is 0.
/// A null buffer is treated as one too small. A null or empty name, or one holding "=", is
/// not found.
PLINTH_API DWORD GetEnvironmentVariableA(LPCSTR name, LPSTR buffer, DWORD size);
/// Sets name to value, or removes it when value is null. An existing variable keeps its
/// spelling: setting "path" changes "PATH". FALSE with ERROR_INVALID_PARAMETER for an empty name
/// or one that holds "=".
/// An empty value is kept as an empty variable (unlike _putenv). Removing a variable that
/// does not exist succeeds. ERROR_INVALID_PARAMETER also for a null name, and
/// ERROR_NOT_ENOUGH_MEMORY when the environment cannot grow.
PLINTH_API BOOL SetEnvironmentVariableA(LPCSTR name, LPCSTR value);
/// Every variable as "NAME=value\0" entries ending with an empty one, ordered by name without
/// regard to case (ties by byte value), so that two calls over the same environment give the
/// same block. Release with FreeEnvironmentStringsA. An empty environment gives two NULs; null
/// with ERROR_NOT_ENOUGH_MEMORY when the block cannot be allocated.
PLINTH_API LPCH GetEnvironmentStrings(void);
/// Releases a block of GetEnvironmentStrings (null accepted); always TRUE.
PLINTH_API BOOL FreeEnvironmentStringsA(LPCH block);

/// Sets or removes a variable from one text, as the C runtime does: "NAME=value" sets,
/// "NAME=" removes every spelling of NAME. 0, or -1 (errno EINVAL) when the text is null, has
/// no "=" or an empty name; -1 with ENOMEM when the environment cannot grow. The last error is
/// not set.
PLINTH_API int _putenv(const char* envString);
}
