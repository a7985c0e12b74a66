#pragma once
// Programs the platform layer starts for its own services (the desktop's document opener, the
// help viewer): always without a shell, and never left as zombies.

#include <sys/types.h>

#include <string>
#include <vector>

namespace plinth::posix {

// The first executable regular file called name in a folder of PATH (empty elements, which
// would mean the working folder, are skipped), or "" when there is none.
std::string FindOnPath(const std::string& name);

// Starts program (a path) with arguments as its argv (arguments[0] is the name the child sees
// itself by) and the process environment of the moment. The child's id, or -1 with error set
// to the errno value that kept it from starting (a program that cannot be executed included).
pid_t StartProgram(const std::string& program, const std::vector<std::string>& arguments,
                   int& error);

// Waits up to milliseconds for child to end: true with its wait status, false when it still
// runs after the limit. Such a child is left to ReapWhenEnded.
bool WaitForProgram(pid_t child, unsigned milliseconds, int& status);

// Nobody waits for child any more: it is reaped when it ends, so it never stays a zombie.
void ReapWhenEnded(pid_t child);

}  // namespace plinth::posix
