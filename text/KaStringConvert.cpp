// CKaString conversions: hexadecimal byte text in both directions, digit tests and the
// library's reversible text shift.
#include <plinth/KaString.h>
#include <plinth/afx/Exception.h>
#include <plinth/win32.h>

#include <cctype>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "text/ReplaceScan.h"

namespace {

// The value of an ASCII hexadecimal digit, or -1; digits in other scripts do not count for
// sscanf("%x") in any locale.
struct HexDigits {
  signed char value[256];
  constexpr HexDigits() : value() {
    for (int c = 0; c < 256; ++c) {
      value[c] = c >= '0' && c <= '9'   ? static_cast<signed char>(c - '0')
                 : c >= 'a' && c <= 'f' ? static_cast<signed char>(c - 'a' + 10)
                 : c >= 'A' && c <= 'F' ? static_cast<signed char>(c - 'A' + 10)
                                        : -1;
    }
  }
};
constexpr HexDigits kHex;

// Each byte as its two lowercase digits, ready to copy.
struct HexPairs {
  char text[256][2];
  constexpr HexPairs() : text() {
    for (int b = 0; b < 256; ++b) {
      text[b][0] = "0123456789abcdef"[b >> 4];
      text[b][1] = "0123456789abcdef"[b & 15];
    }
  }
};
constexpr HexPairs kPairs;

// What sscanf(s, "%x", &value) makes of the text s, of at most two characters and ended by a
// NUL: the low 8 bits of the number, or -1 when there is none. Same rules: white space of the
// current locale first, then one optional sign, then the digits up to the first other byte
// (which is how "0x" alone reads as 0).
int ScanPair(const unsigned char* s) {
  const int first = kHex.value[s[0]];
  if (first >= 0) {
    const int second = kHex.value[s[1]];
    return second >= 0 ? (first << 4) | second : first;
  }
  if (s[0] == '\0') return -1;
  const unsigned char* p = s;
  while (*p != '\0' && std::isspace(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    ++p;
  }
  // Two characters leave room for one digit at most after a space or a sign.
  const int digit = kHex.value[*p];
  if (digit < 0) return -1;
  return (negative ? -digit : digit) & 0xFF;
}

bool IsDecimal(unsigned char c) { return c >= '0' && c <= '9'; }

int Weight(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  return IsDecimal(u) ? u - '0' : static_cast<int>(static_cast<signed char>(u));
}

// The key of the shift for position i (i >= 1): the weight of the first character alone at
// position 1, of the first two from position 2 on.
int KeyAt(size_t i, const char* base) {
  return i == 1 ? Weight(base[0]) : Weight(base[0]) + Weight(base[1]);
}

// Removes every non-overlapping occurrence of what (scanning left to right, past NULs too)
// from text[0, length) in place and returns the new length. Unchanged stretches move as
// blocks, so the cost is one scan of the text whatever the number of occurrences.
size_t RemoveEvery(char* text, size_t length, const char* what, size_t whatLength) {
  if (whatLength == 0 || whatLength > length) return length;
  const char first = what[0];
  size_t kept = 0;  // bytes of the result so far
  size_t from = 0;  // first byte not yet moved into the result
  size_t scan = 0;
  while (scan + whatLength <= length) {
    const void* hit = std::memchr(text + scan, first, length - whatLength + 1 - scan);
    if (!hit) break;
    const size_t at = static_cast<size_t>(static_cast<const char*>(hit) - text);
    if (std::memcmp(text + at, what, whatLength) != 0) {
      scan = at + 1;
      continue;
    }
    std::memmove(text + kept, text + from, at - from);
    kept += at - from;
    from = scan = at + whatLength;
  }
  std::memmove(text + kept, text + from, length - from);
  return kept + length - from;
}

// The length of text[0, length) up to its first NUL, if any.
int UpToNul(const char* text, size_t length) {
  const void* nul = std::memchr(text, '\0', length);
  return static_cast<int>(nul ? static_cast<const char*>(nul) - text
                              : static_cast<ptrdiff_t>(length));
}

}  // namespace

bool CKaString::IsDigit() const {
  const char* text = GetString();
  const int length = GetLength();
  for (int i = 0; i < length; ++i)
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
  return true;
}

int CKaString::GetSum(CString text) {
  const int counted = text.GetLength() < 2 ? text.GetLength() : 2;
  int sum = 0;
  for (int i = 0; i < counted; ++i) sum += Weight(text.GetString()[i]);
  return sum;
}

long CKaString::ConvertToBinary(const CString& separator, CByteArray& bytes) {
  // The separator may be this very object, which the first removal changes.
  const CString removed(separator);
  if (plinth::text::LeadBytesOfActivePage() == nullptr) {
    // Where every byte is a character, each removal is a plain byte-level pass, done in place.
    char* buffer = GetBuffer();
    size_t length = static_cast<size_t>(GetLength());
    length = RemoveEvery(buffer, length, removed.GetString(), std::strlen(removed.GetString()));
    length = RemoveEvery(buffer, length, "\\\n", 2);
    length = RemoveEvery(buffer, length, "\\\r", 2);
    ReleaseBuffer(static_cast<int>(length));
  } else {
    // A double-byte page may hide a backslash or a separator byte in a trail byte; the string's
    // own replacement knows where characters begin.
    Replace(removed.GetString(), "");
    Replace("\\\n", "");
    Replace("\\\r", "");
  }

  const size_t length = static_cast<size_t>(GetLength());
  if (length == 0) return S_OK;
  const unsigned char* text = reinterpret_cast<const unsigned char*>(GetString());
  const INT_PTR before = bytes.GetSize();
  const size_t pairs = (length + 1) / 2;
  bytes.SetSize(before + static_cast<INT_PTR>(pairs));
  BYTE* out = bytes.GetData() + before;
  bool complete = true;
  size_t i = 0;
  // Whole pairs of digits, the text's bulk, skip the general reader.
  for (; i + 1 < length; i += 2) {
    const int high = kHex.value[text[i]];
    const int low = kHex.value[text[i + 1]];
    if ((high | low) >= 0) {
      *out++ = static_cast<BYTE>((high << 4) | low);
      continue;
    }
    const unsigned char pair[3] = {text[i], text[i + 1], 0};
    const int value = ScanPair(pair);
    if (value >= 0)
      *out++ = static_cast<BYTE>(value);
    else
      complete = false;
  }
  if (i < length) {
    const unsigned char last[3] = {text[i], 0, 0};
    const int value = ScanPair(last);
    if (value >= 0)
      *out++ = static_cast<BYTE>(value);
    else
      complete = false;
  }
  bytes.SetSize(static_cast<INT_PTR>(out - bytes.GetData()));
  return complete ? S_OK : E_FAIL;
}

CString CKaString::ConvertBinaryToString(unsigned char* data, unsigned long size,
                                         const CString& separator, int lineBytes) {
  CString result;
  if (size == 0) return result;
  const size_t count = static_cast<size_t>(size);
  const size_t separatorLength = static_cast<size_t>(separator.GetLength());
  // Unsigned, so that a negative count of bytes per line never divides to a break.
  const uint64_t perLine = static_cast<uint32_t>(lineBytes);
  const uint64_t breaks = perLine == 0 ? 0 : (static_cast<uint64_t>(count) - 1) / perLine;
  // Checked in 64 bits first: the sum of the parts may not fit the string's int length.
  const uint64_t total = 2 * static_cast<uint64_t>(count) +
                         static_cast<uint64_t>(separatorLength) * (count - 1) + 2 * breaks;
  if (total > static_cast<uint64_t>(INT_MAX) || count > static_cast<size_t>(INT_MAX))
    AfxThrowMemoryException();

  char* out = result.GetBuffer(static_cast<int>(total));
  const char* separatorText = separator.GetString();
  const char oneSeparator = separatorLength == 1 ? separatorText[0] : '\0';
  // Runs of bytes between line breaks; the separator shapes the inner loop. A break follows
  // the byte at index nextBreak, a multiple of perLine (never index 0).
  uint64_t nextBreak = perLine == 0 ? UINT64_MAX : perLine;
  size_t i = 0;
  while (i < count) {
    const size_t runEnd = nextBreak < count ? static_cast<size_t>(nextBreak) + 1 : count;
    if (separatorLength == 0) {
      for (; i < runEnd; ++i, out += 2) std::memcpy(out, kPairs.text[data[i]], 2);
    } else if (separatorLength == 1) {
      for (; i < runEnd; ++i, out += 3) {
        std::memcpy(out, kPairs.text[data[i]], 2);
        out[2] = oneSeparator;
      }
      if (i == count) --out;  // no separator after the last byte
    } else {
      for (; i < runEnd; ++i) {
        std::memcpy(out, kPairs.text[data[i]], 2);
        out += 2;
        if (i + 1 < count) {
          std::memcpy(out, separatorText, separatorLength);
          out += separatorLength;
        }
      }
    }
    if (runEnd - 1 == nextBreak) {
      out[0] = '\\';
      out[1] = '\n';
      out += 2;
      nextBreak += perLine;
    }
  }
  result.ReleaseBuffer(static_cast<int>(total));
  return result;
}

CString CKaString::Encode() const {
  const size_t length = static_cast<size_t>(GetLength());
  const char* s = GetString();
  CString result;
  if (length == 0) return result;
  char* r = result.GetBuffer(static_cast<int>(length));
  r[0] = s[0];
  for (size_t i = 1; i < length; ++i)
    r[i] = static_cast<char>(static_cast<unsigned char>(s[i]) + KeyAt(i, s));
  result.ReleaseBuffer(UpToNul(r, length));
  return result;
}

CString CKaString::Decode() const {
  const size_t length = static_cast<size_t>(GetLength());
  const char* e = GetString();
  CString result;
  if (length == 0) return result;
  char* d = result.GetBuffer(static_cast<int>(length));
  d[0] = e[0];
  // The key reads characters already decoded, which only the first two ever are.
  for (size_t i = 1; i < length; ++i)
    d[i] = static_cast<char>(static_cast<unsigned char>(e[i]) - KeyAt(i, d));
  result.ReleaseBuffer(UpToNul(d, length));
  return result;
}
