// Changing the formatting of one cell: TFormattedObject.
//
// Cells share their formats: a cell names an entry of the workbook's
// cell-format list by index, and many cells name the same entry. A setter
// here therefore never changes the format in place. It builds a temporary
// format equal to the cell's with the one property changed, then the cell
// takes an equal format already in the list (one usage more) or a new one
// appended with usage 1 (TCellFormats::AddCopyOf), and gives up its old
// format (one usage fewer; a counted format left without users is removed,
// and the workbook renumbers the cells after it). A font property works one
// level down first: the cell's font with the property changed is looked up
// among the fonts (TXFont::Equals) or appended, and the temporary format
// names it. Setting a property to the value it already has does nothing.
//
// For an Excel 2007 format, whose border is an object shared with other
// formats, a border colour change first gives the temporary format a
// border of its own. Setters that such a format ignores (line styles,
// diagonal lines, and the pattern setters, which write the XF body while
// its fill object answers the getters) change nothing.
//
// The object refers to the cell and the list; both must outlive it. Reading
// never calls these setters.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "workbook/cell_formats.h"
#include "workbook/cells.h"

namespace gridport {

class TFormattedObject {
 public:
  TFormattedObject(TCellFormats& formats, TCell& cell) : formats_(formats), cell_(cell) {}

  // The cell's current format.
  TCellFormat& Format() const { return *formats_.Item(cell_.FormatIndex()); }

  // Font. A format without a font (an Excel 2007 format whose styles part
  // named none) starts from a reset font.
  void SetFontName(std::u16string_view name);
  void SetFontHeight(std::uint32_t twentieths);
  void SetFontColorIndex(std::uint8_t index);
  void SetFontStyle(std::uint8_t style);  // TXFontStyleBits
  void SetFontUnderline(std::uint8_t underline);
  void SetFontScript(std::uint8_t script);
  void SetFontCharset(std::uint8_t charset);

  // Alignment.
  void SetHorizAlignment(std::uint8_t alignment);
  void SetVertAlignment(std::uint8_t alignment);
  void SetTextOptions(std::uint8_t options);  // TTextOptionBits
  void SetRotation(int angle);
  void SetIndent(std::uint8_t indent);
  void SetMergeCells(bool merge);

  // Borders.
  void SetLeftStyle(std::uint8_t style);
  void SetRightStyle(std::uint8_t style);
  void SetTopStyle(std::uint8_t style);
  void SetBottomStyle(std::uint8_t style);
  void SetDiagonalStyle(std::uint8_t style);
  void SetLeftColorIndex(std::uint8_t index);
  void SetRightColorIndex(std::uint8_t index);
  void SetTopColorIndex(std::uint8_t index);
  void SetBottomColorIndex(std::uint8_t index);
  void SetDiagonalColorIndex(std::uint8_t index);
  void SetDiagonalLines(std::uint8_t lines);

  // Fill.
  void SetFillPattern(std::uint8_t pattern);
  void SetPatternForeColorIndex(std::uint8_t index);
  void SetPatternBackColorIndex(std::uint8_t index);

  // Number format (checked by the mask parser) and protection.
  void SetNumberFormatText(std::u16string_view text);
  void SetProtection(std::uint8_t protection);  // TProtectionBits

 private:
  // The copy-on-write step: `apply` changes a temporary copy of the cell's
  // format and returns false when that changed nothing. ownBorder: the change
  // writes into an Excel 2007 format's border, which other formats share.
  void Rewrite(const std::function<bool(TCellFormat&)>& apply, bool ownBorder = false);
  // One property of the format, read by get and written by set.
  template <typename V>
  void SetProperty(V (TCellFormat::*get)() const, void (TCellFormat::*set)(V), V value, bool ownBorder = false);
  // One property of the font: has tells whether a font has the new value
  // already, apply sets it.
  void SetFontProperty(const std::function<bool(const TXFont&)>& has, const std::function<void(TXFont&)>& apply);
  // The cell takes `format`'s equal or a new copy of it and gives up its own.
  void Take(const TCellFormat& format);

  TCellFormats& formats_;
  TCell& cell_;
};

}  // namespace gridport
