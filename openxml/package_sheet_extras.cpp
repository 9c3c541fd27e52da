// Row and column properties and merged areas of a worksheet part, into the sheet's layout.
#include <algorithm>
#include <cmath>

#include "openxml/package_reader.h"
#include "workbook/sheets.h"
#include "workbook/xls_error.h"

namespace gridport {
namespace {

constexpr std::int32_t kLastColumn = 16383;
constexpr std::int32_t kLastRow = 1048575;

// value × scale rounded, kept inside 0..65535; a value that is no finite number gives def.
std::uint16_t Scaled(const TExXMLTag& tag, int attr, double def, double scale) {
  double value = tag.Float(attr, def);
  if (!std::isfinite(value)) value = def;
  return static_cast<std::uint16_t>(std::clamp(std::round(value * scale), 0.0, 65535.0));
}

std::uint8_t OutlineLevel(const TExXMLTag& tag) {
  return static_cast<std::uint8_t>(std::clamp(tag.Int(xaOutlineLevel, 0), 0, 255));
}

}  // namespace

void TPackageReader::ReadRow(const TExXMLTag& row) {
  // A row that only lists its cells (no height, format or state of its own) keeps the
  // defaults and needs no entry: most rows of a large sheet are such rows.
  static constexpr int kProperties[] = {xaHt,        xaHidden, xaS,  xaCustomFormat, xaCollapsed, xaOutlineLevel,
                                        xaCustomHeight, xaPh,  xaThickBot, xaThickTop};
  if (std::none_of(std::begin(kProperties), std::end(kProperties), [&](int a) { return row.HasValue(a); })) return;
  // Without a row number the row follows the previous one, as its cells do (TagBegun).
  const TExXMLValue* r = row.Value(xaR);
  const std::int32_t given = row.Int(xaR, 0);
  const std::int64_t number = given > 0 ? given : static_cast<std::int64_t>(row_) + 1;
  if (number > kLastRow + 1)
    throw EXLSError("Row number out of range: " + std::string(r ? r->Raw : "(none)"));
  TRowInfo info;
  info.Row = static_cast<std::uint32_t>(number - 1);
  info.Height = Scaled(row, xaHt, 12.75, 20);
  info.Hidden = row.Bool(xaHidden, false);
  const std::int32_t s = row.Int(xaS, 0);
  if (s > 0) info.FormatIndex = static_cast<std::uint16_t>(std::min<std::int64_t>(std::int64_t{s} + 21, 0xFFFF));
  info.CustomFormat = row.Bool(xaCustomFormat, false);
  info.Collapsed = row.Bool(xaCollapsed, false);
  info.OutlineLevel = OutlineLevel(row);
  info.CustomHeight = row.Bool(xaCustomHeight, false);
  info.Phonetic = row.Bool(xaPh, false);
  info.ThickBottom = row.Bool(xaThickBot, false);
  info.ThickTop = row.Bool(xaThickTop, false);
  sheet_->Layout().Rows.push_back(info);
}

void TPackageReader::ReadColumn(const TExXMLTag& col) {
  // Columns past the last one a sheet can have do not exist: writers give max="16384" and
  // more for "all the remaining columns".
  const std::int32_t min = std::max(col.RequiredInt(xaMin), 1);
  const std::int32_t max = std::min(col.RequiredInt(xaMax), kLastColumn + 1);
  if (max < min) return;
  TColumnInfo info;
  info.Collapsed = col.Bool(xaCollapsed, false);
  info.Hidden = col.Bool(xaHidden, false);
  info.OutlineLevel = OutlineLevel(col);
  info.Width = Scaled(col, xaWidth, 9.765625, 256);
  info.BestFit = col.Bool(xaBestFit, false);
  info.CustomWidth = col.Bool(xaCustomWidth, false);
  info.Phonetic = col.Bool(xaPh, false);
  TSheetLayout& layout = sheet_->Layout();
  for (std::int32_t c = min - 1; c <= max - 1; ++c) layout.Column(static_cast<std::uint16_t>(c)) = info;
}

void TPackageReader::ReadMergeCell(const TExXMLTag& merge) {
  const TXMLAreaRef area = merge.AreaRef(xaRef);
  // An area outside the sheet or turned around merges nothing; the cells read as they are.
  if (area.First.Col < 0 || area.First.Row < 0 || area.Last.Col < area.First.Col ||
      area.Last.Row < area.First.Row || area.Last.Col > kLastColumn || area.Last.Row > kLastRow)
    return;
  sheet_->Layout().MergedAreas.push_back({static_cast<std::uint16_t>(area.First.Col),
                                          static_cast<std::uint16_t>(area.Last.Col),
                                          static_cast<std::uint32_t>(area.First.Row),
                                          static_cast<std::uint32_t>(area.Last.Row)});
}

}  // namespace gridport
