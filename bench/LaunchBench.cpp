// Starting a trivial program and waiting for it: CreateProcessA, WaitForSingleObject,
// GetExitCodeProcess and CloseHandle (twice) against posix_spawn and waitpid of the same
// program in the same run.
//
// Two peers: posix_spawn as a programmer would call it (no attributes), and posix_spawn set up
// as the library sets it up for the library's own launches (descriptors from 3 closed, a new
// process group, signal mask and dispositions reset), which shows what the Win32 layer itself
// costs. Times are wall-clock: most of a launch is spent in the kernel and in the child, which
// the parent's CPU clock does not see. At the end the program prints "library / peer" from the
// medians of every run of each benchmark (use --benchmark_repetitions=N for more of them).

#include <benchmark/benchmark.h>
#include <plinth/win32.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

extern char** environ;

namespace {

const char kProgram[] = "/bin/true";
// benchmark -> seconds per launch of every run (repetitions, and the runs that size them)
std::map<std::string, std::vector<double>> g_seconds;

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

template <class Body>
void Timed(benchmark::State& state, const char* name, Body body) {
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) body(state);
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  g_seconds[name].push_back(elapsed.count() / static_cast<double>(state.iterations()));
}

void Library(benchmark::State& state) {
  Timed(state, "library", [](benchmark::State& s) {
    char line[] = "/bin/true";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    DWORD code = 1;
    if (!CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, CREATE_NEW_PROCESS_GROUP, nullptr,
                        nullptr, &startup, &info) ||
        WaitForSingleObject(info.hProcess, INFINITE) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(info.hProcess, &code) || code != 0)
      s.SkipWithError("launch failed");
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
  });
}

void SpawnAndWait(benchmark::State& state, const posix_spawn_file_actions_t* actions,
                  const posix_spawnattr_t* attributes) {
  char* argv[] = {const_cast<char*>(kProgram), nullptr};
  pid_t pid;
  int status = 0;
  if (posix_spawn(&pid, kProgram, actions, attributes, argv, environ) != 0 ||
      waitpid(pid, &status, 0) != pid || status != 0)
    state.SkipWithError("posix_spawn failed");
}

void PosixSpawnPlain(benchmark::State& state) {
  Timed(state, "posix_spawn plain", [](benchmark::State& s) { SpawnAndWait(s, nullptr, nullptr); });
}

void PosixSpawnSameSetup(benchmark::State& state) {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  posix_spawnattr_init(&attributes);
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  sigaddset(&defaults, SIGCHLD);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setflags(&attributes,
                           POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
  Timed(state, "posix_spawn same setup",
        [&](benchmark::State& s) { SpawnAndWait(s, &actions, &attributes); });
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
}

BENCHMARK(PosixSpawnPlain)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(Library)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(PosixSpawnSameSetup)->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  const double library = Median(g_seconds["library"]);
  for (const char* peer : {"posix_spawn plain", "posix_spawn same setup"}) {
    const double seconds = Median(g_seconds[peer]);
    if (library > 0 && seconds > 0)
      std::printf("library / %s: %.2f (%.0f us / %.0f us per launch)\n", peer, library / seconds,
                  library * 1e6, seconds * 1e6);
  }
  return 0;
}
