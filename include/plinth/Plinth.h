#pragma once
/// \file
/// Everything the library exports: include this one header to reach every class, the
/// framework classes and the Win32 declarations they use.

#include <plinth/KaBstr.h>
#include <plinth/KaEnvVar.h>
#include <plinth/KaFileFind.h>
#include <plinth/KaHresults.h>
#include <plinth/KaOSVersionInfo.h>
#include <plinth/KaPath.h>
#include <plinth/KaSecurity.h>
#include <plinth/KaShell.h>
#include <plinth/KaShowHtmlPage.h>
#include <plinth/KaString.h>
#include <plinth/RegExp.h>
#include <plinth/RegVal.h>
#include <plinth/Registry.h>
#include <plinth/afx.h>
#include <plinth/win32.h>
