// CKaString::ConvertToBinary on arbitrary text and separators, against a model built the
// plainest way: the three removals one after another, then sscanf("%x") on each pair. The same
// input, read as bytes, must also survive the trip through ConvertBinaryToString and back for every
// separator the reader can take apart from the digits.
//
// Input: byte 0 gives the separator length (mod 8), byte 1 the line length; then the separator,
// then the text.
#include <plinth/KaString.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string RemoveAll(std::string text, const std::string& what) {
  if (what.empty()) return text;
  std::string out;
  size_t pos = 0;
  for (size_t hit; (hit = text.find(what, pos)) != std::string::npos; pos = hit + what.size())
    out.append(text, pos, hit - pos);
  out.append(text, pos, std::string::npos);
  return out;
}

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "model mismatch: %s\n", what);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const size_t separatorLength = std::min<size_t>(data[0] % 8, size - 2);
  const int lineBytes = static_cast<int8_t>(data[1]);
  std::string separator(reinterpret_cast<const char*>(data) + 2, separatorLength);
  // The library takes the separator as a C string.
  separator = separator.substr(0, separator.find('\0'));
  const std::string text(reinterpret_cast<const char*>(data) + 2 + separatorLength,
                         size - 2 - separatorLength);

  std::string left = RemoveAll(RemoveAll(RemoveAll(text, separator), "\\\n"), "\\\r");
  std::vector<uint8_t> expected{0x5A};
  bool complete = true;
  for (size_t i = 0; i < left.size(); i += 2) {
    const std::string pair = left.substr(i, 2);
    unsigned int value = 0;
    if (std::sscanf(pair.c_str(), "%x", &value) == 1)
      expected.push_back(static_cast<uint8_t>(value));
    else
      complete = false;
  }

  CKaString s(text.data(), static_cast<int>(text.size()));
  CByteArray bytes;
  bytes.Add(0x5A);
  const long result = s.ConvertToBinary(CString(separator.c_str()), bytes);
  Check(result == (complete ? S_OK : E_FAIL), "result code");
  Check(std::string(s.GetString(), s.GetLength()) == left, "text left in the object");
  Check(std::vector<uint8_t>(bytes.GetData(), bytes.GetData() + bytes.GetSize()) == expected,
        "bytes read");

  // Round trip of the input's own bytes, with a separator that cannot merge with digits or
  // line breaks.
  if (separator.find_first_of("0123456789abcdefABCDEF\\\n\r\t\v\f +-") != std::string::npos)
    return 0;
  std::vector<unsigned char> raw(text.begin(), text.end());
  const CString hex = CKaString::ConvertBinaryToString(
      raw.data(), static_cast<unsigned long>(raw.size()), CString(separator.c_str()), lineBytes);
  CKaString back(hex);
  CByteArray again;
  Check(back.ConvertToBinary(CString(separator.c_str()), again) == S_OK, "round trip result");
  Check(std::vector<unsigned char>(again.GetData(), again.GetData() + again.GetSize()) == raw,
        "round trip bytes");
  return 0;
}
