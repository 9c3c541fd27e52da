#include "workbook/workbook_globals.h"

namespace gridport {
namespace {

std::u16string& TrueText() {
  static std::u16string text = u"TRUE";
  return text;
}
std::u16string& FalseText() {
  static std::u16string text = u"FALSE";
  return text;
}

std::uint16_t columnLimit = kMaxColumn;
std::uint32_t rowLimit = kMaxRow;

}  // namespace

const std::u16string& StrTRUE() { return TrueText(); }
const std::u16string& StrFALSE() { return FalseText(); }
void SetStrTRUE(std::u16string_view text) { TrueText().assign(text); }
void SetStrFALSE(std::u16string_view text) { FalseText().assign(text); }

std::uint16_t ColumnLimit() { return columnLimit; }
std::uint32_t RowLimit() { return rowLimit; }
void SetPositionLimits(std::uint16_t newColumnLimit, std::uint32_t newRowLimit) {
  columnLimit = newColumnLimit;
  rowLimit = newRowLimit;
}

const std::u16string_view CellErrorTexts[kCellErrorCount] = {
    u"[int] No error value", u"#NULL!", u"#DIV/0!", u"#VALUE!", u"#REF!", u"#NAME?", u"#NUM!", u"N/A"};
const std::u16string_view CellErrorNames[kCellErrorCount] = {
    u"[int] No error value", u"#NULL!", u"#DIV/0!", u"#VALUE!", u"#REF!", u"#NAME?", u"#NUM!", u"#N/A"};

}  // namespace gridport
