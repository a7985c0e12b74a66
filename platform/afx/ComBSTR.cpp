#include <plinth/afx/ComBSTR.h>
#include <plinth/afx/Exception.h>

#include <utility>

namespace ATL {

namespace {

// Allocations that were asked for and came back null are the framework's memory failures.
BSTR Checked(BSTR text) {
  if (!text) AfxThrowMemoryException();
  return text;
}

}  // namespace

CComBSTR::CComBSTR(int length)
    : m_str(length == 0 ? nullptr
                        : Checked(SysAllocStringLen(nullptr, static_cast<UINT>(length)))) {}

CComBSTR::CComBSTR(int length, LPCOLESTR text)
    : m_str(length == 0 ? nullptr : Checked(SysAllocStringLen(text, static_cast<UINT>(length)))) {}

CComBSTR::CComBSTR(LPCOLESTR text) : m_str(text ? Checked(SysAllocString(text)) : nullptr) {}

CComBSTR::CComBSTR(REFGUID guid) : m_str(nullptr) {
  OLECHAR text[64];
  StringFromGUID2(guid, text, 64);
  m_str = Checked(SysAllocString(text));
}

CComBSTR::CComBSTR(const CComBSTR& other) : m_str(other.Copy()) {}

CComBSTR::~CComBSTR() { SysFreeString(m_str); }

CComBSTR& CComBSTR::operator=(const CComBSTR& other) {
  if (m_str != other.m_str) {
    BSTR copy = other.Copy();
    SysFreeString(m_str);
    m_str = copy;
  }
  return *this;
}

CComBSTR& CComBSTR::operator=(CComBSTR&& other) noexcept {
  if (this != &other) {
    SysFreeString(m_str);
    m_str = std::exchange(other.m_str, nullptr);
  }
  return *this;
}

CComBSTR& CComBSTR::operator=(LPCOLESTR text) {
  if (text != m_str) {
    BSTR copy = text ? Checked(SysAllocString(text)) : nullptr;
    SysFreeString(m_str);
    m_str = copy;
  }
  return *this;
}

unsigned int CComBSTR::Length() const noexcept { return SysStringLen(m_str); }

unsigned int CComBSTR::ByteLength() const noexcept { return SysStringByteLen(m_str); }

BSTR CComBSTR::Copy() const {
  if (!m_str) return nullptr;
  return Checked(
      SysAllocStringByteLen(reinterpret_cast<const char*>(m_str), SysStringByteLen(m_str)));
}

void CComBSTR::Empty() noexcept {
  SysFreeString(m_str);
  m_str = nullptr;
}

void CComBSTR::Attach(BSTR text) noexcept {
  if (text != m_str) {
    SysFreeString(m_str);
    m_str = text;
  }
}

BSTR CComBSTR::Detach() noexcept { return std::exchange(m_str, nullptr); }

HRESULT CComBSTR::Append(LPCOLESTR text, int length) {
  if (length < 0) return E_INVALIDARG;
  if (length == 0) return S_OK;
  // Through a temporary string, because text may lie inside the string being replaced.
  BSTR tail = SysAllocStringLen(text, static_cast<UINT>(length));
  if (!tail) return E_OUTOFMEMORY;
  const HRESULT result = AppendBSTR(tail);
  SysFreeString(tail);
  return result;
}

HRESULT CComBSTR::Append(LPCOLESTR text) {
  if (!text) return S_OK;
  int length = 0;
  while (text[length] != 0) ++length;
  return Append(text, length);
}

HRESULT CComBSTR::Append(const CComBSTR& other) { return AppendBSTR(other.m_str); }

HRESULT CComBSTR::AppendBSTR(BSTR text) {
  if (SysStringByteLen(text) == 0) return S_OK;
  BSTR joined = nullptr;
  const HRESULT result = VarBstrCat(m_str, text, &joined);
  if (FAILED(result)) return result;
  SysFreeString(m_str);
  m_str = joined;
  return S_OK;
}

CComBSTR& CComBSTR::operator+=(const CComBSTR& other) {
  const HRESULT result = AppendBSTR(other.m_str);
  if (result == E_OUTOFMEMORY) AfxThrowMemoryException();
  if (FAILED(result)) AfxThrowOleException(result);
  return *this;
}

}  // namespace ATL
