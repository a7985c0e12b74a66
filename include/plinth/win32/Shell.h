#pragma once
/// \file
/// Handing documents to the desktop, as Windows declares it in <shellapi.h>. Included by
/// <plinth/win32.h> on POSIX only.
///
/// On POSIX the "open" verb (or a null verb) hands the document to xdg-open when it is
/// installed; every other verb, and a system without xdg-open or without a handler for the
/// document, answers SE_ERR_NOASSOC, so that callers fall back to what they registered
/// themselves.
///
/// The document is a path (Windows or POSIX spelling), relative to the directory argument when
/// one is given and the path is relative, else to the working folder; it must exist before
/// anything is started. Text that begins with a scheme of two letters or more and a colon
/// ("https:", "mailto:") is an address, handed on unchecked. xdg-open gets the document as its
/// one argument, without a shell, and is waited for up to 30 seconds: its exit status 0 is
/// success, 2 a missing document, anything else no handler. An opener still running after 30
/// seconds is taken to be showing the document (success) and is reaped when it ends; so is one
/// whose exit status the system discarded (the host ignores SIGCHLD).

#include <plinth/Export.h>

/// Results of ShellExecuteA at or below 32: failures. On POSIX only SE_ERR_FNF, SE_ERR_PNF,
/// SE_ERR_ACCESSDENIED, SE_ERR_OOM and SE_ERR_NOASSOC are ever returned.
///@{
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
///@}

/// No program is associated with the document (or the verb): the last error of SE_ERR_NOASSOC.
#define ERROR_NO_ASSOCIATION 1155L

extern "C" {

/// Opens a document or address with the program the desktop associates with it.
///
/// verb is null or "open" (in any case); file is the document, a path or an address; directory
/// is the folder a relative path starts from, or null or "" for the working folder. A document
/// whose name starts with "-" is passed as "./-..." so that it is not read as an option.
/// \return A value above 32 on success (42), with the last error ERROR_SUCCESS. Failures, with the
/// last error: SE_ERR_FNF (ERROR_FILE_NOT_FOUND) for a document that does not exist (a null or
/// empty file included), or that the opener reports missing; SE_ERR_PNF (ERROR_PATH_NOT_FOUND) when
/// a folder on its path is not one; SE_ERR_ACCESSDENIED (ERROR_ACCESS_DENIED) for a document or
/// opener that may not be used; SE_ERR_OOM (ERROR_NOT_ENOUGH_MEMORY); SE_ERR_NOASSOC
/// (ERROR_NO_ASSOCIATION) for another verb, no xdg-open, or an opener that found no handler. owner
/// and showCommand are not used; parameters are not passed to xdg-open, which takes none.
PLINTH_API HINSTANCE ShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                                   LPCSTR directory, INT showCommand);

}  // extern "C"
