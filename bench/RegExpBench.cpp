// RegFind against PCRE2 (interpreter and JIT), RE2 and std::regex in the same run, on about
// 16MB of English text: every non-overlapping match through the text, each search starting
// where the previous match ended (the text from there is the subject, so "^" means "where this
// search starts" for every engine, as it does for CRegExp). Before timing, every peer's match
// count is checked against the library's; a peer that disagrees stops the program.
//
// The text: /usr/share/common-licenses and /usr/share/doc/*/copyright concatenated and
// repeated to size (PLINTH_BENCH_TEXT_DIR names another folder of text files instead).

#include <benchmark/benchmark.h>
#include <plinth/RegExp.h>

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>
#include <re2/re2.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kTextSize = 16u << 20;

struct Pattern {
  const char* name;
  std::string ours;  // the library's syntax
  std::string peer;  // the same for PCRE2, RE2 and ECMAScript
};

// One line feed in a set is written as the byte itself in both syntaxes.
const std::vector<Pattern>& Patterns() {
  static const std::vector<Pattern> patterns = {
      {"literal", "license", "license"},
      {"long_literal", "Free Software Foundation", "Free Software Foundation"},
      {"literal_then_set", "q[^u]", "q[^u]"},
      {"words", "software|license|warranty|copyright", "software|license|warranty|copyright"},
      {"ing", "[a-z]+ing", "[a-z]+ing"},
      {"capitalised_pair", "[A-Z][a-z]+ [A-Z][a-z]+", "[A-Z][a-z]+ [A-Z][a-z]+"},
      {"year_range", "[0-9]+-[0-9]+", "[0-9]+-[0-9]+"},
      {"inner_literal", "[a-z]* Public License", "[a-z]* Public License"},
      {"email", "[a-z.]+@[a-z]+", "[a-z.]+@[a-z]+"},
      {"anchored_line", "^[^\n]*\n", "^[^\n]*\n"},
      {"groups", "(GNU|General) (Public|Lesser)", "(GNU|General) (Public|Lesser)"},
      {"group_repeat", "([a-z]+ )+software", "([a-z]+ )+software"},
  };
  return patterns;
}

std::string LoadText() {
  namespace fs = std::filesystem;
  std::vector<fs::path> files;
  std::error_code error;
  if (const char* dir = std::getenv("PLINTH_BENCH_TEXT_DIR")) {
    for (const auto& entry : fs::recursive_directory_iterator(dir, error))
      if (entry.is_regular_file()) files.push_back(entry.path());
  } else {
    for (const auto& entry : fs::directory_iterator("/usr/share/common-licenses", error))
      if (entry.is_regular_file()) files.push_back(entry.path());
    for (const auto& entry : fs::directory_iterator("/usr/share/doc", error))
      if (fs::is_regular_file(entry.path() / "copyright"))
        files.push_back(entry.path() / "copyright");
  }
  std::sort(files.begin(), files.end());
  std::string all;
  for (const auto& file : files) {
    std::ifstream in(file, std::ios::binary);
    all.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  all.erase(std::remove(all.begin(), all.end(), '\0'), all.end());
  if (all.empty()) {
    std::fprintf(stderr, "no text found: set PLINTH_BENCH_TEXT_DIR to a folder of text files\n");
    std::exit(2);
  }
  std::string text;
  while (text.size() < kTextSize) text += all;
  text.resize(kTextSize);
  return text;
}

const std::string& Text() {
  static const std::string text = LoadText();
  return text;
}

// Walks the matches: find(from) answers the start and end of the next match, or false.
template <typename Find>
long long CountMatches(const std::string& text, Find find) {
  long long count = 0;
  std::size_t pos = 0;
  while (pos <= text.size()) {
    std::size_t start = 0;
    std::size_t end = 0;
    if (!find(pos, start, end)) break;
    ++count;
    pos = end > start ? end : start + 1;
  }
  return count;
}

long long Ours(const Pattern& p) {
  CRegExp re;
  if (!re.RegComp(p.ours.c_str())) std::abort();
  const std::string& text = Text();
  return CountMatches(text, [&](std::size_t pos, std::size_t& start, std::size_t& end) {
    const int at = re.RegFind(text.c_str() + pos);
    if (at < 0) return false;
    start = pos + static_cast<std::size_t>(at);
    end = start + static_cast<std::size_t>(re.GetFindLen());
    return true;
  });
}

struct Pcre {
  pcre2_code* code;
  pcre2_match_data* data;
  explicit Pcre(const std::string& pattern, bool jit) {
    int error = 0;
    PCRE2_SIZE offset = 0;
    code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.c_str()), pattern.size(),
                         PCRE2_DOTALL | PCRE2_DOLLAR_ENDONLY, &error, &offset, nullptr);
    if (!code) std::abort();
    if (jit && pcre2_jit_compile(code, PCRE2_JIT_COMPLETE) != 0) std::abort();
    data = pcre2_match_data_create_from_pattern(code, nullptr);
  }
  ~Pcre() {
    pcre2_match_data_free(data);
    pcre2_code_free(code);
  }
};

long long PcreCount(const Pattern& p, bool jit) {
  Pcre pcre(p.peer, jit);
  const std::string& text = Text();
  return CountMatches(text, [&](std::size_t pos, std::size_t& start, std::size_t& end) {
    const auto subject = reinterpret_cast<PCRE2_SPTR>(text.c_str() + pos);
    const int rc =
        jit ? pcre2_jit_match(pcre.code, subject, text.size() - pos, 0, 0, pcre.data, nullptr)
            : pcre2_match(pcre.code, subject, text.size() - pos, 0, 0, pcre.data, nullptr);
    if (rc < 0) return false;
    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(pcre.data);
    start = pos + ovector[0];
    end = pos + ovector[1];
    return true;
  });
}

long long Re2Count(const Pattern& p) {
  RE2::Options options(RE2::Latin1);
  options.set_dot_nl(true);
  RE2 re(p.peer, options);
  if (!re.ok()) std::abort();
  const std::string& text = Text();
  re2::StringPiece match;
  return CountMatches(text, [&](std::size_t pos, std::size_t& start, std::size_t& end) {
    const re2::StringPiece rest(text.data() + pos, text.size() - pos);
    if (!re.Match(rest, 0, rest.size(), RE2::UNANCHORED, &match, 1)) return false;
    start = pos + static_cast<std::size_t>(match.data() - rest.data());
    end = start + match.size();
    return true;
  });
}

long long StdCount(const Pattern& p) {
  const std::regex re(p.peer, std::regex::ECMAScript);
  const std::string& text = Text();
  std::cmatch match;
  return CountMatches(text, [&](std::size_t pos, std::size_t& start, std::size_t& end) {
    if (!std::regex_search(text.c_str() + pos, text.c_str() + text.size(), match, re)) return false;
    start = pos + static_cast<std::size_t>(match.position(0));
    end = start + static_cast<std::size_t>(match.length(0));
    return true;
  });
}

template <typename Run>
void Register(const std::string& engine, const Pattern& p, Run run) {
  benchmark::RegisterBenchmark(
      ("RegFind/" + std::string(p.name) + "/" + engine).c_str(),
      [p, run](benchmark::State& state) {
        long long matches = 0;
        for (auto _ : state) matches = run(p);
        state.counters["matches"] = static_cast<double>(matches);
        state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Text().size()));
      })
      ->Unit(benchmark::kMillisecond)
      ->MinTime(0.3);
}

// Nested choices over a run of 'a' that cannot match there, with a match after it: the
// library answers from its remembered failures; PCRE2 gives up at its match limit (-47) before
// it reaches the match.
void Catastrophic(benchmark::State& state, bool ours, const char* pattern) {
  const std::string subject = std::string(static_cast<std::size_t>(state.range(0)), 'a') + "xcb";
  long long result = 0;
  for (auto _ : state) {
    if (ours) {
      CRegExp re;
      re.RegComp(pattern);
      result = re.RegFind(subject.c_str());
    } else {
      Pcre pcre(pattern, false);
      result = pcre2_match(pcre.code, reinterpret_cast<PCRE2_SPTR>(subject.c_str()), subject.size(),
                           0, 0, pcre.data, nullptr);
    }
  }
  state.counters["result"] = static_cast<double>(result);
}

}  // namespace

int main(int argc, char** argv) {
  bool verify = true;
  for (int i = 1; i < argc; ++i)
    if (std::string(argv[i]) == "--no-verify") verify = false;
  for (const Pattern& p : Patterns()) {
    if (verify) {
      const long long expected = Ours(p);
      const long long counts[] = {PcreCount(p, false), PcreCount(p, true), Re2Count(p)};
      for (long long count : counts) {
        if (count != expected) {
          std::fprintf(stderr, "%s: a peer found %lld matches, the library %lld\n", p.name, count,
                       expected);
          return 1;
        }
      }
    }
    Register("plinth", p, [](const Pattern& q) { return Ours(q); });
    Register("pcre2", p, [](const Pattern& q) { return PcreCount(q, false); });
    Register("pcre2_jit", p, [](const Pattern& q) { return PcreCount(q, true); });
    Register("re2", p, [](const Pattern& q) { return Re2Count(q); });
    Register("std_regex", p, [](const Pattern& q) { return StdCount(q); });
  }
  for (const char* pattern : {"((a|aa)*c)", "((a|a)*b)"}) {
    for (bool ours : {true, false}) {
      benchmark::RegisterBenchmark(
          (std::string("Catastrophic/") + pattern + "/" + (ours ? "plinth" : "pcre2")).c_str(),
          [ours, pattern](benchmark::State& state) { Catastrophic(state, ours, pattern); })
          ->Arg(10000)
          ->Unit(benchmark::kMillisecond);
    }
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
