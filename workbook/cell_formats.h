// The workbook's cell-format table TCellFormats (the XF table): BIFF-style
// formats TCellFormat holding the 20-byte BIFF8 XF body, Excel 2007 formats
// TCellFormatEx12 that refer to fills, borders and fonts, and the fill,
// border and cell-style lists those use.
//
// Ownership and lifetimes:
// - TCellFormats owns its formats, its TNumberFormats, its TExcelMask, its
//   fills and borders. It refers to the workbook's TXFonts (not owned), which
//   must outlive it.
// - Cells, rows and columns hold format pointers; formats at or above the
//   first deletable index are usage counted by them (AddUsage/ReleaseUsage)
//   and removed at zero. Removing a format moves later formats down one index.
// - An Excel 2007 format refers to fills and borders of the workbook's master
//   table and to a font of the font table; those outlive the format as long
//   as the workbook clears formats before fills, borders and fonts.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "workbook/excel_mask.h"
#include "workbook/fonts.h"
#include "workbook/number_formats.h"
#include "workbook/style_color.h"
#include "workbook/xls_error.h"

namespace gridport {

class TCellFormats;

// A usage-counted object and its position in its owning list.
class TUsageObject {
 public:
  virtual ~TUsageObject() = default;
  std::int32_t Usage = 0;
  std::int32_t Index = -1;
};

// A plain owning list of usage-counted objects; an object's Index is its position.
template <typename T>
class TUsageObjectList {
 public:
  T* Add() {
    items_.push_back(std::make_unique<T>());
    items_.back()->Index = static_cast<std::int32_t>(items_.size() - 1);
    return items_.back().get();
  }
  T* Item(long long index) const {
    if (index < 0 || index >= static_cast<long long>(items_.size())) throw EListError(index);
    return items_[static_cast<std::size_t>(index)].get();
  }
  int Count() const { return static_cast<int>(items_.size()); }
  void Clear() { items_.clear(); }

 private:
  std::vector<std::unique_ptr<T>> items_;
};

struct TGradientStop {
  TStyleColor Color;
  double Position = 0.0;
};

struct TGradientFill {
  std::vector<TGradientStop> Stops;
  std::uint8_t GradientType = 0;  // 0 linear, 1 path
  double Degree = 0.0;

  double Left() const { return left_; }
  double Right() const { return right_; }
  double Top() const { return top_; }
  double Bottom() const { return bottom_; }
  bool LeftGiven() const { return left_given_; }
  bool RightGiven() const { return right_given_; }
  bool TopGiven() const { return top_given_; }
  bool BottomGiven() const { return bottom_given_; }
  void SetLeft(double v) { left_ = v, left_given_ = true; }
  void SetRight(double v) { right_ = v, right_given_ = true; }
  void SetTop(double v) { top_ = v, top_given_ = true; }
  void SetBottom(double v) { bottom_ = v, bottom_given_ = true; }

 private:
  double left_ = 0.0, right_ = 0.0, top_ = 0.0, bottom_ = 0.0;
  bool left_given_ = false, right_given_ = false, top_given_ = false, bottom_given_ = false;
};

class TFill : public TUsageObject {
 public:
  std::uint8_t PatternType = 0;  // 0 none, 1 solid, ... 17 grey 12.5 %, 18 grey 6.25 %
  TStyleColor Foreground;
  TStyleColor Background;

  TGradientFill* Gradient() const { return gradient_.get(); }
  // Switching to gradient creates the gradient object; switching back destroys it.
  void SetGradient(bool on);

 private:
  std::unique_ptr<TGradientFill> gradient_;
};

struct TBorderLine {
  TStyleColor Color;
  std::uint8_t Style = 0;  // 0 none, 1 thin, 2 medium, ... 13 slanted dash-dot
};

enum TBorderSide { bsLeft, bsTop, bsRight, bsBottom, bsDiagonal, bsHorizontal, bsVertical };

class TBorder : public TUsageObject {
 public:
  std::uint8_t Options = 0;  // 1 diagonal down, 2 diagonal up, 4 outline
  TBorderLine Lines[7];      // indexed by TBorderSide
};

using TFills = TUsageObjectList<TFill>;
using TBorders = TUsageObjectList<TBorder>;

struct TEx12CellStyle {
  std::int32_t BuiltInId = -1;  // -1: not built in
  bool CustomBuiltIn = false;
  bool Hidden = false;
  std::int32_t OutlineLevel = -1;  // -1: none
  std::u16string Name;
  std::int32_t StyleFormatIndex = 0;
};

class TEx12CellStyles {
 public:
  TEx12CellStyle* Add() {
    items_.push_back(std::make_unique<TEx12CellStyle>());
    return items_.back().get();
  }
  TEx12CellStyle* Item(long long index) const {
    if (index < 0 || index >= static_cast<long long>(items_.size())) throw EListError(index);
    return items_[static_cast<std::size_t>(index)].get();
  }
  int Count() const { return static_cast<int>(items_.size()); }
  void Clear() { items_.clear(); }

 private:
  std::vector<std::unique_ptr<TEx12CellStyle>> items_;
};

// Sets of text options and protection.
enum TTextOptionBits : std::uint8_t { toWrapText = 1, toShrinkToFit = 2, toJustifyLast = 4 };
enum TProtectionBits : std::uint8_t { cpLocked = 1, cpHidden = 2 };

using TXfBody = std::array<std::uint8_t, 20>;

class TCellFormat : public TUsageObject {
 public:
  // A new format: font 0, number format 0, locked, vertical alignment bottom,
  // all border colours 64, pattern colours 64 and 65. owner may be null.
  explicit TCellFormat(TCellFormats* owner);
  // Gives back the number-format use the format holds.
  ~TCellFormat() override;
  TCellFormat(const TCellFormat&) = delete;
  TCellFormat& operator=(const TCellFormat&) = delete;

  TCellFormats* Owner() const { return owner_; }
  // The BIFF8 XF record body, laid out exactly as the file stores it.
  TXfBody XfBody{};
  std::uint16_t FontIndex() const;

  // Alignment, rotation and protection.
  virtual void SetIndent(std::uint8_t indent);
  virtual void SetRotation(int angle);
  virtual int GetRotation() const;
  virtual std::uint8_t GetTextOptions() const;  // TTextOptionBits
  virtual std::uint8_t GetHorizAlignment() const;
  virtual std::uint8_t GetIndent() const;
  virtual std::uint8_t GetProtection() const;  // TProtectionBits
  virtual std::uint8_t GetVertAlignment() const;
  virtual void SetTextOptions(std::uint8_t options);
  virtual void SetHorizAlignment(std::uint8_t alignment);
  virtual void SetProtection(std::uint8_t protection);
  virtual void SetVertAlignment(std::uint8_t alignment);
  virtual bool GetMergeCells() const;
  virtual void SetMergeCells(bool merge);

  // Borders and fill by palette index and line style.
  virtual std::uint8_t GetBottomColorIndex() const;
  virtual std::uint8_t GetBottomStyle() const;
  virtual std::uint8_t GetDiagonalColorIndex() const;
  virtual std::uint8_t GetDiagonalLines() const;
  virtual std::uint8_t GetDiagonalStyle() const;
  virtual std::uint8_t GetLeftColorIndex() const;
  virtual std::uint8_t GetLeftStyle() const;
  virtual std::uint8_t GetRightColorIndex() const;
  virtual std::uint8_t GetRightStyle() const;
  virtual std::uint8_t GetTopColorIndex() const;
  virtual std::uint8_t GetTopStyle() const;
  virtual std::uint8_t GetPatternBackColorIndex() const;  // at most 64
  virtual std::uint8_t GetPatternForeColorIndex() const;
  virtual std::uint8_t GetFillPattern() const;

  // Colour indices 0-127 and line styles 0-15 (higher bits are dropped).
  virtual void SetBottomColorIndex(std::uint8_t index);
  virtual void SetBottomStyle(std::uint8_t style);
  virtual void SetDiagonalColorIndex(std::uint8_t index);
  virtual void SetDiagonalLines(std::uint8_t lines);
  virtual void SetDiagonalStyle(std::uint8_t style);
  virtual void SetLeftColorIndex(std::uint8_t index);
  virtual void SetLeftStyle(std::uint8_t style);
  virtual void SetRightColorIndex(std::uint8_t index);
  virtual void SetRightStyle(std::uint8_t style);
  virtual void SetTopColorIndex(std::uint8_t index);
  virtual void SetTopStyle(std::uint8_t style);
  virtual void SetPatternBackColorIndex(std::uint8_t index);
  // Any index but 64 also sets the solid pattern and background index 9.
  virtual void SetPatternForeColorIndex(std::uint8_t index);
  virtual void SetFillPattern(std::uint8_t pattern);

  // The font-table entry of the font index ("List index out of bounds (%d)"
  // outside the table; null without owner).
  virtual TXFont* GetFont() const;
  virtual std::uint32_t GetPatternForeColorRGB() const;
  // Fails with "Not implemented: SetCellColorRGB".
  virtual void SetPatternForeColorRGB(std::uint32_t rgb);
  virtual std::uint32_t GetBottomColorRGB() const;
  virtual std::uint32_t GetDiagonalColorRGB() const;
  virtual std::uint32_t GetLeftColorRGB() const;
  virtual std::uint32_t GetRightColorRGB() const;
  virtual std::uint32_t GetTopColorRGB() const;
  virtual std::uint32_t GetPatternBackColorRGB() const;
  // These do nothing for a BIFF-style format.
  virtual void SetBottomColorRGB(std::uint32_t rgb);
  virtual void SetDiagonalColorRGB(std::uint32_t rgb);
  virtual void SetLeftColorRGB(std::uint32_t rgb);
  virtual void SetRightColorRGB(std::uint32_t rgb);
  virtual void SetTopColorRGB(std::uint32_t rgb);
  virtual void SetPatternBackColorRGB(std::uint32_t rgb);

  virtual void SetNumberFormatId(std::int32_t id);
  virtual std::int32_t GetNumberFormatId() const;
  // The owner's number-format text for the id; empty without owner.
  virtual std::u16string GetNumberFormatText() const;
  // "CellFormat has no parent" without owner; "" sets id 0; any other text
  // is checked by the mask parser and added to the owner's number formats.
  virtual void SetNumberFormatText(std::u16string_view text);
  virtual bool IsDateTimeFormat() const;  // ids 14 and 20
  // Copies the other's XF body and takes a use of its number format.
  virtual void Assign(const TCellFormat& other);
  virtual bool Equals(const TCellFormat& other) const;  // XF bodies equal
  virtual bool HasFillPattern() const;
  virtual bool HasBorders() const;
  virtual bool UsesCustomFont() const;  // font index above 5

  // From an XF record body: BIFF8 (20 bytes, copied) or BIFF5/BIFF7 (16
  // bytes, converted). A shorter body fails with EXLSError; the number format
  // id must exist ("Can not find number format# %d" otherwise).
  void LoadFromBiff8(const std::uint8_t* body, std::size_t size);
  void LoadFromBiff5(const std::uint8_t* body, std::size_t size);

 protected:
  // Takes over one number-format use of id, `counted` when the caller has
  // counted it already; gives back the use held before.
  void HoldNumberFormat(std::int32_t id, bool counted);
  TNumberFormats* OwnerNumberFormats() const;

 private:
  friend class TCellFormats;
  TCellFormats* owner_;
  std::int32_t held_number_format_ = -1;  // id whose use this format holds
  TXFont* held_font_ = nullptr;           // font whose usage this format holds (AddCopyOf)
};

class TCellFormatEx12 : public TCellFormat {
 public:
  // All 20 XF body bytes start at zero.
  explicit TCellFormatEx12(TCellFormats* owner);
  ~TCellFormatEx12() override;

  // While the styles part is read, StyleFormatIndex holds the raw "xfId";
  // the reader then sets StyleFormat.
  TCellFormat* StyleFormat = nullptr;
  std::int32_t StyleFormatIndex = 0;
  TFill* Fill = nullptr;
  TBorder* Border = nullptr;
  TXFont* Font = nullptr;
  std::uint8_t ApplyFlags = 0;  // 1 number format, 2 font, 4 fill, 8 border, 16 alignment, 32 protection
  std::int32_t NumberFormatId = 0;
  std::int32_t RelativeIndent = 0;
  std::int32_t ReadingOrder = 0;
  bool QuotePrefix = false;
  bool PivotButton = false;

  std::uint8_t GetBottomColorIndex() const override;
  std::uint8_t GetBottomStyle() const override;
  std::uint8_t GetDiagonalColorIndex() const override;  // always 64
  std::uint8_t GetDiagonalLines() const override;       // always 0
  std::uint8_t GetDiagonalStyle() const override;       // always 0
  std::uint8_t GetLeftColorIndex() const override;
  std::uint8_t GetLeftStyle() const override;
  std::uint8_t GetRightColorIndex() const override;
  std::uint8_t GetRightStyle() const override;
  std::uint8_t GetTopColorIndex() const override;
  std::uint8_t GetTopStyle() const override;
  std::uint8_t GetPatternBackColorIndex() const override;
  std::uint8_t GetPatternForeColorIndex() const override;
  std::uint8_t GetFillPattern() const override;

  // Colour-index setters make the border line's colour indexed; the style
  // and diagonal-lines setters do nothing.
  void SetBottomColorIndex(std::uint8_t index) override;
  void SetBottomStyle(std::uint8_t style) override;
  void SetDiagonalColorIndex(std::uint8_t index) override;
  void SetDiagonalLines(std::uint8_t lines) override;
  void SetDiagonalStyle(std::uint8_t style) override;
  void SetLeftColorIndex(std::uint8_t index) override;
  void SetLeftStyle(std::uint8_t style) override;
  void SetRightColorIndex(std::uint8_t index) override;
  void SetRightStyle(std::uint8_t style) override;
  void SetTopColorIndex(std::uint8_t index) override;
  void SetTopStyle(std::uint8_t style) override;

  TXFont* GetFont() const override;
  std::uint32_t GetPatternForeColorRGB() const override;
  void SetPatternForeColorRGB(std::uint32_t rgb) override;
  std::uint32_t GetBottomColorRGB() const override;
  std::uint32_t GetDiagonalColorRGB() const override;
  std::uint32_t GetLeftColorRGB() const override;
  std::uint32_t GetRightColorRGB() const override;
  std::uint32_t GetTopColorRGB() const override;
  std::uint32_t GetPatternBackColorRGB() const override;
  void SetBottomColorRGB(std::uint32_t rgb) override;
  void SetDiagonalColorRGB(std::uint32_t rgb) override;
  void SetLeftColorRGB(std::uint32_t rgb) override;
  void SetRightColorRGB(std::uint32_t rgb) override;
  void SetTopColorRGB(std::uint32_t rgb) override;
  void SetPatternBackColorRGB(std::uint32_t rgb) override;

  void SetNumberFormatId(std::int32_t id) override;
  std::int32_t GetNumberFormatId() const override;
  void SetNumberFormatText(std::u16string_view text) override;
  // Copies as TCellFormat does; from another Excel 2007 format it also takes
  // its fill and border (one usage more each), font, number-format id,
  // style, apply flags and the remaining fields.
  void Assign(const TCellFormat& other) override;
  bool Equals(const TCellFormat& other) const override;  // always false
  bool IsDateTimeFormat() const override;                // always false
  bool HasFillPattern() const override;                  // always false
  bool HasBorders() const override;                      // always false
  bool UsesCustomFont() const override;                  // always false

 private:
  TBorderLine* Line(TBorderSide side) const;
  void SetLineColorIndex(TBorderSide side, std::uint8_t index);
  void SetLineColorRGB(TBorderSide side, std::uint32_t rgb);
  std::uint32_t LineColorRGB(TBorderSide side) const;
};

class TCellFormats final : private TFontRemovalListener {
 public:
  // A master table is primed with its defaults at once (see Prime).
  TCellFormats(TXFonts& fonts, bool master);
  ~TCellFormats();
  TCellFormats(const TCellFormats&) = delete;
  TCellFormats& operator=(const TCellFormats&) = delete;

  // Master table only: the 59 built-in number formats, fills with patterns 0
  // and 17, one border without lines, the 21 default formats and one new
  // format (index 21); the first deletable index becomes 22.
  void Prime();
  // Removes every format, number format, fill and border.
  void Clear();
  // After a read: everything read is permanent.
  void FinishLoad() { first_deletable_ = Count(); }
  // Before an Open XML read: the built-in number formats and the 21 default
  // formats; returns the first deletable index (21). A table holding any
  // format fails with "Add default formats when not empty.".
  int AddDefaultFormats();

  TCellFormat* AddFormat();
  TCellFormatEx12* AddFormatEx12();
  // Appends a format of the same class as `format`, assigned from it, with
  // usage 1: the copy-on-write step of the per-object formatting setters.
  // The new format holds one usage of its font when that font is counted
  // (at or above the font table's first deletable index) and gives it back
  // when it is removed, so a font stays while any format names it. Cells
  // name formats by a 16-bit index: a 65537th format fails with EXLSError.
  TCellFormat& AddCopyOf(const TCellFormat& format);
  // Index of the first format equal to `format` (Equals), or -1.
  int FindEqual(const TCellFormat& format) const;
  // Destroys the format at index; later formats move down one index and
  // OnFormatRemoved is told, so that holders of indices can follow.
  void RemoveAt(long long index);
  std::function<void(int index)> OnFormatRemoved;
  // Inline, as AddUsage: every cell a reader stores looks its format up.
  TCellFormat* Item(long long index) const {
    if (index < 0 || index >= static_cast<long long>(formats_.size())) throw EListError(index);
    return formats_[static_cast<std::size_t>(index)].get();
  }
  TCellFormat* operator[](long long index) const { return Item(index); }
  int Count() const { return static_cast<int>(formats_.size()); }

  // Usage counting by cells, rows and columns: formats below the first
  // deletable index are not counted; ReleaseUsage removes a counted format
  // whose usage falls below 1 (the pointer is invalid afterwards).
  void AddUsage(TCellFormat& format) const {
    if (format.Index >= first_deletable_) ++format.Usage;
  }
  void ReleaseUsage(TCellFormat& format);

  int FirstDeletable() const { return first_deletable_; }
  void SetFirstDeletable(int index) { first_deletable_ = index; }
  bool IsMaster() const { return master_; }
  TXFonts& Fonts() const { return fonts_; }
  TNumberFormats& NumberFormats() { return number_formats_; }
  const TNumberFormats& NumberFormats() const { return number_formats_; }
  TExcelMask& Mask() { return mask_; }
  TFills& Fills() { return fills_; }
  TBorders& Borders() { return borders_; }

 private:
  void FontRemoved(int index) override;
  void AddDefaultFormatBodies();
  void RemoveAllFormats();

  TXFonts& fonts_;
  bool master_;
  TNumberFormats number_formats_;
  TExcelMask mask_;
  TFills fills_;
  TBorders borders_;
  std::vector<std::unique_ptr<TCellFormat>> formats_;
  int first_deletable_ = 0;
};

}  // namespace gridport
