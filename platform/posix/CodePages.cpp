// The ANSI code page of the process and conversion of wide text to code pages.
#include <iconv.h>
#include <langinfo.h>
#include <plinth/win32.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <cwchar>
#include <string>

namespace {

// Code set names differ between systems in case and punctuation ("Shift_JIS", "SHIFT-JIS",
// "sjis"), so they are compared upper-cased with '-' and '_' dropped.
std::string normalizedCodeset() {
  const char* raw = nl_langinfo(CODESET);
  std::string out;
  for (const char* p = raw ? raw : ""; *p; ++p) {
    if (*p == '-' || *p == '_') continue;
    out += (*p >= 'a' && *p <= 'z') ? static_cast<char>(*p - 32) : *p;
  }
  return out;
}

// U+0080..U+009F in code page 1252 hold typographic characters; these are their code points.
// Zero marks the five bytes 1252 leaves undefined, which map to the same C1 code points.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// The byte for cp in code page 1252, or -1.
int toCp1252(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
  for (int i = 0; i < 32; ++i) {
    if (kCp1252High[i] == 0 ? cp == static_cast<char32_t>(0x80 + i) : kCp1252High[i] == cp)
      return 0x80 + i;
  }
  return -1;
}

void appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

bool isSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

// Opening a converter costs far more than converting a short string, so each thread keeps
// the ones it has used. A descriptor must never be shared between threads.
class Converters {
 public:
  ~Converters() {
    for (auto& slot : slots_)
      if (slot.cd != reinterpret_cast<iconv_t>(-1)) iconv_close(slot.cd);
  }
  iconv_t get(UINT codePage) {
    for (auto& slot : slots_)
      if (slot.codePage == codePage) return slot.cd;
    const char* name = nullptr;
    switch (codePage) {
      case 932: name = "CP932"; break;
      case 936: name = "CP936"; break;
      case 949: name = "CP949"; break;
      case 950: name = "CP950"; break;
      default: return reinterpret_cast<iconv_t>(-1);
    }
    iconv_t cd = iconv_open(name, "UTF-32LE");
    for (auto& slot : slots_) {
      if (slot.codePage == 0) {
        slot.codePage = codePage;
        slot.cd = cd;
        break;
      }
    }
    return cd;
  }

 private:
  struct Slot {
    UINT codePage = 0;
    iconv_t cd = reinterpret_cast<iconv_t>(-1);
  };
  Slot slots_[4];
};

// Converts one valid code point through iconv; false when the code page cannot hold it.
bool appendIconv(iconv_t cd, std::string& out, char32_t cp) {
  unsigned char in[4] = {static_cast<unsigned char>(cp), static_cast<unsigned char>(cp >> 8),
                         static_cast<unsigned char>(cp >> 16),
                         static_cast<unsigned char>(cp >> 24)};
  char buf[16];
  char* inp = reinterpret_cast<char*>(in);
  size_t inLeft = sizeof in;
  char* outp = buf;
  size_t outLeft = sizeof buf;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  if (iconv(cd, &inp, &inLeft, &outp, &outLeft) == static_cast<size_t>(-1)) return false;
  out.append(buf, static_cast<size_t>(outp - buf));
  return true;
}

}  // namespace

extern "C" UINT GetACP(void) {
  const std::string cs = normalizedCodeset();
  if (cs == "UTF8" || cs.empty() || cs == "ANSIX3.41968" || cs == "ASCII" || cs == "USASCII")
    return CP_UTF8;
  if (cs == "SHIFTJIS" || cs == "SJIS" || cs == "CP932" || cs == "WINDOWS31J" || cs == "MS932")
    return 932;
  if (cs == "GBK" || cs == "GB2312" || cs == "CP936" || cs == "EUCCN" || cs == "GB18030")
    return 936;
  if (cs == "EUCKR" || cs == "CP949" || cs == "UHC") return 949;
  if (cs == "BIG5" || cs == "CP950" || cs == "BIG5HKSCS") return 950;
  return 1252;
}

extern "C" int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int cchWideChar,
                                   LPSTR multiByte, int cbMultiByte, LPCSTR defaultChar,
                                   LPBOOL usedDefaultChar) {
  (void)flags;  // No best-fit mapping is ever done, so WC_NO_BEST_FIT_CHARS changes nothing.
  const bool literalUtf8 = codePage == CP_UTF8;
  if (codePage == CP_ACP || codePage == CP_OEMCP) codePage = GetACP();
  const bool known = codePage == CP_UTF8 || codePage == 1252 || codePage == 28591 ||
                     codePage == 20127 || codePage == 932 || codePage == 936 || codePage == 949 ||
                     codePage == 950;
  // As on Windows, UTF-8 has no default character to report.
  if (!known || wide == nullptr || cchWideChar == 0 || cchWideChar < -1 || cbMultiByte < 0 ||
      (multiByte == nullptr && cbMultiByte != 0) ||
      (literalUtf8 && (defaultChar != nullptr || usedDefaultChar != nullptr))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const size_t count = cchWideChar == -1 ? std::wcslen(wide) + 1 : static_cast<size_t>(cchWideChar);

  iconv_t cd = reinterpret_cast<iconv_t>(-1);
  if (codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950) {
    static thread_local Converters converters;
    cd = converters.get(codePage);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
  }

  // The default is one character of the target page: two bytes only after a lead byte of that
  // page (Shift-JIS half-width katakana 0xA1..0xDF are characters of one byte).
  std::string fallback = "?";
  if (defaultChar != nullptr && defaultChar[0] != '\0') {
    const unsigned char first = static_cast<unsigned char>(defaultChar[0]);
    const bool lead = codePage == 932
                          ? (first >= 0x81 && first <= 0x9F) || (first >= 0xE0 && first <= 0xFC)
                          : first >= 0x81 && first <= 0xFE;
    const bool pair = cd != reinterpret_cast<iconv_t>(-1) && lead && defaultChar[1] != '\0';
    fallback.assign(defaultChar, pair ? 2 : 1);
  }

  std::string out;
  out.reserve(count);
  bool usedDefault = false;
  for (size_t i = 0; i < count; ++i) {
    char32_t c = static_cast<char32_t>(wide[i]);
    // Text that came through UTF-16 may still carry its surrogate pairs.
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < count) {
      const char32_t low = static_cast<char32_t>(wide[i + 1]);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      }
    }
    const bool valid = c <= 0x10FFFF && !isSurrogate(c);
    if (codePage == CP_UTF8) {
      appendUtf8(out, valid ? c : U'\uFFFD');
      continue;
    }
    int byte = -1;
    if (valid) {
      if (codePage == 1252)
        byte = toCp1252(c);
      else if (codePage == 28591)
        byte = c <= 0xFF ? static_cast<int>(c) : -1;
      else if (codePage == 20127)
        byte = c <= 0x7F ? static_cast<int>(c) : -1;
      else if (appendIconv(cd, out, c))
        continue;
    }
    if (byte >= 0) {
      out += static_cast<char>(byte);
    } else {
      out += fallback;
      usedDefault = true;
    }
  }

  if (usedDefaultChar != nullptr) *usedDefaultChar = usedDefault ? 1 : 0;
  if (out.size() > static_cast<size_t>(INT_MAX)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const int needed = static_cast<int>(out.size());
  if (cbMultiByte == 0) return needed;
  if (needed > cbMultiByte) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(multiByte, out.data(), out.size());
  return needed;
}
