#pragma once
// Loading libraries and finding their entry points. Included by <plinth/win32.h> on POSIX only.
//
// The Windows system libraries the library asks for by name are built in: LoadLibraryA
// ("ADVAPI32.DLL", in any case, with or without ".dll") gives a module whose entries are the
// platform layer's own functions of that name (InitiateSystemShutdownExA, ...). The HTML Help
// control is built in too, bound to a viewer program: it loads by the name "hhctrl.ocx" or by
// the text registered as its file (the default value of the key
// CLSID\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\InprocServer32 of HKEY_CLASSES_ROOT), only
// while that text names an executable file, the viewer; its export number 14 (also the name
// "HtmlHelpA") is the entry of <plinth/win32/HtmlHelp.h>. Any other name is a shared object,
// loaded with dlopen. Freeing a built-in module does nothing. GetProcAddress takes export
// numbers (values below 0x10000) without reading them as text; only the control has any.

#ifndef WINAPI
#define WINAPI
#endif

typedef INT_PTR (*FARPROC)(void);

#define ERROR_MOD_NOT_FOUND 126L
#define ERROR_PROC_NOT_FOUND 127L

extern "C" {

// Null with ERROR_MOD_NOT_FOUND when the library cannot be found or loaded.
PLINTH_API HMODULE LoadLibraryA(LPCSTR fileName);
// Null with ERROR_PROC_NOT_FOUND when the module has no such entry.
PLINTH_API FARPROC GetProcAddress(HMODULE module, LPCSTR procName);
PLINTH_API BOOL FreeLibrary(HMODULE module);

}  // extern "C"
