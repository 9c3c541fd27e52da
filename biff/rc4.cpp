#include "biff/rc4.h"

#include <utility>

namespace gridport {

void TRC4::SetKey(const std::uint8_t* key, std::size_t size) {
  for (int k = 0; k < 256; ++k) s_[k] = static_cast<std::uint8_t>(k);
  std::uint8_t j = 0;
  for (int k = 0; k < 256; ++k) {
    j = static_cast<std::uint8_t>(j + s_[k] + key[k % size]);
    std::swap(s_[k], s_[j]);
  }
  i_ = 0;
  j_ = 0;
}

void TRC4::Process(std::uint8_t* data, std::size_t size) {
  std::uint8_t i = i_, j = j_;
  for (std::size_t n = 0; n < size; ++n) {
    i = static_cast<std::uint8_t>(i + 1);
    j = static_cast<std::uint8_t>(j + s_[i]);
    std::swap(s_[i], s_[j]);
    data[n] ^= s_[static_cast<std::uint8_t>(s_[i] + s_[j])];
  }
  i_ = i;
  j_ = j;
}

void TRC4::Skip(std::size_t size) {
  std::uint8_t i = i_, j = j_;
  for (std::size_t n = 0; n < size; ++n) {
    i = static_cast<std::uint8_t>(i + 1);
    j = static_cast<std::uint8_t>(j + s_[i]);
    std::swap(s_[i], s_[j]);
  }
  i_ = i;
  j_ = j;
}

}  // namespace gridport
