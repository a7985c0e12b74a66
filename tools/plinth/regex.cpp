// plinth regex …: pattern search and replacement in files with CRegExp.
//
// Both commands work line by line: a line is handed to the engine without its line feed, so
// "^" and "$" stand for the start and the end of a line, and no match spans two lines. The
// engine reads C strings, so a line is searched only up to a NUL byte it may hold; the rest of
// such a line is copied through untouched by replace.

#include <plinth/RegExp.h>

#include <memory>
#include <string>
#include <vector>

#include "Tool.h"

namespace plinth_tool {
namespace {

const char kSyntaxHint[] =
    "check for a repeat (* + ?) with nothing before it or right after another, an unbalanced "
    "( ) or [ ], a trailing backslash, a reversed range such as [z-a], or more than nine groups";

std::unique_ptr<CRegExp> Compile(const std::string& pattern, bool noCase) {
  if (pattern.find('\0') != std::string::npos)
    throw ToolError("PATTERN holds a NUL byte, which the engine cannot read; leave it out");
  auto expression = std::make_unique<CRegExp>();
  if (!(noCase ? expression->RegCompNoCase(pattern.c_str()) : expression->RegComp(pattern.c_str())))
    throw ToolError("PATTERN '" + pattern + "' does not compile; " + kSyntaxHint);
  return expression;
}

// Calls visit(lineStart, lineLength) for every line of data, the line feed left out.
template <typename Visit>
void ForEachLine(const std::string& data, Progress& progress, Visit visit) {
  std::size_t start = 0;
  while (start < data.size()) {
    std::size_t end = data.find('\n', start);
    if (end == std::string::npos) end = data.size();
    visit(start, end - start);
    start = end + 1;
    progress.Update(start < data.size() ? start : data.size());
  }
}

// --- find ----------------------------------------------------------------------------------

struct FindOptions {
  std::string pattern;
  std::vector<std::string> files;
  bool ignoreCase = false;
  bool offsets = false;
};

int RunFind(const FindOptions& options) {
  const std::unique_ptr<CRegExp> expression = Compile(options.pattern, options.ignoreCase);
  const std::vector<std::string> inputs = InputsOrStdin(options.files);
  const bool prefix = inputs.size() > 1;
  Outcome outcome;
  Output out("-");
  std::string line;
  for (const std::string& name : inputs) {
    if (out.ReaderGone()) break;
    TryInput(outcome, [&] {
      const std::string data = ReadInput(name);
      const std::string shownName = prefix ? name + ":" : std::string();
      Progress progress("searching " + DisplayName(name), data.size());
      ForEachLine(data, progress, [&](std::size_t start, std::size_t length) {
        if (out.ReaderGone()) return;
        line.assign(data, start, length);
        const char* text = line.c_str();
        const std::size_t searchable = std::char_traits<char>::length(text);
        std::size_t resume = 0;
        while (resume <= searchable) {
          const int at = options.ignoreCase ? expression->RegFindNoCase(text + resume)
                                            : expression->RegFind(text + resume);
          if (at < 0) break;
          outcome.found = true;
          if (!options.offsets) {
            out.Write(shownName);
            out.Write(data.data() + start, length);
            out.Write("\n", 1);
            break;
          }
          const std::size_t matchAt = resume + static_cast<std::size_t>(at);
          out.Write(shownName + std::to_string(start + matchAt) + "\n");
          // Matches do not overlap; after an empty one the search moves on by one byte.
          const std::size_t matchLength = static_cast<std::size_t>(expression->GetFindLen());
          resume = matchAt + (matchLength > 0 ? matchLength : 1);
        }
      });
      out.Commit();
    });
  }
  return outcome.Code();
}

// --- replace -------------------------------------------------------------------------------

struct ReplaceOptions {
  std::string pattern;
  std::string replaceExp;
  std::vector<std::string> files;
  bool inPlace = false;
  std::string backupSuffix = ".bak";
  bool count = false;
};

long long ReplaceIn(const std::string& data, const ReplaceOptions& options, const std::string& name,
                    Output& out) {
  Progress progress("replacing in " + DisplayName(name), data.size());
  long long count = 0;
  ForEachLine(data, progress, [&](std::size_t start, std::size_t length) {
    CKaString line(data.data() + start, static_cast<int>(length));
    count += RegSearchReplace(line, options.pattern.c_str(), options.replaceExp.c_str());
    out.Write(static_cast<const char*>(line), static_cast<std::size_t>(line.GetLength()));
    if (start + length < data.size()) out.Write("\n", 1);
  });
  return count;
}

int RunReplace(const ReplaceOptions& options) {
  Compile(options.pattern, false);  // a bad pattern is a usage error, not "nothing replaced"
  if (options.replaceExp.find('\0') != std::string::npos)
    throw ToolError("TEMPLATE holds a NUL byte, which cannot be inserted; leave it out");
  ReplaceTarget target;
  target.inPlace = options.inPlace;
  target.backupSuffix = options.backupSuffix;
  target.count = options.count;
  return ReplaceInputs(InputsOrStdin(options.files), target,
                       [&options](const std::string& data, const std::string& name, Output& out) {
                         return ReplaceIn(data, options, name, out);
                       });
}

}  // namespace

void AddRegexCommands(CLI::App& app, int& exitCode) {
  CLI::App* regex = app.add_subcommand(
      "regex",
      "Search and replace with patterns (. [set] [^set] * + ? | ( ) ^ $ \\x), line by line");
  regex->require_subcommand(1);
  regex->footer(
      "Give one of the commands above; 'plinth regex COMMAND --help' shows its options.\n"
      "Example: plinth regex find '^[0-9]+$' numbers.txt\n"
      "Exit status: that of the command; 2 when none or an unknown one is given.");

  auto find = std::make_shared<FindOptions>();
  CLI::App* findCommand =
      regex->add_subcommand("find", "Print the lines that hold a match of PATTERN");
  findCommand->footer(
      "^ and $ match at the start and end of a line. With -o every match is listed by its byte "
      "offset in the input; matches do not overlap, and each search resumes where the previous "
      "match ended, so ^ matches there too.\n"
      "Example: plinth regex find -i 'colou?r' notes.txt\n"
      "Exit status: 0 found, 1 not found, 2 usage or I/O error.");
  findCommand->add_option("PATTERN", find->pattern, "The pattern to look for")
      ->required()
      ->type_name("");
  findCommand
      ->add_option("FILE", find->files,
                   "Files to search; '-' or none reads standard input. With several files "
                   "each result is prefixed by FILE:")
      ->type_name("");
  findCommand->add_flag("-i,--ignore-case", find->ignoreCase,
                        "Match letters in either case (pattern and text are lower-cased)");
  findCommand->add_flag("-o,--offsets", find->offsets,
                        "Print the byte offset of every match instead of the lines");
  findCommand->callback([find, &exitCode] { exitCode = RunFind(*find); });

  auto replace = std::make_shared<ReplaceOptions>();
  CLI::App* replaceCommand = regex->add_subcommand(
      "replace", "Replace every match of PATTERN by TEMPLATE; the result goes to standard output");
  replaceCommand->footer(
      "In TEMPLATE, & and \\0 stand for the match, \\1 to \\9 for its groups, \\\\ and \\& for a "
      "backslash and an ampersand. Replacement text is not searched again; after an empty match "
      "the next character is kept and the search moves past it.\n"
      "Example: plinth regex replace '([a-z]+)=([0-9]+)' '\\2=\\1' settings.txt\n"
      "Exit status: 0 replaced, 1 nothing to replace, 2 usage or I/O error.");
  replaceCommand->add_option("PATTERN", replace->pattern, "The pattern to replace")
      ->required()
      ->type_name("");
  replaceCommand->add_option("TEMPLATE", replace->replaceExp, "What each match becomes")
      ->required()
      ->type_name("");
  replaceCommand
      ->add_option("FILE", replace->files, "Files to read; '-' or none reads standard input")
      ->type_name("");
  CLI::Option* inPlace = replaceCommand->add_flag(
      "--in-place", replace->inPlace,
      "Rewrite each file in place, keeping the original as FILE.bak (a file with nothing to "
      "replace is left untouched)");
  replaceCommand
      ->add_option("--backup-suffix", replace->backupSuffix,
                   "Suffix of the backup --in-place keeps (default .bak)")
      ->type_name("SUFFIX")
      ->needs(inPlace);
  replaceCommand->add_flag("-c,--count", replace->count,
                           "Report the number of replacements per input on standard error");
  replaceCommand->callback([replace, &exitCode] { exitCode = RunReplace(*replace); });
}

}  // namespace plinth_tool
