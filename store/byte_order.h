// Little-endian 32-bit integers inside the store's byte layouts (table
// headers, index pages, card rows, text chunks).
#pragma once

#include <cstdint>

namespace quill::store {

inline uint32_t GetU32(const void* at) {
  const auto* u = static_cast<const unsigned char*>(at);
  return uint32_t{u[0]} | uint32_t{u[1]} << 8 | uint32_t{u[2]} << 16 | uint32_t{u[3]} << 24;
}

inline void PutU32(void* at, uint32_t v) {
  auto* u = static_cast<unsigned char*>(at);
  for (int i = 0; i < 4; ++i) u[i] = static_cast<unsigned char>(v >> (8 * i));
}

}  // namespace quill::store
