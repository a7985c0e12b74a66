// CRegVal's text forms: one line per value for display or export, and a value built back from
// such a line.
#include <plinth/KaString.h>
#include <plinth/RegVal.h>
#include <plinth/afx/Exception.h>
#include <plinth/win32.h>

#include <cstdint>
#include <cstring>

#include "registry/RegValLayout.h"

namespace {

enum class Family { kNone, kString, kNumber, kBytes, kList };

Family FamilyOf(unsigned long type) {
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
    case REG_LINK:
      return Family::kString;
    case REG_DWORD:
    case REG_DWORD_BIG_ENDIAN:
      return Family::kNumber;
    case REG_BINARY:
    case REG_RESOURCE_LIST:
    case REG_FULL_RESOURCE_DESCRIPTOR:
      return Family::kBytes;
    case REG_MULTI_SZ:
      return Family::kList;
    default:
      return Family::kNone;
  }
}

const char* BytePrefix(unsigned long type) {
  return type == REG_FULL_RESOURCE_DESCRIPTOR ? "hex(9)"
         : type == REG_RESOURCE_LIST          ? "hex(8)"
                                              : "hex";
}

// The runtime's atol, the same on every platform: the white space of the "C" locale, one
// optional sign, then decimal digits up to the first other byte. The number is kept modulo
// 2^32 rather than clamped to a 32-bit long, so that every DWORD's decimal text reads back as
// itself and "-1" reads as 0xFFFFFFFF.
uint32_t ReadNumber(const char* text) {
  if (text == nullptr) return 0;
  const char* p = text;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  uint32_t number = 0;
  for (; *p >= '0' && *p <= '9'; ++p) number = number * 10u + static_cast<uint32_t>(*p - '0');
  return negative ? 0u - number : number;
}

}  // namespace

CRegVal::CRegVal(const char* text, unsigned long type) : CRegVal() {
  m_dwType = static_cast<DWORD>(type);
  switch (FamilyOf(type)) {
    case Family::kNone:
      return;
    case Family::kString:
      SetValue(text, false);
      return;
    case Family::kNumber:
      SetValue(static_cast<unsigned long>(ReadNumber(text)));
      return;
    case Family::kBytes: {
      if (text == nullptr) return;
      CKaString cleaned = GetUnformattedValue(CString(text), type, true, true);
      CByteArray bytes;
      cleaned.ConvertToBinary(CString(","), bytes);
      if (bytes.GetSize() > 0)
        SetValue(bytes.GetData(), static_cast<unsigned long>(bytes.GetSize()));
      return;
    }
    case Family::kList: {
      // The block ends at its first empty string; it is stored as it stands, closing NUL
      // included, which is the layout SetValue gives the same strings.
      if (text == nullptr || *text == '\0') {
        SetValue(static_cast<const char**>(nullptr), 0);
        return;
      }
      const char* end = text;
      while (*end != '\0') end += std::strlen(end) + 1;
      const uint64_t size = static_cast<uint64_t>(end - text) + 1;
      if (size > 0xFFFFFFFFu) AfxThrowMemoryException();
      unsigned char* data = AllocateDataBuffer(static_cast<unsigned long>(size));
      std::memcpy(data, text, static_cast<size_t>(size));
      m_dwType = REG_MULTI_SZ;
      return;
    }
  }
}

CString CRegVal::GetFormattedValue(bool quote, bool wrap) {
  CString result;
  switch (FamilyOf(m_dwType)) {
    case Family::kNone:
      break;
    case Family::kString: {
      CString text;
      GetValue(text);
      if (!quote) return text;
      result.Preallocate(text.GetLength() + 2);
      result += '"';
      result += text;
      result += '"';
      break;
    }
    case Family::kNumber: {
      unsigned long number = 0;
      if (GetValue(number)) result.Format("%lu", number);
      break;
    }
    case Family::kBytes: {
      const CString list =
          CKaString::ConvertBinaryToString(m_pData, m_dwSize, CString(","), wrap ? 16 : 0);
      result = BytePrefix(m_dwType);
      result += ':';
      result += list;
      break;
    }
    case Family::kList: {
      // Measured first, so that a long list is copied once.
      uint64_t total = 0;
      const char* item = nullptr;
      size_t at = 0;
      while (size_t length = plinth::registry::NextListItem(m_pData, m_dwSize, at, &item)) {
        total += length;
        at += length + 1;
      }
      if (total > static_cast<uint64_t>(INT32_MAX)) AfxThrowMemoryException();
      result.Preallocate(static_cast<int>(total));
      at = 0;
      while (size_t length = plinth::registry::NextListItem(m_pData, m_dwSize, at, &item)) {
        result.Append(item, static_cast<int>(length));
        at += length + 1;
      }
      break;
    }
  }
  return result;
}

CString CRegVal::GetUnformattedValue(CString text, unsigned long type, bool stripQuotes,
                                     bool removeLineFeeds) {
  switch (FamilyOf(type)) {
    case Family::kString:
      if (removeLineFeeds) text.Remove('\n');
      if (stripQuotes) text.Trim('"');
      break;
    case Family::kBytes:
      text.Replace(BytePrefix(type), "");
      text.Remove(':');
      break;
    default:
      break;
  }
  return text;
}
