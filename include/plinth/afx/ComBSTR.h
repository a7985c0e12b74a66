#pragma once
// ATL::CComBSTR: the owner of one automation string (BSTR). It frees the string when it dies or
// takes another, copies byte for byte (embedded NULs survive), and converts to BSTR so that it
// can be handed to any call that reads one. A null m_str is a valid, empty value.
//
// Allocation failures throw CMemoryException*, as the framework's ATL does.

#include <plinth/Export.h>
#include <plinth/win32.h>

namespace ATL {

class PLINTH_API CComBSTR {
 public:
  CComBSTR() noexcept : m_str(nullptr) {}
  // length code units, all zero; 0 gives null. A negative length cannot be allocated.
  explicit CComBSTR(int length);
  // The first length code units of text (zeros when text is null); 0 gives null.
  CComBSTR(int length, LPCOLESTR text);
  // text up to its NUL; null gives null.
  CComBSTR(LPCOLESTR text);
  // The GUID in registry form, "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
  explicit CComBSTR(REFGUID guid);
  CComBSTR(const CComBSTR& other);
  CComBSTR(CComBSTR&& other) noexcept : m_str(other.m_str) { other.m_str = nullptr; }
  ~CComBSTR();

  CComBSTR& operator=(const CComBSTR& other);
  CComBSTR& operator=(CComBSTR&& other) noexcept;
  CComBSTR& operator=(LPCOLESTR text);

  // Code units and bytes, from the length prefix; 0 for null.
  unsigned int Length() const noexcept;
  unsigned int ByteLength() const noexcept;
  operator BSTR() const noexcept { return m_str; }
  bool operator!() const noexcept { return m_str == nullptr; }

  // A new copy of the string (byte for byte) that the caller frees; null for null.
  BSTR Copy() const;
  // Frees the string; m_str becomes null.
  void Empty() noexcept;
  // Takes ownership of text, freeing the string held before (unless it is the same one).
  void Attach(BSTR text) noexcept;
  // Hands the string over to the caller; m_str becomes null.
  BSTR Detach() noexcept;

  // Append the code units of text (length of them; up to the NUL for the other forms). On
  // failure the string is unchanged and the result is E_OUTOFMEMORY.
  HRESULT Append(LPCOLESTR text, int length);
  HRESULT Append(LPCOLESTR text);
  HRESULT Append(const CComBSTR& other);
  HRESULT AppendBSTR(BSTR text);
  // As Append, throwing CMemoryException* on failure.
  CComBSTR& operator+=(const CComBSTR& other);

  BSTR m_str;
};

}  // namespace ATL
