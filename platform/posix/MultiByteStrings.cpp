// The C runtime's multibyte string functions over the active multibyte code page.
//
// A character is one byte, or two when a lead byte of the active page is followed by one of
// its trail bytes. Requiring a valid trail (and not only a lead) means a stray lead byte
// before a NUL, a quote or a separator never swallows it, and it lets a search for a byte that
// is neither a lead nor a trail of the page run at memchr speed: such a byte can only ever be
// a character of its own.
#include <plinth/win32.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace {

enum : unsigned char { kLead = 1, kTrail = 2 };

enum Page { kSingle, k932, k936, k949, k950, kPageCount };

struct ByteTable {
  unsigned char flags[256];
};

constexpr ByteTable makeTable(Page page) {
  ByteTable t{};
  for (int b = 0; b < 256; ++b) {
    bool lead = false, trail = false;
    switch (page) {
      case kSingle: break;
      case k932:
        lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
        trail = (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
        break;
      case k936:
        lead = b >= 0x81 && b <= 0xFE;
        trail = (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFE);
        break;
      case k949:
        lead = b >= 0x81 && b <= 0xFE;
        trail = (b >= 0x41 && b <= 0x5A) || (b >= 0x61 && b <= 0x7A) || (b >= 0x81 && b <= 0xFE);
        break;
      case k950:
        lead = b >= 0x81 && b <= 0xFE;
        trail = (b >= 0x40 && b <= 0x7E) || (b >= 0xA1 && b <= 0xFE);
        break;
      default: break;
    }
    t.flags[b] = static_cast<unsigned char>((lead ? kLead : 0) | (trail ? kTrail : 0));
  }
  return t;
}

constexpr ByteTable kTables[kPageCount] = {makeTable(kSingle), makeTable(k932), makeTable(k936),
                                           makeTable(k949), makeTable(k950)};

// The code page number and its byte classes change together, so one word holds both
// (8-byte aligned so that the atomic needs no lock on any compiler).
struct alignas(8) State {
  int32_t codePage;
  int32_t page;
};
std::atomic<State> g_state{State{_MB_CP_SBCS, kSingle}};
static_assert(std::atomic<State>::is_always_lock_free, "the code page is read on every call");

// A snapshot of the active page for the length of one call.
struct Mb {
  const unsigned char* flags;
  bool dbcs;

  Mb() {
    const State s = g_state.load(std::memory_order_acquire);
    flags = kTables[s.page].flags;
    dbcs = s.page != kSingle;
  }
  bool lead(unsigned char b) const { return flags[b] & kLead; }
  bool trail(unsigned char b) const { return flags[b] & kTrail; }
  // A byte that can only ever stand for itself: safe for byte-level searches.
  bool standalone(unsigned char b) const { return flags[b] == 0; }
  // Never reads past the terminator: p[1] is looked at only when p[0] is a lead (never NUL).
  size_t len(const unsigned char* p) const { return (lead(p[0]) && trail(p[1])) ? 2 : 1; }
  // The character at p as one number (lead << 8 | trail for a double-byte one).
  unsigned int at(const unsigned char* p, size_t n) const {
    return n == 2 ? (static_cast<unsigned int>(p[0]) << 8 | p[1]) : p[0];
  }
};

// ASCII letters always fold the same way (a Turkish locale must not turn 'I' into a dotless
// i here); other single bytes follow the current C locale. A fold is kept only when the new
// byte plays the same part in the page as the old one: a Latin-1 locale would otherwise turn
// 0xFD, which no Shift-JIS lead takes as a trail, into 0xDD, which it does, and the text would
// split into characters differently after the fold.
unsigned char foldByte(const Mb& mb, unsigned char c, int folded) {
  return (folded > 0 && folded < 256 && mb.flags[folded] == mb.flags[c])
             ? static_cast<unsigned char>(folded)
             : c;
}

unsigned char lowerByte(const Mb& mb, unsigned char c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c;
  return foldByte(mb, c, std::tolower(c));
}

unsigned char upperByte(const Mb& mb, unsigned char c) {
  if (c < 0x80) return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c;
  return foldByte(mb, c, std::toupper(c));
}

int sign(unsigned int a, unsigned int b) { return a < b ? -1 : (a > b ? 1 : 0); }

// Compares character by character. byteLimit bounds the bytes looked at (a double-byte
// character cut by the limit counts as the end of the text, as the C runtime does);
// charLimit bounds the characters.
int compare(const Mb& mb, const unsigned char* a, const unsigned char* b, size_t byteLimit,
            size_t charLimit, bool fold) {
  while (charLimit != 0 && byteLimit != 0) {
    size_t na = mb.len(a), nb = mb.len(b);
    unsigned int ca = (na <= byteLimit) ? mb.at(a, na) : 0;
    unsigned int cb = (nb <= byteLimit) ? mb.at(b, nb) : 0;
    if (fold) {
      if (na == 1) ca = lowerByte(mb, static_cast<unsigned char>(ca));
      if (nb == 1) cb = lowerByte(mb, static_cast<unsigned char>(cb));
    }
    if (ca != cb) return sign(ca, cb);
    if (ca == 0) return 0;
    a += na;
    b += nb;
    byteLimit -= na;  // na == nb here: equal characters have equal lengths
    --charLimit;
  }
  return 0;
}

// Every byte-level occurrence of a needle, in order, in linear time overall (Knuth-Morris-
// Pratt, resuming where the last occurrence left off). Used when memmem keeps landing inside
// double-byte characters, where restarting a search after each false hit could cost O(n*m).
class Occurrences {
 public:
  Occurrences(const unsigned char* needle, size_t m, const unsigned char* from,
              const unsigned char* end)
      : needle_(needle), m_(m), fail_(m + 1), p_(from), end_(end) {
    size_t k = 0;
    for (size_t i = 1; i < m; ++i) {
      while (k > 0 && needle[i] != needle[k]) k = fail_[k];
      if (needle[i] == needle[k]) ++k;
      fail_[i + 1] = k;
    }
  }
  // The next occurrence, or null when there is none.
  const unsigned char* next() {
    while (p_ < end_) {
      while (k_ > 0 && *p_ != needle_[k_]) k_ = fail_[k_];
      if (*p_ == needle_[k_]) ++k_;
      ++p_;
      if (k_ == m_) {
        k_ = fail_[m_];
        return p_ - m_;
      }
    }
    return nullptr;
  }

 private:
  const unsigned char* needle_;
  size_t m_;
  std::vector<size_t> fail_;
  const unsigned char* p_;
  const unsigned char* end_;
  size_t k_ = 0;
};

// The characters of a span set, so that a span costs one look-up per character of the text
// however long the set is.
class CharSet {
 public:
  CharSet(const Mb& mb, const unsigned char* set) {
    for (const unsigned char* q = set; *q;) {
      const size_t k = mb.len(q);
      if (k == 1)
        single_[*q] = true;
      else
        double_.push_back(static_cast<uint16_t>(mb.at(q, 2)));
      q += k;
    }
    std::sort(double_.begin(), double_.end());
  }
  bool has(unsigned int c) const {
    return c < 256 ? single_[c]
                   : std::binary_search(double_.begin(), double_.end(), static_cast<uint16_t>(c));
  }

 private:
  bool single_[256] = {};
  std::vector<uint16_t> double_;
};

// When every byte of the set can only stand for itself, a byte-wise span ends where the
// character-wise one does, and the C library's is the fastest there is.
bool allStandalone(const Mb& mb, const unsigned char* set) {
  for (const unsigned char* q = set; *q; ++q)
    if (!mb.standalone(*q)) return false;
  return true;
}

size_t span(const unsigned char* str, const unsigned char* set, bool inSet) {
  const Mb mb;
  const char* s = reinterpret_cast<const char*>(str);
  const char* cs = reinterpret_cast<const char*>(set);
  if (!mb.dbcs || allStandalone(mb, set)) return inSet ? std::strspn(s, cs) : std::strcspn(s, cs);
  const CharSet members(mb, set);
  const unsigned char* p = str;
  while (*p) {
    const size_t n = mb.len(p);
    if (members.has(mb.at(p, n)) != inSet) break;
    p += n;
  }
  return static_cast<size_t>(p - str);
}

bool knownSingleBytePage(int cp) {
  switch (cp) {
    case 437:
    case 708:
    case 720:
    case 737:
    case 775:
    case 850:
    case 852:
    case 855:
    case 857:
    case 858:
    case 860:
    case 861:
    case 862:
    case 863:
    case 864:
    case 865:
    case 866:
    case 869:
    case 874:
    case 1250:
    case 1251:
    case 1252:
    case 1253:
    case 1254:
    case 1255:
    case 1256:
    case 1257:
    case 1258:
    case 10000:
    case 20127:
    case 28591:
    case 28592:
    case 28593:
    case 28594:
    case 28595:
    case 28596:
    case 28597:
    case 28598:
    case 28599:
    case 28603:
    case 28605:
    case CP_UTF8: return true;
    default: return false;
  }
}

}  // namespace

extern "C" int _setmbcp(int codePage) {
  // Linux has no separate OEM code page: the locale's is the nearest meaning.
  if (codePage == _MB_CP_ANSI || codePage == _MB_CP_LOCALE || codePage == _MB_CP_OEM)
    codePage = static_cast<int>(GetACP());
  Page page;
  switch (codePage) {
    case 932: page = k932; break;
    case 936: page = k936; break;
    case 949: page = k949; break;
    case 950: page = k950; break;
    case _MB_CP_SBCS: page = kSingle; break;
    default:
      if (!knownSingleBytePage(codePage)) {
        errno = EINVAL;
        return -1;
      }
      page = kSingle;
      break;
  }
  g_state.store(State{codePage, page}, std::memory_order_release);
  return 0;
}

// As the C runtime documents it: 0 while a single-byte code page is in force. UTF-8 is a
// multibyte page even though these functions take its bytes one at a time.
extern "C" int _getmbcp(void) {
  const State s = g_state.load(std::memory_order_acquire);
  return (s.page != kSingle || s.codePage == CP_UTF8) ? s.codePage : _MB_CP_SBCS;
}

// Only the low byte counts, as in the C runtime: host code that passes a plain char, sign
// extended to 0xFFFFFF81, must still find its lead bytes.
extern "C" int _ismbblead(unsigned int c) { return Mb().lead(static_cast<unsigned char>(c)); }

extern "C" int _ismbbtrail(unsigned int c) { return Mb().trail(static_cast<unsigned char>(c)); }

extern "C" unsigned char* _mbsinc(const unsigned char* p) {
  const Mb mb;
  return const_cast<unsigned char*>(p + mb.len(p));
}

extern "C" size_t _mbslen(const unsigned char* str) {
  const Mb mb;
  if (!mb.dbcs) return std::strlen(reinterpret_cast<const char*>(str));
  size_t n = 0;
  for (const unsigned char* p = str; *p; p += mb.len(p)) ++n;
  return n;
}

extern "C" unsigned char* _mbschr(const unsigned char* str, unsigned int ch) {
  const Mb mb;
  if (ch < 256 && (!mb.dbcs || mb.standalone(static_cast<unsigned char>(ch))))
    return reinterpret_cast<unsigned char*>(
        std::strchr(const_cast<char*>(reinterpret_cast<const char*>(str)), static_cast<int>(ch)));
  if (ch > 0xFFFF || (ch > 0xFF && !mb.dbcs)) return nullptr;
  for (const unsigned char* p = str; *p;) {
    const size_t n = mb.len(p);
    if (mb.at(p, n) == ch) return const_cast<unsigned char*>(p);
    p += n;
  }
  return nullptr;
}

extern "C" unsigned char* _mbsrchr(const unsigned char* str, unsigned int ch) {
  const Mb mb;
  if (ch < 256 && (!mb.dbcs || mb.standalone(static_cast<unsigned char>(ch))))
    return reinterpret_cast<unsigned char*>(
        std::strrchr(const_cast<char*>(reinterpret_cast<const char*>(str)), static_cast<int>(ch)));
  if (ch > 0xFFFF || (ch > 0xFF && !mb.dbcs)) return nullptr;
  const unsigned char* found = nullptr;
  for (const unsigned char* p = str; *p;) {
    const size_t n = mb.len(p);
    if (mb.at(p, n) == ch) found = p;
    p += n;
  }
  return const_cast<unsigned char*>(found);
}

extern "C" unsigned char* _mbsstr(const unsigned char* str, const unsigned char* sub) {
  const Mb mb;
  if (!mb.dbcs)
    return reinterpret_cast<unsigned char*>(std::strstr(
        const_cast<char*>(reinterpret_cast<const char*>(str)), reinterpret_cast<const char*>(sub)));
  const size_t n = std::strlen(reinterpret_cast<const char*>(str));
  const size_t m = std::strlen(reinterpret_cast<const char*>(sub));
  if (m == 0) return const_cast<unsigned char*>(str);
  if (m > n) return nullptr;
  const unsigned char* const end = str + n;

  // Byte-level hits, kept only when they start on a character boundary. The boundary cursor
  // only moves forward, so the walk is linear however many hits there are.
  const unsigned char* cursor = str;
  const unsigned char* from = str;
  int falseHits = 0;
  std::unique_ptr<Occurrences> kmp;
  for (;;) {
    const unsigned char* hit;
    if (kmp) {
      hit = kmp->next();
    } else {
      hit =
          static_cast<const unsigned char*>(memmem(from, static_cast<size_t>(end - from), sub, m));
    }
    if (!hit) break;
    while (cursor < hit) cursor += mb.len(cursor);
    if (cursor == hit) return const_cast<unsigned char*>(hit);
    from = hit + 1;
    if (!kmp && ++falseHits > 8) kmp = std::make_unique<Occurrences>(sub, m, from, end);
  }
  return nullptr;
}

extern "C" int _mbsnbcmp(const unsigned char* a, const unsigned char* b, size_t count) {
  const Mb mb;
  if (!mb.dbcs)
    return std::strncmp(reinterpret_cast<const char*>(a), reinterpret_cast<const char*>(b), count);
  return compare(mb, a, b, count, SIZE_MAX, false);
}

extern "C" int _mbsnbicmp(const unsigned char* a, const unsigned char* b, size_t count) {
  return compare(Mb(), a, b, count, SIZE_MAX, true);
}

extern "C" int _mbsnicmp(const unsigned char* a, const unsigned char* b, size_t count) {
  return compare(Mb(), a, b, SIZE_MAX, count, true);
}

extern "C" int _mbsicmp(const unsigned char* a, const unsigned char* b) {
  return compare(Mb(), a, b, SIZE_MAX, SIZE_MAX, true);
}

extern "C" size_t _mbsspn(const unsigned char* str, const unsigned char* set) {
  return span(str, set, true);
}

extern "C" size_t _mbscspn(const unsigned char* str, const unsigned char* set) {
  return span(str, set, false);
}

extern "C" unsigned char* _mbsnbcpy(unsigned char* dest, const unsigned char* src, size_t count) {
  const Mb mb;
  size_t i = 0;
  while (i < count && src[i]) {
    const size_t n = mb.len(src + i);
    if (n > count - i) break;  // half a character would leave a dangling lead byte
    dest[i] = src[i];
    if (n == 2) dest[i + 1] = src[i + 1];
    i += n;
  }
  if (i < count) std::memset(dest + i, 0, count - i);
  return dest;
}

extern "C" unsigned char* _mbsnbset(unsigned char* str, unsigned int ch, size_t count) {
  const Mb mb;
  const size_t len = strnlen(reinterpret_cast<const char*>(str), count);
  // Before overwriting: does the last byte set fall on the lead of a double-byte character?
  // Its trail, left alone, would then read as a character of its own.
  bool cut = false;
  if (mb.dbcs && str[len] != 0) {
    size_t i = 0;
    while (i < len) i += mb.len(str + i);
    cut = i > len;
  }
  if (ch < 256 || !mb.dbcs) {
    std::memset(str, static_cast<int>(ch & 0xFF), len);
  } else {
    // A NUL half would cut the text short; the C runtime sets a blank there instead.
    const unsigned char low = (ch & 0xFF) != 0 ? static_cast<unsigned char>(ch) : ' ';
    size_t i = 0;
    for (; i + 2 <= len; i += 2) {
      str[i] = static_cast<unsigned char>(ch >> 8);
      str[i + 1] = low;
    }
    // No room for a whole character: a blank keeps the text well formed.
    if (i < len) str[i] = ' ';
  }
  if (cut) str[len] = ' ';
  return str;
}

extern "C" unsigned char* _mbslwr(unsigned char* str) {
  const Mb mb;
  for (unsigned char* p = str; *p;) {
    const size_t n = mb.len(p);
    if (n == 1) *p = lowerByte(mb, *p);
    p += n;
  }
  return str;
}

extern "C" unsigned char* _mbsupr(unsigned char* str) {
  const Mb mb;
  for (unsigned char* p = str; *p;) {
    const size_t n = mb.len(p);
    if (n == 1) *p = upperByte(mb, *p);
    p += n;
  }
  return str;
}
