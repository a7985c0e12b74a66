#include "platform/LoadRefusal.h"

#include <cstdio>
#include <cstdlib>

namespace plinth::platform {

// Exit status 1, as a Windows process ends when a DLL it was linked with fails to initialise;
// _Exit, because the destructors of the half-loaded modules must not run.
void RefuseModuleLoad() {
  std::fflush(nullptr);
  std::_Exit(1);
}

}  // namespace plinth::platform
