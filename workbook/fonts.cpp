#include "workbook/fonts.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "workbook/byte_view.h"
#include "workbook/xls_error.h"

namespace gridport {

char16_t LowerCaseUnit(char16_t c) {
  if (c < 0x80) return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char16_t>(c + 32);
  if (c >= 0x100 && c <= 0x17F) {  // Latin Extended-A: upper/lower pairs
    if ((c <= 0x137 || (c >= 0x14A && c <= 0x177)) && c % 2 == 0) return static_cast<char16_t>(c + 1);
    if (((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) && c % 2 == 1)
      return static_cast<char16_t>(c + 1);
    if (c == 0x178) return 0xFF;
    return c;
  }
  if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return static_cast<char16_t>(c + 32);  // Greek
  if (c == 0x386) return 0x3AC;
  if (c >= 0x388 && c <= 0x38A) return static_cast<char16_t>(c + 37);
  if (c == 0x38C) return 0x3CC;
  if (c == 0x38E || c == 0x38F) return static_cast<char16_t>(c + 63);
  if (c >= 0x410 && c <= 0x42F) return static_cast<char16_t>(c + 32);  // Cyrillic
  if (c >= 0x400 && c <= 0x40F) return static_cast<char16_t>(c + 80);
  if (((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) || (c >= 0x4D0 && c <= 0x52F)) &&
      c % 2 == 0)
    return static_cast<char16_t>(c + 1);
  if (c == 0x4C0) return 0x4CF;
  if (c >= 0x4C1 && c <= 0x4CE && c % 2 == 1) return static_cast<char16_t>(c + 1);
  return c;
}

namespace {

bool SameIgnoringCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i] && LowerCaseUnit(a[i]) != LowerCaseUnit(b[i])) return false;
  return true;
}

std::uint32_t ColorDistance(std::uint32_t a, std::uint32_t b) {
  std::uint32_t d = 0;
  for (int shift = 0; shift < 24; shift += 8)
    d += static_cast<std::uint32_t>(std::abs(static_cast<int>((a >> shift) & 0xFF) -
                                             static_cast<int>((b >> shift) & 0xFF)));
  return d;
}

// The 24 bytes of a colour description: resolved colour, four zero bytes
// that align the tint, tint, kind, palette index, two zero bytes, value.
std::uint32_t CrcStyleColor(std::uint32_t reg, const TStyleColor& c) {
  std::uint8_t bytes[24] = {};
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<std::uint8_t>(c.Resolved >> (8 * i));
  std::uint64_t tint;
  std::memcpy(&tint, &c.Tint, sizeof tint);
  for (int i = 0; i < 8; ++i) bytes[8 + i] = static_cast<std::uint8_t>(tint >> (8 * i));
  bytes[16] = c.Kind;
  bytes[17] = c.PaletteIndex;
  for (int i = 0; i < 4; ++i) bytes[20 + i] = static_cast<std::uint8_t>(c.Value >> (8 * i));
  return CrcBytes(reg, bytes, sizeof bytes);
}

}  // namespace

// ---- TXFont ----

std::array<std::uint8_t, 10> TXFont::PackedBytes() const {
  return {Charset,
          Family,
          ColorIndex,
          static_cast<std::uint8_t>(Height),
          static_cast<std::uint8_t>(Height >> 8),
          static_cast<std::uint8_t>(Height >> 16),
          static_cast<std::uint8_t>(Height >> 24),
          Style,
          Script,
          Underline};
}

std::uint32_t TXFont::BaseHash() const {
  auto packed = PackedBytes();
  std::uint32_t reg = CrcBytes(kCrcStart, packed.data(), packed.size());
  return CrcUtf16(reg, Name.data(), Name.size());
}

std::uint32_t TXFont::Hash() const { return BaseHash(); }

bool TXFont::BaseEquals(const TXFont& other) const {
  return PackedBytes() == other.PackedBytes() && Name == other.Name;
}

bool TXFont::Equals(const TXFont& other) const { return !other.IsEx12() && BaseEquals(other); }

void TXFont::Reset() {
  Name = u"Arial";
  Charset = 0;
  Family = 2;
  ColorIndex = 8;
  Height = 200;
  Style = 0;
  Script = 0;
  Underline = 0;
}

std::uint32_t TXFont::GetColorRGB() const { return PaletteColor(ColorIndex); }

void TXFont::SetColorRGB(std::uint32_t rgb) {
  int best = 8;
  std::uint32_t best_distance = ~0u;
  for (int i = 8; i <= 63; ++i) {
    std::uint32_t d = ColorDistance(PaletteColor(static_cast<unsigned>(i)), rgb);
    if (d < best_distance) {
      best_distance = d;
      best = i;
    }
  }
  ColorIndex = static_cast<std::uint8_t>(best);
}

void TXFont::Assign(const TXFont& other) {
  Name = other.Name;
  Charset = other.Charset;
  Family = other.Family;
  ColorIndex = other.ColorIndex;
  Height = other.Height;
  Style = other.Style;
  Script = other.Script;
  Underline = other.Underline;
}

int TXFont::SizePoints(int* remainder) const {
  if (remainder) *remainder = static_cast<int>(Height % 20);
  return static_cast<int>(Height / 20);
}

void TXFont::SetSizePoints(int points) {
  if (points > 0) Height = static_cast<std::uint32_t>(points) * 20;
}

void TXFont::LoadFromBiff(const std::uint8_t* body, std::size_t size, TExcelVersion version) {
  TByteReader r(body, size, "FONT record");
  Height = r.U16();
  std::uint16_t options = r.U16();
  Style = 0;
  if (options & 0x0002) Style |= fsItalic;
  if (options & 0x0008) Style |= fsStrikeOut;
  if (version <= xvExcel40) {
    // BIFF2 to BIFF4: bold and underline are option bits; no weight, family
    // or character set. BIFF3 and BIFF4 add the colour before the name.
    if (options & 0x0001) Style |= fsBold;
    Underline = (options & 0x0004) ? 1 : 0;
    if (version >= xvExcel30) {
      std::uint16_t color = r.U16();
      ColorIndex = color <= 255 ? static_cast<std::uint8_t>(color) : 0;
    }
    std::uint8_t count = r.U8();
    const std::uint8_t* chars = r.Bytes(count);
    Name.assign(chars, chars + count);
    return;
  }
  std::uint16_t color = r.U16();
  std::uint16_t weight = r.U16();
  r.Skip(2);  // escapement: the script byte keeps its value
  Underline = r.U8();
  Family = r.U8();
  Charset = r.U8();
  r.Skip(1);
  ColorIndex = color <= 255 ? static_cast<std::uint8_t>(color) : 0;
  if (weight >= 700) Style |= fsBold;
  std::uint8_t count = r.U8();
  if (version >= xvExcel97) {
    bool wide = r.U8() & 0x01;
    const std::uint8_t* chars = r.Bytes(static_cast<std::size_t>(count) * (wide ? 2 : 1));
    Name.resize(count);
    for (std::size_t i = 0; i < count; ++i)
      Name[i] = wide ? static_cast<char16_t>(GetU16(chars + 2 * i)) : chars[i];
  } else {
    const std::uint8_t* chars = r.Bytes(count);
    Name.assign(chars, chars + count);
  }
}

// ---- TXFontEx12 ----

std::uint32_t TXFontEx12::Hash() const {
  std::uint32_t reg = CrcStyleColor(BaseHash(), Color);
  const std::uint8_t extra[8] = {Condense, Extend, Outline, Scheme, Shadow, 0, 0, 0};
  return CrcBytes(reg, extra, sizeof extra);
}

bool TXFontEx12::Equals(const TXFont& other) const {
  if (!other.IsEx12() || !BaseEquals(other)) return false;
  const auto& o = static_cast<const TXFontEx12&>(other);
  return Color == o.Color && Condense == o.Condense && Extend == o.Extend &&
         Outline == o.Outline && Scheme == o.Scheme && Shadow == o.Shadow;
}

void TXFontEx12::Reset() {
  TXFont::Reset();
  Color = TStyleColor{};
  Color.Kind = sckNone;
  Condense = Extend = Outline = Shadow = false;
  Scheme = 0;
}

std::uint32_t TXFontEx12::GetColorRGB() const { return Color.Resolved; }

void TXFontEx12::SetColorRGB(std::uint32_t rgb) {
  Color = TStyleColor{};
  Color.Kind = sckRGB;
  Color.Value = rgb;
  Color.Resolved = rgb;
}

void TXFontEx12::Assign(const TXFont& other) {
  TXFont::Assign(other);
  Color = TStyleColor{};
  Color.Kind = sckIndexed;
  Color.PaletteIndex = other.ColorIndex;
}

// ---- TXFonts ----

TXFonts::TXFonts() { AddDefaultFonts(); }

TXFonts::~TXFonts() { index_.Clear(); }

TXFont* TXFonts::Item(long long index) const {
  if (index < 0 || index >= static_cast<long long>(fonts_.size())) throw EListError(index);
  return fonts_[static_cast<std::size_t>(index)].get();
}

void TXFonts::AddDefaultFonts() {
  for (int i = 0; i < 5; ++i) AddFont();
  first_deletable_ = Count();
}

void TXFonts::Clear() {
  index_.Clear();
  fonts_.clear();
  first_deletable_ = 0;
}

TXFont* TXFonts::AddFont() {
  fonts_.push_back(std::make_unique<TXFont>());
  fonts_.back()->Index = Count() - 1;
  return fonts_.back().get();
}

TXFontEx12* TXFonts::AddFontEx12() {
  auto font = std::make_unique<TXFontEx12>();
  TXFontEx12* raw = font.get();
  fonts_.push_back(std::move(font));
  raw->Index = Count() - 1;
  return raw;
}

int TXFonts::Find(const TXFont& font) const {
  auto packed = font.PackedBytes();
  for (std::size_t i = 0; i < fonts_.size(); ++i) {
    const TXFont& f = *fonts_[i];
    if (f.PackedBytes() == packed && SameIgnoringCase(f.Name, font.Name)) return static_cast<int>(i);
  }
  return -1;
}

TXFont* TXFonts::FindOrAdd(const TXFont& font) {
  int found = Find(font);
  if (found >= 0) return fonts_[static_cast<std::size_t>(found)].get();
  TXFont* added = font.IsEx12() ? AddFontEx12() : AddFont();
  added->Assign(font);
  return added;
}

void TXFonts::Renumber(std::size_t from) {
  for (std::size_t i = from; i < fonts_.size(); ++i) fonts_[i]->Index = static_cast<std::int32_t>(i);
}

void TXFonts::RemoveAt(long long index) {
  TXFont* font = Item(index);
  if (font->in_index_) index_.Remove(font);
  fonts_.erase(fonts_.begin() + index);
  Renumber(static_cast<std::size_t>(index));
  if (index < first_deletable_) --first_deletable_;
  for (TFontRemovalListener* l : listeners_) l->FontRemoved(static_cast<int>(index));
}

void TXFonts::ReleaseUsage(TXFont& font) {
  if (font.Index < first_deletable_) return;
  if (--font.Usage < 1) RemoveAt(font.Index);
}

void TXFonts::RebuildIndex() {
  index_.Clear();
  for (auto& f : fonts_) f->in_index_ = false;
  for (auto& f : fonts_) {
    TXFont* font = f.get();
    std::uint32_t hash = font->Hash();
    // Equal fonts may repeat in a styles part; the first one answers look-ups.
    if (index_.Find(hash, [font](const TXFont& other) { return other.Equals(*font); })) continue;
    font->indexed_hash_ = hash;
    font->in_index_ = true;
    index_.Insert(font);
  }
}

TXFont* TXFonts::LookUp(const TXFont& font) const {
  return index_.Find(font.Hash(), [&font](const TXFont& other) { return other.Equals(font); });
}

void TXFonts::AddRemovalListener(TFontRemovalListener* listener) { listeners_.push_back(listener); }

void TXFonts::RemoveRemovalListener(TFontRemovalListener* listener) {
  listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

}  // namespace gridport
