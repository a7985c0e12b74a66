// Replacing in CKaString on megabytes of English text, against what a programmer would write by
// hand: the in-place find/replace loop on a std::string, and a one-pass rebuild with memmem (or
// strcasestr for the no-case member). The text is the licence collection every Debian system
// ships, repeated to the wanted size, so that word frequencies are those of real prose.
//
// Every implementation is checked against the library on a small slice before anything is
// timed: a faster peer that gives a different answer would make the ratios meaningless.
//
// bench/run_benchmarks.py runs this program and prints the ratios worth reading.

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <plinth/KaString.h>
#include <plinth/afx/Array.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr size_t kMiB = size_t{1} << 20;
const char* const kDefaultTextDirectory = "/usr/share/common-licenses";

// --- the text -------------------------------------------------------------------------------

// Every regular file of the folder, in name order; links are skipped because they only repeat
// a file that is already there under another name (GPL -> GPL-3).
std::string ReadTextDirectory(const std::string& directory) {
  namespace fs = std::filesystem;
  std::error_code error;
  if (!fs::is_directory(directory, error)) return std::string();
  std::vector<fs::path> files;
  for (const fs::directory_entry& entry : fs::directory_iterator(directory, error)) {
    if (entry.is_symlink(error) || !entry.is_regular_file(error)) continue;
    files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  std::string text;
  for (const fs::path& file : files) {
    std::ifstream in(file, std::ios::binary);
    text.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    text.push_back('\n');
  }
  // The library stops searching at a NUL, the peers do not: keep the text comparable.
  std::replace(text.begin(), text.end(), '\0', ' ');
  return text;
}

std::string RepeatTo(const std::string& base, size_t size) {
  std::string text;
  text.reserve(size);
  while (text.size() < size) text.append(base, 0, std::min(base.size(), size - text.size()));
  return text;
}

struct Corpus {
  std::string base;                     // the licence texts once
  std::map<size_t, std::string> plain;  // size in MiB -> text
  std::map<size_t, CKaString> library;  // the same text as the library's string

  const std::string& Plain(size_t mib) {
    auto found = plain.find(mib);
    if (found == plain.end()) found = plain.emplace(mib, RepeatTo(base, mib * kMiB)).first;
    return found->second;
  }
  const CKaString& Library(size_t mib) {
    auto found = library.find(mib);
    if (found == library.end()) {
      const std::string& text = Plain(mib);
      found = library.emplace(mib, CKaString(text.data(), static_cast<int>(text.size()))).first;
    }
    return found->second;
  }
};

Corpus& TheCorpus() {
  static Corpus corpus;
  return corpus;
}

// --- the peers ------------------------------------------------------------------------------

// The obvious loop: find, replace in place, search again after the replacement. With a
// replacement of another length every hit moves the whole tail, so the cost grows with the
// square of the size.
size_t NaiveInPlace(std::string& text, const std::string& find, const std::string& replacement) {
  size_t count = 0;
  size_t at = text.find(find);
  while (at != std::string::npos) {
    text.replace(at, find.size(), replacement);
    ++count;
    at = text.find(find, at + replacement.size());
  }
  return count;
}

// One pass, each piece copied once into a new buffer.
size_t MemmemRebuild(const std::string& text, const std::string& find,
                     const std::string& replacement, std::string& out) {
  out.clear();
  out.reserve(text.size() + text.size() / 8);
  size_t count = 0;
  const char* from = text.data();
  const char* const end = text.data() + text.size();
  while (const void* hit =
             memmem(from, static_cast<size_t>(end - from), find.data(), find.size())) {
    const char* at = static_cast<const char*>(hit);
    out.append(from, at);
    out.append(replacement);
    from = at + find.size();
    ++count;
  }
  out.append(from, end);
  return count;
}

size_t StrcasestrRebuild(const std::string& text, const std::string& find,
                         const std::string& replacement, std::string& out) {
  out.clear();
  out.reserve(text.size() + text.size() / 8);
  size_t count = 0;
  const char* from = text.c_str();
  while (const char* at = strcasestr(from, find.c_str())) {
    out.append(from, at);
    out.append(replacement);
    from = at + find.size();
    ++count;
  }
  out.append(from);
  return count;
}

// Several find texts: at each position try every entry in order, first match wins.
size_t NaiveTryEach(const std::string& text, const std::vector<std::string>& finds,
                    const std::vector<std::string>& replacements, std::string& out) {
  out.clear();
  out.reserve(text.size() + text.size() / 4);
  size_t count = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t winner = finds.size();
    for (size_t i = 0; i < finds.size(); ++i) {
      const std::string& find = finds[i];
      if (!find.empty() && find[0] == text[pos] && text.compare(pos, find.size(), find) == 0) {
        winner = i;
        break;
      }
    }
    if (winner == finds.size()) {
      out.push_back(text[pos++]);
      continue;
    }
    out.append(replacements[winner]);
    pos += finds[winner].size();
    ++count;
  }
  return count;
}

// --- the find lists for FindReplaceArray ----------------------------------------------------

struct FindList {
  std::vector<std::string> finds;
  std::vector<std::string> replacements;
  CStringArray libraryFinds;
  CStringArray libraryReplacements;
};

// Words of the text by falling frequency, with a three-letter piece of a long word in every
// fourth place, so that entries share prefixes and sit inside one another as real lists do.
// Replacements cycle through the same length, deletion, longer and shorter.
// With decoys, only the first ten entries are real; the others are words with a "q" in front,
// which share the real entries' structure but almost never occur. Every count then replaces
// the same text, and the cost per byte shows the scan alone, not the growing number of hits.
FindList MakeFindList(const std::string& base, size_t count, bool decoys) {
  std::map<std::string, size_t> frequency;
  std::string word;
  for (char ch : base + " ") {
    if (std::isalpha(static_cast<unsigned char>(ch))) {
      word.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(ch))));
    } else if (!word.empty()) {
      ++frequency[word];
      word.clear();
    }
  }
  std::vector<std::pair<std::string, size_t>> byFrequency(frequency.begin(), frequency.end());
  std::stable_sort(byFrequency.begin(), byFrequency.end(),
                   [](const auto& a, const auto& b) { return a.second > b.second; });

  FindList list;
  std::set<std::string> taken;
  size_t nextWord = 0;
  size_t nextPiece = 0;
  while (list.finds.size() < count) {
    std::string find;
    if (list.finds.size() % 4 == 3) {
      while (nextPiece < byFrequency.size() && find.empty()) {
        const std::string& source = byFrequency[nextPiece++].first;
        if (source.size() < 6) continue;
        std::string piece =
            (nextPiece % 2) ? source.substr(0, 3) : source.substr(source.size() - 3);
        if (!taken.count(piece)) find = piece;
      }
    }
    while (find.empty() && nextWord < byFrequency.size()) {
      const std::string& candidate = byFrequency[nextWord++].first;
      if (!taken.count(candidate)) find = candidate;
    }
    if (find.empty()) break;  // the text has fewer distinct words than asked for
    if (decoys && list.finds.size() >= 10) find = "q" + find;
    if (taken.count(find)) continue;
    taken.insert(find);
    std::string replacement;
    switch (list.finds.size() % 4) {
      case 0:
        for (char ch : find)
          replacement.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(ch))));
        break;
      case 1:
        break;
      case 2:
        replacement = "<" + find + ">";
        break;
      default:
        replacement = find.substr(0, 1);
        break;
    }
    list.finds.push_back(find);
    list.replacements.push_back(replacement);
    list.libraryFinds.Add(CString(find.c_str()));
    list.libraryReplacements.Add(CString(replacement.c_str()));
  }
  return list;
}

std::map<size_t, FindList>& FindLists() {
  static std::map<size_t, FindList> lists;
  return lists;
}

std::map<size_t, FindList>& DecoyLists() {
  static std::map<size_t, FindList> lists;
  return lists;
}

// --- the benchmarks -------------------------------------------------------------------------

struct Pair {
  const char* name;
  std::string find;
  std::string replacement;
};

const std::vector<Pair>& Pairs() {
  // The commonest English word kept the same length, and a common one that shrinks, so that
  // both the in-place-friendly and the tail-moving case are shown.
  static const std::vector<Pair> pairs = {{"the_to_THE", "the", "THE"}, {"and_to_amp", "and", "&"}};
  return pairs;
}

std::string SizeName(size_t mib) { return std::to_string(mib) + "MB"; }

void Finish(benchmark::State& state, size_t bytes, size_t replacements) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
  state.counters["replacements"] = static_cast<double>(replacements);
}

void LibraryFindReplace(benchmark::State& state, const Pair& pair, size_t mib, bool noCase) {
  const CKaString& source = TheCorpus().Library(mib);
  CKaString work;
  int count = 0;
  for (auto _ : state) {
    state.PauseTiming();
    work = source;  // shares the buffer: nothing copied until the replacement writes
    state.ResumeTiming();
    count = noCase ? work.FindReplaceNoCase(pair.find.c_str(), pair.replacement.c_str(), true)
                   : work.FindReplace(pair.find.c_str(), pair.replacement.c_str(), true);
    benchmark::DoNotOptimize(count);
  }
  Finish(state, static_cast<size_t>(source.GetLength()), static_cast<size_t>(count));
}

void NaiveFindReplace(benchmark::State& state, const Pair& pair, size_t mib) {
  const std::string& source = TheCorpus().Plain(mib);
  std::string work;
  size_t count = 0;
  for (auto _ : state) {
    state.PauseTiming();
    work = source;
    state.ResumeTiming();
    count = NaiveInPlace(work, pair.find, pair.replacement);
    benchmark::DoNotOptimize(work.data());
  }
  Finish(state, source.size(), count);
}

template <size_t (*Rebuild)(const std::string&, const std::string&, const std::string&,
                            std::string&)>
void RebuildFindReplace(benchmark::State& state, const Pair& pair, size_t mib) {
  const std::string& source = TheCorpus().Plain(mib);
  size_t count = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::string out;  // a new buffer each time, as the library allocates one
    state.ResumeTiming();
    count = Rebuild(source, pair.find, pair.replacement, out);
    benchmark::DoNotOptimize(out.data());
    state.PauseTiming();
    out = std::string();
    state.ResumeTiming();
  }
  Finish(state, source.size(), count);
}

void LibraryFindReplaceArray(benchmark::State& state, size_t finds, size_t mib, bool decoys) {
  FindList& list = (decoys ? DecoyLists() : FindLists()).at(finds);
  const CKaString& source = TheCorpus().Library(mib);
  CKaString work;
  int count = 0;
  for (auto _ : state) {
    state.PauseTiming();
    work = source;
    state.ResumeTiming();
    count = work.FindReplaceArray(list.libraryFinds, list.libraryReplacements);
    benchmark::DoNotOptimize(count);
  }
  Finish(state, static_cast<size_t>(source.GetLength()), static_cast<size_t>(count));
}

void NaiveFindReplaceArray(benchmark::State& state, size_t finds, size_t mib) {
  const FindList& list = FindLists().at(finds);
  const std::string& source = TheCorpus().Plain(mib);
  size_t count = 0;
  for (auto _ : state) {
    std::string out;
    count = NaiveTryEach(source, list.finds, list.replacements, out);
    benchmark::DoNotOptimize(out.data());
  }
  Finish(state, source.size(), count);
}

// --- agreement before timing ----------------------------------------------------------------

std::string ToStd(const CString& s) {
  return std::string(s.GetString(), static_cast<size_t>(s.GetLength()));
}

bool Agree(const char* what, const std::string& library, const std::string& peer) {
  if (library == peer) return true;
  size_t at = 0;
  while (at < library.size() && at < peer.size() && library[at] == peer[at]) ++at;
  std::fprintf(stderr, "%s: the library and its peer disagree at byte %zu (lengths %zu, %zu)\n",
               what, at, library.size(), peer.size());
  return false;
}

bool CheckAgreement() {
  const std::string& text = TheCorpus().Plain(1);
  const CKaString& libraryText = TheCorpus().Library(1);
  bool ok = true;
  for (const Pair& pair : Pairs()) {
    CKaString library(libraryText);
    library.FindReplace(pair.find.c_str(), pair.replacement.c_str(), true);
    std::string naive = text;
    NaiveInPlace(naive, pair.find, pair.replacement);
    std::string rebuilt;
    MemmemRebuild(text, pair.find, pair.replacement, rebuilt);
    ok &= Agree(("FindReplace naive " + std::string(pair.name)).c_str(), ToStd(library), naive);
    ok &= Agree(("FindReplace memmem " + std::string(pair.name)).c_str(), ToStd(library), rebuilt);

    CKaString noCase(libraryText);
    noCase.FindReplaceNoCase(pair.find.c_str(), pair.replacement.c_str(), true);
    StrcasestrRebuild(text, pair.find, pair.replacement, rebuilt);
    ok &= Agree(("FindReplaceNoCase " + std::string(pair.name)).c_str(), ToStd(noCase), rebuilt);
  }
  for (auto* lists : {&FindLists(), &DecoyLists()}) {
    for (auto& [count, list] : *lists) {
      CKaString library(libraryText);
      library.FindReplaceArray(list.libraryFinds, list.libraryReplacements);
      std::string naive;
      NaiveTryEach(text, list.finds, list.replacements, naive);
      ok &= Agree(("FindReplaceArray " + std::to_string(count)).c_str(), ToStd(library), naive);
    }
  }
  return ok;
}

void RegisterAll() {
  // 64MB against 16MB shows whether the cost is linear in the size.
  const size_t librarySizes[] = {16, 64};
  for (const Pair& pair : Pairs()) {
    for (size_t mib : librarySizes) {
      const std::string suffix = "/" + std::string(pair.name) + "/" + SizeName(mib);
      benchmark::RegisterBenchmark(("FindReplace/library" + suffix).c_str(), LibraryFindReplace,
                                   pair, mib, false);
      benchmark::RegisterBenchmark(("FindReplace/memmem_rebuild" + suffix).c_str(),
                                   RebuildFindReplace<MemmemRebuild>, pair, mib);
    }
    // A replacement of the same length never moves the tail, so the naive loop stays linear
    // and can run on the full sizes; otherwise each hit moves the tail and 64MB would take
    // many minutes, so it runs on small sizes and the label says so.
    const bool sameLength = pair.find.size() == pair.replacement.size();
    const std::vector<size_t> naiveSizes =
        sameLength ? std::vector<size_t>{16, 64} : std::vector<size_t>{1, 4};
    for (size_t mib : naiveSizes) {
      benchmark::RegisterBenchmark(
          ("FindReplace/naive_inplace/" + std::string(pair.name) + "/" + SizeName(mib)).c_str(),
          NaiveFindReplace, pair, mib);
    }
  }
  for (const Pair& pair : Pairs()) {
    for (size_t mib : librarySizes) {
      const std::string suffix = "/" + std::string(pair.name) + "/" + SizeName(mib);
      benchmark::RegisterBenchmark(("FindReplaceNoCase/library" + suffix).c_str(),
                                   LibraryFindReplace, pair, mib, true);
      benchmark::RegisterBenchmark(("FindReplaceNoCase/strcasestr_rebuild" + suffix).c_str(),
                                   RebuildFindReplace<StrcasestrRebuild>, pair, mib);
    }
  }
  for (auto& entry : FindLists()) {
    const size_t count = entry.first;
    benchmark::RegisterBenchmark(
        ("FindReplaceArray/library/" + std::to_string(count) + "finds/16MB").c_str(),
        LibraryFindReplaceArray, count, size_t{16}, false);
    benchmark::RegisterBenchmark(
        ("FindReplaceArray/library_decoys/" + std::to_string(count) + "finds/16MB").c_str(),
        LibraryFindReplaceArray, count, size_t{16}, true);
    // Trying every entry at every byte costs in proportion to the list: 1MB is enough to show it.
    benchmark::RegisterBenchmark(
        ("FindReplaceArray/naive_try_each/" + std::to_string(count) + "finds/1MB").c_str(),
        NaiveFindReplaceArray, count, size_t{1});
  }
}

}  // namespace

int main(int argc, char** argv) {
  // glibc serves a block of up to 32MB from the heap once one that size was freed, but maps and
  // faults in a bigger one afresh on every allocation. Left alone, every 64MB result pays for
  // its page faults and no 16MB result does, and the size ratio reads as non-linear for a
  // reason that has nothing to do with the code measured. Keeping freed memory for reuse at
  // every size puts all implementations and sizes on the same footing.
  mallopt(M_MMAP_THRESHOLD, 1 << 30);
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

  const char* directory = std::getenv("PLINTH_BENCH_TEXT_DIR");
  if (!directory || !*directory) directory = kDefaultTextDirectory;
  Corpus& corpus = TheCorpus();
  corpus.base = ReadTextDirectory(directory);
  if (corpus.base.empty()) {
    std::fprintf(stderr,
                 "plinth_bench_kastring: no text found in %s. The benchmarks replace words in "
                 "real English text made from the licence files there (Debian package "
                 "base-files); install it, or point PLINTH_BENCH_TEXT_DIR at a folder of "
                 "English text files.\n",
                 directory);
    return 1;
  }
  for (size_t count : {size_t{10}, size_t{100}, size_t{1000}}) {
    FindList list = MakeFindList(corpus.base, count, false);
    if (list.finds.size() < count) {
      std::fprintf(stderr,
                   "plinth_bench_kastring: the text in %s has fewer than %zu distinct words\n",
                   directory, count);
      return 1;
    }
    FindLists().emplace(count, std::move(list));
    DecoyLists().emplace(count, MakeFindList(corpus.base, count, true));
  }
  if (!CheckAgreement()) return 1;

  benchmark::AddCustomContext("text", std::string(directory) + " (" +
                                          std::to_string(corpus.base.size()) +
                                          " bytes, repeated to each size)");
  benchmark::AddCustomContext(
      "naive_inplace",
      "and_to_amp runs on 1MB and 4MB only: it moves the tail at every hit, "
      "so 64MB would take minutes (about 256 times the 4MB time)");
  benchmark::AddCustomContext("malloc", "freed memory kept for reuse (no mmap per block)");
  RegisterAll();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
