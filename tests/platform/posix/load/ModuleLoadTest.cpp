// Loads a private copy of the library in a child process, the way a host loads it, to watch
// the load sequence from outside.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

std::string CopyOfLibrary() {
  std::string path = testing::TempDir() + "plinth-copy-" + std::to_string(getpid()) + ".so";
  std::ifstream in(PLINTH_LIBRARY_FILE, std::ios::binary);
  std::ofstream out(path, std::ios::binary);
  out << in.rdbuf();
  return path;
}

void LoadAndExit(const std::string& path) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  std::fprintf(stderr, "loaded: %s\n", handle ? "yes" : dlerror());
  std::_Exit(handle ? 0 : 3);
}

TEST(ModuleLoad, ALoadWhoseSocketsStartRunsToTheEnd) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const std::string path = CopyOfLibrary();
  EXPECT_EXIT(
      {
        unsetenv("PLINTH_FAULT_INJECT");
        LoadAndExit(path);
      },
      testing::ExitedWithCode(0), "loaded: yes");
  std::remove(path.c_str());
}

TEST(ModuleLoad, FailedSocketsStartUpShowsTheMessageAndRefusesTheLoad) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const std::string path = CopyOfLibrary();
  EXPECT_EXIT(
      {
        setenv("PLINTH_FAULT_INJECT", "WSAStartup", 1);
        LoadAndExit(path);
      },
      testing::ExitedWithCode(1), "Windows sockets initialization failed\\.");
  std::remove(path.c_str());
}

}  // namespace
