// The ANSI code page of the process and conversion of wide text to code pages.
#include <iconv.h>
#include <langinfo.h>
#include <plinth/win32.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <cwchar>
#include <new>
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

bool isDoubleBytePage(UINT codePage) {
  return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950;
}

class Converters;
Converters& threadConverters();

// Opening a converter costs far more than converting a short string, so each thread keeps
// the ones it has used. A descriptor must never be shared between threads.
class Converters {
 public:
  ~Converters() {
    for (auto& slot : slots_)
      if (slot.cd != reinterpret_cast<iconv_t>(-1)) iconv_close(slot.cd);
  }
  // A converter from UTF-32LE to the code page, or (toWide) from the code page to UTF-16LE.
  iconv_t get(UINT codePage, bool toWide = false) {
    for (auto& slot : slots_)
      if (slot.codePage == codePage && slot.toWide == toWide) return slot.cd;
    const char* name = nullptr;
    switch (codePage) {
      case 932: name = "CP932"; break;
      case 936: name = "CP936"; break;
      case 949: name = "CP949"; break;
      case 950: name = "CP950"; break;
      default: return reinterpret_cast<iconv_t>(-1);
    }
    iconv_t cd = toWide ? iconv_open("UTF-16LE", name) : iconv_open(name, "UTF-32LE");
    for (auto& slot : slots_) {
      if (slot.codePage == 0) {
        slot.codePage = codePage;
        slot.toWide = toWide;
        slot.cd = cd;
        break;
      }
    }
    return cd;
  }

 private:
  struct Slot {
    UINT codePage = 0;
    bool toWide = false;
    iconv_t cd = reinterpret_cast<iconv_t>(-1);
  };
  Slot slots_[8];
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

Converters& threadConverters() {
  static thread_local Converters converters;
  return converters;
}

void appendUtf16(std::u16string& out, char32_t cp) {
  if (cp < 0x10000) {
    out += static_cast<char16_t>(cp);
  } else {
    cp -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (cp >> 10));
    out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
  }
}

// UTF-8 to UTF-16. An ill-formed sequence gives one U+FFFD for each maximal part that could
// have begun a character (the Unicode recommendation, which Windows follows); overlong forms,
// surrogates and values past U+10FFFF are ill-formed. Returns false if any was met.
bool decodeUtf8(const unsigned char* in, size_t n, std::u16string& out) {
  bool clean = true;
  size_t i = 0;
  while (i < n) {
    const unsigned char b = in[i];
    if (b < 0x80) {
      out += static_cast<char16_t>(b);
      ++i;
      continue;
    }
    size_t need = 0;
    char32_t cp = 0;
    unsigned char low = 0x80, high = 0xBF;  // range of the second byte
    if (b >= 0xC2 && b <= 0xDF) {
      need = 1;
      cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      need = 2;
      cp = b & 0x0F;
      if (b == 0xE0) low = 0xA0;
      if (b == 0xED) high = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      need = 3;
      cp = b & 0x07;
      if (b == 0xF0) low = 0x90;
      if (b == 0xF4) high = 0x8F;
    }
    size_t used = 1;
    bool ok = need > 0;
    for (size_t k = 0; ok && k < need; ++k) {
      const size_t at = i + 1 + k;
      const unsigned char lo = k == 0 ? low : 0x80, hi = k == 0 ? high : 0xBF;
      if (at >= n || in[at] < lo || in[at] > hi) {
        ok = false;
        break;
      }
      cp = (cp << 6) | (in[at] & 0x3F);
      ++used;
    }
    if (ok) {
      appendUtf16(out, cp);
    } else {
      out += u'\uFFFD';
      clean = false;
    }
    i += used;
  }
  return clean;
}

// A double-byte page to UTF-16 through iconv; a byte that starts no character of the page
// gives U+FFFD and the walk goes on after it.
bool decodeIconv(iconv_t cd, const unsigned char* in, size_t n, std::u16string& out) {
  bool clean = true;
  char* inp = reinterpret_cast<char*>(const_cast<unsigned char*>(in));
  size_t inLeft = n;
  char buffer[4096];
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  while (inLeft > 0) {
    char* outp = buffer;
    size_t outLeft = sizeof buffer;
    const size_t r = iconv(cd, &inp, &inLeft, &outp, &outLeft);
    const int error = r == static_cast<size_t>(-1) ? errno : 0;
    for (char* p = buffer; p + 1 < outp; p += 2)
      out += static_cast<char16_t>(static_cast<unsigned char>(p[0]) |
                                   (static_cast<unsigned char>(p[1]) << 8));
    if (error == EILSEQ || error == EINVAL) {
      out += u'\uFFFD';
      clean = false;
      ++inp;
      --inLeft;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    } else if (error != 0 && error != E2BIG) {
      return false;
    }
  }
  return clean;
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
    cd = threadConverters().get(codePage);
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

extern "C" int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByte, int cbMultiByte,
                                   LPOLESTR wide, int cchWideChar) {
  if (codePage == CP_ACP || codePage == CP_OEMCP || codePage == CP_THREAD_ACP) codePage = GetACP();
  const bool known = codePage == CP_UTF8 || codePage == 1252 || codePage == 28591 ||
                     codePage == 20127 || isDoubleBytePage(codePage);
  if (!known || multiByte == nullptr || cbMultiByte == 0 || cbMultiByte < -1 || cchWideChar < 0 ||
      (wide == nullptr && cchWideChar != 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const auto* in = reinterpret_cast<const unsigned char*>(multiByte);
  const size_t count =
      cbMultiByte == -1 ? std::strlen(multiByte) + 1 : static_cast<size_t>(cbMultiByte);

  std::u16string out;
  bool clean = true;
  try {
    out.reserve(count);
    if (codePage == CP_UTF8) {
      clean = decodeUtf8(in, count, out);
    } else if (isDoubleBytePage(codePage)) {
      iconv_t cd = threadConverters().get(codePage, true);
      if (cd == reinterpret_cast<iconv_t>(-1)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
      }
      clean = decodeIconv(cd, in, count, out);
    } else {
      for (size_t i = 0; i < count; ++i) {
        const unsigned char b = in[i];
        char16_t unit = b;
        if (codePage == 1252 && b >= 0x80 && b <= 0x9F && kCp1252High[b - 0x80] != 0)
          unit = kCp1252High[b - 0x80];
        else if (codePage == 20127 && b >= 0x80)
          unit = b & 0x7F;  // as Windows reads 7-bit ASCII: the high bit is dropped
        out += unit;
      }
    }
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  if (!clean && (flags & MB_ERR_INVALID_CHARS)) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return 0;
  }
  if (out.size() > static_cast<size_t>(INT_MAX)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const int needed = static_cast<int>(out.size());
  if (cchWideChar == 0) return needed;
  if (needed > cchWideChar) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(wide, out.data(), out.size() * sizeof(char16_t));
  return needed;
}
