#pragma once
// Loading libraries and finding their entry points. Included by <plinth/win32.h> on POSIX only.
//
// The Windows system libraries the library asks for by name are built in: LoadLibraryA
// ("ADVAPI32.DLL", in any case, with or without ".dll") gives a module whose entries are the
// platform layer's own functions of that name (InitiateSystemShutdownExA, ...). Any other name
// is a shared object, loaded with dlopen. Freeing a built-in module does nothing.

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
