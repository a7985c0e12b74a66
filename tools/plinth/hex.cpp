// plinth hex …: bytes to hexadecimal byte text and back, with CKaString's conversions.
//
// encode writes the library's text (two lowercase digits per byte, the separator between bytes,
// backslash + line feed after every --wrap bytes) and ends it with a line feed unless it already
// ends with a line break. decode takes that line feed off again before reading, so that
// `plinth hex encode | plinth hex decode` gives the bytes back for any separator and wrap.

#include <plinth/KaString.h>

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

int RunEncode(const HexOptions& options) {
  const std::string separator = Separator(options);
  std::string data = ReadInput(options.input);
  // Every byte needs two digits, a separator and at most one line break; the text is one string.
  const unsigned long long needed =
      4ULL * data.size() + static_cast<unsigned long long>(separator.size()) * data.size();
  if (needed > static_cast<unsigned long long>(INT_MAX))
    throw ToolError(DisplayName(options.input) + " is too large to write as one hexadecimal " +
                    "text; split it (split -b 500M) and encode the parts");
  Output out(options.output.empty() ? "-" : options.output);
  const CString text = CKaString::ConvertBinaryToString(
      reinterpret_cast<unsigned char*>(&data[0]), static_cast<unsigned long>(data.size()),
      CString(separator.c_str(), static_cast<int>(separator.size())), options.wrap);
  out.Write(text.GetString(), static_cast<std::size_t>(text.GetLength()));
  const int length = text.GetLength();
  if (length > 0 && !(length >= 2 && text[length - 2] == '\\' && text[length - 1] == '\n'))
    out.Write("\n", 1);
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

  auto encode = std::make_shared<HexOptions>();
  CLI::App* encodeCommand =
      hex->add_subcommand("encode", "Write the bytes of a file as hexadecimal text");
  encodeCommand->footer(
      "Example: plinth hex encode --separator , --wrap 16 value.bin\n"
      "With --wrap N a backslash and a line feed follow the separator of every byte whose\n"
      "offset is a non-zero multiple of N, as the registry text format writes them.");
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
      "Exit status: 0 done, 2 the text is not hexadecimal, or a usage or I/O error.\n"
      "Example: plinth hex decode -s , value.txt -o value.bin");
  AddCommonOptions(decodeCommand, *decode);
  decodeCommand->callback([decode, &exitCode] { exitCode = RunDecode(*decode); });
}

}  // namespace plinth_tool
