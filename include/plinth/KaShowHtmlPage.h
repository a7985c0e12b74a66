#pragma once
// Shows one page of a compiled help file in the help viewer, placed in the upper third of the
// right half of the screen. Nothing is reported: without a viewer nothing is shown.

#include <plinth/Export.h>
#include <plinth/afx/String.h>
#include <plinth/win32.h>

PLINTH_API void KaShowHtmlPage(HWND parent, const CString& helpFile, const CString& page);
