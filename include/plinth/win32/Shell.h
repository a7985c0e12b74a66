#pragma once
// Handing documents to the desktop, as Windows declares it in <shellapi.h>. Included by
// <plinth/win32.h> on POSIX only.
//
// On POSIX the "open" verb (or a null verb) hands the document to xdg-open when it is
// installed; every other verb, and a system without xdg-open or without a handler for the
// document, answers SE_ERR_NOASSOC, so that callers fall back to what they registered
// themselves.

#include <plinth/Export.h>

// Results of ShellExecuteA at or below 32: failures.
#define SE_ERR_FNF 2
#define SE_ERR_PNF 3
#define SE_ERR_ACCESSDENIED 5
#define SE_ERR_OOM 8
#define SE_ERR_SHARE 26
#define SE_ERR_ASSOCINCOMPLETE 27
#define SE_ERR_DDETIMEOUT 28
#define SE_ERR_DDEFAIL 29
#define SE_ERR_DDEBUSY 30
#define SE_ERR_NOASSOC 31
#define SE_ERR_DLLNOTFOUND 32

extern "C" {

// A value above 32 on success; ERROR_FILE_NOT_FOUND (2) for a document that does not exist,
// SE_ERR_NOASSOC when nothing on the system opens it.
PLINTH_API HINSTANCE ShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                                   LPCSTR directory, INT showCommand);

}  // extern "C"
