#pragma once
/// \file
/// Loading libraries and finding their entry points. Included by <plinth/win32.h> on POSIX only.
///
/// The Windows system libraries the library asks for by name are built in: LoadLibraryA
/// ("ADVAPI32.DLL", in any case, with or without ".dll") gives a module whose entries are the
/// platform layer's own functions of that name (InitiateSystemShutdownExA, ...). The HTML Help
/// control is built in too, bound to a viewer program: it loads by the name "hhctrl.ocx" or by
/// the text registered as its file (the default value of the key
/// `CLSID\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\InprocServer32` of HKEY_CLASSES_ROOT), only
/// while that text names an executable file, the viewer; its export number 14 (also the name
/// "HtmlHelpA") is the entry of <plinth/win32/HtmlHelp.h>. Any other name is a shared object,
/// loaded with dlopen. Freeing a built-in module does nothing. GetProcAddress takes export
/// numbers (values below 0x10000) without reading them as text; only the control has any.

#ifndef WINAPI
#define WINAPI  ///< Calling-convention marker of Win32 declarations; empty on POSIX.
#endif

/// An entry point as GetProcAddress returns it; cast it to the entry's real type before calling.
typedef INT_PTR (*FARPROC)(void);

#define ERROR_MOD_NOT_FOUND 126L   ///< LoadLibraryA: no such library, or it cannot be loaded.
#define ERROR_PROC_NOT_FOUND 127L  ///< GetProcAddress: the module has no such entry.

extern "C" {

/// Loads a library: a built-in module, the HTML Help control, or a shared object (dlopen,
/// with its own search rules, not those of Windows).
/// \return the module; null with ERROR_MOD_NOT_FOUND when the library cannot be found or
/// loaded, including a null or empty name and the control while no viewer is registered.
PLINTH_API HMODULE LoadLibraryA(LPCSTR fileName);
/// Finds an entry of a module by name (exact case) or by export number (a value below
/// 0x10000, never read as text; only the HTML Help control has any).
/// \return the entry; null with ERROR_PROC_NOT_FOUND when the module has no such entry (or
/// procName is null), ERROR_INVALID_HANDLE for a null module.
PLINTH_API FARPROC GetProcAddress(HMODULE module, LPCSTR procName);
/// Releases a module: built-in modules stay loaded, shared objects are closed (dlclose).
/// \return TRUE; FALSE with ERROR_INVALID_HANDLE for a null module or one dlclose refuses.
PLINTH_API BOOL FreeLibrary(HMODULE module);

}  // extern "C"
