#include "biff/biff_text.h"

#include <algorithm>

#include "text/cp1251.h"

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

namespace {

// Windows-1252 bytes 0x80-0x9F; the five bytes it leaves unassigned keep their value.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

std::size_t DecodeAnsiText(const std::uint8_t* p, std::size_t available, std::size_t count,
                           std::uint16_t codePage, std::u16string& out) {
  count = std::min(count, available);
  out.resize(count);
  if (codePage == 1251) {
    for (std::size_t i = 0; i < count; ++i) out[i] = Cp1251ToChar(p[i]);
  } else {
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint8_t b = p[i];
      out[i] = (b >= 0x80 && b < 0xA0) ? kCp1252High[b - 0x80] : static_cast<char16_t>(b);
    }
  }
  return count;
}

void DecodeCodePageText(const std::uint8_t* p, std::size_t count, std::u16string& out) {
  out.resize(count);
  for (std::size_t i = 0; i < count; ++i) out[i] = Cp1251ToChar(p[i]);
}

}  // namespace gridport
