#pragma once
// Values with exactly the bytes and type a test asks for, including the ones no setter makes
// (a short number, an unterminated string), and their bytes as one comparable string.
#include <plinth/RegVal.h>

#include <optional>
#include <string>

namespace plinth::test {

// No bytes: a value without buffer.
inline void MakeValue(CRegVal& value, unsigned long type, const std::optional<std::string>& bytes) {
  if (bytes) {
    std::string copy = *bytes;
    value.SetValue(reinterpret_cast<unsigned char*>(&copy[0]), static_cast<unsigned long>(copy.size()));
  }
  value.SetType(type);
}

inline std::string Bytes(const CRegVal& value) {
  const unsigned char* data = value.GetRawData();
  return data ? std::string(reinterpret_cast<const char*>(data), value.GetSize()) : std::string();
}

}  // namespace plinth::test
