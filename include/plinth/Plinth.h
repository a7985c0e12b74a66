#pragma once
// Everything the library exports.

#include <plinth/KaHresults.h>
#include <plinth/KaString.h>
#include <plinth/RegExp.h>
#include <plinth/afx.h>
#include <plinth/win32.h>
