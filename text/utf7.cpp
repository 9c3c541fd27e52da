#include "text/utf7.h"

#include <array>
#include <cstdint>

namespace gridport {
namespace {

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<bool, 128> MakeDirectSet() {
  std::array<bool, 128> direct{};
  for (int c = 'A'; c <= 'Z'; ++c) direct[c] = true;
  for (int c = 'a'; c <= 'z'; ++c) direct[c] = true;
  for (int c = '0'; c <= '9'; ++c) direct[c] = true;
  for (char c : std::string_view("'(),-./:? \t\r\n")) direct[static_cast<unsigned char>(c)] = true;
  direct[0] = true;
  return direct;
}
constexpr std::array<bool, 128> kDirect = MakeDirectSet();

// Value of a base64 byte, or -1.
constexpr std::array<std::int8_t, 256> MakeBase64Values() {
  std::array<std::int8_t, 256> values{};
  for (auto& v : values) v = -1;
  for (int i = 0; i < 64; ++i) values[static_cast<unsigned char>(kBase64[i])] = static_cast<std::int8_t>(i);
  return values;
}
constexpr std::array<std::int8_t, 256> kBase64Value = MakeBase64Values();

inline bool IsDirect(char16_t c) { return c < 128 && kDirect[c]; }

}  // namespace

void AppendUtf7(std::string& out, std::u16string_view text) {
  bool in_base64 = false;
  std::uint32_t bits = 0;  // pending bits, the oldest highest
  int bit_count = 0;
  auto close_run = [&](bool needs_dash) {
    if (bit_count > 0) out += kBase64[(bits << (6 - bit_count)) & 0x3F];
    if (needs_dash) out += '-';
    in_base64 = false;
    bits = 0;
    bit_count = 0;
  };
  for (char16_t c : text) {
    if (IsDirect(c)) {
      if (in_base64) close_run(kBase64Value[c] >= 0 || c == '-');
      out += static_cast<char>(c);
    } else if (c == '+' && !in_base64) {
      out += "+-";
    } else {
      if (!in_base64) {
        out += '+';
        in_base64 = true;
      }
      bits = (bits << 16) | c;
      bit_count += 16;
      while (bit_count >= 6) {
        bit_count -= 6;
        out += kBase64[(bits >> bit_count) & 0x3F];
      }
      bits &= (1u << bit_count) - 1;
    }
  }
  if (in_base64) close_run(true);
}

void AppendUtf16FromUtf7(std::u16string& out, std::string_view text) {
  bool in_base64 = false;
  std::uint32_t bits = 0;
  int bit_count = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint8_t b = static_cast<std::uint8_t>(text[i]);
    if (in_base64) {
      int value = kBase64Value[b];
      if (value >= 0) {
        bits = (bits << 6) | static_cast<std::uint32_t>(value);
        bit_count += 6;
        if (bit_count >= 16) {
          bit_count -= 16;
          out += static_cast<char16_t>(bits >> bit_count);
        }
        bits &= (1u << bit_count) - 1;
        continue;
      }
      in_base64 = false;
      bits = 0;
      bit_count = 0;
      if (b == '-') continue;
    }
    if (b == '+') {
      if (i + 1 < text.size() && text[i + 1] == '-') {
        out += u'+';
        ++i;
      } else {
        in_base64 = true;
      }
    } else {
      out += b < 0x80 ? static_cast<char16_t>(b) : char16_t{0xFFFD};
    }
  }
}

}  // namespace gridport
