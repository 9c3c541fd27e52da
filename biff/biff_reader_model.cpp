// The model side of TBiffReader: where the decoded globals records, the
// settings records and the raw records go.
#include <algorithm>
#include <cstring>
#include <string_view>

#include "biff/biff_reader.h"
#include "biff/biff_record_ids.h"
#include "biff/record_storage.h"
#include "biff/xls_stream.h"
#include "workbook/byte_view.h"
#include "workbook/cell_formats.h"
#include "workbook/style_color.h"
#include "workbook/workbook.h"
#include "workbook/xls_error.h"

namespace gridport {

using namespace biff;

// Record stores: the globals store of the workbook or the current sheet's.
TRecordStorage& TBiffReader::Store() {
  if (store_.Sheet != nullptr) return store_.Sheet->Records();
  return workbook_.GlobalRecords();
}

// A settings record of the other kind of substream (xlwt writes WINDOWPROTECT
// into its sheets) has no default slot in this store: it is kept raw.
void TBiffReader::SetDefault() {
  TRecordStorage& store = Store();
  try {
    store.SetDefaultRecord(id_, length_, buffer_.data());
  } catch (const EXLSError& e) {
    if (std::string_view(e.what()).rfind("[int] Unknown default record", 0) != 0) throw;
    store.AddRecord(id_, length_, buffer_.data());
  }
}
void TBiffReader::Mark(std::uint16_t internalId) { Store().MarkPosition(internalId); }
void TBiffReader::KeepRaw() { Store().AddRecord(id_, length_, buffer_.data()); }
void TBiffReader::KeepFutureRecord() { workbook_.FutureRecords().AddRecord(id_, length_, buffer_.data()); }

// Formats and fonts.
// BIFF2 files carry no XF records: their cells refer to 16 default formats.
void TBiffReader::AddBiff2CellFormats() {
  for (int i = 0; i < 16; ++i) workbook_.CellFormats().AddFormat();
}
void TBiffReader::AddFont() { workbook_.Fonts().AddFont()->LoadFromBiff(buffer_.data(), length_, version_); }
void TBiffReader::AddDefaultFont() { workbook_.Fonts().AddFont(); }
void TBiffReader::AddCellFormat() {
  TCellFormats& formats = workbook_.CellFormats();
  if (!formats.NumberFormats().Sorted()) formats.NumberFormats().SortById();
  if (version_ >= xvExcel97) formats.AddFormat()->LoadFromBiff8(buffer_.data(), length_);
  else if (version_ == xvExcel50) formats.AddFormat()->LoadFromBiff5(buffer_.data(), length_);
  else if (version_ >= xvExcel30) formats.AddFormat();
}

void TBiffReader::AddNumberFormat(std::uint16_t formatId, const std::u16string& text) {
  workbook_.CellFormats().NumberFormats().AddWithId(text, formatId, 1);
}
// The model has no style list: the STYLE record is kept in the globals store,
// cut to the bytes a style holds.
void TBiffReader::AddStyle(std::size_t size) {
  Store().AddRecord(id_, static_cast<std::uint16_t>(size), buffer_.data());
}
// The colour entries (4 bytes each, from offset 2) replace the process-wide
// palette from index 8 on.
void TBiffReader::SetPalette(std::size_t count) {
  auto& palette = ColorPalette();
  for (std::size_t i = 0; i < count && 8 + i < palette.size(); ++i) {
    palette[8 + i] = GetU32(buffer_.data() + 2 + 4 * i) & 0x00FFFFFFu;
  }
}

// Shared strings: the table reads the SST body and its CONTINUE records.
void TBiffReader::ReadSharedStrings() { workbook_.SST().ReadSST(*stream_, length_); }

// Names and external references.
void TBiffReader::AddName() {
  workbook_.FormulaHandler().InternalNames().AddFromRecord(buffer_.data(), length_);
}
void TBiffReader::AddSupBook() {
  workbook_.FormulaHandler().ExternalNames().AddSupBook(buffer_.data(), length_);
}
void TBiffReader::AddExternName() {
  workbook_.FormulaHandler().ExternalNames().AddExternName(buffer_.data(), length_);
}
void TBiffReader::AddExternSheet() {
  workbook_.FormulaHandler().ExternalNames().AddExternSheet(buffer_.data(), length_);
}
void TBiffReader::AddCRN(std::uint16_t sheetIndex) {
  workbook_.FormulaHandler().ExternalNames().AddCRN(sheetIndex, buffer_.data(), length_);
}
void TBiffReader::AddChartSheetName(const std::u16string&) {}

}  // namespace gridport
