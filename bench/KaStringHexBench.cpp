// Hexadecimal byte text on 64 MB of random bytes: CKaString::ConvertBinaryToString and
// ConvertToBinary against xxd (-p, and -r -p), the usual command-line tool for the job, run as
// a child process on temporary files in the same run.
//
// Times are CPU seconds: the library's from the process clock, xxd's from the children's
// resource usage, so that a busy machine (or xxd's process start) does not blur the ratios.
// Each side writes and reads its own line format (the library breaks lines with a backslash and
// a line feed every 30 bytes, xxd with a line feed every 30 bytes): the same bytes, the same
// amount of text. Before timing, both round trips are checked on the data.
//
// At the end the program prints "library / xxd" per direction: below 1.0 is faster than xxd.

#include <benchmark/benchmark.h>
#include <plinth/KaString.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr size_t kSize = size_t{64} << 20;
constexpr int kLineBytes = 30;  // xxd -p writes 30 bytes per line

struct Fixture {
  std::vector<unsigned char> data;
  CString text;  // the library's text, no separator, lines of kLineBytes
  fs::path folder;
  fs::path binary;   // data
  fs::path xxdText;  // xxd -p of data
};

Fixture* g_fixture = nullptr;
std::map<std::string, double> g_seconds;  // benchmark -> CPU seconds per iteration

double ChildrenSeconds() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double ProcessSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

void Run(const std::string& command) {
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "'%s' failed; is xxd installed (apt-get install xxd)?\n", command.c_str());
    std::exit(1);
  }
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Prepare() {
  auto* f = new Fixture;
  f->data.resize(kSize);
  std::mt19937_64 random(64);
  for (size_t i = 0; i < kSize; i += 8) {
    const uint64_t word = random();
    for (size_t k = 0; k < 8; ++k) f->data[i + k] = static_cast<unsigned char>(word >> (8 * k));
  }
  f->text = CKaString::ConvertBinaryToString(f->data.data(), static_cast<unsigned long>(kSize),
                                             CString(""), kLineBytes);
  f->folder =
      fs::temp_directory_path() / ("plinth-hex-bench-" + std::to_string(std::time(nullptr)));
  fs::create_directories(f->folder);
  f->binary = f->folder / "data.bin";
  f->xxdText = f->folder / "data.hex";
  {
    std::ofstream out(f->binary, std::ios::binary);
    out.write(reinterpret_cast<const char*>(f->data.data()), static_cast<std::streamsize>(kSize));
  }
  Run("xxd -p '" + f->binary.string() + "' > '" + f->xxdText.string() + "'");

  // Both round trips must give the data back, or the times compare different work.
  CKaString copy(f->text);
  CByteArray bytes;
  if (copy.ConvertToBinary(CString(""), bytes) != S_OK ||
      bytes.GetSize() != static_cast<INT_PTR>(kSize) ||
      !std::equal(f->data.begin(), f->data.end(), bytes.GetData())) {
    std::fprintf(stderr, "the library's round trip lost bytes\n");
    std::exit(1);
  }
  const fs::path back = f->folder / "back.bin";
  Run("xxd -r -p '" + f->xxdText.string() + "' > '" + back.string() + "'");
  const std::string xxdBack = ReadFile(back);
  if (xxdBack.size() != kSize || std::memcmp(xxdBack.data(), f->data.data(), kSize) != 0) {
    std::fprintf(stderr, "xxd's round trip lost bytes\n");
    std::exit(1);
  }
  std::printf("text: library %d bytes, xxd %llu bytes\n", f->text.GetLength(),
              static_cast<unsigned long long>(fs::file_size(f->xxdText)));
  g_fixture = f;
}

template <class Body>
void Timed(benchmark::State& state, const std::string& name, Body body, bool child) {
  double total = 0;
  for (auto _ : state) {
    const double start = child ? ChildrenSeconds() : ProcessSeconds();
    body();
    const double seconds = (child ? ChildrenSeconds() : ProcessSeconds()) - start;
    state.SetIterationTime(seconds);
    total += seconds;
  }
  g_seconds[name] = total / static_cast<double>(state.iterations());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kSize));
}

void BM_Encode_Library(benchmark::State& state) {
  Timed(
      state, "encode/library",
      [] {
        CString text = CKaString::ConvertBinaryToString(
            g_fixture->data.data(), static_cast<unsigned long>(kSize), CString(""), kLineBytes);
        benchmark::DoNotOptimize(text.GetString());
      },
      false);
}

void BM_Encode_LibraryComma(benchmark::State& state) {
  Timed(
      state, "encode/library_comma",
      [] {
        CString text = CKaString::ConvertBinaryToString(
            g_fixture->data.data(), static_cast<unsigned long>(kSize), CString(","), 16);
        benchmark::DoNotOptimize(text.GetString());
      },
      false);
}

void BM_Encode_Xxd(benchmark::State& state) {
  const std::string command = "xxd -p '" + g_fixture->binary.string() + "' > /dev/null";
  Timed(
      state, "encode/xxd", [&] { Run(command); }, true);
}

void BM_Decode_Library(benchmark::State& state) {
  Timed(
      state, "decode/library",
      [] {
        CKaString text(g_fixture->text);
        CByteArray bytes;
        benchmark::DoNotOptimize(text.ConvertToBinary(CString(""), bytes));
      },
      false);
}

void BM_Decode_Xxd(benchmark::State& state) {
  const std::string command = "xxd -r -p '" + g_fixture->xxdText.string() + "' > /dev/null";
  Timed(
      state, "decode/xxd", [&] { Run(command); }, true);
}

BENCHMARK(BM_Encode_Library)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Encode_LibraryComma)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Encode_Xxd)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Decode_Library)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Decode_Xxd)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void Ratio(const char* label, const std::string& library, const std::string& peer) {
  if (!g_seconds.count(library) || !g_seconds.count(peer)) return;
  std::printf("%-28s %.3f  (library %.1f ms, xxd %.1f ms)\n", label,
              g_seconds[library] / g_seconds[peer], g_seconds[library] * 1e3,
              g_seconds[peer] * 1e3);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  Prepare();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::printf("\nCPU time ratios, library / xxd (below 1.0: the library is faster)\n");
  Ratio("encode (xxd -p)", "encode/library", "encode/xxd");
  Ratio("decode (xxd -r -p)", "decode/library", "decode/xxd");
  std::error_code ignored;
  fs::remove_all(g_fixture->folder, ignored);
  delete g_fixture;
  return 0;
}
