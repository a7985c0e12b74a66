// CKaFileFind::FindFilesRecursive over a generated tree of 100,000 files in 5,000 folders, and
// in the same run GNU find on the same tree (`find DIR -name PATTERN -type f`, its output read
// through a pipe as the library's result is collected into an array). Wall-clock times, since
// find runs as a child process. The tree is made once per run under /tmp and removed at the
// end; the first iteration of each benchmark warms the file system's caches for both.
//
// At the end the program prints library / find for each pattern: 1.0 is as fast as find.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <plinth/KaFileFind.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int kTopFolders = 50;
constexpr int kSubfoldersEach = 99;  // 50 + 50 * 99 = 5,000 folders
constexpr int kFilesPerFolder = 20;  // 5,000 * 20 = 100,000 files
const char* const kExtensions[] = {".txt", ".log", ".dat", ".cfg"};

std::string g_root;

void MakeFiles(const std::string& folder) {
  for (int i = 0; i < kFilesPerFolder; ++i) {
    const std::string name = folder + "/file" + std::to_string(i) + kExtensions[i % 4];
    const int fd = ::open(name.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    if (fd < 0) {
      std::perror(name.c_str());
      std::exit(2);
    }
    ::close(fd);
  }
}

void MakeTree() {
  char pattern[] = "/tmp/plinth-bench-tree-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) {
    std::perror("mkdtemp");
    std::exit(2);
  }
  g_root = pattern;
  for (int top = 0; top < kTopFolders; ++top) {
    const std::string folder = g_root + "/top" + std::to_string(top);
    ::mkdir(folder.c_str(), 0755);
    MakeFiles(folder);
    for (int sub = 0; sub < kSubfoldersEach; ++sub) {
      const std::string inner = folder + "/sub" + std::to_string(sub);
      ::mkdir(inner.c_str(), 0755);
      MakeFiles(inner);
    }
  }
}

void Library(benchmark::State& state, const char* pattern) {
  std::size_t found = 0;
  for (auto _ : state) {
    CKaFileFind finder;
    CStringArray files;
    finder.FindFilesRecursive(g_root.c_str(), pattern, files, true, false);
    found = static_cast<std::size_t>(files.GetSize());
    benchmark::DoNotOptimize(files.GetData());
  }
  state.counters["found"] = static_cast<double>(found);
}

double ChildrenCpuSeconds() {
  struct rusage usage;
  ::getrusage(RUSAGE_CHILDREN, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// With cpuTime, each iteration counts find's own processor time (user and system, read from
// the children's usage), which stays comparable with the library's CPU time on a busy machine.
void GnuFind(benchmark::State& state, const char* pattern, bool cpuTime) {
  const std::string command = "find '" + g_root + "' -name '" + pattern + "' -type f";
  std::size_t found = 0;
  std::vector<char> buffer(1 << 16);
  for (auto _ : state) {
    const double childrenBefore = ChildrenCpuSeconds();
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
      state.SkipWithError("cannot start find");
      break;
    }
    std::size_t lines = 0;
    std::size_t got;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
      for (std::size_t i = 0; i < got; ++i) lines += buffer[i] == '\n';
    if (::pclose(pipe) != 0) {
      state.SkipWithError("find failed");
      break;
    }
    found = lines;
    if (cpuTime) state.SetIterationTime(ChildrenCpuSeconds() - childrenBefore);
  }
  state.counters["found"] = static_cast<double>(found);
}

// Keeps the wall-clock time of every run so that the ratios can be printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration || run.aggregate_name == "median") {
        realTimes_[run.run_name.function_name] = run.GetAdjustedRealTime();
        cpuTimes_[run.run_name.function_name] = run.GetAdjustedCPUTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void PrintRatios() const {
    std::printf("\nlibrary / GNU find (1.0 is as fast):\n");
    for (const char* pattern : {"all", "txt"}) {
      const std::string library = std::string("FindFilesRecursive/library/") + pattern;
      const std::string wall = std::string("FindFilesRecursive/gnu_find/") + pattern;
      const std::string cpu = std::string("FindFilesRecursive/gnu_find_cpu/") + pattern;
      if (realTimes_.count(library) && realTimes_.count(wall) && realTimes_.at(wall) > 0)
        std::printf("  %-4s wall-clock %.2f", pattern,
                    realTimes_.at(library) / realTimes_.at(wall));
      // The manual time of the CPU variant is find's processor time.
      if (cpuTimes_.count(library) && realTimes_.count(cpu) && realTimes_.at(cpu) > 0)
        std::printf("   processor time %.2f", cpuTimes_.at(library) / realTimes_.at(cpu));
      std::printf("\n");
    }
  }

 private:
  std::map<std::string, double> realTimes_;
  std::map<std::string, double> cpuTimes_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  MakeTree();
  benchmark::RegisterBenchmark("FindFilesRecursive/library/all", Library, "*")
      ->UseRealTime()
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("FindFilesRecursive/gnu_find/all", GnuFind, "*", false)
      ->UseRealTime()
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("FindFilesRecursive/gnu_find_cpu/all", GnuFind, "*", true)
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("FindFilesRecursive/library/txt", Library, "*.txt")
      ->UseRealTime()
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("FindFilesRecursive/gnu_find/txt", GnuFind, "*.txt", false)
      ->UseRealTime()
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("FindFilesRecursive/gnu_find_cpu/txt", GnuFind, "*.txt", true)
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  std::error_code ignored;
  std::filesystem::remove_all(g_root, ignored);
  benchmark::Shutdown();
  return 0;
}
