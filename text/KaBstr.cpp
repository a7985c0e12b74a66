// CKaBstr: construction, comparison, byte-wise access, trimming and path joining of an
// automation string.
#include <plinth/KaBstr.h>
#include <plinth/afx/Exception.h>

#include <cstring>
#include <cwchar>
#include <new>
#include <string>

static_assert(sizeof(OLECHAR) == 2, "automation strings hold 16-bit code units");

namespace {

constexpr unsigned char kSpace = 0x20;
constexpr unsigned char kBackslash = 0x5C;

unsigned char LowByte(OLECHAR unit) { return static_cast<unsigned char>(unit & 0xFF); }

BSTR Checked(BSTR text) {
  if (!text) AfxThrowMemoryException();
  return text;
}

// Wide text as UTF-16 code units: count wchar_t from text (-1: up to its NUL). Where wchar_t
// holds whole code points, those above U+FFFF become surrogate pairs, and values that are no
// character become U+FFFD.
std::u16string ToUnits(const wchar_t* text, int count) {
  std::u16string units;
  try {
    const size_t n = count < 0 ? std::wcslen(text) : static_cast<size_t>(count);
    units.reserve(n);
    for (size_t i = 0; i < n; ++i) {
      const auto c = static_cast<char32_t>(text[i]);
      if (sizeof(wchar_t) == sizeof(char16_t) || c < 0x10000) {
        units += (sizeof(wchar_t) > sizeof(char16_t) && c >= 0xD800 && c <= 0xDFFF)
                     ? u'\uFFFD'
                     : static_cast<char16_t>(c);
      } else if (c <= 0x10FFFF) {
        units += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
        units += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
      } else {
        units += u'\uFFFD';
      }
    }
  } catch (const std::bad_alloc&) {
    AfxThrowMemoryException();
  } catch (const std::length_error&) {
    AfxThrowMemoryException();
  }
  return units;
}

// Bytes of the thread's ANSI code page as a new string: count bytes, or up to the NUL (which
// the length then leaves out) for -1. The count is asked for first; a second conversion that
// does not fill exactly that count means failure.
BSTR FromBytes(const char* text, int count) {
  const int needed = MultiByteToWideChar(CP_THREAD_ACP, 0, text, count, nullptr, 0);
  if (needed <= 0) AfxThrowMemoryException();
  const UINT length = static_cast<UINT>(count == -1 ? needed - 1 : needed);
  // The string has room for its terminator after length units, which a NUL-terminated input
  // converts into.
  BSTR result = Checked(SysAllocStringLen(nullptr, length));
  if (MultiByteToWideChar(CP_THREAD_ACP, 0, text, count, result, needed) != needed) {
    SysFreeString(result);
    AfxThrowMemoryException();
  }
  return result;
}

}  // namespace

CKaBstr::CKaBstr() noexcept : CComBSTR() {}

CKaBstr::CKaBstr(int n) : CComBSTR(n) {}

CKaBstr::CKaBstr(int n, const wchar_t* text) : CComBSTR() {
  if (n <= 0 || !text || sizeof(wchar_t) == sizeof(OLECHAR)) {
    AssignCount(n, reinterpret_cast<const OLECHAR*>(text));
    return;
  }
  const std::u16string units = ToUnits(text, n);
  m_str = Checked(SysAllocStringLen(reinterpret_cast<const OLECHAR*>(units.data()),
                                    static_cast<UINT>(units.size())));
}

CKaBstr::CKaBstr(const wchar_t* text) : CComBSTR() {
  if (!text) return;
  if (sizeof(wchar_t) == sizeof(OLECHAR)) {
    AssignTerminated(reinterpret_cast<const OLECHAR*>(text));
    return;
  }
  const std::u16string units = ToUnits(text, -1);
  m_str = Checked(SysAllocStringLen(reinterpret_cast<const OLECHAR*>(units.data()),
                                    static_cast<UINT>(units.size())));
}

CKaBstr::CKaBstr(const GUID& guid) : CComBSTR(guid) {}

CKaBstr::CKaBstr(const char* text) : CComBSTR() {
  if (text) m_str = FromBytes(text, -1);
}

CKaBstr::CKaBstr(int n, const char* text) : CComBSTR() {
  if (n == 0) return;
  if (!text) {
    m_str = Checked(SysAllocStringLen(nullptr, static_cast<UINT>(n)));
    return;
  }
  m_str = FromBytes(text, n < 0 ? -1 : n);
}

CKaBstr::CKaBstr(const ATL::CComBSTR& other) : CComBSTR(other) {}

CKaBstr::CKaBstr(const CKaBstr& other) : CComBSTR(other) {}

CKaBstr& CKaBstr::operator=(const CKaBstr& other) {
  if (m_str != other.m_str) {
    SysFreeString(m_str);
    m_str = nullptr;
    m_str = other.Copy();
  }
  return *this;
}

CKaBstr::~CKaBstr() = default;

void CKaBstr::AssignCount(int n, const OLECHAR* text) {
  if (n == 0) return;
  // A negative count is a length no allocator can serve (and must not be read as a huge one).
  if (n < 0) AfxThrowMemoryException();
  m_str = Checked(SysAllocStringLen(text, static_cast<UINT>(n)));
}

void CKaBstr::AssignTerminated(const OLECHAR* text) {
  if (text) m_str = Checked(SysAllocString(text));
}

int CKaBstr::CompareNoCase(const wchar_t* text) const {
  if (!text || sizeof(wchar_t) == sizeof(OLECHAR))
    return CompareUnits(reinterpret_cast<const OLECHAR*>(text));
  const std::u16string units = ToUnits(text, -1);
  return CompareUnits(reinterpret_cast<const OLECHAR*>(units.c_str()));
}

int CKaBstr::CompareUnits(const OLECHAR* text) const {
  if (!m_str && !text) return 0;
  if (!m_str || !text) return 1;
  return _wcsicmp(m_str, text);
}

char CKaBstr::GetAt(int i) const {
  if (i < 0 || static_cast<unsigned int>(i) >= Length()) return '\0';
  return static_cast<char>(LowByte(m_str[i]));
}

void CKaBstr::SetAt(int i, char ch) {
  if (i < 0 || static_cast<unsigned int>(i) >= Length()) return;
  m_str[i] = static_cast<OLECHAR>((m_str[i] & 0xFF00) | static_cast<unsigned char>(ch));
}

void CKaBstr::KeepUnits(unsigned int first, unsigned int count) {
  BSTR kept = SysAllocStringLen(m_str ? m_str + first : nullptr, count);
  SysFreeString(m_str);
  m_str = kept;
}

void CKaBstr::TrimLeft() {
  const unsigned int length = Length();
  unsigned int first = 0;
  while (first < length && LowByte(m_str[first]) == kSpace) ++first;
  KeepUnits(first, length - first);
}

void CKaBstr::TrimRight() {
  unsigned int length = Length();
  while (length > 0 && LowByte(m_str[length - 1]) == kSpace) --length;
  KeepUnits(0, length);
}

void CKaBstr::Concatenate(BSTR tail) {
  BSTR joined = nullptr;
  const HRESULT result = VarBstrCat(m_str, tail, &joined);
  if (result == E_OUTOFMEMORY) AfxThrowMemoryException();
  if (FAILED(result)) AfxThrowOleException(result);
  SysFreeString(m_str);
  m_str = joined;
}

void CKaBstr::ConcatenatePath(const CKaBstr& other) {
  if (other.Length() == 0) return;
  if (&other == this) {
    // The seam changes this very string; join the text as it was.
    const CKaBstr before(other);
    ConcatenatePath(before);
    return;
  }
  if (Length() == 0) {
    *this = other;
    return;
  }
  const unsigned int last = Length() - 1;
  if (LowByte(m_str[last]) == kBackslash) {
    SetAt(static_cast<int>(last), static_cast<char>(kSpace));
    TrimRight();
  }
  if (LowByte(other.m_str[0]) != kBackslash) {
    const CKaBstr backslash("\\");
    Concatenate(backslash.m_str);
  }
  Concatenate(other.m_str);
}
