#pragma once
// Everything the library exports.

#include <plinth/win32.h>
#include <plinth/afx.h>
#include <plinth/KaHresults.h>
#include <plinth/KaString.h>
