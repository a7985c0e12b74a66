// CKaString as a list of fields: splitting at delimiters, delimited fields, quoting and
// multi-strings.
#include <plinth/KaString.h>
#include <plinth/afx/Exception.h>
#include <plinth/win32.h>

#include <cstring>
#include <memory>
#include <new>

#include "text/ReplaceScan.h"

namespace {

using plinth::text::SubstringScanner;

const unsigned char* Bytes(const char* text) {
  return reinterpret_cast<const unsigned char*>(text);
}

// Finds one delimiter, a byte or a text, in the searchable part of a text (up to its first
// NUL) at successive, increasing restart points. A text delimiter goes through one scanner for
// the whole walk: calling _mbsstr from each restart point would measure the rest of the text
// every time in a double-byte code page, which makes a long list quadratic.
class DelimiterFinder {
 public:
  static constexpr size_t npos = SubstringScanner::npos;

  DelimiterFinder(const char* text, const char* delimiter)
      : text_(text),
        searched_(std::strlen(text)),
        delimiterLength_(delimiter ? std::strlen(delimiter) : 0) {
    if (delimiterLength_ == 0) return;
    try {
      scanner_.reset(
          new SubstringScanner(Bytes(text), searched_, Bytes(delimiter), delimiterLength_));
    } catch (const std::bad_alloc&) {
      AfxThrowMemoryException();
    }
  }

  DelimiterFinder(const char* text, char delimiter)
      : text_(text),
        searched_(std::strlen(text)),
        delimiterLength_(delimiter == '\0' ? 0 : 1),
        byte_(static_cast<unsigned char>(delimiter)) {}

  // The length of the delimiter; 0 when it can never be found.
  size_t Length() const { return delimiterLength_; }

  // Position of the first delimiter at or after from, or npos.
  size_t Next(size_t from) {
    if (delimiterLength_ == 0 || from > searched_) return npos;
    try {
      if (scanner_) return scanner_->Next(from);
    } catch (const std::bad_alloc&) {
      AfxThrowMemoryException();
    }
    const unsigned char* found = _mbschr(Bytes(text_) + from, byte_);
    return found ? static_cast<size_t>(found - Bytes(text_)) : npos;
  }

 private:
  const char* text_;
  size_t searched_;
  size_t delimiterLength_;
  unsigned char byte_ = 0;
  std::unique_ptr<SubstringScanner> scanner_;
};

// Field n of the list: the walk from the start stops early once the text is used up, after
// which every further field is empty.
template <class Delimiter>
CKaString FieldOf(const CKaString& s, Delimiter delimiter, int n) {
  if (n < 0) return CKaString();
  const char* text = s.GetString();
  const size_t length = static_cast<size_t>(s.GetLength());
  DelimiterFinder finder(text, delimiter);
  size_t position = 0;
  for (int field = 0;; ++field) {
    const size_t found = finder.Next(position);
    if (found == DelimiterFinder::npos) {
      if (field < n) return CKaString();
      return CKaString(text + position, static_cast<int>(length - position));
    }
    if (field == n) return CKaString(text + position, static_cast<int>(found - position));
    position = found + finder.Length();
  }
}

template <class Delimiter>
int CountOf(const CKaString& s, Delimiter delimiter) {
  DelimiterFinder finder(s.GetString(), delimiter);
  int count = 1;
  for (size_t found = finder.Next(0); found != DelimiterFinder::npos;
       found = finder.Next(found + finder.Length()))
    ++count;
  return count;
}

}  // namespace

CKaString CKaString::GetField(const char* delimiter, int n) { return FieldOf(*this, delimiter, n); }

CKaString CKaString::GetField(char delimiter, int n) { return FieldOf(*this, delimiter, n); }

int CKaString::GetFieldCount(const char* delimiter) { return CountOf(*this, delimiter); }

int CKaString::GetFieldCount(char delimiter) { return CountOf(*this, delimiter); }

CKaString CKaString::GetDelimitedField(const char* open, const char* close, int n) {
  if (n < 0) return CKaString();
  const char* text = GetString();
  DelimiterFinder opens(text, open);
  DelimiterFinder closes(text, close);
  const size_t openLength = opens.Length();
  size_t from = 0;
  size_t fieldStart = 0;
  size_t fieldEnd = 0;
  for (int field = 0; field <= n; ++field) {
    // An empty open delimiter stands at the search position itself, so the walk would never
    // move: every later field is the first one.
    if (openLength == 0 && field > 0) break;
    const size_t openAt = openLength == 0 ? from : opens.Next(from);
    if (openAt == DelimiterFinder::npos) return CKaString();
    fieldStart = openAt + openLength;
    const size_t closeAt = closes.Length() == 0 ? fieldStart : closes.Next(fieldStart);
    if (closeAt == DelimiterFinder::npos) return CKaString();
    fieldEnd = closeAt;
    from = fieldStart;
  }
  return CKaString(text + fieldStart, static_cast<int>(fieldEnd - fieldStart));
}

bool CKaString::IsQuoted(char q) {
  if (q == '\0' || IsEmpty()) return false;
  return Find(q, 0) == 0 && ReverseFind(q) == GetLength() - 1;
}

CKaString& CKaString::Quote(char q) {
  if (q == '\0' || IsQuoted(q)) return *this;
  Insert(0, q);
  return Insert(GetLength(), q);
}

CKaString& CKaString::Unquote(char q) {
  if (!IsQuoted(q)) return *this;
  Delete(0, 1);
  return Delete(GetLength() - 1, 1);
}

CKaString& CKaString::Delimit(const CKaString& open, const CKaString& close) {
  // Either may be this very object, which the first insertion changes.
  const CKaString opening(open);
  const CKaString closing(close);
  Insert(0, opening.GetString());
  return Insert(GetLength(), closing.GetString());
}

CKaString& CKaString::NullSeparate(char separator) {
  Append(&separator, 1);
  const size_t total = static_cast<size_t>(GetLength());
  char* buffer = GetBuffer();
  size_t position = 0;
  // Every step moves past the byte it ends an item with, and stops at the string's own
  // terminator, which a NUL separator would otherwise find again and again.
  while (position < total) {
    const unsigned char* found =
        _mbschr(Bytes(buffer) + position, static_cast<unsigned char>(separator));
    if (!found) break;
    const size_t at = static_cast<size_t>(reinterpret_cast<const char*>(found) - buffer);
    if (at >= total) break;
    buffer[at] = '\0';
    position = at + 1;
  }
  // Only the first item counts as text now; the rest of the list stays in the buffer.
  ReleaseBuffer(static_cast<int>(std::strlen(buffer)));
  return *this;
}

CKaString& CKaString::CreatePropertyString(const CKaString& name, const CKaString& value) {
  // Format replaces the text, and name or value may be this very object.
  const CKaString n(name);
  const CKaString v(value);
  Format("%s = %s", n.GetString(), v.GetString());
  return *this;
}
