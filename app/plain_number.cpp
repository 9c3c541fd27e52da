#include "app/plain_number.h"

#include <cmath>
#include <cstring>
#include <cstdint>

namespace gridport {

namespace {

// Powers of ten up to 10^19, all exact as doubles (exact up to 10^22).
constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,
                              1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19};
constexpr double kLimit = 1e15;

}  // namespace

std::size_t FormatPlainNumber(double value, char separator, char* out) {
  const double magnitude = std::fabs(value);
  if (!(magnitude >= 1e-4 && magnitude < kLimit)) return 0;  // NaN fails too
  std::uint64_t mantissa = 0;
  int fraction = -1;  // decimal places
  for (int k = 0; k < static_cast<int>(sizeof kPowers / sizeof kPowers[0]); ++k) {
    const double scaled = magnitude * kPowers[k];
    if (scaled >= kLimit) return 0;
    // Below 10^15 the conversion is exact for integers, so a round trip
    // tells an integer apart (and costs no call to floor).
    const auto whole = static_cast<std::uint64_t>(scaled);
    if (static_cast<double>(whole) == scaled) {
      mantissa = whole;
      fraction = k;
      break;
    }
  }
  if (fraction < 0) return 0;
  while (fraction > 0 && mantissa % 10 == 0) {  // trailing zeros are not written
    mantissa /= 10;
    --fraction;
  }
  // Digits of the mantissa, least significant first, two at a time.
  static constexpr char kPairs[] =
      "00102030405060708090011121314151617181910212223242526272829203132333435363738393"
      "04142434445464748494051525354555657585950616263646566676869607172737475767778797"
      "0818283848586878889809192939495969798999";
  char digits[24];
  int count = 0;
  while (mantissa >= 100) {
    std::memcpy(digits + count, kPairs + 2 * (mantissa % 100), 2);
    count += 2;
    mantissa /= 100;
  }
  do {
    digits[count++] = static_cast<char>('0' + mantissa % 10);
    mantissa /= 10;
  } while (mantissa != 0);
  std::size_t n = 0;
  if (value < 0) out[n++] = '-';
  if (count <= fraction) {
    out[n++] = '0';
  } else {
    for (int i = count - 1; i >= fraction; --i) out[n++] = digits[i];
  }
  if (fraction > 0) {
    out[n++] = separator;
    for (int i = fraction - 1; i >= 0; --i) out[n++] = i < count ? digits[i] : '0';
  }
  return n;
}

}  // namespace gridport
