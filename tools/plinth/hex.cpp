// plinth hex …: bytes to hexadecimal byte text and back, with CKaString's conversions.
//
// encode writes the library's text (two lowercase digits per byte, the separator between bytes,
// backslash + line feed after every --wrap bytes) and ends it with a line feed unless it already
// ends with a line break. decode takes that line feed off again before reading, so that
// `plinth hex encode | plinth hex decode` gives the bytes back for any separator and wrap.

#include <plinth/KaString.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <string>

#include "Tool.h"

namespace plinth_tool {
namespace {

struct HexOptions {
  std::string input = "-";
  std::string output;
  std::string separator;
  bool escapes = false;
  int wrap = 0;
};

std::string Separator(const HexOptions& options) {
  std::string separator = options.escapes ? DecodeEscapes(options.separator) : options.separator;
  if (separator.find('\0') != std::string::npos)
    throw ToolError("--separator '" + options.separator + "' holds a NUL byte; leave it out");
  return separator;
}

// Bytes are encoded a piece at a time, so that progress can be shown and no single text grows
// past the string's limit. A piece starts at a multiple of the line length, where the library,
// which counts from the piece's start, leaves out two things the whole text has: the line break
// after the piece's first byte and the separator after its last byte.
constexpr std::size_t kPieceBytes = std::size_t{1} << 20;

int RunEncode(const HexOptions& options) {
  const std::string separator = Separator(options);
  std::string data = ReadInput(options.input);
  const std::size_t wrap = static_cast<std::size_t>(options.wrap);
  // With a break after every byte the pieces would need a different repair; one piece it is.
  std::size_t piece = wrap == 1 ? data.size() : kPieceBytes;
  if (wrap > 1) piece = std::max(wrap, piece / wrap * wrap);
  if (wrap == 1 &&
      (4ULL + separator.size()) * data.size() > static_cast<unsigned long long>(INT_MAX))
    throw ToolError(DisplayName(options.input) + " is too large to write with --wrap 1 as one " +
                    "text; split it (split -b 300M) and encode the parts");
  Output out(options.output.empty() ? "-" : options.output);
  Progress progress("encoding " + DisplayName(options.input), data.size());
  const CString between(separator.c_str(), static_cast<int>(separator.size()));
  bool endsWithBreak = false;
  for (std::size_t first = 0; first < data.size() && !out.ReaderGone(); first += piece) {
    const std::size_t count = std::min(piece, data.size() - first);
    const CString text =
        CKaString::ConvertBinaryToString(reinterpret_cast<unsigned char*>(&data[first]),
                                         static_cast<unsigned long>(count), between, options.wrap);
    std::string chunk(text.GetString(), static_cast<std::size_t>(text.GetLength()));
    if (first + count < data.size()) chunk += separator;
    if (first > 0 && wrap > 0)
      chunk.insert(std::min(chunk.size(), 2 + (chunk.size() > 2 ? separator.size() : 0)), "\\\n");
    out.Write(chunk);
    endsWithBreak = chunk.size() >= 2 && chunk.compare(chunk.size() - 2, 2, "\\\n") == 0;
    progress.Update(first + count);
  }
  if (!data.empty() && !endsWithBreak) out.Write("\n", 1);
  out.Commit();
  return kExitOk;
}

int RunDecode(const HexOptions& options) {
  const std::string separator = Separator(options);
  std::string data = ReadInput(options.input);
  if (data.size() > static_cast<std::size_t>(INT_MAX / 2))
    throw ToolError(DisplayName(options.input) + " is too large to read as one hexadecimal " +
                    "text; split it at a line break and decode the parts");
  // The line feed that ends the text of encode (and of most editors), but not one that belongs
  // to a line break of the text itself.
  if (!data.empty() && data.back() == '\n' &&
      !(data.size() >= 2 && data[data.size() - 2] == '\\')) {
    data.pop_back();
    if (!data.empty() && data.back() == '\r') data.pop_back();
  }
  CKaString text(data.data(), static_cast<int>(data.size()));
  CByteArray bytes;
  Progress progress("decoding " + DisplayName(options.input));
  progress.KeepTurning();
  const long result =
      text.ConvertToBinary(CString(separator.c_str(), static_cast<int>(separator.size())), bytes);
  if (result != S_OK)
    throw ToolError(DisplayName(options.input) +
                    " is not hexadecimal byte text: some pairs of characters are not numbers; " +
                    "check the --separator (give it with -e for \\n or \\t)");
  Output out(options.output.empty() ? "-" : options.output);
  out.Write(reinterpret_cast<const char*>(bytes.GetData()),
            static_cast<std::size_t>(bytes.GetSize()));
  out.Commit();
  return kExitOk;
}

void AddCommonOptions(CLI::App* command, HexOptions& options) {
  command->add_option("FILE", options.input, "File to read; '-' or none reads standard input")
      ->type_name("");
  command->add_option("-o,--output", options.output, "Write to FILE instead of standard output")
      ->type_name("FILE");
  command->add_option("-s,--separator", options.separator, "Text between bytes (default none)")
      ->type_name("TEXT");
  command->add_flag("-e,--escapes", options.escapes,
                    "Read \\n \\r \\t \\\\ and \\xHH in the separator as the bytes they stand for");
}

}  // namespace

void AddHexCommands(CLI::App& app, int& exitCode) {
  CLI::App* hex = app.add_subcommand("hex", "Write bytes as hexadecimal text and read them back");
  hex->require_subcommand(1);
  hex->footer(
      "Give one of the commands above; 'plinth hex COMMAND --help' shows its options.\n"
      "Example: plinth hex encode value.bin\n"
      "Exit status: that of the command; 2 when none or an unknown one is given.");

  auto encode = std::make_shared<HexOptions>();
  CLI::App* encodeCommand =
      hex->add_subcommand("encode", "Write the bytes of a file as hexadecimal text");
  encodeCommand->footer(
      "With --wrap N a backslash and a line feed follow the separator of every byte whose\n"
      "offset is a non-zero multiple of N, as the registry text format writes them.\n"
      "Example: plinth hex encode --separator , --wrap 16 value.bin\n"
      "Exit status: 0 done, 2 usage or I/O error.");
  AddCommonOptions(encodeCommand, *encode);
  encodeCommand
      ->add_option("-w,--wrap", encode->wrap, "Break the line after every N bytes (0: never)")
      ->type_name("N")
      ->check(CLI::Range(0, INT_MAX));
  encodeCommand->callback([encode, &exitCode] { exitCode = RunEncode(*encode); });

  auto decode = std::make_shared<HexOptions>();
  CLI::App* decodeCommand = hex->add_subcommand("decode", "Read hexadecimal text back into bytes");
  decodeCommand->footer(
      "Separators and backslash line breaks are dropped; each pair of characters is one byte.\n"
      "Example: plinth hex decode -s , value.txt -o value.bin\n"
      "Exit status: 0 done, 2 the text is not hexadecimal, or a usage or I/O error.");
  AddCommonOptions(decodeCommand, *decode);
  decodeCommand->callback([decode, &exitCode] { exitCode = RunDecode(*decode); });
}

}  // namespace plinth_tool
