#include <plinth/afx/String.h>

#include <plinth/afx/Exception.h>
#include <plinth/afx/Module.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

// Buffer layout: a Header, then capacity + 1 bytes of text (room for the NUL). m_pszData points
// just past the header. A buffer with a negative reference count is static and shared by every
// empty string: it is never counted, never freed and never written.
//
// Copies share a buffer without allocating (the copy constructor cannot fail), so a buffer
// handed out by GetBuffer is unique only until the string is copied: fill it and call
// ReleaseBuffer before copying the string.

namespace {

struct Header {
  std::atomic<int> refs;
  int length;
  int capacity;
};

struct EmptyBuffer {
  Header header;
  char text[1];
};

// Constant-initialised, so strings built by static constructors of any module find it ready.
EmptyBuffer g_empty = {{{-1}, 0, 0}, {0}};

inline Header* HeaderOf(const char* text) noexcept {
  return reinterpret_cast<Header*>(const_cast<char*>(text)) - 1;
}

inline char* EmptyText() noexcept { return g_empty.text; }

inline bool IsStatic(const Header* header) noexcept {
  return header->refs.load(std::memory_order_relaxed) < 0;
}

inline void AddRef(char* text) noexcept {
  Header* header = HeaderOf(text);
  if (!IsStatic(header)) header->refs.fetch_add(1, std::memory_order_relaxed);
}

inline void Release(char* text) noexcept {
  Header* header = HeaderOf(text);
  // The address test is redundant with the count, but lets the compiler see that the shared
  // empty buffer never reaches free().
  if (text == g_empty.text || IsStatic(header)) return;
  if (header->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) std::free(header);
}

inline bool IsUnique(const char* text) noexcept {
  return HeaderOf(text)->refs.load(std::memory_order_acquire) == 1;
}

// A fresh, unshared buffer of the given capacity, empty.
char* Allocate(int capacity) {
  if (capacity < 0) AfxThrowMemoryException();
  void* block = std::malloc(sizeof(Header) + static_cast<size_t>(capacity) + 1);
  if (!block) AfxThrowMemoryException();
  Header* header = ::new (block) Header;
  header->refs.store(1, std::memory_order_relaxed);
  header->length = 0;
  header->capacity = capacity;
  char* text = reinterpret_cast<char*>(header + 1);
  text[0] = '\0';
  return text;
}

// Lengths are ints: a sum that would not fit is as fatal as exhausted memory.
int CheckedSum(int a, int b) {
  int64_t sum = static_cast<int64_t>(a) + b;
  if (sum > INT_MAX) AfxThrowMemoryException();
  return static_cast<int>(sum);
}

// The capacity to allocate when a buffer of capacity old must hold needed bytes: grows by half
// at least, so that appending byte by byte stays linear.
int GrownCapacity(int old, int needed) {
  int64_t grown = static_cast<int64_t>(old) + old / 2;
  grown = std::max<int64_t>(grown, needed);
  return static_cast<int>(std::min<int64_t>(grown, INT_MAX));
}

inline int SafeLength(const char* text) {
  if (!text) return 0;
  size_t length = std::strlen(text);
  if (length > static_cast<size_t>(INT_MAX)) AfxThrowMemoryException();
  return static_cast<int>(length);
}

inline const unsigned char* Bytes(const char* text) noexcept {
  return reinterpret_cast<const unsigned char*>(text);
}

// The byte length of the character at position i of a text of the given length, as the
// runtime steps: a lead byte followed by a trail byte makes a double-byte character; anything
// else, a lead byte before a NUL or at the end included, is one byte.
inline int CharLength(const char* text, int i, int length) noexcept {
  if (i + 1 < length && _ismbblead(static_cast<unsigned char>(text[i])) &&
      _ismbbtrail(static_cast<unsigned char>(text[i + 1])))
    return 2;
  return 1;
}

// Whether the character at text[0..length) is one of the characters of the NUL-terminated set.
bool InSet(const char* text, int length, const char* set) noexcept {
  int setLength = static_cast<int>(std::strlen(set));
  for (int i = 0; i < setLength;) {
    int step = CharLength(set, i, setLength);
    if (step == length && std::memcmp(set + i, text, static_cast<size_t>(length)) == 0) return true;
    i += step;
  }
  return false;
}

// A writable buffer for at least needed bytes, grown geometrically so that repeated inserts
// stay linear.
char* BufferFor(CString& text, int needed) {
  const int capacity = HeaderOf(text.GetString())->capacity;
  return text.GetBuffer(capacity >= needed ? needed : GrownCapacity(capacity, needed));
}

inline bool IsSpace(const char* text, int length) noexcept {
  return length == 1 && std::isspace(static_cast<unsigned char>(text[0]));
}

}  // namespace

// --- construction ---------------------------------------------------------------------------

CString::CString() noexcept : m_pszData(EmptyText()) {}

CString::CString(const CString& other) noexcept : m_pszData(other.m_pszData) { AddRef(m_pszData); }

CString::CString(CString&& other) noexcept : m_pszData(other.m_pszData) {
  other.m_pszData = EmptyText();
}

CString::CString(const char* text) : m_pszData(EmptyText()) { SetString(text); }

CString::CString(const char* text, int length) : m_pszData(EmptyText()) { SetString(text, length); }

CString::CString(char ch, int repeat) : m_pszData(EmptyText()) {
  if (repeat <= 0) return;
  m_pszData = Allocate(repeat);
  std::memset(m_pszData, static_cast<unsigned char>(ch), static_cast<size_t>(repeat));
  m_pszData[repeat] = '\0';
  HeaderOf(m_pszData)->length = repeat;
}

CString::CString(const unsigned char* text) : CString(reinterpret_cast<const char*>(text)) {}

CString::CString(const wchar_t* text) : m_pszData(EmptyText()) { *this = text; }

CString::CString(const wchar_t* text, int length) : m_pszData(EmptyText()) {
  if (length < 0) AfxThrowInvalidArgException();
  if (!text || length == 0) return;
  int size = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return;
  char* buffer = GetBuffer(size);
  size = WideCharToMultiByte(CP_ACP, 0, text, length, buffer, size, nullptr, nullptr);
  ReleaseBuffer(size > 0 ? size : 0);
}

CString::~CString() { Release(m_pszData); }

// --- assignment -----------------------------------------------------------------------------

CString& CString::operator=(const CString& other) noexcept {
  if (m_pszData != other.m_pszData) {
    AddRef(other.m_pszData);
    Release(m_pszData);
    m_pszData = other.m_pszData;
  }
  return *this;
}

CString& CString::operator=(CString&& other) noexcept {
  if (this != &other) {
    Release(m_pszData);
    m_pszData = other.m_pszData;
    other.m_pszData = EmptyText();
  }
  return *this;
}

CString& CString::operator=(const char* text) {
  SetString(text);
  return *this;
}

CString& CString::operator=(char ch) {
  SetString(&ch, 1);
  return *this;
}

CString& CString::operator=(const unsigned char* text) {
  SetString(reinterpret_cast<const char*>(text));
  return *this;
}

CString& CString::operator=(const wchar_t* text) {
  if (!text) {
    Empty();
    return *this;
  }
  // The size includes the NUL, since the whole text up to it is converted.
  int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) {
    Empty();
    return *this;
  }
  CString converted;
  char* buffer = converted.GetBuffer(size - 1);
  size = WideCharToMultiByte(CP_ACP, 0, text, -1, buffer, size, nullptr, nullptr);
  converted.ReleaseBuffer(size > 0 ? size - 1 : 0);
  *this = std::move(converted);
  return *this;
}

void CString::SetString(const char* text) { SetString(text, SafeLength(text)); }

void CString::SetString(const char* text, int length) {
  if (length < 0 || (!text && length > 0)) AfxThrowInvalidArgException();
  if (length == 0) {
    Empty();
    return;
  }
  Header* header = HeaderOf(m_pszData);
  if (IsUnique(m_pszData) && header->capacity >= length) {
    std::memmove(m_pszData, text, static_cast<size_t>(length));
  } else {
    // The old buffer goes only after the copy, in case text lies inside it.
    char* fresh = Allocate(length);
    std::memcpy(fresh, text, static_cast<size_t>(length));
    Release(m_pszData);
    m_pszData = fresh;
    header = HeaderOf(m_pszData);
  }
  m_pszData[length] = '\0';
  header->length = length;
}

// --- size and access ------------------------------------------------------------------------

int CString::GetLength() const noexcept { return HeaderOf(m_pszData)->length; }

bool CString::IsEmpty() const noexcept { return GetLength() == 0; }

void CString::Empty() noexcept {
  Release(m_pszData);
  m_pszData = EmptyText();
}

const char* CString::GetString() const noexcept { return m_pszData; }

char CString::GetAt(int index) const {
  if (index < 0 || index > GetLength()) AfxThrowInvalidArgException();
  return m_pszData[index];
}

void CString::SetAt(int index, char ch) {
  if (index < 0 || index >= GetLength()) AfxThrowInvalidArgException();
  GetBuffer(0)[index] = ch;
}

// --- buffer ---------------------------------------------------------------------------------

char* CString::GetBuffer(int minLength) {
  const int length = GetLength();
  const int wanted = std::max({minLength, length, 0});
  Header* header = HeaderOf(m_pszData);
  if (!IsStatic(header) && IsUnique(m_pszData) && header->capacity >= wanted) return m_pszData;
  // The shared empty buffer is never handed out: it must stay empty for everyone.
  char* fresh = Allocate(wanted);
  std::memcpy(fresh, m_pszData, static_cast<size_t>(length) + 1);
  HeaderOf(fresh)->length = length;
  Release(m_pszData);
  m_pszData = fresh;
  return m_pszData;
}

char* CString::GetBuffer() { return GetBuffer(0); }

void CString::ReleaseBuffer(int newLength) {
  Header* header = HeaderOf(m_pszData);
  if (IsStatic(header)) {
    if (newLength > 0) AfxThrowInvalidArgException();
    return;
  }
  if (!IsUnique(m_pszData)) {
    GetBuffer(0);
    header = HeaderOf(m_pszData);
  }
  if (newLength < 0) {
    const void* nul = std::memchr(m_pszData, '\0', static_cast<size_t>(header->capacity) + 1);
    newLength =
        nul ? static_cast<int>(static_cast<const char*>(nul) - m_pszData) : header->capacity;
  }
  if (newLength > header->capacity) AfxThrowInvalidArgException();
  m_pszData[newLength] = '\0';
  header->length = newLength;
}

char* CString::GetBufferSetLength(int length) {
  if (length < 0) AfxThrowInvalidArgException();
  char* buffer = GetBuffer(length);
  ReleaseBuffer(length);
  return buffer;
}

void CString::Preallocate(int length) { GetBuffer(length); }

void CString::FreeExtra() {
  Header* header = HeaderOf(m_pszData);
  if (IsStatic(header) || header->capacity == header->length) return;
  if (header->length == 0) {
    Empty();
    return;
  }
  // A shared buffer is left alone: shrinking it would cost a copy and save nothing.
  if (!IsUnique(m_pszData)) return;
  char* fresh = Allocate(header->length);
  std::memcpy(fresh, m_pszData, static_cast<size_t>(header->length) + 1);
  HeaderOf(fresh)->length = header->length;
  Release(m_pszData);
  m_pszData = fresh;
}

// --- appending ------------------------------------------------------------------------------

void CString::Append(const char* text, int length) {
  if (length < 0 || (!text && length > 0)) AfxThrowInvalidArgException();
  if (length == 0) return;
  const int oldLength = GetLength();
  const int newLength = CheckedSum(oldLength, length);
  Header* header = HeaderOf(m_pszData);
  if (!IsStatic(header) && IsUnique(m_pszData) && header->capacity >= newLength) {
    std::memmove(m_pszData + oldLength, text, static_cast<size_t>(length));
  } else {
    char* fresh = Allocate(GrownCapacity(header->capacity, newLength));
    std::memcpy(fresh, m_pszData, static_cast<size_t>(oldLength));
    std::memcpy(fresh + oldLength, text, static_cast<size_t>(length));
    Release(m_pszData);
    m_pszData = fresh;
    header = HeaderOf(fresh);
  }
  m_pszData[newLength] = '\0';
  header->length = newLength;
}

void CString::Append(const CString& text) { Append(text.m_pszData, text.GetLength()); }

void CString::AppendChar(char ch) { Append(&ch, 1); }

CString& CString::operator+=(const CString& text) {
  if (IsEmpty()) {
    *this = text;
  } else {
    Append(text);
  }
  return *this;
}

CString& CString::operator+=(const char* text) {
  Append(text, SafeLength(text));
  return *this;
}

CString& CString::operator+=(char ch) {
  Append(&ch, 1);
  return *this;
}

CString& CString::operator+=(const unsigned char* text) {
  return *this += reinterpret_cast<const char*>(text);
}

namespace {

CString Concatenate(const char* a, int aLength, const char* b, int bLength) {
  CString result;
  if (aLength == 0 && bLength == 0) return result;
  char* buffer = result.GetBuffer(CheckedSum(aLength, bLength));
  std::memcpy(buffer, a, static_cast<size_t>(aLength));
  std::memcpy(buffer + aLength, b, static_cast<size_t>(bLength));
  result.ReleaseBuffer(aLength + bLength);
  return result;
}

}  // namespace

CString operator+(const CString& a, const CString& b) {
  return Concatenate(a.GetString(), a.GetLength(), b.GetString(), b.GetLength());
}

CString operator+(const CString& a, const char* b) {
  return Concatenate(a.GetString(), a.GetLength(), b ? b : "", SafeLength(b));
}

CString operator+(const char* a, const CString& b) {
  return Concatenate(a ? a : "", SafeLength(a), b.GetString(), b.GetLength());
}

CString operator+(const CString& a, char b) {
  return Concatenate(a.GetString(), a.GetLength(), &b, 1);
}

CString operator+(char a, const CString& b) {
  return Concatenate(&a, 1, b.GetString(), b.GetLength());
}

// --- comparison -----------------------------------------------------------------------------

int CString::Compare(const char* text) const { return std::strcmp(m_pszData, text ? text : ""); }

int CString::CompareNoCase(const char* text) const {
  return _mbsicmp(Bytes(m_pszData), Bytes(text ? text : ""));
}

namespace {

// Two strings compare over all their bytes, embedded NULs included, so that equal strings
// are exactly those with equal bytes (the maps rely on this).
int CompareWhole(const CString& a, const CString& b) {
  const int aLength = a.GetLength();
  const int bLength = b.GetLength();
  int order =
      std::memcmp(a.GetString(), b.GetString(), static_cast<size_t>(std::min(aLength, bLength)));
  if (order != 0) return order;
  return aLength < bLength ? -1 : (aLength > bLength ? 1 : 0);
}

}  // namespace

bool operator==(const CString& a, const CString& b) {
  return a.GetLength() == b.GetLength() && CompareWhole(a, b) == 0;
}
bool operator==(const CString& a, const char* b) { return a.Compare(b) == 0; }
bool operator==(const char* a, const CString& b) { return b.Compare(a) == 0; }
bool operator!=(const CString& a, const CString& b) { return !(a == b); }
bool operator!=(const CString& a, const char* b) { return !(a == b); }
bool operator!=(const char* a, const CString& b) { return !(a == b); }
bool operator<(const CString& a, const CString& b) { return CompareWhole(a, b) < 0; }
bool operator>(const CString& a, const CString& b) { return CompareWhole(a, b) > 0; }
bool operator<=(const CString& a, const CString& b) { return CompareWhole(a, b) <= 0; }
bool operator>=(const CString& a, const CString& b) { return CompareWhole(a, b) >= 0; }

// --- extraction -----------------------------------------------------------------------------

CString CString::Mid(int first) const { return Mid(first, INT_MAX); }

CString CString::Mid(int first, int count) const {
  const int length = GetLength();
  first = std::max(first, 0);
  count = std::max(count, 0);
  if (first >= length || count == 0) return CString();
  count = std::min(count, length - first);
  if (first == 0 && count == length) return *this;
  return CString(m_pszData + first, count);
}

CString CString::Left(int count) const { return Mid(0, count); }

CString CString::Right(int count) const {
  const int length = GetLength();
  if (count <= 0) return CString();
  if (count >= length) return *this;
  return CString(m_pszData + length - count, count);
}

CString CString::SpanIncluding(const char* charSet) const {
  if (!charSet) return CString();
  return Left(static_cast<int>(_mbsspn(Bytes(m_pszData), Bytes(charSet))));
}

CString CString::SpanExcluding(const char* charSet) const {
  if (!charSet) return *this;
  return Left(static_cast<int>(_mbscspn(Bytes(m_pszData), Bytes(charSet))));
}

// --- changing in place ----------------------------------------------------------------------

CString& CString::MakeUpper() {
  // The runtime stops at a NUL; embedded NULs must not hide the text after them.
  const int length = GetLength();
  if (length == 0) return *this;
  char* buffer = GetBuffer(0);
  for (int i = 0; i < length; i += static_cast<int>(std::strlen(buffer + i)) + 1)
    _mbsupr(reinterpret_cast<unsigned char*>(buffer + i));
  return *this;
}

CString& CString::MakeLower() {
  const int length = GetLength();
  if (length == 0) return *this;
  char* buffer = GetBuffer(0);
  for (int i = 0; i < length; i += static_cast<int>(std::strlen(buffer + i)) + 1)
    _mbslwr(reinterpret_cast<unsigned char*>(buffer + i));
  return *this;
}

CString& CString::MakeReverse() {
  // Reverses characters, not bytes: a double-byte character keeps its lead byte first.
  const int length = GetLength();
  if (length < 2) return *this;
  CString reversed;
  char* target = reversed.GetBuffer(length);
  for (int i = 0; i < length;) {
    const int step = CharLength(m_pszData, i, length);
    std::memcpy(target + length - i - step, m_pszData + i, static_cast<size_t>(step));
    i += step;
  }
  reversed.ReleaseBuffer(length);
  *this = std::move(reversed);
  return *this;
}

int CString::Replace(const char* oldText, const char* newText) {
  const int oldLength = SafeLength(oldText);
  if (oldLength == 0) return 0;
  const int newLength = SafeLength(newText);
  const int length = GetLength();

  // One pass over all the bytes, embedded NULs included (old holds none, so no match spans
  // one), with a prefix table so that the scan stays linear: the runtime's substring search
  // would rescan from each match. A byte-level hit counts only where a character starts.
  std::vector<int> fallback;
  try {
    fallback.resize(static_cast<size_t>(oldLength));
  } catch (const std::bad_alloc&) {
    AfxThrowMemoryException();
  }
  for (int i = 1, k = 0; i < oldLength; ++i) {
    while (k > 0 && oldText[i] != oldText[k]) k = fallback[k - 1];
    if (oldText[i] == oldText[k]) ++k;
    fallback[i] = k;
  }

  CString result;
  int count = 0;
  int copied = 0;    // source bytes already moved into the result
  int boundary = 0;  // the start of a character, at or before the scan
  for (int i = 0, matched = 0; i < length; ++i) {
    while (matched > 0 && m_pszData[i] != oldText[matched]) matched = fallback[matched - 1];
    if (m_pszData[i] == oldText[matched]) ++matched;
    if (matched < oldLength) continue;
    const int hit = i + 1 - oldLength;
    while (boundary < hit) boundary += CharLength(m_pszData, boundary, length);
    if (boundary != hit) {
      matched = fallback[matched - 1];  // inside a double-byte character: look further
      continue;
    }
    if (count == 0) result.Preallocate(length);
    result.Append(m_pszData + copied, hit - copied);
    result.Append(newText, newLength);
    copied = boundary = i + 1;
    matched = 0;
    ++count;
  }
  if (count == 0) return 0;
  result.Append(m_pszData + copied, length - copied);
  *this = std::move(result);
  return count;
}

int CString::Replace(char oldChar, char newChar) {
  if (oldChar == newChar) return 0;
  const int length = GetLength();
  int count = 0;
  char* buffer = m_pszData;
  for (int i = 0; i < length;) {
    const int step = CharLength(buffer, i, length);
    if (step == 1 && buffer[i] == oldChar) {
      if (count == 0) buffer = GetBuffer(0);  // copy on write, only when something changes
      buffer[i] = newChar;
      ++count;
    }
    i += step;
  }
  return count;
}

int CString::Remove(char ch) {
  const int length = GetLength();
  int first = -1;
  for (int i = 0; i < length;) {
    const int step = CharLength(m_pszData, i, length);
    if (step == 1 && m_pszData[i] == ch) {
      first = i;
      break;
    }
    i += step;
  }
  if (first < 0) return 0;
  char* buffer = GetBuffer(0);
  int kept = first;
  for (int i = first; i < length;) {
    const int step = CharLength(buffer, i, length);
    if (!(step == 1 && buffer[i] == ch)) {
      std::memmove(buffer + kept, buffer + i, static_cast<size_t>(step));
      kept += step;
    }
    i += step;
  }
  ReleaseBuffer(kept);
  return length - kept;
}

int CString::Insert(int index, char ch) {
  const int length = GetLength();
  index = std::clamp(index, 0, length);
  const int newLength = CheckedSum(length, 1);
  char* buffer = BufferFor(*this, newLength);
  std::memmove(buffer + index + 1, buffer + index, static_cast<size_t>(length - index));
  buffer[index] = ch;
  ReleaseBuffer(newLength);
  return newLength;
}

int CString::Insert(int index, const char* text) {
  const int textLength = SafeLength(text);
  const int length = GetLength();
  if (textLength == 0) return length;
  index = std::clamp(index, 0, length);
  const int newLength = CheckedSum(length, textLength);
  // Copying first keeps the text valid should it lie inside this string's buffer.
  CString inserted(text, textLength);
  char* buffer = BufferFor(*this, newLength);
  std::memmove(buffer + index + textLength, buffer + index, static_cast<size_t>(length - index));
  std::memcpy(buffer + index, inserted.m_pszData, static_cast<size_t>(textLength));
  ReleaseBuffer(newLength);
  return newLength;
}

int CString::Delete(int index, int count) {
  const int length = GetLength();
  index = std::max(index, 0);
  if (count <= 0 || index >= length) return length;
  count = std::min(count, length - index);
  char* buffer = GetBuffer(0);
  std::memmove(buffer + index, buffer + index + count, static_cast<size_t>(length - index - count));
  ReleaseBuffer(length - count);
  return length - count;
}

namespace {

// Trimming walks characters forward, so that a trail byte that happens to equal a target
// byte is never cut off on its own.
template <class Match>
void TrimWith(CString& text, bool left, bool right, Match matches) {
  const char* data = text.GetString();
  const int length = text.GetLength();
  int begin = 0;
  int end = 0;  // just past the last character kept
  bool leading = left;
  for (int i = 0; i < length;) {
    const int step = CharLength(data, i, length);
    const bool match = matches(data + i, step);
    if (leading && match) {
      begin = i + step;
    } else {
      leading = false;
      if (!match || !right) end = i + step;
    }
    i += step;
  }
  if (!right) end = length;
  if (begin == 0 && end == length) return;
  if (begin >= end) {
    text.Empty();
    return;
  }
  text = text.Mid(begin, end - begin);
}

}  // namespace

CString& CString::Trim() {
  TrimWith(*this, true, true, IsSpace);
  return *this;
}

CString& CString::Trim(char target) {
  TrimWith(*this, true, true, [target](const char* p, int n) { return n == 1 && *p == target; });
  return *this;
}

CString& CString::Trim(const char* targets) {
  if (targets && *targets)
    TrimWith(*this, true, true, [targets](const char* p, int n) { return InSet(p, n, targets); });
  return *this;
}

CString& CString::TrimLeft() {
  TrimWith(*this, true, false, IsSpace);
  return *this;
}

CString& CString::TrimLeft(char target) {
  TrimWith(*this, true, false, [target](const char* p, int n) { return n == 1 && *p == target; });
  return *this;
}

CString& CString::TrimLeft(const char* targets) {
  if (targets && *targets)
    TrimWith(*this, true, false, [targets](const char* p, int n) { return InSet(p, n, targets); });
  return *this;
}

CString& CString::TrimRight() {
  TrimWith(*this, false, true, IsSpace);
  return *this;
}

CString& CString::TrimRight(char target) {
  TrimWith(*this, false, true, [target](const char* p, int n) { return n == 1 && *p == target; });
  return *this;
}

CString& CString::TrimRight(const char* targets) {
  if (targets && *targets)
    TrimWith(*this, false, true, [targets](const char* p, int n) { return InSet(p, n, targets); });
  return *this;
}

// --- searching ------------------------------------------------------------------------------

int CString::Find(char ch, int start) const {
  start = std::max(start, 0);
  if (start > GetLength()) return -1;
  const unsigned char* found = _mbschr(Bytes(m_pszData + start), static_cast<unsigned char>(ch));
  return found ? static_cast<int>(found - Bytes(m_pszData)) : -1;
}

int CString::Find(const char* sub, int start) const {
  if (!sub) return -1;
  start = std::max(start, 0);
  if (start > GetLength()) return -1;
  const unsigned char* found = _mbsstr(Bytes(m_pszData + start), Bytes(sub));
  return found ? static_cast<int>(found - Bytes(m_pszData)) : -1;
}

int CString::FindOneOf(const char* charSet) const {
  if (!charSet || !*charSet) return -1;
  const size_t span = _mbscspn(Bytes(m_pszData), Bytes(charSet));
  return m_pszData[span] ? static_cast<int>(span) : -1;
}

int CString::ReverseFind(char ch) const {
  const unsigned char* found = _mbsrchr(Bytes(m_pszData), static_cast<unsigned char>(ch));
  return found ? static_cast<int>(found - Bytes(m_pszData)) : -1;
}

CString CString::Tokenize(const char* tokens, int& start) const {
  if (start < 0) AfxThrowInvalidArgException();
  const int length = GetLength();
  if (start >= length) {
    start = -1;
    return CString();
  }
  if (!tokens || !*tokens) {
    // No delimiters: the rest is one token, and the next call ends the walk.
    CString rest = Mid(start);
    start = length;
    return rest;
  }
  const char* from = m_pszData + start;
  const int skipped = static_cast<int>(_mbsspn(Bytes(from), Bytes(tokens)));
  if (start + skipped >= length) {
    start = -1;
    return CString();
  }
  const int tokenStart = start + skipped;
  const int tokenLength = static_cast<int>(_mbscspn(Bytes(m_pszData + tokenStart), Bytes(tokens)));
  // Past the delimiter that ended the token, all of it: landing on the trail byte of a
  // double-byte delimiter would make that byte a token character of the next call.
  const int delimiter = tokenStart + tokenLength;
  const bool doubleByte = delimiter + 1 < length &&
                          _ismbblead(static_cast<unsigned char>(m_pszData[delimiter])) &&
                          m_pszData[delimiter + 1] != '\0';
  start = delimiter + (doubleByte ? 2 : 1);
  return Mid(tokenStart, tokenLength);
}

// --- formatting and resources ---------------------------------------------------------------

namespace {

// Formats into a new string; the arguments may point into the string being changed.
CString FormatNew(const char* format, va_list args) {
  if (!format) AfxThrowInvalidArgException();
  char small[256];
  va_list copy;
  va_copy(copy, args);
  const int needed = std::vsnprintf(small, sizeof small, format, copy);
  va_end(copy);
  if (needed < 0) {
    // Output longer than an int can count, or a wide argument with no multibyte form.
    if (errno == EOVERFLOW) AfxThrowMemoryException();
    AfxThrowInvalidArgException();
  }
  if (static_cast<size_t>(needed) < sizeof small) return CString(small, needed);
  CString result;
  char* buffer = result.GetBuffer(needed);
  std::vsnprintf(buffer, static_cast<size_t>(needed) + 1, format, args);
  result.ReleaseBuffer(needed);
  return result;
}

}  // namespace

void CString::FormatV(const char* format, va_list args) { *this = FormatNew(format, args); }

void CString::Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  try {
    FormatV(format, args);
  } catch (...) {
    va_end(args);
    throw;
  }
  va_end(args);
}

void CString::AppendFormat(const char* format, ...) {
  va_list args;
  va_start(args, format);
  CString formatted;
  try {
    formatted = FormatNew(format, args);
  } catch (...) {
    va_end(args);
    throw;
  }
  va_end(args);
  *this += formatted;
}

BOOL CString::LoadString(UINT id) {
  const char* text = AfxFindStringResource(id);
  if (!text) return FALSE;
  SetString(text);
  return TRUE;
}
