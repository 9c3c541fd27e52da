// The BIFF workbook reader: turns a BIFF2 to BIFF8 workbook into the model.
//
// One reader serves one read. It pulls records from a TXLSStream, dispatches
// each by its id (cell records first) and feeds the model: sheets, cells,
// shared strings, fonts, formats, names, and the record stores that keep what
// the model does not represent. Every failure ends the read with EXLSError
// "Error on reading record # n, ID Offs: POS\r<cause>".
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "workbook/excel_version.h"

namespace gridport {

class TXLSWorkbook;
class TXLSStream;
class TSheet;
class TRecordStorage;

// Where the settings records of the current substream go: the workbook
// globals (Sheet == nullptr) or one sheet.
struct TRecordTarget {
  TSheet* Sheet = nullptr;
};

// A sheet name from a BOUNDSHEET record with its hidden state (0 visible,
// 1 hidden, 2 very hidden).
struct TBoundSheet {
  std::u16string Name;
  std::uint8_t Hidden = 0;
};

class TBiffReader {
 public:
  explicit TBiffReader(TXLSWorkbook& workbook);
  ~TBiffReader();
  TBiffReader(const TBiffReader&) = delete;
  TBiffReader& operator=(const TBiffReader&) = delete;

  // Reads the workbook named by the workbook's Filename, or, when source is
  // given, the compound file that stream holds (not owned).
  void ReadBiffStream(std::istream* source = nullptr);

 private:
  struct TSharedFormula {
    std::uint16_t FirstRow = 0, LastRow = 0;
    std::uint8_t FirstCol = 0, LastCol = 0;
    std::vector<std::uint8_t> Tokens;
  };

  // Read loop and substreams.
  void ReadRecords();
  void Dispatch();
  void DispatchGlobalsRecord();
  void ReadBOF();
  bool ReadEOF();  // true when the read ends here
  void SkipSubstream();  // consumes an embedded substream up to its EOF
  void SkipCustomViews();
  std::size_t ReadBody(std::uint16_t length);

  // Globals records.
  void ReadBoundSheet();
  void ReadFilePass();
  void ReadFont();
  void ReadXF();
  void ReadFormat();
  void ReadStyle();
  void ReadPalette();
  void ReadSST();
  void ReadXCT();
  void ReadWriteAccess();
  void ReadDrawingGroup();

  // Cell records.
  TSheet& CurrentSheet();
  bool HasCurrentSheet() const { return sheet_ != nullptr; }
  void CheckColumn(std::uint32_t col) const;
  void ReadBlank();
  void ReadNumber();
  void ReadRK();
  void ReadMulRK();
  void ReadMulBlank();
  void ReadBoolErr();
  void ReadLabelSST();
  void ReadLabel();
  void ReadRString();
  void DecodePlatformText(const std::uint8_t* p, std::size_t count);  // into text_
  void ReadBiff2Cell();
  void ReadFormula();
  void ReadBiff2Formula();
  void ReadBiff34Formula();
  void StoreFormulaResult(std::uint16_t col, std::uint32_t row, std::uint16_t xf,
                          const std::uint8_t* result, std::uint32_t exprSize,
                          const std::uint8_t* data, std::uint32_t dataSize);
  bool ReadSpecialResult(std::uint16_t col, std::uint32_t row, std::uint16_t xf, std::uint8_t type,
                         std::uint8_t value, std::uint32_t exprSize, const std::uint8_t* data,
                         std::uint32_t dataSize);
  bool ReadStringResult(std::u16string& text);  // reads a following STRING record
  void ReadNextRecordInto(std::vector<std::uint8_t>& body, std::size_t& length);

  // Sheet records.
  void ReadDimensions();
  void ReadWindow2();
  void ReadPane();
  void ReadIndex();
  void ReadMergeCells();
  void ReadFeatHdr();
  void ReadDrawing();

  // The model side of the globals records and the record stores
  // (biff_reader_model.cpp): each takes the current record body.
  TRecordStorage& Store();
  void SetDefault();                   // a default record of the current store
  void Mark(std::uint16_t internalId); // a position mark in the current store
  void KeepRaw();                      // appended raw to the current store
  void KeepFutureRecord();             // the workbook's future-record store
  void AddBiff2CellFormats();
  void AddFont();
  void AddDefaultFont();
  void AddCellFormat();
  void AddNumberFormat(std::uint16_t formatId, const std::u16string& text);
  void AddStyle(std::size_t size);
  void SetPalette(std::size_t count);
  void ReadSharedStrings();
  void AddName();
  void AddSupBook();
  void AddExternName();
  void AddExternSheet();
  void AddCRN(std::uint16_t sheetIndex);
  void AddChartSheetName(const std::u16string& name);

  std::uint16_t BodyU16(std::size_t offset) const;
  std::uint32_t BodyU32(std::size_t offset) const;
  std::uint8_t BodyU8(std::size_t offset) const;
  void RequireBody(std::size_t bytes) const;

  std::vector<std::uint8_t> buffer_;  // the current record body
  TXLSWorkbook& workbook_;
  std::int32_t sheetIndex_ = -1;      // index in Sheets of the sheet being read
  TSheet* sheet_ = nullptr;           // that sheet
  std::unique_ptr<TXLSStream> stream_;
  std::vector<TBoundSheet> sheetNames_;
  std::int32_t boundSheet_ = -1;      // position of the current substream among the BOUNDSHEETs
  bool inSheetSubstream_ = false;     // a worksheet BOF was read and its EOF not yet
  std::uint16_t id_ = 0;              // current record header
  std::uint16_t length_ = 0;          // bytes of the current body actually present
  std::vector<TSharedFormula> sharedFormulas_;
  std::vector<std::uint8_t> pendingArray_;  // body of the last ARRAY record, empty when none
  std::uint32_t lowestVersion_ = 0;
  bool foreignWriter_ = false;
  TRecordTarget store_;
  bool storeRaw_ = false;
  bool done_ = false;                 // the read ends after the current record
  TExcelVersion version_ = xvNone;
  std::size_t fontsRead_ = 0;
  std::uint16_t codePage_ = 0;        // CODEPAGE of a BIFF2-BIFF5 file, 0 when none

  // Reusable scratch for records read inside a FORMULA and for cell texts.
  std::vector<std::uint8_t> aux_;
  std::vector<std::uint8_t> auxArray_;
  std::u16string text_;
};

}  // namespace gridport
