// Automation strings, GUID text and 16-bit case-insensitive comparison on POSIX.
//
// The memory layout is the Windows one, which hosts may rely on (reading the length prefix, or
// handing a string with embedded NULs through a copy): a DWORD byte count, the bytes, then two
// NUL bytes. Strings come from malloc, so one allocated here may be freed only here.
#include <plinth/win32.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/FaultInjection.h"

namespace {

constexpr size_t kPrefix = sizeof(DWORD);
constexpr size_t kTerminator = sizeof(OLECHAR);

// The largest byte count whose block (prefix, bytes, terminator) still fits 32 bits, as the
// count in the prefix must.
constexpr uint64_t kMaxBytes = UINT32_MAX - kPrefix - kTerminator;

// A block for byteLength bytes with its prefix and terminator written; the bytes themselves are
// left to the caller. Null when out of memory.
BSTR Allocate(uint64_t byteLength) {
  if (byteLength > kMaxBytes || plinth::platform::FaultInjected("SysAllocString")) return nullptr;
  auto* block = static_cast<unsigned char*>(std::malloc(kPrefix + byteLength + kTerminator));
  if (!block) return nullptr;
  const DWORD prefix = static_cast<DWORD>(byteLength);
  std::memcpy(block, &prefix, kPrefix);
  std::memset(block + kPrefix + byteLength, 0, kTerminator);
  return reinterpret_cast<BSTR>(block + kPrefix);
}

DWORD PrefixOf(BSTR text) {
  DWORD prefix;
  std::memcpy(&prefix, reinterpret_cast<const unsigned char*>(text) - kPrefix, kPrefix);
  return prefix;
}

size_t UnitLength(const OLECHAR* text) {
  size_t n = 0;
  while (text[n] != 0) ++n;
  return n;
}

OLECHAR FoldAscii(OLECHAR c) { return (c >= u'A' && c <= u'Z') ? static_cast<OLECHAR>(c + 32) : c; }

}  // namespace

extern "C" BSTR SysAllocString(const OLECHAR* text) {
  if (!text) return nullptr;
  const size_t length = UnitLength(text);
  if (length > kMaxBytes / sizeof(OLECHAR)) return nullptr;
  return SysAllocStringLen(text, static_cast<UINT>(length));
}

extern "C" BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
  const uint64_t bytes = static_cast<uint64_t>(length) * sizeof(OLECHAR);
  BSTR result = Allocate(bytes);
  if (!result) return nullptr;
  if (text)
    std::memcpy(result, text, bytes);
  else
    std::memset(result, 0, bytes);
  return result;
}

extern "C" BSTR SysAllocStringByteLen(LPCSTR bytes, UINT byteLength) {
  BSTR result = Allocate(byteLength);
  if (!result) return nullptr;
  if (bytes)
    std::memcpy(result, bytes, byteLength);
  else
    std::memset(result, 0, byteLength);
  return result;
}

extern "C" UINT SysStringLen(BSTR text) { return text ? PrefixOf(text) / sizeof(OLECHAR) : 0; }

extern "C" UINT SysStringByteLen(BSTR text) { return text ? PrefixOf(text) : 0; }

extern "C" void SysFreeString(BSTR text) {
  if (text) std::free(reinterpret_cast<unsigned char*>(text) - kPrefix);
}

extern "C" HRESULT VarBstrCat(BSTR left, BSTR right, LPBSTR result) {
  if (!result) return E_INVALIDARG;
  *result = nullptr;
  if (plinth::platform::FaultInjected("VarBstrCat")) return E_OUTOFMEMORY;
  const uint64_t leftBytes = SysStringByteLen(left);
  const uint64_t rightBytes = SysStringByteLen(right);
  BSTR joined = Allocate(leftBytes + rightBytes);
  if (!joined) return E_OUTOFMEMORY;
  auto* out = reinterpret_cast<unsigned char*>(joined);
  if (leftBytes) std::memcpy(out, left, leftBytes);
  if (rightBytes) std::memcpy(out + leftBytes, right, rightBytes);
  *result = joined;
  return S_OK;
}

extern "C" int StringFromGUID2(REFGUID guid, LPOLESTR buffer, int bufferLength) {
  constexpr int kNeeded = 39;  // 38 characters and the NUL
  if (!buffer || bufferLength < kNeeded) return 0;
  static const char kDigits[] = "0123456789ABCDEF";
  OLECHAR* out = buffer;
  auto hex = [&out](uint32_t value, int digits) {
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
      *out++ = static_cast<OLECHAR>(kDigits[(value >> shift) & 15]);
  };
  *out++ = u'{';
  hex(guid.Data1, 8);
  *out++ = u'-';
  hex(guid.Data2, 4);
  *out++ = u'-';
  hex(guid.Data3, 4);
  *out++ = u'-';
  hex(guid.Data4[0], 2);
  hex(guid.Data4[1], 2);
  *out++ = u'-';
  for (int i = 2; i < 8; ++i) hex(guid.Data4[i], 2);
  *out++ = u'}';
  *out = 0;
  return kNeeded;
}

extern "C" int _wcsicmp(const OLECHAR* a, const OLECHAR* b) {
  for (;; ++a, ++b) {
    const OLECHAR x = FoldAscii(*a);
    const OLECHAR y = FoldAscii(*b);
    if (x != y || x == 0) return static_cast<int>(x) - static_cast<int>(y);
  }
}
