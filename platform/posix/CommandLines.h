#pragma once
// Windows command lines and PATH lists read as a POSIX process needs them: a command line into
// the program to find and the argv the child gets, a PATH value into its folders.

#include <string>
#include <vector>

namespace plinth::posix {

// The program token as process creation reads it: a line that starts with a quote names the
// program up to the next quote (or the end), else up to the first blank (space or tab).
// Leading blanks are skipped. *rest is set to where the arguments begin.
std::string ProgramToken(const char* line, const char** rest);

// argv as the Windows C runtime builds it: argv[0] is the program token; after it, 2n
// backslashes before a quote give n backslashes and the quote opens or closes a quoted run,
// 2n+1 give n backslashes and a literal quote, other backslashes are literal, and "" inside a
// quoted run is a literal quote that keeps the run open. Never empty.
std::vector<std::string> SplitCommandLine(const char* line);

// The folders of a PATH value. The library writes Windows-style lists ("dir;old"), the system
// writes ':' lists, so both characters separate; a ':' after a single letter and before a
// backslash ("c:\tools") is a drive and stays. Empty elements are dropped: they never mean the
// working directory.
std::vector<std::string> PathFolders(const std::string& value);

}  // namespace plinth::posix
