// CKaPath's text operations and the runtime's _fullpath on arbitrary bytes. The input is up to
// three texts separated by NUL bytes (first, second, separator); its first byte picks the code
// page. In single-byte code pages every result is compared with a std::string model written
// from the documented steps; in double-byte ones the results are checked for what must hold
// whatever the characters (a base name is a tail of the path, fixing never changes the length).

#include <plinth/KaPath.h>
#include <plinth/win32.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "model mismatch: %s\n", what);
    std::abort();
  }
}

std::string S(const CString& text) { return std::string(text.GetString(), text.GetLength()); }

std::string ModelBasename(std::string path, bool strip) {
  std::size_t at = path.rfind('\\');
  if (at == std::string::npos) at = path.rfind('/');
  std::string base;
  if (at == std::string::npos) {
    base = path;
  } else {
    while (!path.empty() && (path.back() == '/' || path.back() == '\\')) path.pop_back();
    const long keep = static_cast<long>(path.size()) - static_cast<long>(at) - 1;
    base = keep <= 0 ? std::string() : path.substr(path.size() - static_cast<std::size_t>(keep));
  }
  if (strip) {
    const std::size_t dot = base.rfind('.');
    if (dot != std::string::npos) base = base.substr(0, dot);
  }
  return base;
}

std::string ModelExtension(const std::string& path) {
  const std::size_t dot = path.rfind('.');
  return dot == std::string::npos ? std::string() : path.substr(dot + 1);
}

std::string ModelFix(std::string name, bool isPath) {
  const std::string forbidden = isPath ? "/*?\"<>|" : "\\:/*?\"<>|";
  for (char& c : name)
    if (forbidden.find(c) != std::string::npos) c = '_';
  return name;
}

std::string ModelJoin(const std::string& first, const std::string& second,
                      const std::string& separator) {
  if (second.empty()) return first;
  if (first.empty()) return second;
  std::string head = first;
  if (separator.size() == 1) {
    if (head.back() == separator[0]) {
      head.pop_back();
      while (!head.empty() && std::strchr(" \t\n\r\v\f", head.back()) != nullptr) head.pop_back();
    }
    if (second[0] == separator[0]) return head + second;
  }
  return head + separator + second;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > 4096) return 0;
  const bool doubleByte = (data[0] & 1) != 0;
  _setmbcp(doubleByte ? 932 : 0);
  std::vector<std::string> parts(1);
  for (size_t i = 1; i < size; ++i) {
    if (data[i] == 0 && parts.size() < 3) {
      parts.emplace_back();
    } else if (data[i] != 0) {
      parts.back() += static_cast<char>(data[i]);
    }
  }
  parts.resize(3);
  const std::string& first = parts[0];
  const CString path(first.c_str());

  for (bool strip : {false, true}) {
    const std::string base = S(CKaPath::Basename(path, strip));
    if (!doubleByte) {
      Check(base == ModelBasename(first, strip), "Basename");
    } else if (!strip) {
      Check(base.size() <= first.size(), "Basename length");
    }
  }
  const std::string extension = S(CKaPath::GetExtension(path));
  if (!doubleByte) Check(extension == ModelExtension(first), "GetExtension");
  Check(extension.size() < first.size() || extension.empty(), "GetExtension length");

  CString program = "p";
  CString arguments = "a";
  CKaPath::SplitCommand(path, program, arguments);
  if (!first.empty() && first[0] == '"' && first.find('"', 1) == std::string::npos && !doubleByte) {
    Check(S(program) == "p" && S(arguments) == "a", "SplitCommand unterminated");
  } else if (!first.empty() && first[0] != '"' && !doubleByte) {
    const std::size_t space = first.find(' ');
    Check(S(program) == first.substr(0, space), "SplitCommand program");
    Check(S(arguments) == (space == std::string::npos ? "" : first.substr(space + 1)),
          "SplitCommand arguments");
  }

  for (bool isPath : {false, true}) {
    const std::string fixed = S(CKaPath::FixFilename(path, isPath));
    Check(fixed.size() == first.size(), "FixFilename length");
    if (!doubleByte) Check(fixed == ModelFix(first, isPath), "FixFilename");
  }

  const std::string joined = S(CKaPath::ConcatenatePath(path, parts[1].c_str(), parts[2].c_str()));
  Check(joined == ModelJoin(first, parts[1], parts[2]), "ConcatenatePath");

  // _fullpath into a tight buffer with guard bytes after it.
  char buffer[64 + 8];
  std::memset(buffer, 0x7E, sizeof buffer);
  const size_t room = parts[1].size() % 64 + 1;
  if (_fullpath(buffer, first.c_str(), room) != nullptr) Check(std::strlen(buffer) < room, "room");
  for (size_t i = room; i < sizeof buffer; ++i) Check(buffer[i] == 0x7E, "_fullpath overrun");
  if (char* full = _fullpath(nullptr, first.c_str(), 0)) {
    const std::string text = full;
    std::free(full);
    Check(text.find("\\.\\") == std::string::npos && text.find("/./") == std::string::npos,
          "_fullpath left a '.'");
  }
  _setmbcp(0);
  return 0;
}
