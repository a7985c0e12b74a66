#pragma once
// Which machine names mean this one, for the services that accept a machine name (the registry
// connection, shutdown requests) and must refuse every other with ERROR_BAD_NETPATH.

namespace plinth::posix {

// A null or empty name, ".", "localhost", the host name or its first label (the name before
// the first dot), in any letter case and after any leading backslashes ("\\host").
bool NamesThisMachine(const char* name);

}  // namespace plinth::posix
