// The host's registry file reader on arbitrary bytes: it either refuses the input with a line
// number inside the file or returns sections, and whatever it returns, written out again by
// the writer, must read back to the same keys, values, types and bytes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "RegFile.h"

namespace {

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "registry file mismatch: %s\n", what);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace plinth_regfile;
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::vector<RegFileSection> sections;
  try {
    sections = ParseRegFile(input);
  } catch (const RegFileError& error) {
    std::size_t lines = 1;
    for (char c : input) lines += c == '\n';
    // A UTF-16 file has fewer LF bytes than lines only if it is refused on its first line.
    Check(error.line() >= 1 && (error.line() <= lines || error.line() == 1), "line number");
    return 0;
  }
  std::string written;
  AppendRegFileHeader(written);
  std::vector<const RegFileValue*> kept;
  std::vector<std::string> paths;
  for (const RegFileSection& section : sections) {
    if (section.remove) continue;
    AppendRegFileSection(written, section.path);
    paths.push_back(section.path);
    for (const RegFileValue& value : section.values) {
      if (value.remove) continue;
      AppendRegFileValue(written, value.name.data(), value.name.size(), value.type,
                         reinterpret_cast<const unsigned char*>(value.data.data()),
                         value.data.size());
      kept.push_back(&value);
    }
  }
  AppendRegFileEnd(written);
  std::vector<RegFileSection> again;
  try {
    again = ParseRegFile(written);
  } catch (const RegFileError&) {
    Check(false, "written file refused");
  }
  Check(again.size() == paths.size(), "section count");
  std::size_t next = 0;
  for (std::size_t i = 0; i < again.size(); ++i) {
    Check(again[i].path == paths[i] && !again[i].remove, "section path");
    for (const RegFileValue& value : again[i].values) {
      Check(next < kept.size(), "value count");
      const RegFileValue& original = *kept[next++];
      Check(!value.remove && value.name == original.name && value.type == original.type &&
                value.data == original.data,
            "value");
    }
  }
  Check(next == kept.size(), "value count");
  return 0;
}
