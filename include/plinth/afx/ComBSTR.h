#pragma once
/// \file
/// ATL::CComBSTR, the framework's owner of an automation string (BSTR).

#include <plinth/Export.h>
#include <plinth/win32.h>

/// The framework's ATL classes.
namespace ATL {

/// ATL::CComBSTR: the owner of one automation string (BSTR). It frees the string when it dies or
/// takes another, copies byte for byte (embedded NULs survive), and converts to BSTR so that it
/// can be handed to any call that reads one. A null m_str is a valid, empty value.
///
/// Allocation failures throw CMemoryException*, as the framework's ATL does.
class PLINTH_API CComBSTR {
 public:
  /// A null string.
  CComBSTR() noexcept : m_str(nullptr) {}
  /// length code units, all zero; 0 gives null. A negative length cannot be allocated.
  /// (The zeros come from the system's SysAllocStringLen, which Windows does not promise.)
  /// \throws CMemoryException* when the string cannot be allocated (always for a negative
  /// length).
  explicit CComBSTR(int length);
  /// The first length code units of text (zeros when text is null); 0 gives null.
  /// \throws CMemoryException* when the string cannot be allocated (always for a negative
  /// length).
  CComBSTR(int length, LPCOLESTR text);
  /// text up to its NUL; null gives null (an empty text gives an empty, non-null string).
  /// \throws CMemoryException* when the string cannot be allocated.
  CComBSTR(LPCOLESTR text);
  /// The GUID in registry form, "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (upper-case hex).
  /// \throws CMemoryException* when the string cannot be allocated.
  explicit CComBSTR(REFGUID guid);
  /// A byte-for-byte copy of other (embedded NULs and an odd byte length kept); null stays
  /// null.
  /// \throws CMemoryException* when the copy cannot be allocated.
  CComBSTR(const CComBSTR& other);
  /// Takes other's string; other becomes null.
  CComBSTR(CComBSTR&& other) noexcept : m_str(other.m_str) { other.m_str = nullptr; }
  /// Frees the string.
  ~CComBSTR();

  /// Replaces the string with a byte-for-byte copy of other's; nothing happens when both hold
  /// the same string.
  /// \throws CMemoryException* when the copy cannot be allocated; the string is then unchanged.
  CComBSTR& operator=(const CComBSTR& other);
  /// Frees the string and takes other's; other becomes null. Nothing happens for itself.
  CComBSTR& operator=(CComBSTR&& other) noexcept;
  /// Replaces the string with a copy of text up to its NUL; null gives null, and text may point
  /// into the string held. Nothing happens when text is m_str itself.
  /// \throws CMemoryException* when the copy cannot be allocated; the string is then unchanged.
  CComBSTR& operator=(LPCOLESTR text);

  ///@{
  /// Code units and bytes, from the length prefix; 0 for null.
  unsigned int Length() const noexcept;
  unsigned int ByteLength() const noexcept;
  ///@}
  /// m_str, still owned by this object; null for a null string.
  operator BSTR() const noexcept { return m_str; }
  /// Whether the string is null (an empty, non-null string gives false).
  bool operator!() const noexcept { return m_str == nullptr; }

  /// A new copy of the string (byte for byte) that the caller frees; null for null.
  /// \throws CMemoryException* when the copy cannot be allocated.
  BSTR Copy() const;
  /// Frees the string; m_str becomes null.
  void Empty() noexcept;
  /// Takes ownership of text, freeing the string held before (unless it is the same one).
  void Attach(BSTR text) noexcept;
  /// Hands the string over to the caller; m_str becomes null.
  BSTR Detach() noexcept;

  ///@{
  /// Append the code units of text (length of them; up to the NUL for the other forms). On
  /// failure the string is unchanged and the result is E_OUTOFMEMORY.
  ///
  /// A null text (or other) appends nothing, except that Append(nullptr, length) appends
  /// length code units as CComBSTR(length) makes them. AppendBSTR and the CComBSTR form
  /// append byte for byte, from the length prefix. Appending to a null string gives a copy of
  /// what is appended.
  /// \retval S_OK Appended (also when there was nothing to append).
  /// \retval E_INVALIDARG A negative length; the string is unchanged.
  /// \retval E_OUTOFMEMORY The result cannot be allocated; the string is unchanged.
  HRESULT Append(LPCOLESTR text, int length);
  HRESULT Append(LPCOLESTR text);
  HRESULT Append(const CComBSTR& other);
  HRESULT AppendBSTR(BSTR text);
  ///@}
  /// As Append, throwing CMemoryException* on failure.
  /// \throws CMemoryException* for E_OUTOFMEMORY, COleException* for any other failure; the
  /// string is then unchanged.
  CComBSTR& operator+=(const CComBSTR& other);

  /// The string held, or null; the object frees it.
  BSTR m_str;
};

}  // namespace ATL
