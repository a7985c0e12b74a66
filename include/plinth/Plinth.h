#pragma once
// Everything the library exports.

#include <plinth/KaBstr.h>
#include <plinth/KaHresults.h>
#include <plinth/KaString.h>
#include <plinth/afx.h>
#include <plinth/win32.h>
