// Reading and writing the registry editor's file format; see RegFile.h for the grammar.
#include "RegFile.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

namespace plinth_regfile {
namespace {

constexpr std::size_t kLineWidth = 80;
constexpr const char kRegedit4[] = "REGEDIT4";
constexpr const char kRegedit5[] = "Windows Registry Editor Version 5.00";
const char kDigits[] = "0123456789abcdef";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// "'x'" for a message, with the bytes that would garble a terminal shown as escapes.
std::string Quoted(std::string_view text) {
  std::string shown = "'";
  for (char c : text.substr(0, 60)) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) {
      shown += "\\x";
      shown += kDigits[byte >> 4];
      shown += kDigits[byte & 15];
    } else {
      shown += c;
    }
  }
  if (text.size() > 60) shown += "...";
  return shown + "'";
}

void AppendQuoted(std::string& out, const char* text, std::size_t length) {
  out += '"';
  for (std::size_t i = 0; i < length; ++i) {
    switch (text[i]) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out += text[i];
    }
  }
  out += '"';
}

// A plain "text" line carries exactly the text and one NUL; anything else would read back
// different.
bool FitsQuotedString(DWORD type, const unsigned char* data, std::size_t size) {
  if (type != REG_SZ || size == 0 || data[size - 1] != 0) return false;
  for (std::size_t i = 0; i + 1 < size; ++i)
    if (data[i] == 0 || data[i] == '\n' || data[i] == '\r') return false;
  return true;
}

// UTF-16LE code units to the process code page. On systems with a 32-bit wchar_t the pairs
// are joined into code points first; a lone surrogate goes through as it is and comes out as
// the code page's default character.
bool Utf16ToCodePage(const unsigned char* bytes, std::size_t size, std::string& out) {
  out.clear();
  if (size % 2 != 0) return false;
  std::wstring wide;
  wide.reserve(size / 2);
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    std::uint32_t unit = bytes[i] | static_cast<std::uint32_t>(bytes[i + 1]) << 8;
    if constexpr (sizeof(wchar_t) >= 4) {
      if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < size) {
        const std::uint32_t low = bytes[i + 2] | static_cast<std::uint32_t>(bytes[i + 3]) << 8;
        if (low >= 0xDC00 && low < 0xE000) {
          unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
          i += 2;
        }
      }
    }
    wide += static_cast<wchar_t>(unit);
  }
  if (wide.empty()) return true;
  // Converted a piece at a time so that the counts stay well inside an int.
  constexpr std::size_t kPiece = 1u << 20;
  for (std::size_t start = 0; start < wide.size();) {
    std::size_t count = std::min(kPiece, wide.size() - start);
    // Never split a surrogate pair where wchar_t holds code units.
    if (start + count < wide.size() && static_cast<std::uint32_t>(wide[start + count - 1]) >= 0xD800 &&
        static_cast<std::uint32_t>(wide[start + count - 1]) < 0xDC00)
      --count;
    const int needed = WideCharToMultiByte(CP_ACP, 0, wide.data() + start,
                                           static_cast<int>(count), nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return false;
    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(needed));
    if (WideCharToMultiByte(CP_ACP, 0, wide.data() + start, static_cast<int>(count), &out[at],
                            needed, nullptr, nullptr) != needed)
      return false;
    start += count;
  }
  return true;
}

// The file's lines, one at a time, without their LF or CR LF.
class Lines {
 public:
  explicit Lines(std::string_view text) : text_(text) {}
  bool Next(std::string_view& line) {
    if (pos_ >= text_.size()) return false;
    std::size_t end = text_.find('\n', pos_);
    if (end == std::string_view::npos) end = text_.size();
    line = text_.substr(pos_, end - pos_);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    pos_ = end + 1;
    ++number_;
    return true;
  }
  std::size_t number() const { return number_; }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
  std::size_t number_ = 0;
};

class Parser {
 public:
  Parser(std::string_view text, std::size_t skippedLines) : lines_(text), base_(skippedLines) {}

  std::vector<RegFileSection> Run(bool unicodeHeader) {
    unicode_ = unicodeHeader;
    std::string_view line;
    while (lines_.Next(line)) {
      std::size_t at = 0;
      while (at < line.size() && IsBlank(line[at])) ++at;
      if (at == line.size() || line[at] == ';') continue;
      if (line[at] == '[') {
        Section(line.substr(at));
      } else if (line[at] == '"' || line[at] == '@') {
        Value(line, at);
      } else {
        Fail("expected [KEY], \"NAME\"=DATA or @=DATA, found " + Quoted(line.substr(at)));
      }
    }
    return std::move(sections_);
  }

 private:
  [[noreturn]] void Fail(const std::string& message) const { FailAt(Line(), message); }
  [[noreturn]] void FailAt(std::size_t line, const std::string& message) const {
    throw RegFileError(line, message);
  }
  std::size_t Line() const { return base_ + lines_.number(); }

  void Section(std::string_view line) {
    const std::size_t close = line.rfind(']');
    if (close == std::string_view::npos)
      Fail("the section " + Quoted(line) + " has no closing ']'; write [KEY]");
    for (std::size_t i = close + 1; i < line.size(); ++i)
      if (!IsBlank(line[i]))
        Fail("text after the ']' that closes the section " + Quoted(line) +
             "; a section line holds [KEY] alone");
    RegFileSection section;
    section.line = Line();
    std::string_view raw = line.substr(1, close - 1);
    if (!raw.empty() && raw[0] == '-') {
      section.remove = true;
      raw.remove_prefix(1);
    }
    std::string& path = section.path;
    for (std::size_t i = 0; i < raw.size(); ++i) {
      if (raw[i] == '\\' && i + 2 < raw.size() && raw[i + 1] == '\\' &&
          (raw[i + 2] == 'n' || raw[i + 2] == 'r')) {
        path += raw[i + 2] == 'n' ? '\n' : '\r';
        i += 2;
      } else {
        path += raw[i];
      }
    }
    if (path.find('\0') != std::string::npos)
      Fail("a NUL byte in the section " + Quoted(line) + "; key names cannot hold one");
    // A key name is never empty, which is what makes \\n and \\r unambiguous.
    if (path.empty() || path.front() == '\\' || path.back() == '\\' ||
        path.find("\\\\") != std::string::npos)
      Fail("the section " + Quoted(line) +
           " names an empty key; write [ROOT\\KEY\\SUBKEY] (\\\\n and \\\\r stand for a line "
           "feed and a carriage return in a key name)");
    sections_.push_back(std::move(section));
  }

  // A quoted text starting at line[at] == '"'; returns the position after the closing quote.
  std::size_t QuotedText(std::string_view line, std::size_t at, std::string& text,
                         const char* what) const {
    text.clear();
    for (std::size_t i = at + 1; i < line.size(); ++i) {
      const char c = line[i];
      if (c == '"') return i + 1;
      if (c != '\\') {
        text += c;
        continue;
      }
      if (++i == line.size()) break;
      switch (line[i]) {
        case '\\': text += '\\'; break;
        case '"': text += '"'; break;
        case 'n': text += '\n'; break;
        case 'r': text += '\r'; break;
        default:
          Fail(std::string("unknown escape \\") + line[i] + " in the " + what + " " +
               Quoted(line.substr(at)) + "; write a backslash as \\\\ and a quote as \\\"");
      }
    }
    Fail(std::string("the ") + what + " " + Quoted(line.substr(at)) +
         " has no closing quote; end it with \" (write a quote inside it as \\\")");
  }

  void RequireRestBlank(std::string_view line, std::size_t at, const char* after) const {
    for (; at < line.size(); ++at)
      if (!IsBlank(line[at]))
        Fail(std::string("unexpected ") + Quoted(line.substr(at)) + " after " + after +
             "; give one value per line");
  }

  void Value(std::string_view line, std::size_t at) {
    RegFileValue value;
    value.line = Line();
    if (sections_.empty())
      Fail("a value before the first section; put a [KEY] line above it");
    if (sections_.back().remove)
      Fail("a value in the section [-" + sections_.back().path +
           "], which deletes its key; start a [KEY] section for it");
    if (line[at] == '@') {
      ++at;
    } else {
      at = QuotedText(line, at, value.name, "value name");
      if (value.name.find('\0') != std::string::npos)
        Fail("a NUL byte in the value name " + Quoted(line) + "; names cannot hold one");
    }
    while (at < line.size() && IsBlank(line[at])) ++at;
    if (at == line.size() || line[at] != '=')
      Fail("expected '=' after the value name in " + Quoted(line) +
           "; write \"NAME\"=DATA or @=DATA");
    ++at;
    while (at < line.size() && IsBlank(line[at])) ++at;
    const std::string_view rest = line.substr(at);
    auto startsWith = [&](std::string_view prefix) {
      if (rest.size() < prefix.size()) return false;
      for (std::size_t i = 0; i < prefix.size(); ++i)
        if (Lower(rest[i]) != prefix[i]) return false;
      return true;
    };
    if (!rest.empty() && rest[0] == '"') {
      std::string text;
      RequireRestBlank(line, at + QuotedText(rest, 0, text, "string"), "the closing quote");
      value.type = REG_SZ;
      value.data = std::move(text);
      value.data += '\0';
    } else if (!rest.empty() && rest[0] == '-') {
      RequireRestBlank(rest, 1, "'-'");
      value.remove = true;
    } else if (startsWith("dword:")) {
      std::size_t i = 6;
      std::uint32_t number = 0;
      while (i < rest.size() && HexDigit(rest[i]) >= 0 && i < 6 + 8)
        number = number << 4 | static_cast<std::uint32_t>(HexDigit(rest[i++]));
      if (i == 6 || (i < rest.size() && !IsBlank(rest[i])))
        Fail("the number in " + Quoted(line) +
             " is not 1 to 8 hexadecimal digits; write dword:0000002a");
      RequireRestBlank(rest, i, "the number");
      value.type = REG_DWORD;
      for (int shift = 0; shift < 32; shift += 8)
        value.data += static_cast<char>(number >> shift & 0xFF);
    } else if (startsWith("hex")) {
      std::size_t i = 3;
      value.type = REG_BINARY;
      if (i < rest.size() && rest[i] == '(') {
        std::uint64_t type = 0;
        std::size_t digits = 0;
        for (++i; i < rest.size() && HexDigit(rest[i]) >= 0; ++i, ++digits)
          type = type << 4 | static_cast<std::uint64_t>(HexDigit(rest[i]));
        if (digits == 0 || digits > 8 || i == rest.size() || rest[i] != ')')
          Fail("the type in " + Quoted(line) +
               " is not 1 to 8 hexadecimal digits in parentheses; write hex(7):");
        value.type = static_cast<DWORD>(type);
        ++i;
      }
      if (i == rest.size() || rest[i] != ':')
        Fail("expected ':' after the type in " + Quoted(line) + "; write hex:01,02 or hex(N):01,02");
      ByteList(rest.substr(i + 1), value.data);
      if (unicode_ && (value.type == REG_SZ || value.type == REG_EXPAND_SZ ||
                       value.type == REG_MULTI_SZ)) {
        std::string converted;
        if (!Utf16ToCodePage(reinterpret_cast<const unsigned char*>(value.data.data()),
                             value.data.size(), converted))
          FailAt(value.line,
                 "the text of this hex(" + std::string(1, kDigits[value.type]) +
                     ") value is not UTF-16 (an odd number of bytes), as a Version 5.00 file "
                     "holds it; fix the data or write the file as REGEDIT4");
        value.data = std::move(converted);
      }
    } else {
      Fail("unknown data " + Quoted(rest) +
           "; write \"text\", dword:0000002a, hex:01,02, hex(N):01,02 or - to delete");
    }
    sections_.back().values.push_back(std::move(value));
  }

  // Bytes separated by commas, continued on the next line after a trailing backslash.
  void ByteList(std::string_view text, std::string& data) {
    const std::size_t first = Line();
    bool needByte = false;  // right after a comma
    std::size_t i = 0;
    for (;;) {
      while (i < text.size() && IsBlank(text[i])) ++i;
      if (i == text.size()) return;
      if (text[i] == '\\') {
        RequireRestBlank(text, i + 1, "the backslash that continues a byte list");
        std::string_view next;
        if (!lines_.Next(next))
          FailAt(first, "the file ends inside the byte list that starts here; end the last "
                        "line without a backslash");
        text = next;
        i = 0;
        continue;
      }
      if (text[i] == ',') {
        if (needByte || data.empty())
          Fail("an empty byte in " + Quoted(text) + "; write two hexadecimal digits per byte");
        needByte = true;
        ++i;
        continue;
      }
      if (!data.empty() && !needByte)
        Fail("expected ',' between bytes in " + Quoted(text) + "; write hex:01,02,03");
      const int high = HexDigit(text[i]);
      if (high < 0)
        Fail(Quoted(text.substr(i)) + " is not a byte; write two hexadecimal digits per byte");
      int byte = high;
      ++i;
      if (i < text.size() && HexDigit(text[i]) >= 0) byte = byte << 4 | HexDigit(text[i++]);
      if (i < text.size() && HexDigit(text[i]) >= 0)
        Fail(Quoted(text.substr(i - 2)) +
             " has more than two digits in one byte; separate the bytes with commas");
      data += static_cast<char>(byte);
      needByte = false;
    }
  }

  Lines lines_;
  std::size_t base_;
  bool unicode_ = false;
  std::vector<RegFileSection> sections_;
};

}  // namespace

std::vector<RegFileSection> ParseRegFile(const std::string& bytes) {
  std::string converted;
  std::string_view text = bytes;
  if (text.size() >= 2 && static_cast<unsigned char>(text[0]) == 0xFF &&
      static_cast<unsigned char>(text[1]) == 0xFE) {
    if (!Utf16ToCodePage(reinterpret_cast<const unsigned char*>(text.data()) + 2, text.size() - 2,
                         converted))
      throw RegFileError(1, "the file starts like UTF-16 but has an odd number of bytes; save "
                            "it again as UTF-16 or as REGEDIT4");
    text = converted;
  } else if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") {
    text.remove_prefix(3);
  }
  std::string_view header = text.substr(0, text.find('\n'));
  while (!header.empty() && (header.back() == '\r' || IsBlank(header.back())))
    header.remove_suffix(1);
  const bool unicode = header == kRegedit5;
  if (header != kRegedit4 && !unicode)
    throw RegFileError(1, "not a registry file: the first line must be REGEDIT4 or " +
                              std::string(kRegedit5));
  const std::size_t bodyStart = text.find('\n');
  if (bodyStart == std::string_view::npos) return {};
  return Parser(text.substr(bodyStart + 1), 1).Run(unicode);
}

void AppendRegFileHeader(std::string& out) {
  out += kRegedit4;
  out += "\r\n";
}

void AppendRegFileSection(std::string& out, const std::string& path) {
  out += "\r\n[";
  for (char c : path) {
    if (c == '\n')
      out += "\\\\n";
    else if (c == '\r')
      out += "\\\\r";
    else
      out += c;
  }
  out += "]\r\n";
}

void AppendRegFileValue(std::string& out, const char* name, std::size_t nameLength, DWORD type,
                        const unsigned char* data, std::size_t size) {
  const std::size_t lineStart = out.size();
  if (nameLength == 0)
    out += '@';
  else
    AppendQuoted(out, name, nameLength);
  out += '=';
  if (FitsQuotedString(type, data, size)) {
    AppendQuoted(out, reinterpret_cast<const char*>(data), size - 1);
    out += "\r\n";
    return;
  }
  if (type == REG_DWORD && size == 4) {
    const std::uint32_t number = data[0] | static_cast<std::uint32_t>(data[1]) << 8 |
                                 static_cast<std::uint32_t>(data[2]) << 16 |
                                 static_cast<std::uint32_t>(data[3]) << 24;
    out += "dword:";
    for (int shift = 28; shift >= 0; shift -= 4) out += kDigits[number >> shift & 15];
    out += "\r\n";
    return;
  }
  out += "hex";
  if (type != REG_BINARY) {
    out += '(';
    bool started = false;
    for (int shift = 28; shift >= 0; shift -= 4) {
      const unsigned digit = type >> shift & 15;
      if (digit != 0 || started || shift == 0) {
        out += kDigits[digit];
        started = true;
      }
    }
    out += ')';
  }
  out += ':';
  std::size_t column = out.size() - lineStart;
  bool itemOnLine = false;
  for (std::size_t i = 0; i < size; ++i) {
    const bool last = i + 1 == size;
    // Room for the item, and for the backslash that may follow it.
    if (itemOnLine && column + (last ? 2 : 4) > kLineWidth) {
      out += "\\\r\n  ";
      column = 2;
    }
    out += kDigits[data[i] >> 4];
    out += kDigits[data[i] & 15];
    column += 2;
    if (!last) {
      out += ',';
      ++column;
    }
    itemOnLine = true;
  }
  out += "\r\n";
}

void AppendRegFileEnd(std::string& out) { out += "\r\n"; }

}  // namespace plinth_regfile
