#pragma once
// Identifiers of the library's own string resources. The numbers are part of the interface:
// hosts load these strings by number.

#define IDS_SOCKETS_INIT_FAILED 101
#define IDS_DEFAULT_VALUE_NAME 29093
