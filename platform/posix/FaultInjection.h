#pragma once
// Lets tests make a platform call fail where the real system never fails it (the sockets
// start-up, for one), so that the library's failure paths run. The variable
// PLINTH_FAULT_INJECT holds a comma-separated list of the names of the calls to fail; it is read
// at each call because the calls in question mostly run while a module loads, before a test's
// main() could set anything up.

namespace plinth::posix {

bool FaultInjected(const char* callName);

}  // namespace plinth::posix
