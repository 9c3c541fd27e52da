// The RC4 stream cipher: key schedule and keystream generator as published.
#pragma once

#include <cstddef>
#include <cstdint>

namespace gridport {

class TRC4 {
 public:
  void SetKey(const std::uint8_t* key, std::size_t size);
  // XORs the next size keystream bytes over data.
  void Process(std::uint8_t* data, std::size_t size);
  // Advances the keystream by size bytes.
  void Skip(std::size_t size);

 private:
  std::uint8_t s_[256] = {};
  std::uint8_t i_ = 0;
  std::uint8_t j_ = 0;
};

}  // namespace gridport
