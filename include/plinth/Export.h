#pragma once
/// \file
/// Marks the classes, functions and data that the shared library exports. Everything else
/// stays hidden, so a host sees exactly the documented surface.

/// \def PLINTH_API
/// Exports a declaration from the shared library: default visibility on POSIX; on Windows
/// __declspec(dllexport) while the library itself is built (PLINTH_BUILDING_LIBRARY) and
/// __declspec(dllimport) in a host.

#if defined(_WIN32)
#if defined(PLINTH_BUILDING_LIBRARY)
#define PLINTH_API __declspec(dllexport)
#else
#define PLINTH_API __declspec(dllimport)
#endif
#else
#define PLINTH_API __attribute__((visibility("default")))
#endif
