// CKaString's field members and NullSeparate on arbitrary text and delimiters, in the
// single-byte and the Shift-JIS code page. Checked against what holds whatever the page:
// the fields, joined again by the delimiter, give the searched text back; the field count
// matches the fields walked; a delimited field lies inside the text; and NullSeparate leaves
// items that, joined by the separator, give the text again. In the single-byte page the results
// must also equal a plain std::string model.
//
// Input: byte 0 picks the code page and the delimiter length, byte 1 the field number; then
// the delimiter (or open and close delimiters), then the text.
#include <plinth/KaString.h>
#include <plinth/win32.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "model mismatch: %s\n", what);
    std::abort();
  }
}

std::string Str(const CString& s) { return std::string(s.GetString(), s.GetLength()); }

// Fields of text (searched up to its first NUL) in the single-byte page.
std::vector<std::string> ModelFields(const std::string& text, const std::string& delimiter) {
  const std::string searched = text.substr(0, text.find('\0'));
  std::vector<std::string> fields;
  size_t pos = 0;
  for (;;) {
    const size_t hit = delimiter.empty() ? std::string::npos : searched.find(delimiter, pos);
    if (hit == std::string::npos) break;
    fields.push_back(text.substr(pos, hit - pos));
    pos = hit + delimiter.size();
  }
  fields.push_back(text.substr(pos));
  return fields;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const bool dbcs = data[0] & 1;
  const size_t delimiterLength = std::min<size_t>((data[0] >> 1) % 4, size - 2);
  const int n = static_cast<int8_t>(data[1]);
  std::string delimiter(reinterpret_cast<const char*>(data) + 2, delimiterLength);
  delimiter = delimiter.substr(0, delimiter.find('\0'));
  const std::string text(reinterpret_cast<const char*>(data) + 2 + delimiterLength,
                         size - 2 - delimiterLength);
  _setmbcp(dbcs ? 932 : 0);

  CKaString s(text.data(), static_cast<int>(text.size()));
  const int count = s.GetFieldCount(delimiter.c_str());
  std::string joined;
  for (int i = 0; i < count; ++i) {
    if (i > 0) joined += delimiter;
    joined += Str(s.GetField(delimiter.c_str(), i));
  }
  Check(joined == text, "fields joined by the delimiter");
  Check(s.GetField(delimiter.c_str(), count).IsEmpty(), "field past the last");
  const std::string nth = Str(s.GetField(delimiter.c_str(), n));
  if (!dbcs) {
    const std::vector<std::string> fields = ModelFields(text, delimiter);
    Check(count == static_cast<int>(fields.size()), "field count model");
    Check(nth == (n >= 0 && n < count ? fields[static_cast<size_t>(n)] : std::string()),
          "field model");
  }

  const char byte = delimiter.empty() ? ',' : delimiter[0];
  const int byteCount = s.GetFieldCount(byte);
  std::string byteJoined;
  for (int i = 0; i < byteCount; ++i) {
    if (i > 0) byteJoined += byte;
    byteJoined += Str(s.GetField(byte, i));
  }
  Check(byteJoined == text, "byte fields joined");

  const std::string open = delimiter.substr(0, 1);
  const std::string close = delimiter.size() > 1 ? delimiter.substr(1) : open;
  const std::string between = Str(s.GetDelimitedField(open.c_str(), close.c_str(), n));
  Check(between.empty() || text.find(between) != std::string::npos, "delimited field in text");

  // Without an embedded NUL (where the reverse search stops), quoting is undone exactly.
  if (text.find('\0') == std::string::npos) {
    CKaString quoted(s);
    const bool was = quoted.IsQuoted('"');
    quoted.Quote('"');
    Check(quoted.IsQuoted('"'), "quoted text is quoted");
    if (!was) Check(Str(quoted.Unquote('"')) == text, "unquote undoes quote");
  }

  CKaString list(s);
  list.NullSeparate(byte);
  const std::string searched = text.substr(0, text.find('\0'));
  // The buffer holds the text with separators turned to NULs, then the closing NULs.
  const char* buffer = list.GetString();
  std::string items(buffer, text.size() + 1);
  if (searched.size() == text.size() && byte != '\0') {
    Check(buffer[text.size() + 1] == '\0', "closing NUL");
    for (char& c : items)
      if (c == '\0') c = byte;
    Check(items == text + byte, "items joined by the separator");
  }
  Check(list.GetLength() == static_cast<int>(std::strlen(buffer)), "length of the first item");
  _setmbcp(0);
  return 0;
}
