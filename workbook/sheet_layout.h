// A sheet's rows, columns and merged areas as a file describes them: heights, widths, hidden
// and outline state, row formats. The conversion does not use them; the model keeps them so
// that a read loses nothing a writer would need.
//
// Ownership: each TSheet owns one TSheetLayout, emptied with the sheet's cells.
#pragma once

#include <cstdint>
#include <vector>

namespace gridport {

// A row with properties of its own; rows not listed have the sheet's defaults.
struct TRowInfo {
  std::uint32_t Row = 0;          // 0-based
  std::uint16_t Height = 255;     // twips (1/20 point)
  std::uint16_t FormatIndex = 0;  // 0: the row has no format of its own
  std::uint8_t OutlineLevel = 0;
  bool Hidden = false;
  bool CustomFormat = false;
  bool Collapsed = false;
  bool CustomHeight = false;
  bool Phonetic = false;
  bool ThickBottom = false;
  bool ThickTop = false;
};

struct TColumnInfo {
  std::uint16_t Width = 2500;  // 1/256 of a character width
  std::uint8_t OutlineLevel = 0;
  bool Collapsed = false;
  bool Hidden = false;
  bool BestFit = false;
  bool CustomWidth = false;
  bool Phonetic = false;
};

struct TMergedArea {
  std::uint16_t FirstCol = 0, LastCol = 0;
  std::uint32_t FirstRow = 0, LastRow = 0;
};

class TSheetLayout {
 public:
  // Rows in the order read (a file lists them in ascending order).
  std::vector<TRowInfo> Rows;
  std::vector<TMergedArea> MergedAreas;

  // The column's entry, created with the defaults (and every column before it) on first use.
  TColumnInfo& Column(std::uint16_t col) {
    if (col >= columns_.size()) columns_.resize(static_cast<std::size_t>(col) + 1);
    return columns_[col];
  }
  // Columns 0 to ColumnCount() - 1 have entries (the ones no file described hold defaults).
  std::size_t ColumnCount() const { return columns_.size(); }
  const TColumnInfo& ColumnAt(std::size_t col) const { return columns_.at(col); }
  // The entry of a row, or nullptr for a row with the defaults.
  const TRowInfo* FindRow(std::uint32_t row) const {
    for (const TRowInfo& info : Rows)
      if (info.Row == row) return &info;
    return nullptr;
  }
  void Clear() {
    Rows.clear();
    MergedAreas.clear();
    columns_.clear();
  }

 private:
  std::vector<TColumnInfo> columns_;
};

}  // namespace gridport
