// Walking a registry tree of 10,001 keys and 50,000 values (tests/tools/AwkwardRegistryTree.h)
// in a private store, four ways in one run, each reported in keys per second:
//   Walk_RawApi     RegOpenKeyExA, RegQueryInfoKeyA, RegEnumValueA and RegEnumKeyA by hand,
//                   every value's name and data read: the floor
//   Walk_TreeWalk   CRegistry::RegistryTreeWalk, values and keys reported (flags 3), recursive
//   Export          the host's reg export (RegFileStore), written to memory
//   Import          the host's reg import, parsing included, into an emptied key
// and at the end the ratio tree walk / raw API (1.0: the walk costs nothing over the calls).
#include <benchmark/benchmark.h>
#include <plinth/Registry.h>
#include <plinth/win32.h>
#include <stdlib.h>

#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "AwkwardRegistryTree.h"
#include "RegFile.h"
#include "RegFileStore.h"

namespace {

const char* const kTree = "Software\\PlinthWalkBench";
const char* const kShown = "HKEY_CURRENT_USER\\Software\\PlinthWalkBench";
constexpr double kKeys = 10001;

std::string g_exported;
std::map<std::string, double> g_secondsPerWalk;

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "registry walk benchmark: %s failed\n", what);
    std::exit(2);
  }
}

// Processor time: on a busy machine the wall time of store reads includes waiting for others.
double CpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

struct Timed {
  explicit Timed(const char* name) : name_(name), start_(CpuSeconds()) {}
  void Done(benchmark::State& state) {
    const double seconds = CpuSeconds() - start_;
    g_secondsPerWalk[name_] = seconds / static_cast<double>(state.iterations());
    state.counters["keys_per_s"] = benchmark::Counter(
        kKeys * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  }
  const char* name_;
  double start_;
};

// The by-hand walk a caller would write: buffers sized from each key's metrics.
std::size_t RawWalk(HKEY parent, const char* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(parent, name, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
  DWORD subkeys = 0, longestSubkey = 0, values = 0, longestName = 0, longestData = 0;
  RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, &longestSubkey, nullptr, &values,
                   &longestName, &longestData, nullptr, nullptr);
  std::string valueName(longestName + 1, '\0'), data(longestData + 64, '\0');
  for (DWORD index = 0;; ++index) {
    DWORD nameLength = static_cast<DWORD>(valueName.size()),
          size = static_cast<DWORD>(data.size()), type = 0;
    if (RegEnumValueA(key, index, valueName.data(), &nameLength, nullptr, &type,
                      reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS)
      break;
    benchmark::DoNotOptimize(size);
  }
  std::size_t keys = 1;
  std::string child(longestSubkey + 1, '\0');
  for (DWORD index = 0;
       RegEnumKeyA(key, index, child.data(), static_cast<DWORD>(child.size())) == ERROR_SUCCESS;
       ++index)
    keys += RawWalk(key, child.c_str());
  RegCloseKey(key);
  return keys;
}

void Walk_RawApi(benchmark::State& state) {
  Timed timed("raw");
  for (auto _ : state) Check(RawWalk(HKEY_CURRENT_USER, kTree) == 10001, "the raw walk");
  timed.Done(state);
}
BENCHMARK(Walk_RawApi)->Unit(benchmark::kMillisecond);

class CountingWalk : public CRegistry {
 public:
  CountingWalk() : CRegistry(HKEY_CURRENT_USER) {}
  bool OnValueHit(const char*, const char*, CRegVal& value, unsigned short, void*) override {
    benchmark::DoNotOptimize(value.GetSize());
    return true;
  }
  bool OnKeyHit(HKEY, const char*, const char*, unsigned short, void*) override {
    ++keys;
    return true;
  }
  std::size_t keys = 0;
};

void Walk_TreeWalk(benchmark::State& state) {
  Timed timed("walk");
  for (auto _ : state) {
    CountingWalk walk;
    Check(walk.RegistryTreeWalk(kTree, true, 3) && walk.keys == 10001, "the tree walk");
  }
  timed.Done(state);
}
BENCHMARK(Walk_TreeWalk)->Unit(benchmark::kMillisecond);

void Export(benchmark::State& state) {
  Timed timed("export");
  std::string file;
  for (auto _ : state) {
    file.clear();
    plinth_regfile::ExportRegistryTree(
        HKEY_CURRENT_USER, kTree, kShown,
        [&](std::string& text) {
          file += text;
          text.clear();
        },
        nullptr);
  }
  timed.Done(state);
  Check(file == g_exported, "exporting the same file each time");
}
BENCHMARK(Export)->Unit(benchmark::kMillisecond);

void Import(benchmark::State& state) {
  double seconds = 0;
  for (auto _ : state) {
    state.PauseTiming();
    CRegistry::DeleteKey(kTree, nullptr, HKEY_CURRENT_USER);
    state.ResumeTiming();
    const double start = CpuSeconds();
    plinth_regfile::ImportRegFile(plinth_regfile::ParseRegFile(g_exported), nullptr);
    seconds += CpuSeconds() - start;
  }
  g_secondsPerWalk["import"] = seconds / static_cast<double>(state.iterations());
  state.counters["keys_per_s"] = benchmark::Counter(
      kKeys * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(Import)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

int main(int argc, char** argv) {
  // A store of the benchmark's own, set before the first registry call.
  char folder[] = "/tmp/plinth-walk-bench-XXXXXX";
  Check(mkdtemp(folder) != nullptr, "making a temporary folder");
  const std::string store = std::string(folder) + "/registry.db";
  setenv("PLINTH_REGISTRY", store.c_str(), 1);
  std::fprintf(stderr, "building 10,001 keys and 50,000 values in %s …\n", store.c_str());
  Check(plinth_awkward::BuildAwkwardTree(HKEY_CURRENT_USER, kTree, 100, 99, 5), "building the tree");
  plinth_regfile::ExportRegistryTree(
      HKEY_CURRENT_USER, kTree, kShown,
      [](std::string& text) {
        g_exported += text;
        text.clear();
      },
      nullptr);

  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (g_secondsPerWalk.count("raw") && g_secondsPerWalk.count("walk"))
    std::printf("tree walk / raw API: %.2f\n", g_secondsPerWalk["walk"] / g_secondsPerWalk["raw"]);
  for (const char* name : {"raw", "walk", "export", "import"})
    if (g_secondsPerWalk.count(name))
      std::printf("%-7s %9.0f keys/s (processor time)\n", name, kKeys / g_secondsPerWalk[name]);
  std::filesystem::remove_all(folder);
  return 0;
}
