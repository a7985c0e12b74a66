#pragma once
// Programs the platform layer starts for its own services (the desktop's document opener, the
// help viewer), through the layer's process creation: never through a shell, and reaped by the
// process layer once their handles are closed.

#include <plinth/win32.h>

#include <string>
#include <vector>

namespace plinth::posix {

// The first executable regular file called name in a folder of PATH, read as process creation
// reads it (':' and ';' separate, empty elements are skipped), or "" when there is none.
std::string FindOnPath(const std::string& name);

// A command line that process creation splits back into exactly these arguments (the Windows
// C runtime's rules): argv[0] quoted whole, every other argument quoted with its backslashes
// and quotes escaped.
std::string CommandLineFor(const std::vector<std::string>& argv);

// Starts program (a POSIX path, taken as it stands) with argv; the child keeps only the
// standard streams. TRUE with both handles in started (the caller closes them), else FALSE
// with the last error of CreateProcessA.
BOOL StartProgram(const std::string& program, const std::vector<std::string>& argv,
                  DWORD creationFlags, PROCESS_INFORMATION& started);

}  // namespace plinth::posix
