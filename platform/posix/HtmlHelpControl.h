#pragma once
// The HTML Help control as a module built into the POSIX layer, for LoadLibraryA,
// GetProcAddress and FreeLibrary (platform/posix/Modules.cpp).

#include <plinth/win32.h>

namespace plinth::posix {

// Whether fileName is the control's own file name, "hhctrl.ocx" (in any folder, any case).
bool NamesHtmlHelpControl(const char* fileName);

// The control, bound to the viewer program registered as the control's file, when fileName is
// the control's own name or exactly the registered text and that text names an executable
// file. Null with ERROR_MOD_NOT_FOUND otherwise.
HMODULE LoadHtmlHelpControl(const char* fileName);

bool IsHtmlHelpControl(HMODULE module);

// An entry of a control module: ordinal 14 or the name "HtmlHelpA". Null with
// ERROR_PROC_NOT_FOUND for anything else.
FARPROC HtmlHelpControlEntry(HMODULE module, LPCSTR procName);

}  // namespace plinth::posix
