// Colours of the workbook model: the process-wide colour palette that palette
// indices of cell formats and fonts refer to, and the Excel 2007 colour
// description TStyleColor with its resolution to an RGB value.
//
// Colour values are 0x00BBGGRR.
#pragma once

#include <array>
#include <cstdint>

namespace gridport {

inline constexpr int kPaletteSize = 65;
// The colour of "automatic" (palette index 64 and colour kind 0).
inline constexpr std::uint32_t kAutomaticColor = 0x0F000000u;

// The palette shared by every workbook component of the process. Entries 0-7
// are black, 8-63 the default BIFF8 palette, 64 automatic. The BIFF reader
// replaces entries from 8 on with a PALETTE record's colours.
std::array<std::uint32_t, kPaletteSize>& ColorPalette();
// Restores the default 65 entries (every workbook constructor does this).
void ResetColorPalette();
// The palette colour of an index; indices above 64 read as automatic.
std::uint32_t PaletteColor(unsigned index);

enum TStyleColorKind : std::uint8_t {
  sckAutomatic = 0,
  sckIndexed = 1,
  sckRGB = 2,
  sckTheme = 3,
  sckNone = 4,
};

struct TStyleColor {
  std::uint32_t Resolved = 0;  // low 24 bits of the resolved colour
  double Tint = 0.0;           // -1.0 to 1.0, 0 = none
  std::uint8_t Kind = sckAutomatic;
  std::uint8_t PaletteIndex = 0;  // kind sckIndexed (kind sckAutomatic: 1 for auto="1")
  std::uint32_t Value = 0;        // RGB value (sckRGB) or theme index (sckTheme)

  // Sets Resolved from the other fields (see ResolveColor).
  void Resolve();
  friend bool operator==(const TStyleColor& a, const TStyleColor& b);
};

// The colour a description stands for, before it is cut to 24 bits: by kind
// (automatic 0x0F000000, indexed: the palette entry, RGB: value & 0xFFFFFF,
// theme 1-12: the default theme colours, theme 0 automatic, none 0), then the
// tint applied to each of the three low bytes. Theme values above 12 resolve
// as automatic.
std::uint32_t ResolveColor(const TStyleColor& color);

}  // namespace gridport
