#pragma once
// The handles of the layer come from several services, each with a table of its own under a
// tag of its own; CloseHandle is one function, so it asks each table in turn.

#include <plinth/win32.h>

namespace plinth::posix {

// Each releases handle when it belongs to its table and reports whether it did.
bool CloseTokenHandle(HANDLE handle);    // Tokens.cpp
bool CloseProcessHandle(HANDLE handle);  // Processes.cpp

}  // namespace plinth::posix
