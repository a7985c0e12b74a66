#pragma once
// Values with exactly the bytes and type a test asks for, also those no setter makes (a short
// number, an unterminated string), and their bytes as one comparable string.
#include <plinth/RegVal.h>

#include <optional>
#include <string>

namespace plinth::test {

// Without bytes the value has no buffer.
inline void MakeValue(CRegVal& value, unsigned long type, std::optional<std::string> bytes) {
  if (bytes) value.SetValue(reinterpret_cast<unsigned char*>(&(*bytes)[0]), static_cast<unsigned long>(bytes->size()));
  value.SetType(type);
}

inline std::string Bytes(const CRegVal& value) {
  const unsigned char* data = value.GetRawData();
  return data ? std::string(reinterpret_cast<const char*>(data), value.GetSize()) : std::string();
}

// "none" for a value without buffer, whose size must then be 0.
inline std::string BytesOrNone(const CRegVal& value) {
  if (value.GetRawData()) return Bytes(value);
  return value.GetSize() == 0 ? "none" : "no buffer but a size";
}

}  // namespace plinth::test
