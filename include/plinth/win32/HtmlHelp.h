#pragma once
/// \file
/// The HTML Help control's display entry as the library reaches it: looked up at run time, by
/// export number, in the control module. Windows SDKs declare the entry in <htmlhelp.h>, which
/// not every toolchain ships, so this header declares the little the library uses, the same on
/// every system. Not included by <plinth/win32.h>.
///
/// On POSIX the control is built into the platform layer (see Modules.h): it loads only when a
/// viewer program is registered, and its entry starts that viewer with the file path as its one
/// argument, without a shell. The viewer's window is a record of the layer's window table
/// (see UserInterface.h), returned by the entry.

#include <plinth/win32.h>

#ifndef WINAPI
#define WINAPI  ///< Calling-convention marker of Win32 declarations; empty on POSIX.
#endif

#ifndef HH_DISPLAY_TOPIC
/// The one HtmlHelpA command the library uses, and the only one the POSIX control accepts:
/// show a file (or a page of it).
#define HH_DISPLAY_TOPIC 0x0000
#endif

/// The export number of HtmlHelpA in the control module.
#define PLINTH_HTMLHELPA_ORDINAL 14

/// HtmlHelpA: caller (the owner window), file (a help file, optionally followed by "::/" and a
/// page), command (HH_DISPLAY_TOPIC), data (0). The viewer's window, or null when nothing could
/// be shown. The data argument is pointer-sized (DWORD_PTR) on every system.
///
/// On POSIX caller and data are not used; file is handed to the viewer unchanged, "::/" and
/// page included. Null comes with the last error ERROR_INVALID_PARAMETER (another command, or
/// no file) or that of starting the viewer (as CreateProcessA reports it).
typedef HWND(WINAPI* PLINTH_HTMLHELPA)(HWND caller, LPCSTR file, UINT command, ULONG_PTR data);

/// The class registration that names the control's file.
/// Under HKEY_CLASSES_ROOT; its default value names the control's file on Windows and the
/// viewer program on POSIX (see <plinth/win32/Modules.h>).
#define PLINTH_HTMLHELP_CONTROL_KEY "CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32"
