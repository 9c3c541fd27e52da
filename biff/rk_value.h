// Decoding of the packed RK numbers of RK and MULRK cell records.
#pragma once

#include <cstdint>
#include <cstring>

namespace gridport {

// Bit 1 set: the value is a signed 30-bit integer in the high bits; clear: the
// high 30 bits of an IEEE double whose low 34 bits are zero. Bit 0 set: the
// number was multiplied by 100 before it was packed.
inline double DecodeRK(std::uint32_t rk) {
  double value;
  if (rk & 0x2u) {
    value = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
  } else {
    std::uint64_t bits = static_cast<std::uint64_t>(rk & 0xFFFFFFFCu) << 32;
    std::memcpy(&value, &bits, sizeof value);
  }
  if (rk & 0x1u) value /= 100.0;
  return value;
}

}  // namespace gridport
