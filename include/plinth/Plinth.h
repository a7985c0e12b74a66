#pragma once
// Everything the library exports.

#include <plinth/KaHresults.h>
#include <plinth/KaOSVersionInfo.h>
#include <plinth/KaSecurity.h>
#include <plinth/KaShell.h>
#include <plinth/KaString.h>
#include <plinth/afx.h>
#include <plinth/win32.h>
