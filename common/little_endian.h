#pragma once
// Numbers as Windows stores them in registry data: least significant byte first.

#include <cstddef>
#include <cstdint>

// The number in the first count bytes (at most 4) at bytes; the bytes beyond
// count read as zero.
inline uint32_t LittleEndian(const void* bytes, size_t count) {
  const uint8_t* at = static_cast<const uint8_t*>(bytes);
  uint32_t value = 0;
  for (size_t i = 0; i < count && i < 4; ++i) value |= static_cast<uint32_t>(at[i]) << (8 * i);
  return value;
}
