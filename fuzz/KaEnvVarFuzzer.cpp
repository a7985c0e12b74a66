// CKaEnvVar::Expand and Collapse on arbitrary bytes, against an environment the input also
// sets up. The input is NUL-separated texts: the first is the text worked on, the others are
// values given to PLINTH_FZ_0, PLINTH_FZ_1, … Expand is compared with a std::string model of
// the documented walk; for Collapse, when neither the text nor the values hold a percent sign,
// expanding its result must give the text back, up to letter case.

#include <plinth/KaEnvVar.h>
#include <plinth/win32.h>

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "model mismatch: %s\n", what);
    std::abort();
  }
}

std::string Lookup(const std::string& name) {
  if (name.empty()) return "";
  const DWORD needed = GetEnvironmentVariableA(name.c_str(), nullptr, 0);
  if (needed == 0) return "";
  std::string value(needed, '\0');
  const DWORD copied = GetEnvironmentVariableA(name.c_str(), &value[0], needed);
  value.resize(copied < needed ? copied : 0);
  return value;
}

std::string ModelExpand(const std::string& text) {
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] != '%') {
      out += text[i++];
      continue;
    }
    const std::size_t closing = text.find('%', i + 1);
    if (closing == std::string::npos) {
      out += text.substr(i);
      break;
    }
    const std::string value = Lookup(text.substr(i + 1, closing - i - 1));
    out += value.empty() ? text.substr(i, closing - i + 1) : value;
    i = closing + 1;
  }
  return out;
}

bool EqualNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  std::vector<std::string> parts(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0 && parts.size() < 5) {
      parts.emplace_back();
    } else if (data[i] != 0) {
      parts.back() += static_cast<char>(data[i]);
    }
  }
  const std::string& text = parts[0];
  std::vector<std::string> names;
  for (std::size_t k = 1; k < parts.size(); ++k) {
    names.push_back("PLINTH_FZ_" + std::to_string(k - 1));
    SetEnvironmentVariableA(names.back().c_str(), parts[k].c_str());
  }

  CKaString out = "stale";
  Check(CKaEnvVar::Expand(text.c_str(), out) == S_OK, "Expand result");
  Check(std::string(out.GetString(), out.GetLength()) == ModelExpand(text), "Expand");

  bool percentFree = text.find('%') == std::string::npos;
  for (std::size_t k = 1; k < parts.size(); ++k)
    percentFree = percentFree && parts[k].find('%') == std::string::npos;
  CKaString collapsed = "untouched";
  const long result = CKaEnvVar::Collapse(text.c_str(), collapsed);
  Check(result == S_OK || result == E_FAIL, "Collapse result");
  if (result == E_FAIL) Check(std::string(collapsed.GetString()) == "untouched", "Collapse out");
  if (result == S_OK && percentFree) {
    CKaString back;
    CKaEnvVar::Expand(collapsed, back);
    Check(EqualNoCase(std::string(back.GetString(), back.GetLength()), text),
          "Collapse round trip");
  }
  for (const std::string& name : names) SetEnvironmentVariableA(name.c_str(), nullptr);
  return 0;
}
