#include "workbook/cell_formats.h"

#include <algorithm>
#include <cstring>

#include "workbook/byte_view.h"

namespace gridport {

namespace {

// Bit-field access to the XF body (little-endian words at fixed offsets).
std::uint32_t Bits(const TXfBody& b, int offset, int width_bytes, int first, int count) {
  std::uint32_t v = width_bytes == 4 ? GetU32(&b[offset]) : width_bytes == 2 ? GetU16(&b[offset]) : b[offset];
  return (v >> first) & ((1u << count) - 1);
}

void SetBits(TXfBody& b, int offset, int width_bytes, int first, int count, std::uint32_t value) {
  std::uint32_t v = width_bytes == 4 ? GetU32(&b[offset]) : width_bytes == 2 ? GetU16(&b[offset]) : b[offset];
  std::uint32_t mask = ((1u << count) - 1) << first;
  v = (v & ~mask) | ((value << first) & mask);
  for (int i = 0; i < width_bytes; ++i) b[offset + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Named fields of the body: offset, width in bytes, first bit, bit count.
struct TField {
  int Offset, Width, First, Count;
};
constexpr TField kFont{0, 2, 0, 16};
constexpr TField kNumberFormat{2, 2, 0, 16};
constexpr TField kLocked{4, 2, 0, 1};
constexpr TField kHidden{4, 2, 1, 1};
constexpr TField kHoriz{6, 1, 0, 3};
constexpr TField kWrap{6, 1, 3, 1};
constexpr TField kVert{6, 1, 4, 3};
constexpr TField kJustifyLast{6, 1, 7, 1};
constexpr TField kRotation{7, 1, 0, 8};
constexpr TField kIndent{8, 2, 0, 4};
constexpr TField kShrink{8, 2, 4, 1};
constexpr TField kMerge{8, 2, 5, 1};
constexpr TField kAlignmentUsed{8, 2, 12, 1};
constexpr TField kBorderUsed{8, 2, 13, 1};
constexpr TField kPatternUsed{8, 2, 14, 1};
constexpr TField kLeftStyle{10, 4, 0, 4};
constexpr TField kRightStyle{10, 4, 4, 4};
constexpr TField kTopStyle{10, 4, 8, 4};
constexpr TField kBottomStyle{10, 4, 12, 4};
constexpr TField kLeftColor{10, 4, 16, 7};
constexpr TField kRightColor{10, 4, 23, 7};
constexpr TField kDiagonalLines{10, 4, 30, 2};
constexpr TField kTopColor{14, 4, 0, 7};
constexpr TField kBottomColor{14, 4, 7, 7};
constexpr TField kDiagonalColor{14, 4, 14, 7};
constexpr TField kDiagonalStyle{14, 4, 21, 4};
constexpr TField kFillPattern{14, 4, 26, 6};
constexpr TField kForeColor{18, 2, 0, 7};
constexpr TField kBackColor{18, 2, 7, 7};

std::uint32_t Get(const TXfBody& b, TField f) { return Bits(b, f.Offset, f.Width, f.First, f.Count); }
void Set(TXfBody& b, TField f, std::uint32_t v) { SetBits(b, f.Offset, f.Width, f.First, f.Count, v); }

TXfBody NewFormatBody() {
  TXfBody b{};
  b[4] = 0x01;  // locked
  b[6] = 0x20;  // vertical alignment bottom
  Set(b, kLeftColor, 64);
  Set(b, kRightColor, 64);
  Set(b, kTopColor, 64);
  Set(b, kBottomColor, 64);
  Set(b, kDiagonalColor, 64);
  b[18] = 0xC0;  // pattern foreground 64, background 65
  b[19] = 0x20;
  return b;
}

// The 21 default formats: font, number format, word at 4, word at 8.
struct TDefaultFormat {
  std::uint16_t Font, NumberFormat, Word4, Word8;
};
constexpr TDefaultFormat kDefaultFormats[21] = {
    {0, 0, 0xFFF5, 0x0000},  {1, 0, 0xFFF5, 0xF400}, {1, 0, 0xFFF5, 0xF400}, {2, 0, 0xFFF5, 0xF400},
    {2, 0, 0xFFF5, 0xF400},  {0, 0, 0xFFF5, 0xF400}, {0, 0, 0xFFF5, 0xF400}, {0, 0, 0xFFF5, 0xF400},
    {0, 0, 0xFFF5, 0xF400},  {0, 0, 0xFFF5, 0xF400}, {0, 0, 0xFFF5, 0xF400}, {0, 0, 0xFFF5, 0xF400},
    {0, 0, 0xFFF5, 0xF400},  {0, 0, 0xFFF5, 0xF400}, {0, 0, 0xFFF5, 0xF400}, {0, 0, 0x0001, 0x0000},
    {0, 42, 0xFFF5, 0x0000}, {0, 43, 0xFFF5, 0x0000}, {0, 44, 0xFFF5, 0x0000}, {0, 45, 0xFFF5, 0x0000},
    {0, 9, 0xFFF5, 0x0000},
};

void PutU16(TXfBody& b, int offset, std::uint16_t v) {
  b[offset] = static_cast<std::uint8_t>(v);
  b[offset + 1] = static_cast<std::uint8_t>(v >> 8);
}

}  // namespace

// ---- fills ----

void TFill::SetGradient(bool on) {
  if (on && !gradient_) gradient_ = std::make_unique<TGradientFill>();
  if (!on) gradient_.reset();
}

// ---- TCellFormat ----

TCellFormat::TCellFormat(TCellFormats* owner) : XfBody(NewFormatBody()), owner_(owner) {}

TCellFormat::~TCellFormat() {
  TNumberFormats* formats = OwnerNumberFormats();
  if (formats && held_number_format_ >= 0 && formats->FindById(held_number_format_) >= 0) {
    formats->Release(held_number_format_);  // cannot fail: the entry exists
  }
}

TNumberFormats* TCellFormat::OwnerNumberFormats() const {
  return owner_ ? &owner_->NumberFormats() : nullptr;
}

void TCellFormat::HoldNumberFormat(std::int32_t id, bool counted) {
  TNumberFormats* formats = OwnerNumberFormats();
  if (!formats) return;
  if (!counted) formats->AddUse(id);  // may fail: nothing has changed yet
  std::int32_t before = held_number_format_;
  held_number_format_ = id >= kBuiltInNumberFormats ? id : -1;
  if (before >= 0 && formats->FindById(before) >= 0) formats->Release(before);
}

std::uint16_t TCellFormat::FontIndex() const { return static_cast<std::uint16_t>(Get(XfBody, kFont)); }

void TCellFormat::SetIndent(std::uint8_t indent) { Set(XfBody, kIndent, std::min<std::uint8_t>(indent, 15)); }

void TCellFormat::SetRotation(int a) {
  std::uint32_t r;
  if (a >= 255) {
    r = 255;
  } else if (a >= 91) {
    r = 90;
  } else if (a >= 0) {
    r = static_cast<std::uint32_t>(a);
  } else if (a >= -90) {
    r = static_cast<std::uint32_t>(90 - a);
  } else {
    r = 180;
  }
  Set(XfBody, kRotation, r);
}

int TCellFormat::GetRotation() const {
  int r = static_cast<int>(Get(XfBody, kRotation));
  if (r <= 90 || r == 255) return r;
  return 90 - r;
}

std::uint8_t TCellFormat::GetTextOptions() const {
  std::uint8_t set = 0;
  if (Get(XfBody, kWrap)) set |= toWrapText;
  if (Get(XfBody, kShrink)) set |= toShrinkToFit;
  if (Get(XfBody, kJustifyLast)) set |= toJustifyLast;
  return set;
}

std::uint8_t TCellFormat::GetHorizAlignment() const { return static_cast<std::uint8_t>(Get(XfBody, kHoriz)); }
std::uint8_t TCellFormat::GetIndent() const { return static_cast<std::uint8_t>(Get(XfBody, kIndent)); }

std::uint8_t TCellFormat::GetProtection() const {
  return static_cast<std::uint8_t>((Get(XfBody, kLocked) ? cpLocked : 0) | (Get(XfBody, kHidden) ? cpHidden : 0));
}

std::uint8_t TCellFormat::GetVertAlignment() const { return static_cast<std::uint8_t>(Get(XfBody, kVert)); }

void TCellFormat::SetTextOptions(std::uint8_t options) {
  Set(XfBody, kWrap, (options & toWrapText) ? 1 : 0);
  Set(XfBody, kShrink, (options & toShrinkToFit) ? 1 : 0);
  Set(XfBody, kJustifyLast, (options & toJustifyLast) ? 1 : 0);
  Set(XfBody, kAlignmentUsed, Get(XfBody, kWrap) || Get(XfBody, kHoriz) != 0);
}

void TCellFormat::SetHorizAlignment(std::uint8_t alignment) {
  Set(XfBody, kHoriz, alignment);
  Set(XfBody, kAlignmentUsed, Get(XfBody, kWrap) || Get(XfBody, kHoriz) != 0 || Get(XfBody, kVert) != 0);
}

void TCellFormat::SetProtection(std::uint8_t protection) {
  Set(XfBody, kLocked, (protection & cpLocked) ? 1 : 0);
  Set(XfBody, kHidden, (protection & cpHidden) ? 1 : 0);
}

void TCellFormat::SetVertAlignment(std::uint8_t alignment) {
  Set(XfBody, kVert, alignment);
  Set(XfBody, kAlignmentUsed, Get(XfBody, kWrap) || Get(XfBody, kHoriz) != 0 || Get(XfBody, kVert) != 0);
}

bool TCellFormat::GetMergeCells() const { return Get(XfBody, kMerge) != 0; }
void TCellFormat::SetMergeCells(bool merge) { Set(XfBody, kMerge, merge ? 1 : 0); }

std::uint8_t TCellFormat::GetBottomColorIndex() const { return static_cast<std::uint8_t>(Get(XfBody, kBottomColor)); }
std::uint8_t TCellFormat::GetBottomStyle() const { return static_cast<std::uint8_t>(Get(XfBody, kBottomStyle)); }
std::uint8_t TCellFormat::GetDiagonalColorIndex() const { return static_cast<std::uint8_t>(Get(XfBody, kDiagonalColor)); }
std::uint8_t TCellFormat::GetDiagonalLines() const { return static_cast<std::uint8_t>(Get(XfBody, kDiagonalLines)); }
std::uint8_t TCellFormat::GetDiagonalStyle() const { return static_cast<std::uint8_t>(Get(XfBody, kDiagonalStyle)); }
std::uint8_t TCellFormat::GetLeftColorIndex() const { return static_cast<std::uint8_t>(Get(XfBody, kLeftColor)); }
std::uint8_t TCellFormat::GetLeftStyle() const { return static_cast<std::uint8_t>(Get(XfBody, kLeftStyle)); }
std::uint8_t TCellFormat::GetRightColorIndex() const { return static_cast<std::uint8_t>(Get(XfBody, kRightColor)); }
std::uint8_t TCellFormat::GetRightStyle() const { return static_cast<std::uint8_t>(Get(XfBody, kRightStyle)); }
std::uint8_t TCellFormat::GetTopColorIndex() const { return static_cast<std::uint8_t>(Get(XfBody, kTopColor)); }
std::uint8_t TCellFormat::GetTopStyle() const { return static_cast<std::uint8_t>(Get(XfBody, kTopStyle)); }
std::uint8_t TCellFormat::GetPatternBackColorIndex() const {
  return static_cast<std::uint8_t>(std::min<std::uint32_t>(Get(XfBody, kBackColor), 64));
}
std::uint8_t TCellFormat::GetPatternForeColorIndex() const { return static_cast<std::uint8_t>(Get(XfBody, kForeColor)); }
std::uint8_t TCellFormat::GetFillPattern() const { return static_cast<std::uint8_t>(Get(XfBody, kFillPattern)); }

namespace {
void UpdateBorderFlag(TXfBody& b) {
  bool any = Get(b, kLeftStyle) || Get(b, kRightStyle) || Get(b, kTopStyle) || Get(b, kBottomStyle) ||
             Get(b, kDiagonalStyle);
  Set(b, kBorderUsed, any ? 1 : 0);
}
void UpdatePatternFlagByColors(TXfBody& b) {
  Set(b, kPatternUsed, (Get(b, kForeColor) == 64 && Get(b, kBackColor) == 64) ? 0 : 1);
}
}  // namespace

void TCellFormat::SetBottomColorIndex(std::uint8_t index) { Set(XfBody, kBottomColor, index); }
void TCellFormat::SetBottomStyle(std::uint8_t style) {
  Set(XfBody, kBottomStyle, style);
  UpdateBorderFlag(XfBody);
}
void TCellFormat::SetDiagonalColorIndex(std::uint8_t index) { Set(XfBody, kDiagonalColor, index); }
void TCellFormat::SetDiagonalLines(std::uint8_t lines) { Set(XfBody, kDiagonalLines, lines); }
void TCellFormat::SetDiagonalStyle(std::uint8_t style) {
  Set(XfBody, kDiagonalStyle, style);
  UpdateBorderFlag(XfBody);
}
void TCellFormat::SetLeftColorIndex(std::uint8_t index) { Set(XfBody, kLeftColor, index); }
void TCellFormat::SetLeftStyle(std::uint8_t style) {
  Set(XfBody, kLeftStyle, style);
  UpdateBorderFlag(XfBody);
}
void TCellFormat::SetRightColorIndex(std::uint8_t index) { Set(XfBody, kRightColor, index); }
void TCellFormat::SetRightStyle(std::uint8_t style) {
  Set(XfBody, kRightStyle, style);
  UpdateBorderFlag(XfBody);
}
void TCellFormat::SetTopColorIndex(std::uint8_t index) { Set(XfBody, kTopColor, index); }
void TCellFormat::SetTopStyle(std::uint8_t style) {
  Set(XfBody, kTopStyle, style);
  UpdateBorderFlag(XfBody);
}
void TCellFormat::SetPatternBackColorIndex(std::uint8_t index) {
  Set(XfBody, kBackColor, index);
  UpdatePatternFlagByColors(XfBody);
}
void TCellFormat::SetPatternForeColorIndex(std::uint8_t index) {
  Set(XfBody, kForeColor, index);
  if (index != 64) {
    Set(XfBody, kFillPattern, 1);
    Set(XfBody, kBackColor, 9);
  }
  UpdatePatternFlagByColors(XfBody);
}
void TCellFormat::SetFillPattern(std::uint8_t pattern) {
  Set(XfBody, kFillPattern, pattern);
  Set(XfBody, kPatternUsed, (pattern & 0x3F) ? 1 : 0);
}

TXFont* TCellFormat::GetFont() const { return owner_ ? owner_->Fonts().Item(FontIndex()) : nullptr; }

std::uint32_t TCellFormat::GetPatternForeColorRGB() const { return PaletteColor(GetPatternForeColorIndex()); }
void TCellFormat::SetPatternForeColorRGB(std::uint32_t) { throw EXLSError("Not implemented: SetCellColorRGB"); }
std::uint32_t TCellFormat::GetBottomColorRGB() const { return PaletteColor(GetBottomColorIndex()); }
std::uint32_t TCellFormat::GetDiagonalColorRGB() const { return PaletteColor(GetDiagonalColorIndex()); }
std::uint32_t TCellFormat::GetLeftColorRGB() const { return PaletteColor(GetLeftColorIndex()); }
std::uint32_t TCellFormat::GetRightColorRGB() const { return PaletteColor(GetRightColorIndex()); }
std::uint32_t TCellFormat::GetTopColorRGB() const { return PaletteColor(GetTopColorIndex()); }
std::uint32_t TCellFormat::GetPatternBackColorRGB() const { return PaletteColor(GetPatternBackColorIndex()); }
void TCellFormat::SetBottomColorRGB(std::uint32_t) {}
void TCellFormat::SetDiagonalColorRGB(std::uint32_t) {}
void TCellFormat::SetLeftColorRGB(std::uint32_t) {}
void TCellFormat::SetRightColorRGB(std::uint32_t) {}
void TCellFormat::SetTopColorRGB(std::uint32_t) {}
void TCellFormat::SetPatternBackColorRGB(std::uint32_t) {}

void TCellFormat::SetNumberFormatId(std::int32_t id) { Set(XfBody, kNumberFormat, static_cast<std::uint32_t>(id)); }
std::int32_t TCellFormat::GetNumberFormatId() const { return static_cast<std::int32_t>(Get(XfBody, kNumberFormat)); }

std::u16string TCellFormat::GetNumberFormatText() const {
  TNumberFormats* formats = OwnerNumberFormats();
  if (!formats) return {};
  TNumberFormat* f = formats->ItemById(GetNumberFormatId());
  return f ? f->Text : std::u16string();
}

void TCellFormat::SetNumberFormatText(std::u16string_view text) {
  if (!owner_) throw EXLSError("CellFormat has no parent");
  if (text.empty()) {
    HoldNumberFormat(0, true);
    SetNumberFormatId(0);
    return;
  }
  owner_->Mask().Parse(text);
  TNumberFormat* f = owner_->NumberFormats().AddByText(text);
  std::int32_t id = f->Id;
  HoldNumberFormat(id, true);
  SetNumberFormatId(id);
}

bool TCellFormat::IsDateTimeFormat() const {
  std::int32_t id = GetNumberFormatId();
  return id == 14 || id == 20;
}

void TCellFormat::Assign(const TCellFormat& other) {
  std::int32_t id = static_cast<std::int32_t>(Get(other.XfBody, kNumberFormat));
  HoldNumberFormat(id, false);
  XfBody = other.XfBody;
}

bool TCellFormat::Equals(const TCellFormat& other) const { return XfBody == other.XfBody; }
bool TCellFormat::HasFillPattern() const { return GetFillPattern() != 0; }
bool TCellFormat::HasBorders() const {
  return GetLeftStyle() || GetRightStyle() || GetTopStyle() || GetBottomStyle() || GetDiagonalStyle();
}
bool TCellFormat::UsesCustomFont() const { return FontIndex() > 5; }

void TCellFormat::LoadFromBiff8(const std::uint8_t* body, std::size_t size) {
  TByteReader r(body, size, "XF record");
  r.Require(20);
  HoldNumberFormat(GetU16(body + 2), false);
  std::memcpy(XfBody.data(), body, 20);
}

void TCellFormat::LoadFromBiff5(const std::uint8_t* body, std::size_t size) {
  TByteReader r(body, size, "XF record");
  r.Require(16);
  std::uint16_t number_format = GetU16(body + 2);
  HoldNumberFormat(number_format, false);
  TXfBody b{};
  std::memcpy(b.data(), body, 6);  // font, number format, word at 4
  std::uint16_t old6 = GetU16(body + 6);
  std::uint32_t old8 = GetU32(body + 8);
  std::uint32_t old12 = GetU32(body + 12);
  b[6] = static_cast<std::uint8_t>(old6 & 0xFF);
  static constexpr std::uint8_t kOrientation[4] = {0, 255, 90, 180};
  b[7] = kOrientation[(old6 >> 8) & 0x3];
  SetBits(b, 8, 2, 10, 6, old6 >> 10);
  // Pattern colours: foreground bits 0-6, background bits 7-13 (both 7 bits wide).
  Set(b, kForeColor, old8 & 0x7F);
  Set(b, kBackColor, (old8 >> 7) & 0x7F);
  Set(b, kFillPattern, (old8 >> 16) & 0x3F);
  Set(b, kBottomStyle, (old8 >> 22) & 0x7);
  Set(b, kBottomColor, (old8 >> 25) & 0x7F);
  Set(b, kTopStyle, old12 & 0x7);
  Set(b, kLeftStyle, (old12 >> 3) & 0x7);
  Set(b, kRightStyle, (old12 >> 6) & 0x7);
  Set(b, kTopColor, (old12 >> 9) & 0x7F);
  Set(b, kLeftColor, (old12 >> 16) & 0x7F);
  Set(b, kRightColor, (old12 >> 23) & 0x7F);
  XfBody = b;
}

// ---- TCellFormatEx12 ----

TCellFormatEx12::TCellFormatEx12(TCellFormats* owner) : TCellFormat(owner) { XfBody.fill(0); }

TCellFormatEx12::~TCellFormatEx12() = default;

TBorderLine* TCellFormatEx12::Line(TBorderSide side) const { return Border ? &Border->Lines[side] : nullptr; }

std::uint8_t TCellFormatEx12::GetBottomColorIndex() const {
  return Border ? Border->Lines[bsBottom].Color.PaletteIndex : 64;
}
std::uint8_t TCellFormatEx12::GetBottomStyle() const { return Border ? Border->Lines[bsBottom].Style : 0; }
std::uint8_t TCellFormatEx12::GetDiagonalColorIndex() const { return 64; }
std::uint8_t TCellFormatEx12::GetDiagonalLines() const { return 0; }
std::uint8_t TCellFormatEx12::GetDiagonalStyle() const { return 0; }
std::uint8_t TCellFormatEx12::GetLeftColorIndex() const { return Border ? Border->Lines[bsLeft].Color.PaletteIndex : 64; }
std::uint8_t TCellFormatEx12::GetLeftStyle() const { return Border ? Border->Lines[bsLeft].Style : 0; }
std::uint8_t TCellFormatEx12::GetRightColorIndex() const { return Border ? Border->Lines[bsRight].Color.PaletteIndex : 64; }
std::uint8_t TCellFormatEx12::GetRightStyle() const { return Border ? Border->Lines[bsRight].Style : 0; }
std::uint8_t TCellFormatEx12::GetTopColorIndex() const { return Border ? Border->Lines[bsTop].Color.PaletteIndex : 64; }
std::uint8_t TCellFormatEx12::GetTopStyle() const { return Border ? Border->Lines[bsTop].Style : 0; }
std::uint8_t TCellFormatEx12::GetPatternBackColorIndex() const { return Fill ? Fill->Background.PaletteIndex : 64; }
std::uint8_t TCellFormatEx12::GetPatternForeColorIndex() const { return Fill ? Fill->Foreground.PaletteIndex : 64; }
std::uint8_t TCellFormatEx12::GetFillPattern() const { return Fill ? Fill->PatternType : 0; }

void TCellFormatEx12::SetLineColorIndex(TBorderSide side, std::uint8_t index) {
  if (TBorderLine* line = Line(side)) {
    line->Color = TStyleColor{};
    line->Color.Kind = sckIndexed;
    line->Color.PaletteIndex = index;
    line->Color.Resolve();
  }
}
void TCellFormatEx12::SetLineColorRGB(TBorderSide side, std::uint32_t rgb) {
  if (TBorderLine* line = Line(side)) {
    line->Color = TStyleColor{};
    line->Color.Kind = sckRGB;
    line->Color.Value = rgb;
    line->Color.Resolved = rgb;
  }
}
std::uint32_t TCellFormatEx12::LineColorRGB(TBorderSide side) const {
  const TBorderLine* line = Line(side);
  return line ? line->Color.Resolved : kAutomaticColor;
}

void TCellFormatEx12::SetBottomColorIndex(std::uint8_t index) { SetLineColorIndex(bsBottom, index); }
void TCellFormatEx12::SetBottomStyle(std::uint8_t) {}
void TCellFormatEx12::SetDiagonalColorIndex(std::uint8_t index) { SetLineColorIndex(bsDiagonal, index); }
void TCellFormatEx12::SetDiagonalLines(std::uint8_t) {}
void TCellFormatEx12::SetDiagonalStyle(std::uint8_t) {}
void TCellFormatEx12::SetLeftColorIndex(std::uint8_t index) { SetLineColorIndex(bsLeft, index); }
void TCellFormatEx12::SetLeftStyle(std::uint8_t) {}
void TCellFormatEx12::SetRightColorIndex(std::uint8_t index) { SetLineColorIndex(bsRight, index); }
void TCellFormatEx12::SetRightStyle(std::uint8_t) {}
void TCellFormatEx12::SetTopColorIndex(std::uint8_t index) { SetLineColorIndex(bsTop, index); }
void TCellFormatEx12::SetTopStyle(std::uint8_t) {}

TXFont* TCellFormatEx12::GetFont() const { return Font; }

std::uint32_t TCellFormatEx12::GetPatternForeColorRGB() const {
  return Fill ? Fill->Foreground.Resolved : kAutomaticColor;
}
void TCellFormatEx12::SetPatternForeColorRGB(std::uint32_t rgb) {
  if (!Fill) return;
  Fill->Foreground = TStyleColor{};
  Fill->Foreground.Kind = sckRGB;
  Fill->Foreground.Value = rgb;
  Fill->Foreground.Resolved = rgb;
}
std::uint32_t TCellFormatEx12::GetBottomColorRGB() const { return LineColorRGB(bsBottom); }
std::uint32_t TCellFormatEx12::GetDiagonalColorRGB() const { return LineColorRGB(bsDiagonal); }
std::uint32_t TCellFormatEx12::GetLeftColorRGB() const { return LineColorRGB(bsLeft); }
std::uint32_t TCellFormatEx12::GetRightColorRGB() const { return LineColorRGB(bsRight); }
std::uint32_t TCellFormatEx12::GetTopColorRGB() const { return LineColorRGB(bsTop); }
std::uint32_t TCellFormatEx12::GetPatternBackColorRGB() const {
  return Fill ? Fill->Background.Resolved : kAutomaticColor;
}
void TCellFormatEx12::SetBottomColorRGB(std::uint32_t rgb) { SetLineColorRGB(bsBottom, rgb); }
void TCellFormatEx12::SetDiagonalColorRGB(std::uint32_t rgb) { SetLineColorRGB(bsDiagonal, rgb); }
void TCellFormatEx12::SetLeftColorRGB(std::uint32_t rgb) { SetLineColorRGB(bsLeft, rgb); }
void TCellFormatEx12::SetRightColorRGB(std::uint32_t rgb) { SetLineColorRGB(bsRight, rgb); }
void TCellFormatEx12::SetTopColorRGB(std::uint32_t rgb) { SetLineColorRGB(bsTop, rgb); }
void TCellFormatEx12::SetPatternBackColorRGB(std::uint32_t rgb) {
  if (!Fill) return;
  Fill->Background = TStyleColor{};
  Fill->Background.Kind = sckRGB;
  Fill->Background.Value = rgb;
  Fill->Background.Resolved = rgb;
}

void TCellFormatEx12::SetNumberFormatId(std::int32_t id) { NumberFormatId = id; }
std::int32_t TCellFormatEx12::GetNumberFormatId() const { return NumberFormatId; }

void TCellFormatEx12::SetNumberFormatText(std::u16string_view text) {
  if (!Owner()) throw EXLSError("CellFormat has no parent");
  if (text.empty()) {
    HoldNumberFormat(0, true);
    NumberFormatId = 0;
    return;
  }
  Owner()->Mask().Parse(text);
  TNumberFormat* f = Owner()->NumberFormats().AddByText(text);
  std::int32_t id = f->Id;
  HoldNumberFormat(id, true);
  NumberFormatId = id;
}

void TCellFormatEx12::Assign(const TCellFormat& other) {
  TCellFormat::Assign(other);
  const auto* o = dynamic_cast<const TCellFormatEx12*>(&other);
  if (!o) return;
  if (o->Fill) ++o->Fill->Usage;
  if (Fill) --Fill->Usage;
  Fill = o->Fill;
  if (o->Border) ++o->Border->Usage;
  if (Border) --Border->Usage;
  Border = o->Border;
  StyleFormat = o->StyleFormat;
  StyleFormatIndex = o->StyleFormatIndex;
  Font = o->Font;
  ApplyFlags = o->ApplyFlags;
  NumberFormatId = o->NumberFormatId;
  RelativeIndent = o->RelativeIndent;
  ReadingOrder = o->ReadingOrder;
  QuotePrefix = o->QuotePrefix;
  PivotButton = o->PivotButton;
}

bool TCellFormatEx12::Equals(const TCellFormat&) const { return false; }
bool TCellFormatEx12::IsDateTimeFormat() const { return false; }
bool TCellFormatEx12::HasFillPattern() const { return false; }
bool TCellFormatEx12::HasBorders() const { return false; }
bool TCellFormatEx12::UsesCustomFont() const { return false; }

// ---- TCellFormats ----

TCellFormats::TCellFormats(TXFonts& fonts, bool master) : fonts_(fonts), master_(master) {
  fonts_.AddRemovalListener(this);
  Prime();
}

TCellFormats::~TCellFormats() {
  fonts_.RemoveRemovalListener(this);
  RemoveAllFormats();
}

void TCellFormats::RemoveAllFormats() {
  // Formats first: each gives back its number-format use.
  while (!formats_.empty()) formats_.pop_back();
}

void TCellFormats::Prime() {
  if (!master_) return;
  number_formats_.AddDefaults();
  TFill* none = fills_.Add();
  none->PatternType = 0;
  TFill* grey = fills_.Add();
  grey->PatternType = 17;
  TBorder* border = borders_.Add();
  for (TBorderLine& line : border->Lines) line.Color.Kind = sckNone;
  AddDefaultFormatBodies();
  AddFormat();
  first_deletable_ = Count();
}

void TCellFormats::Clear() {
  RemoveAllFormats();
  number_formats_.Clear();
  fills_.Clear();
  borders_.Clear();
  first_deletable_ = 0;
}

int TCellFormats::AddDefaultFormats() {
  if (!formats_.empty()) throw EXLSError("Add default formats when not empty.");
  number_formats_.AddDefaults();
  AddDefaultFormatBodies();
  first_deletable_ = Count();
  return first_deletable_;
}

void TCellFormats::AddDefaultFormatBodies() {
  for (const TDefaultFormat& d : kDefaultFormats) {
    TCellFormat* f = AddFormat();
    TXfBody b{};
    PutU16(b, 0, d.Font);
    PutU16(b, 2, d.NumberFormat);
    PutU16(b, 4, d.Word4);
    b[6] = 0x20;  // general, bottom
    PutU16(b, 8, d.Word8);
    b[18] = 0xC0;  // pattern colours 64 and 65
    b[19] = 0x20;
    f->XfBody = b;  // built-in number formats: no use to count
  }
}

TCellFormat* TCellFormats::AddFormat() {
  formats_.push_back(std::make_unique<TCellFormat>(this));
  formats_.back()->Index = Count() - 1;
  return formats_.back().get();
}

TCellFormatEx12* TCellFormats::AddFormatEx12() {
  auto format = std::make_unique<TCellFormatEx12>(this);
  TCellFormatEx12* raw = format.get();
  formats_.push_back(std::move(format));
  raw->Index = Count() - 1;
  return raw;
}

int TCellFormats::FindEqual(const TCellFormat& format) const {
  for (std::size_t i = 0; i < formats_.size(); ++i)
    if (formats_[i]->Equals(format)) return static_cast<int>(i);
  return -1;
}

void TCellFormats::RemoveAt(long long index) {
  TXFont* heldFont = Item(index)->held_font_;
  formats_.erase(formats_.begin() + index);
  for (std::size_t i = static_cast<std::size_t>(index); i < formats_.size(); ++i)
    formats_[i]->Index = static_cast<std::int32_t>(i);
  if (index < first_deletable_) --first_deletable_;
  if (OnFormatRemoved) OnFormatRemoved(static_cast<int>(index));
  // Last, once no format refers to the font through this one: removing the
  // font renumbers the font indices of the remaining formats.
  if (heldFont != nullptr) fonts_.ReleaseUsage(*heldFont);
}

TCellFormat& TCellFormats::AddCopyOf(const TCellFormat& format) {
  if (Count() > 0xFFFF) throw EXLSError("Too many cell formats (" + std::to_string(Count()) + ")");
  const bool ex12 = dynamic_cast<const TCellFormatEx12*>(&format) != nullptr;
  TCellFormat* added = ex12 ? AddFormatEx12() : AddFormat();
  try {
    added->Assign(format);
  } catch (...) {
    formats_.pop_back();
    throw;
  }
  added->Usage = 1;
  TXFont* font = ex12 ? added->GetFont() : (added->FontIndex() < fonts_.Count() ? added->GetFont() : nullptr);
  if (font != nullptr && font->Index >= fonts_.FirstDeletable()) {
    TXFonts::AddUsage(*font);
    added->held_font_ = font;
  }
  return *added;
}

void TCellFormats::ReleaseUsage(TCellFormat& format) {
  if (format.Index < first_deletable_) return;
  if (--format.Usage < 1) RemoveAt(format.Index);
}

void TCellFormats::FontRemoved(int index) {
  // BIFF formats name fonts by index: later fonts moved down one place.
  for (auto& f : formats_) {
    if (dynamic_cast<TCellFormatEx12*>(f.get())) continue;
    std::uint16_t font = f->FontIndex();
    if (font > index) PutU16(f->XfBody, 0, static_cast<std::uint16_t>(font - 1));
  }
}

}  // namespace gridport
