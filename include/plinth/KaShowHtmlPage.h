#pragma once
/// \file
/// KaShowHtmlPage: one page of a compiled help file in the help viewer.

#include <plinth/Export.h>
#include <plinth/afx/String.h>
#include <plinth/win32.h>

/// Shows one page of a compiled help file in the help viewer, placed in the upper third of the
/// right half of the screen. The topic shown is helpFile + "::/" + page, with parent as the
/// owner. Nothing is reported: without a viewer (none registered, or none that loads; on POSIX
/// the registration names a viewer program) nothing is shown. The viewer is looked for once per
/// process, so one registered later is not seen.
PLINTH_API void KaShowHtmlPage(HWND parent, const CString& helpFile, const CString& page);
