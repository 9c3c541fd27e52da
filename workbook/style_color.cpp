#include "workbook/style_color.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace gridport {

namespace {

// The default BIFF8 palette, entries 8 to 63, as 0xRRGGBB (converted to
// 0x00BBGGRR when the palette is reset).
constexpr std::uint32_t kDefaultPaletteRGB[56] = {
    0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF,
    0x800000, 0x008000, 0x000080, 0x808000, 0x800080, 0x008080, 0xC0C0C0, 0x808080,
    0x9999FF, 0x993366, 0xFFFFCC, 0xCCFFFF, 0x660066, 0xFF8080, 0x0066CC, 0xCCCCFF,
    0x000080, 0xFF00FF, 0xFFFF00, 0x00FFFF, 0x800080, 0x800000, 0x008080, 0x0000FF,
    0x00CCFF, 0xCCFFFF, 0xCCFFCC, 0xFFFF99, 0x99CCFF, 0xFF99CC, 0xCC99FF, 0xFFCC99,
    0x3366FF, 0x33CCCC, 0x99CC00, 0xFFCC00, 0xFF9900, 0xFF6600, 0x666699, 0x969696,
    0x003366, 0x339966, 0x003300, 0x333300, 0x993300, 0x993366, 0x333399, 0x333333,
};

// Colours of theme values 1 to 12 (the default theme), used as they stand.
constexpr std::uint32_t kThemeColors[12] = {
    0x000000, 0xFFFFFF, 0x1F497D, 0xEEECE1, 0x4F81BD, 0xC0504D,
    0x9BBB59, 0x8064A2, 0x4BACC6, 0xF79646, 0x0000FF, 0x800080,
};

std::array<std::uint32_t, kPaletteSize> MakeDefaultPalette() {
  std::array<std::uint32_t, kPaletteSize> p{};
  for (int i = 0; i < 56; ++i) {
    std::uint32_t rgb = kDefaultPaletteRGB[i];
    p[8 + i] = ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | (rgb >> 16);
  }
  p[64] = kAutomaticColor;
  return p;
}

std::uint32_t TintByte(std::uint32_t c, double tint) {
  double v = tint > 0 ? std::min(255.0, std::nearbyint(c + tint * 255.0))
                      : std::max(0.0, std::nearbyint(c - std::fabs(tint) * 255.0));
  return static_cast<std::uint32_t>(v);
}

}  // namespace

std::array<std::uint32_t, kPaletteSize>& ColorPalette() {
  static std::array<std::uint32_t, kPaletteSize> palette = MakeDefaultPalette();
  return palette;
}

void ResetColorPalette() { ColorPalette() = MakeDefaultPalette(); }

std::uint32_t PaletteColor(unsigned index) {
  return index < kPaletteSize ? ColorPalette()[index] : kAutomaticColor;
}

std::uint32_t ResolveColor(const TStyleColor& color) {
  std::uint32_t c = 0;
  switch (color.Kind) {
    case sckAutomatic:
      c = kAutomaticColor;
      break;
    case sckIndexed:
      c = PaletteColor(color.PaletteIndex);
      break;
    case sckRGB:
      c = color.Value & 0xFFFFFF;
      break;
    case sckTheme:
      c = color.Value >= 1 && color.Value <= 12 ? kThemeColors[color.Value - 1] : kAutomaticColor;
      break;
    default:
      c = 0;
      break;
  }
  if (color.Tint != 0.0) {
    std::uint32_t out = c & 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8)
      out |= TintByte((c >> shift) & 0xFF, color.Tint) << shift;
    c = out;
  }
  return c;
}

void TStyleColor::Resolve() { Resolved = ResolveColor(*this) & 0xFFFFFF; }

bool operator==(const TStyleColor& a, const TStyleColor& b) {
  // Field-wise equality; the record's two filler bytes are always zero. The
  // tint is compared bit for bit, as a byte comparison of the record would.
  return a.Resolved == b.Resolved && std::memcmp(&a.Tint, &b.Tint, sizeof a.Tint) == 0 &&
         a.Kind == b.Kind && a.PaletteIndex == b.PaletteIndex && a.Value == b.Value;
}

}  // namespace gridport
