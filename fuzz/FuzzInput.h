#pragma once
// Cutting one fuzz input into several texts: each field runs to the next NUL byte (which is
// consumed) or to the end of the input, so a field itself never holds a NUL.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace plinth_fuzz {

inline std::string Field(const std::uint8_t*& data, std::size_t& size) {
  const void* nul = std::memchr(data, 0, size);
  const std::size_t length =
      nul ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - data) : size;
  std::string field(reinterpret_cast<const char*>(data), length);
  const std::size_t used = nul ? length + 1 : length;
  data += used;
  size -= used;
  return field;
}

}  // namespace plinth_fuzz
