#pragma once
// Sets and removes variables of the test process's environment, where the library reads them
// with getenv. The C runtimes spell this differently: POSIX setenv/unsetenv, Windows _putenv_s
// (an empty value removes the variable there).

#include <cstdlib>

namespace plinth::test {

inline void SetEnvironmentVariableForTest(const char* name, const char* value) {
#if defined(_WIN32)
  _putenv_s(name, value);
#else
  setenv(name, value, 1);
#endif
}

inline void RemoveEnvironmentVariableForTest(const char* name) {
#if defined(_WIN32)
  _putenv_s(name, "");
#else
  unsetenv(name);
#endif
}

}  // namespace plinth::test
