#pragma once
// How a module refuses to load differs by operating system: a Windows DLL answers FALSE from
// its entry point, while a POSIX shared object, whose constructors are already running, can
// only end the process. The framework's load sequence calls this once the application object
// has declined; each platform folder provides it.

namespace plinth::platform {

// Called at most once per module, after the refusal message was shown. On POSIX it does not
// return; on Windows it returns, and the DLL's entry point then answers FALSE to the loader.
void RefuseModuleLoad();

}  // namespace plinth::platform
