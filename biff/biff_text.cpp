#include "biff/biff_text.h"

#include <algorithm>

namespace gridport {

std::size_t DecodeBiff8Text(const std::uint8_t* p, std::size_t available, std::size_t count,
                            std::u16string& out) {
  out.clear();
  if (available == 0) return 0;
  const bool wide = p[0] == 1;
  ++p;
  --available;
  if (wide) {
    count = std::min(count, available / 2);
    out.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
      out[i] = static_cast<char16_t>(p[2 * i] | (p[2 * i + 1] << 8));
    }
    return 1 + 2 * count;
  }
  count = std::min(count, available);
  out.assign(p, p + count);
  return 1 + count;
}

std::size_t Decode8BitText(const std::uint8_t* p, std::size_t available, std::size_t count,
                           std::u16string& out) {
  count = std::min(count, available);
  out.assign(p, p + count);
  return count;
}

}  // namespace gridport
