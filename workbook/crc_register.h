// The CRC-32 register the shared strings and the fonts hash their bytes
// with: table-driven, reflected polynomial 0xEDB88320, register starting at
// 0xFFFFFFFF, no final inversion.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace gridport {

namespace crc_detail {
constexpr std::array<std::uint32_t, 256> MakeTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (0xEDB88320u ^ (c >> 1)) : (c >> 1);
    table[i] = c;
  }
  return table;
}
inline constexpr std::array<std::uint32_t, 256> kTable = MakeTable();
}  // namespace crc_detail

// The register starts at kCrcStart; there is no final inversion (the result is
// the complement of the usual CRC-32), so an empty input hashes to 0xFFFFFFFF.
inline constexpr std::uint32_t kCrcStart = 0xFFFFFFFFu;

inline std::uint32_t CrcByte(std::uint32_t reg, std::uint8_t b) {
  return crc_detail::kTable[(reg ^ b) & 0xFF] ^ (reg >> 8);
}
inline std::uint32_t CrcBytes(std::uint32_t reg, const std::uint8_t* p, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) reg = CrcByte(reg, p[i]);
  return reg;
}
// UTF-16 code units hashed as little-endian byte pairs.
inline std::uint32_t CrcUtf16(std::uint32_t reg, const char16_t* p, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    reg = CrcByte(reg, static_cast<std::uint8_t>(p[i] & 0xFF));
    reg = CrcByte(reg, static_cast<std::uint8_t>(p[i] >> 8));
  }
  return reg;
}

}  // namespace gridport
