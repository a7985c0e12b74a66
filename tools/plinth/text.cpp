// plinth text …: searching, replacing, fields, quoting and the text shift with CKaString.
//
// Inputs are bytes, not lines: a file may hold any byte, NUL included. CKaString's searches
// stop at a NUL, so an input is cut into NUL-free pieces and each piece is worked on its own;
// the NUL bytes are copied through untouched. No search text can hold a NUL, so no match is
// lost at a cut. When no search text holds a line feed either, pieces are also cut after line
// feeds, at about kPieceSize bytes: a match still cannot straddle a cut, the results are the
// same as for the whole text, and each edit then moves only the rest of its piece instead of
// the rest of the file.

#include <plinth/KaString.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <utility>
#include <vector>

#include "Tool.h"

namespace plinth_tool {
namespace {

constexpr std::size_t kPieceSize = 64 * 1024;

struct Piece {
  std::size_t offset;
  std::size_t length;
};

std::vector<Piece> SplitPieces(const std::string& data, bool atLineEnds, const std::string& name) {
  std::vector<Piece> pieces;
  std::size_t pos = 0;
  const std::size_t size = data.size();
  while (pos < size) {
    if (data[pos] == '\0') {
      ++pos;
      continue;
    }
    std::size_t segmentEnd = data.find('\0', pos);
    if (segmentEnd == std::string::npos) segmentEnd = size;
    while (pos < segmentEnd) {
      std::size_t end = segmentEnd;
      if (atLineEnds && segmentEnd - pos > kPieceSize) {
        // The last line end within the piece size, else the first one after it.
        std::size_t cut = data.rfind('\n', pos + kPieceSize - 1);
        if (cut == std::string::npos || cut < pos) cut = data.find('\n', pos + kPieceSize);
        if (cut != std::string::npos && cut < segmentEnd) end = cut + 1;
      }
      if (end - pos > static_cast<std::size_t>(INT_MAX / 2))
        throw ToolError(DisplayName(name) + " holds a run of " + std::to_string(end - pos) +
                        " bytes without a line break or NUL, too long to work on in one piece; "
                        "split the file first");
      pieces.push_back({pos, end - pos});
      pos = end;
    }
  }
  return pieces;
}

bool HasLineFeed(const std::string& text) { return text.find('\n') != std::string::npos; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

// \\ \n \r \t and \xHH, so that line breaks and other bytes can be given on a command line.
std::string DecodeEscapes(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    char kind = i + 1 < text.size() ? text[i + 1] : '\0';
    switch (kind) {
      case '\\':
        out += '\\';
        ++i;
        break;
      case 'n':
        out += '\n';
        ++i;
        break;
      case 'r':
        out += '\r';
        ++i;
        break;
      case 't':
        out += '\t';
        ++i;
        break;
      case 'x': {
        int high = i + 2 < text.size() ? HexDigit(text[i + 2]) : -1;
        int low = i + 3 < text.size() ? HexDigit(text[i + 3]) : -1;
        if (high < 0 || low < 0)
          throw ToolError("bad escape in '" + text + "': \\x needs two hexadecimal digits");
        out += static_cast<char>(high * 16 + low);
        i += 3;
        break;
      }
      default:
        throw ToolError("unknown escape in '" + text +
                        "'; use \\\\ \\n \\r \\t or \\xHH, or drop --escapes");
    }
  }
  return out;
}

namespace {

// Command-line text as the library will see it: CKaString takes C strings, so a NUL would
// silently cut the text short.
std::string CommandText(const std::string& raw, bool escapes, const char* what, bool mayBeEmpty) {
  std::string text = escapes ? DecodeEscapes(raw) : raw;
  if (text.find('\0') != std::string::npos)
    throw ToolError(std::string(what) + " '" + raw + "' holds a NUL byte, which cannot be " +
                    "searched for or inserted; leave it out");
  if (!mayBeEmpty && text.empty())
    throw ToolError(std::string(what) + " is empty; give at least one character");
  return text;
}

// --- replace -------------------------------------------------------------------------------

struct ReplaceOptions {
  std::vector<std::pair<std::string, std::string>> pairs;
  bool ignoreCase = false;
  bool firstOnly = false;
  bool inPlace = false;
  bool escapes = false;
  bool count = false;
  std::string output;
  std::vector<std::string> files;
};

// Writes data with the replacements made to out; returns the number of replacements.
long long ReplaceIn(const std::string& data, const ReplaceOptions& options,
                    const std::vector<std::pair<std::string, std::string>>& pairs,
                    const std::string& name, Output& out) {
  const bool atLineEnds = std::none_of(pairs.begin(), pairs.end(),
                                       [](const auto& pair) { return HasLineFeed(pair.first); });
  const std::vector<Piece> pieces = SplitPieces(data, atLineEnds, name);

  // Several pairs go through FindReplaceArray in one pass, so that one pair's replacement is
  // never rewritten by a later pair.
  CStringArray finds;
  CStringArray replacements;
  for (const auto& pair : pairs) {
    finds.Add(CString(pair.first.c_str()));
    replacements.Add(CString(pair.second.c_str()));
  }

  Progress progress("replacing in " + DisplayName(name), data.size());
  std::size_t copied = 0;
  long long count = 0;
  for (const Piece& piece : pieces) {
    // Once the reader has gone only a count asked for is worth finishing.
    if ((options.firstOnly && count > 0) || (out.ReaderGone() && !options.count)) break;
    out.Write(data.data() + copied, piece.offset - copied);
    CKaString text(data.data() + piece.offset, static_cast<int>(piece.length));
    const char* find = pairs.front().first.c_str();
    const char* replacement = pairs.front().second.c_str();
    if (pairs.size() > 1)
      count += text.FindReplaceArray(finds, replacements);
    else if (options.ignoreCase)
      count += text.FindReplaceNoCase(find, replacement, !options.firstOnly);
    else
      count += text.FindReplace(find, replacement, !options.firstOnly);
    out.Write(text.GetString(), static_cast<std::size_t>(text.GetLength()));
    copied = piece.offset + piece.length;
    progress.Update(copied);
  }
  out.Write(data.data() + copied, data.size() - copied);
  return count;
}

int RunReplace(const ReplaceOptions& options) {
  if (options.pairs.size() > 1 && (options.ignoreCase || options.firstOnly))
    throw ToolError(
        "--ignore-case and --first work with a single -r pair; run one replace per pair");
  std::vector<std::pair<std::string, std::string>> pairs;
  for (const auto& pair : options.pairs)
    pairs.emplace_back(CommandText(pair.first, options.escapes, "FIND", false),
                       CommandText(pair.second, options.escapes, "REPLACEMENT", true));

  ReplaceTarget target;
  target.inPlace = options.inPlace;
  target.output = options.output;
  target.count = options.count;
  return ReplaceInputs(
      InputsOrStdin(options.files), target,
      [&options, &pairs](const std::string& data, const std::string& name, Output& out) {
        return ReplaceIn(data, options, pairs, name, out);
      });
}

// --- find and rfind ------------------------------------------------------------------------

struct SearchOptions {
  std::string needle;
  bool ignoreCase = false;
  bool all = false;
  bool escapes = false;
  long long start = -1;  // -1: from the beginning (find) or the end (rfind)
  std::vector<std::string> files;
};

std::vector<std::size_t> FindIn(const std::string& data, const std::string& needle,
                                const SearchOptions& options, const std::string& name) {
  std::vector<std::size_t> found;
  const std::size_t start = options.start < 0 ? 0 : static_cast<std::size_t>(options.start);
  Progress progress("searching " + DisplayName(name), data.size());
  for (const Piece& piece : SplitPieces(data, !HasLineFeed(needle), name)) {
    const std::size_t end = piece.offset + piece.length;
    if (end <= start) continue;
    // Text before start cannot hold an answer: leave it out rather than copy and fold it.
    const std::size_t begin = std::max(piece.offset, start);
    CKaString text(data.data() + begin, static_cast<int>(end - begin));
    int from = 0;
    // FindNoCase lowers a copy of the whole text on every call. To list every occurrence, do
    // what it does once per piece and search the lowered copy: the same positions, in linear
    // instead of quadratic time.
    const bool lowerOnce = options.ignoreCase && options.all;
    CKaString loweredNeedle(needle.c_str());
    if (lowerOnce) {
      text.MakeLower();
      loweredNeedle.MakeLower();
    }
    for (;;) {
      int at = lowerOnce            ? text.Find(loweredNeedle, from)
               : options.ignoreCase ? text.FindNoCase(needle.c_str(), from)
                                    : text.Find(needle.c_str(), from);
      if (at < 0) break;
      found.push_back(begin + static_cast<std::size_t>(at));
      if (!options.all) return found;
      // Occurrences do not overlap: these are the places a replace would change.
      from = at + static_cast<int>(needle.size());
    }
    progress.Update(end);
  }
  return found;
}

std::optional<std::size_t> ReverseFindIn(const std::string& data, const std::string& needle,
                                         const SearchOptions& options, const std::string& name) {
  const std::vector<Piece> pieces = SplitPieces(data, !HasLineFeed(needle), name);
  Progress progress("searching " + DisplayName(name), data.size());
  for (std::size_t i = pieces.size(); i-- > 0;) {
    const Piece& piece = pieces[i];
    const std::size_t end = piece.offset + piece.length;
    progress.Update(data.size() - piece.offset);
    int from = -1;
    std::size_t length = piece.length;
    if (options.start >= 0) {
      const auto start = static_cast<std::size_t>(options.start);
      if (piece.offset > start) continue;
      if (start < end) {
        from = static_cast<int>(start - piece.offset);
        // An answer begins at or before start, so it ends before start + the needle's length
        // (folding case keeps lengths).
        length = std::min(length, start - piece.offset + needle.size());
      }
    }
    CKaString text(data.data() + piece.offset, static_cast<int>(length));
    int at = options.ignoreCase ? text.ReverseFindNoCase(needle.c_str(), from)
                                : text.ReverseFind(needle.c_str(), from);
    if (at >= 0) return piece.offset + static_cast<std::size_t>(at);
  }
  return std::nullopt;
}

int RunSearch(const SearchOptions& options, bool reverse) {
  const std::string needle = CommandText(options.needle, options.escapes, "FIND", false);
  const std::vector<std::string> inputs = InputsOrStdin(options.files);
  const bool prefix = inputs.size() > 1;
  Outcome outcome;
  Output out("-");
  for (const std::string& name : inputs) {
    if (out.ReaderGone()) break;
    TryInput(outcome, [&] {
      const std::string data = ReadInput(name);
      std::vector<std::size_t> offsets;
      if (reverse) {
        if (auto at = ReverseFindIn(data, needle, options, name)) offsets.push_back(*at);
      } else {
        offsets = FindIn(data, needle, options, name);
      }
      for (std::size_t offset : offsets)
        out.Write((prefix ? name + ":" : std::string()) + std::to_string(offset) + "\n");
      out.Commit();
      outcome.found = outcome.found || !offsets.empty();
    });
  }
  return outcome.Code();
}

// A whole number from 0 up; CLI11's own number checks would accept "1.5" and answer a bad
// value with the range of a double.
CLI::Validator ByteOffset() {
  return CLI::Validator(
      [](std::string& value) -> std::string {
        errno = 0;
        char* end = nullptr;
        const long long number = std::strtoll(value.c_str(), &end, 10);
        if (value.empty() || *end != '\0' || errno == ERANGE || number < 0)
          return "'" + value + "' is not a byte offset; give a whole number, 0 or more";
        return {};
      },
      "");
}

void AddSearchOptions(CLI::App* command, SearchOptions& options) {
  command->add_option("FIND", options.needle, "Text to look for (bytes, matched exactly)")
      ->required()
      ->type_name("");
  command
      ->add_option("FILE", options.files,
                   "Files to search; '-' or none reads standard input. With several files "
                   "each offset is printed as FILE:OFFSET")
      ->type_name("");
  command->add_flag("-i,--ignore-case", options.ignoreCase, "Match letters in either case");
  command->add_flag("-e,--escapes", options.escapes,
                    "Read \\n \\r \\t \\\\ and \\xHH in FIND as the bytes they stand for");
}

// --- fields, quoting and the text shift ----------------------------------------------------

// Each line of an input (without its line feed), or the whole input with --whole, goes through
// one CKaString member, and each result is written followed by a line feed.
struct LineOptions {
  bool whole = false;
  bool escapes = false;
  std::vector<std::string> files;
};

template <class Work>
int ForEachLine(const LineOptions& options, const std::string& what, Work work) {
  Outcome outcome;
  Output out("-");
  for (const std::string& name : InputsOrStdin(options.files)) {
    if (out.ReaderGone()) break;
    TryInput(outcome, [&] {
      const std::string data = ReadInput(name);
      Progress progress(what + " " + DisplayName(name), data.size());
      std::size_t pos = 0;
      while (pos < data.size() && !out.ReaderGone()) {
        std::size_t end = options.whole ? data.size() : data.find('\n', pos);
        if (end == std::string::npos) end = data.size();
        if (end - pos > static_cast<std::size_t>(INT_MAX / 2))
          throw ToolError(DisplayName(name) + " holds a line of " + std::to_string(end - pos) +
                          " bytes, too long to work on; split it first");
        CKaString line(data.data() + pos, static_cast<int>(end - pos));
        const CString result = work(line);
        out.Write(result.GetString(), static_cast<std::size_t>(result.GetLength()));
        out.Write("\n", 1);
        pos = end + 1;
        progress.Update(pos);
      }
      outcome.found = true;
    });
  }
  out.Commit();
  return outcome.failed ? kExitError : kExitOk;
}

struct FieldOptions : LineOptions {
  std::string delimiter;
  std::string close;
  int number = 0;
};

void AddLineOptions(CLI::App* command, LineOptions& options) {
  command->add_option("FILE", options.files, "Files to read; '-' or none reads standard input")
      ->type_name("");
  command->add_flag("-w,--whole", options.whole,
                    "Treat each input as one text instead of line by line");
  command->add_flag(
      "-e,--escapes", options.escapes,
      "Read \\n \\r \\t \\\\ and \\xHH in the delimiters as the bytes they stand for");
}

// One byte for the quote commands: a quote character must be a single byte.
char QuoteByte(const std::string& raw, bool escapes) {
  const std::string text = escapes ? DecodeEscapes(raw) : raw;
  if (text.size() != 1 || text[0] == '\0')
    throw ToolError("quote character '" + raw + "' must be exactly one byte other than NUL");
  return text[0];
}

struct QuoteOptions : LineOptions {
  std::string quote = "\"";
};

struct ShiftOptions {
  std::vector<std::string> files;
};

// Encode or Decode of each input as a whole. The shift may produce a NUL byte, where the result
// ends: the user is told, and the exit status is 1.
int RunShift(const ShiftOptions& options, bool encode) {
  Outcome outcome;
  bool cut = false;
  Output out("-");
  for (const std::string& name : InputsOrStdin(options.files)) {
    TryInput(outcome, [&] {
      const std::string data = ReadInput(name);
      if (data.size() > static_cast<std::size_t>(INT_MAX / 2))
        throw ToolError(DisplayName(name) + " is too large to shift in one piece; split it first");
      const CKaString text(data.data(), static_cast<int>(data.size()));
      Progress progress((encode ? "encoding " : "decoding ") + DisplayName(name));
      progress.KeepTurning();
      const CString result = encode ? text.Encode() : text.Decode();
      progress.~Progress();
      out.Write(result.GetString(), static_cast<std::size_t>(result.GetLength()));
      if (static_cast<std::size_t>(result.GetLength()) < data.size()) {
        Complain(std::string(encode ? "encoding " : "decoding ") + DisplayName(name) +
                 " produced a NUL byte at offset " + std::to_string(result.GetLength()) +
                 "; the result ends there and cannot be reversed");
        cut = true;
      }
    });
  }
  out.Commit();
  return outcome.failed ? kExitError : cut ? kExitNothingFound : kExitOk;
}

void AddFieldCommands(CLI::App* text, int& exitCode) {
  auto field = std::make_shared<FieldOptions>();
  CLI::App* fieldCommand =
      text->add_subcommand("field", "Print field N of each line, fields cut at DELIMITER");
  fieldCommand->footer(
      "Fields count from 0; runs of delimiters are not merged; a missing field prints an empty "
      "line.\n"
      "Example: plinth text field , 2 data.csv\n"
      "Exit status: 0 done, 2 usage or I/O error.");
  fieldCommand->add_option("DELIMITER", field->delimiter, "Text between fields")
      ->required()
      ->type_name("");
  fieldCommand->add_option("N", field->number, "Field number, from 0")->required()->type_name("");
  AddLineOptions(fieldCommand, *field);
  fieldCommand->callback([field, &exitCode] {
    const std::string delimiter = CommandText(field->delimiter, field->escapes, "DELIMITER", false);
    exitCode = ForEachLine(*field, "reading fields of", [&](CKaString& line) {
      return CString(line.GetField(delimiter.c_str(), field->number));
    });
  });

  auto count = std::make_shared<FieldOptions>();
  CLI::App* countCommand = text->add_subcommand("count", "Print the number of fields of each line");
  countCommand->footer(
      "An empty line has one (empty) field.\n"
      "Example: plinth text count '\\t' -e table.tsv\n"
      "Exit status: 0 done, 2 usage or I/O error.");
  countCommand->add_option("DELIMITER", count->delimiter, "Text between fields")
      ->required()
      ->type_name("");
  AddLineOptions(countCommand, *count);
  countCommand->callback([count, &exitCode] {
    const std::string delimiter = CommandText(count->delimiter, count->escapes, "DELIMITER", false);
    exitCode = ForEachLine(*count, "counting fields of", [&](CKaString& line) {
      return CString(std::to_string(line.GetFieldCount(delimiter.c_str())).c_str());
    });
  });

  auto delimited = std::make_shared<FieldOptions>();
  CLI::App* delimitedCommand = text->add_subcommand(
      "delimited", "Print the text between the N-th OPEN and the CLOSE after it, per line");
  delimitedCommand->footer(
      "The search for the next OPEN resumes right after the previous one, so with '#' as "
      "both\nOPEN and CLOSE, '#a# #b#' holds 'a', ' ' and 'b'.\n"
      "Example: plinth text delimited '[' ']' 1 log.txt\n"
      "Exit status: 0 done, 2 usage or I/O error.");
  delimitedCommand->add_option("OPEN", delimited->delimiter, "Opening delimiter")
      ->required()
      ->type_name("");
  delimitedCommand->add_option("CLOSE", delimited->close, "Closing delimiter")
      ->required()
      ->type_name("");
  delimitedCommand->add_option("N", delimited->number, "Field number, from 0")
      ->required()
      ->type_name("");
  AddLineOptions(delimitedCommand, *delimited);
  delimitedCommand->callback([delimited, &exitCode] {
    const std::string open = CommandText(delimited->delimiter, delimited->escapes, "OPEN", false);
    const std::string close = CommandText(delimited->close, delimited->escapes, "CLOSE", false);
    exitCode = ForEachLine(*delimited, "reading fields of", [&](CKaString& line) {
      return CString(line.GetDelimitedField(open.c_str(), close.c_str(), delimited->number));
    });
  });

  for (const bool adding : {true, false}) {
    auto quote = std::make_shared<QuoteOptions>();
    CLI::App* command = text->add_subcommand(
        adding ? "quote" : "unquote",
        adding ? "Surround each line with the quote character unless it is already quoted"
               : "Remove the quote character from both ends of each line that is quoted");
    command->footer(std::string("A line counts as quoted when its first and last byte are the "
                                "quote.\n") +
                    (adding ? "Example: plinth text quote names.txt\n"
                            : "Example: plinth text unquote -q \"'\" names.txt\n") +
                    "Exit status: 0 done, 2 usage or I/O error.");
    command->add_option("-q,--quote", quote->quote, "The quote character (default \")")
        ->type_name("CHAR");
    AddLineOptions(command, *quote);
    command->callback([quote, adding, &exitCode] {
      const char q = QuoteByte(quote->quote, quote->escapes);
      exitCode = ForEachLine(*quote, adding ? "quoting" : "unquoting", [&](CKaString& line) {
        return CString(adding ? line.Quote(q) : line.Unquote(q));
      });
    });
  }

  for (const bool encode : {true, false}) {
    auto shift = std::make_shared<ShiftOptions>();
    CLI::App* command = text->add_subcommand(
        encode ? "encode" : "decode",
        encode ? "Apply the library's reversible text shift to each input as a whole"
               : "Undo the library's text shift on each input as a whole");
    command->footer(std::string(encode ? "Example: plinth text encode secret.txt > secret.enc\n"
                                       : "Example: plinth text decode secret.enc\n") +
                    "Exit status: 0 done, 1 the shift produced a NUL byte and the result was cut "
                    "there,\n2 usage or I/O error.");
    command->add_option("FILE", shift->files, "Files to read; '-' or none reads standard input")
        ->type_name("");
    command->callback([shift, encode, &exitCode] { exitCode = RunShift(*shift, encode); });
  }
}

}  // namespace

void AddTextCommands(CLI::App& app, int& exitCode) {
  CLI::App* text = app.add_subcommand(
      "text", "Search, replace, split, quote and shift text in files or standard input");
  text->require_subcommand(1);
  text->footer(
      "Give one of the commands above; 'plinth text COMMAND --help' shows its options.\n"
      "Example: plinth text replace -r colour color notes.txt\n"
      "Exit status: that of the command; 2 when none or an unknown one is given.");

  auto replace = std::make_shared<ReplaceOptions>();
  CLI::App* replaceCommand = text->add_subcommand(
      "replace", "Replace text in files or standard input; the result goes to standard output");
  replaceCommand->footer(
      "Example: plinth text replace -r colour color -r Colour Color notes.txt\n"
      "Exit status: 0 replaced, 1 nothing to replace, 2 usage or I/O error.");
  replaceCommand
      ->add_option("-r,--replace", replace->pairs,
                   "Replace FIND by REPLACEMENT; repeat for several pairs, "
                   "which are applied together in one left-to-right pass (the first listed "
                   "pair that matches at a position wins)")
      ->required()
      ->allow_extra_args(false)
      ->type_name("FIND REPLACEMENT");
  replaceCommand
      ->add_option("FILE", replace->files, "Files to read; '-' or none reads standard input")
      ->type_name("");
  replaceCommand->add_flag("-i,--ignore-case", replace->ignoreCase,
                           "Match FIND in either case (one pair only)");
  replaceCommand->add_flag("--first", replace->firstOnly,
                           "Replace only the first occurrence in each input (one pair only); "
                           "the default replaces all");
  replaceCommand->add_flag("-e,--escapes", replace->escapes,
                           "Read \\n \\r \\t \\\\ and \\xHH in FIND and REPLACEMENT as bytes");
  replaceCommand->add_flag("-c,--count", replace->count,
                           "Report the number of replacements per input on standard error");
  CLI::Option* inPlace =
      replaceCommand->add_flag("--in-place", replace->inPlace,
                               "Rewrite each file in place (left untouched when nothing "
                               "is replaced)");
  replaceCommand
      ->add_option("-o,--output", replace->output,
                   "Write the result to FILE instead of standard output")
      ->type_name("FILE")
      ->excludes(inPlace);
  replaceCommand->callback([replace, &exitCode] { exitCode = RunReplace(*replace); });

  auto find = std::make_shared<SearchOptions>();
  CLI::App* findCommand = text->add_subcommand(
      "find", "Print the byte offset of the first occurrence of FIND (every one with --all)");
  findCommand->footer(
      "Example: plinth text find --all -i error build.log\n"
      "Exit status: 0 found, 1 not found, 2 usage or I/O error.");
  AddSearchOptions(findCommand, *find);
  findCommand->add_flag("-a,--all", find->all,
                        "Print every occurrence; occurrences do not overlap");
  findCommand->add_option("-s,--start", find->start, "Look only at offsets N and after")
      ->type_name("N")
      ->check(ByteOffset());
  findCommand->callback([find, &exitCode] { exitCode = RunSearch(*find, false); });

  auto rfind = std::make_shared<SearchOptions>();
  CLI::App* rfindCommand = text->add_subcommand(
      "rfind", "Print the byte offset of the last occurrence of FIND (at or before --start)");
  rfindCommand->footer(
      "Example: plinth text rfind --start 4096 '\\n' -e build.log\n"
      "Exit status: 0 found, 1 not found, 2 usage or I/O error.");
  AddSearchOptions(rfindCommand, *rfind);
  rfindCommand
      ->add_option("-s,--start", rfind->start,
                   "Latest offset an occurrence may begin at (it may run past it)")
      ->type_name("N")
      ->check(ByteOffset());
  rfindCommand->callback([rfind, &exitCode] { exitCode = RunSearch(*rfind, true); });

  AddFieldCommands(text, exitCode);
}

}  // namespace plinth_tool
