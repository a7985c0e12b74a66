// CRegVal: the value's buffer, its typed setters and getters. The text forms live in
// RegValText.cpp.
#include <plinth/RegVal.h>
#include <plinth/afx/Exception.h>
#include <plinth/win32.h>

#include <cstdint>
#include <cstring>

#include "registry/RegValLayout.h"

namespace {

constexpr uint64_t kMaxSize = 0xFFFFFFFFu;

bool IsNumberType(unsigned long type) { return type == REG_DWORD || type == REG_DWORD_BIG_ENDIAN; }
bool IsStringType(unsigned long type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_LINK;
}
bool IsByteType(unsigned long type) {
  return type == REG_BINARY || type == REG_RESOURCE_LIST || type == REG_FULL_RESOURCE_DESCRIPTOR;
}

// A size that the 32-bit size field cannot hold could never be allocated either.
DWORD CheckedSize(uint64_t size) {
  if (size > kMaxSize) AfxThrowMemoryException();
  return static_cast<DWORD>(size);
}

// Frees a detached buffer when the setter that replaced it is done, so that a setter may take its
// input from the value's own buffer (v.SetValue(v.GetRawData(), v.GetSize())).
struct ReleaseLater {
  HANDLE heap;
  unsigned char* block;
  ~ReleaseLater() {
    if (block != nullptr) HeapFree(heap, 0, block);
  }
};

}  // namespace

namespace plinth::registry {

size_t NextListItem(const unsigned char* data, size_t size, size_t at, const char** text) {
  if (data == nullptr || at >= size || data[at] == '\0') return 0;
  const void* nul = std::memchr(data + at, '\0', size - at);
  const size_t end = nul ? static_cast<size_t>(static_cast<const unsigned char*>(nul) - data) : size;
  *text = reinterpret_cast<const char*>(data + at);
  return end - at;
}

}  // namespace plinth::registry

// --- construction ----------------------------------------------------------------------------

CRegVal::CRegVal() : m_hHeap(GetProcessHeap()), m_pData(nullptr), m_dwSize(0), m_dwType(REG_NONE) {}

CRegVal::CRegVal(unsigned long number) : CRegVal() { SetValue(number); }

CRegVal::CRegVal(const char* text) : CRegVal() { SetValue(text, false); }

CRegVal::CRegVal(unsigned char* const bytes, unsigned long count) : CRegVal() {
  SetValue(bytes, count);
}

CRegVal::CRegVal(const CStringArray& strings) : CRegVal() { SetValue(strings); }

CRegVal::~CRegVal() { FreeDataBuffer(); }

// --- assignment ------------------------------------------------------------------------------

CRegVal& CRegVal::operator=(CRegVal& source) {
  if (&source == this) return *this;
  m_dwType = source.m_dwType;
  if (source.m_pData == nullptr || source.m_dwSize == 0) {
    FreeDataBuffer();
    return *this;
  }
  unsigned char* data = AllocateDataBuffer(source.m_dwSize);
  std::memcpy(data, source.m_pData, source.m_dwSize);
  return *this;
}

CRegVal& CRegVal::operator=(unsigned long number) {
  SetValue(number);
  return *this;
}

CRegVal& CRegVal::operator=(const char* text) {
  SetValue(text, false);
  return *this;
}

CRegVal& CRegVal::operator=(const CStringArray& strings) {
  SetValue(strings);
  return *this;
}

// --- accessors -------------------------------------------------------------------------------

unsigned long CRegVal::GetType() const { return m_dwType; }

void CRegVal::SetType(unsigned long type) { m_dwType = static_cast<DWORD>(type); }

unsigned long CRegVal::GetSize() const { return m_dwSize; }

unsigned char* CRegVal::GetRawData() { return m_pData; }

const unsigned char* CRegVal::GetRawData() const { return m_pData; }

// --- typed getters ---------------------------------------------------------------------------

bool CRegVal::GetValue(unsigned long& number) const {
  if (!IsNumberType(m_dwType) || m_pData == nullptr || m_dwSize < 4) return false;
  number = static_cast<unsigned long>(m_pData[0]) | static_cast<unsigned long>(m_pData[1]) << 8 |
           static_cast<unsigned long>(m_pData[2]) << 16 |
           static_cast<unsigned long>(m_pData[3]) << 24;
  return true;
}

bool CRegVal::GetValue(const char*& text) const {
  if (!IsStringType(m_dwType) && m_dwType != REG_MULTI_SZ) return false;
  if (m_pData == nullptr) {
    text = nullptr;
    return true;
  }
  // A reader of the pointer would run past the end of an unterminated buffer.
  if (std::memchr(m_pData, '\0', m_dwSize) == nullptr) return false;
  text = reinterpret_cast<const char*>(m_pData);
  return true;
}

bool CRegVal::GetValue(CString& text) const {
  if (!IsStringType(m_dwType)) return false;
  if (m_pData == nullptr) {
    text.Empty();
    return true;
  }
  const void* nul = std::memchr(m_pData, '\0', m_dwSize);
  const size_t length = nul ? static_cast<size_t>(static_cast<const unsigned char*>(nul) - m_pData)
                            : static_cast<size_t>(m_dwSize);
  if (length > static_cast<size_t>(INT32_MAX)) AfxThrowMemoryException();
  text = CString(reinterpret_cast<const char*>(m_pData), static_cast<int>(length));
  return true;
}

bool CRegVal::GetValue(unsigned char*& bytes, unsigned long count) const {
  if (m_pData == nullptr || m_dwSize == 0) return true;
  if (!IsByteType(m_dwType) || count != m_dwSize) return false;
  if (bytes != nullptr) std::memcpy(bytes, m_pData, m_dwSize);
  return bytes != nullptr;
}

bool CRegVal::GetValue(CStringArray& strings) const {
  if (m_dwType != REG_MULTI_SZ) return false;
  strings.SetSize(0, -1);
  const char* item = nullptr;
  size_t at = 0;
  while (size_t length = plinth::registry::NextListItem(m_pData, m_dwSize, at, &item)) {
    strings.SetAtGrow(strings.GetSize(), CString(item, static_cast<int>(length)));
    at += length + 1;
  }
  return true;
}

// --- typed setters ---------------------------------------------------------------------------

void CRegVal::SetValue(unsigned long number) {
  unsigned char* data = AllocateDataBuffer(4);
  data[0] = static_cast<unsigned char>(number);
  data[1] = static_cast<unsigned char>(number >> 8);
  data[2] = static_cast<unsigned char>(number >> 16);
  data[3] = static_cast<unsigned char>(number >> 24);
  m_dwType = REG_DWORD;
}

void CRegVal::SetValue(const char* text, bool expand) {
  const ReleaseLater old{m_hHeap, m_pData};
  m_pData = nullptr;
  m_dwSize = 0;
  const size_t length = text ? std::strlen(text) : 0;
  unsigned char* data = AllocateDataBuffer(CheckedSize(uint64_t{length} + 1));
  if (length) std::memcpy(data, text, length);
  m_dwType = expand ? REG_EXPAND_SZ : REG_SZ;
}

void CRegVal::SetValue(const char** strings, unsigned long count) {
  const ReleaseLater old{m_hHeap, m_pData};
  m_pData = nullptr;
  m_dwSize = 0;
  if (strings == nullptr) count = 0;
  uint64_t total = 1;
  for (unsigned long i = 0; i < count; ++i)
    total += (strings[i] ? std::strlen(strings[i]) : 0) + 1;
  if (count == 0) total = 2;
  unsigned char* data = AllocateDataBuffer(CheckedSize(total));
  size_t at = 0;
  for (unsigned long i = 0; i < count; ++i) {
    const size_t length = strings[i] ? std::strlen(strings[i]) : 0;
    if (length) std::memcpy(data + at, strings[i], length);
    at += length + 1;
  }
  m_dwType = REG_MULTI_SZ;
}

void CRegVal::SetValue(unsigned char* const bytes, unsigned long count) {
  const ReleaseLater old{m_hHeap, m_pData};
  m_pData = nullptr;
  m_dwSize = 0;
  const DWORD size = CheckedSize(count);
  unsigned char* data = AllocateDataBuffer(size);
  if (bytes != nullptr && size != 0) std::memcpy(data, bytes, size);
  m_dwType = REG_BINARY;
}

void CRegVal::SetValue(const CStringArray& strings) {
  const INT_PTR count = strings.GetSize();
  uint64_t total = count == 0 ? 2 : 1;
  for (INT_PTR i = 0; i < count; ++i)
    total += static_cast<uint64_t>(strings.GetAt(i).GetLength()) + 1;
  unsigned char* data = AllocateDataBuffer(CheckedSize(total));
  size_t at = 0;
  for (INT_PTR i = 0; i < count; ++i) {
    const CString& item = strings.GetAt(i);
    const size_t length = static_cast<size_t>(item.GetLength());
    // Up to an embedded NUL only; the zero-filled tail of the buffer stays.
    const void* nul = std::memchr(item.GetString(), '\0', length);
    const size_t copied =
        nul ? static_cast<size_t>(static_cast<const char*>(nul) - item.GetString()) : length;
    std::memcpy(data + at, item.GetString(), copied);
    at += length + 1;
  }
  m_dwType = REG_MULTI_SZ;
}

// --- buffer ----------------------------------------------------------------------------------

unsigned char* CRegVal::AllocateDataBuffer(unsigned long size) {
  FreeDataBuffer();
  const DWORD bytes = size == 0 ? 1 : CheckedSize(size);
  void* block = HeapAlloc(m_hHeap, HEAP_ZERO_MEMORY, bytes);
  if (block == nullptr) AfxThrowMemoryException();
  m_pData = static_cast<unsigned char*>(block);
  m_dwSize = bytes;
  return m_pData;
}

void CRegVal::FreeDataBuffer() {
  if (m_pData != nullptr) HeapFree(m_hHeap, 0, m_pData);
  m_pData = nullptr;
  m_dwSize = 0;
}
