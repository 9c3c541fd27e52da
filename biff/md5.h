// MD5 message digest (RFC 1321). The RC4 scheme of encrypted BIFF8 workbooks
// derives its password and block keys with it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace gridport {

using TMD5Digest = std::array<std::uint8_t, 16>;

class TMD5 {
 public:
  TMD5() { Init(); }
  void Init();
  void Update(const void* data, std::size_t size);
  // Pads, finishes and returns the digest; call Init before reusing the object.
  TMD5Digest Final();

  static TMD5Digest Digest(const void* data, std::size_t size);

 private:
  void Transform(const std::uint8_t* block);

  std::uint64_t bit_count_ = 0;
  std::uint32_t state_[4] = {};
  std::uint8_t buffer_[64] = {};
};

}  // namespace gridport
