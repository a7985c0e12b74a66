// The DLL's entry point. The C++ runtime's start-up code runs before it and constructs the
// library's static objects in their order of definition (frame/Plinth.cpp), the last of which
// runs the application's start-up: sockets, and the message box when they cannot start. All
// that is left here is to pass a refusal on to the loader, which then fails the host's
// LoadLibrary (or the start of a program linked with the DLL) and runs the static destructors.
#include <windows.h>

#include "platform/LoadRefusal.h"

namespace {
// Written once, under the loader lock, while the static objects are constructed.
bool g_loadRefused = false;
}  // namespace

namespace plinth::platform {

void RefuseModuleLoad() { g_loadRefused = true; }

}  // namespace plinth::platform

extern "C" BOOL WINAPI DllMain(HINSTANCE /*module*/, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH && g_loadRefused) return FALSE;
  return TRUE;
}
