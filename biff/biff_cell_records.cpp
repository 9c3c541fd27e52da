// Sheet and cell records of TBiffReader: cells of every BIFF version, formulas
// with their shared and array forms, and the sheet settings that go to the
// sheet's record store.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <span>

#include "biff/xls_stream.h"
#include "workbook/workbook.h"
#include "biff/biff_reader.h"
#include "biff/biff_record_ids.h"
#include "biff/biff_text.h"
#include "biff/rk_value.h"
#include "biff/shared_formula_tokens.h"
#include "workbook/byte_view.h"
#include "workbook/xls_error.h"

namespace gridport {

using namespace biff;

namespace {

constexpr std::uint16_t kDefaultFormat = 15;  // BIFF2 cells carry no XF index
constexpr std::uint32_t kColumnCount = 16384;  // the widest sheet the cell storage addresses
constexpr std::uint8_t kPtgExp = 0x01;

// "A1" name of a cell: column letters A to Z, then AA onwards; row 1-based.
std::string CellName(std::uint32_t col, std::uint32_t row) {
  std::string letters;
  std::uint32_t n = col + 1;
  while (n > 0) {
    letters.insert(letters.begin(), static_cast<char>('A' + (n - 1) % 26));
    n = (n - 1) / 26;
  }
  return letters + std::to_string(row + 1);
}

double DoubleAt(const std::uint8_t* p) { return GetDouble(p); }

}  // namespace

TSheet& TBiffReader::CurrentSheet() { return *sheet_; }

void TBiffReader::CheckColumn(std::uint32_t col) const {
  if (col >= kColumnCount) {
    char message[80];
    std::snprintf(message, sizeof message, "Cell column %u out of range in record %.4X", col,
                  static_cast<unsigned>(id_));
    throw EXLSError(message);
  }
}

// Every cell handler starts here: a cell record outside a sheet substream
// (a damaged globals substream) has no sheet to go to and stays raw.
#define GRIDPORT_CELL_PREFIX(minimum)   \
  if (sheet_ == nullptr) return;        \
  RequireBody(minimum);                 \
  storeRaw_ = false;                    \
  const std::uint8_t* body = buffer_.data(); \
  const std::uint32_t row = GetU16(body);    \
  const std::uint16_t col = GetU16(body + 2); \
  CheckColumn(col);

// ---------------------------------------------------------------------------
// Simple cells.

void TBiffReader::ReadBlank() {
  GRIDPORT_CELL_PREFIX(6)
  sheet_->InsertBlank(col, row, GetU16(body + 4));
}

void TBiffReader::ReadNumber() {
  GRIDPORT_CELL_PREFIX(14)
  sheet_->InsertNumber(col, row, DoubleAt(body + 6), GetU16(body + 4));
}

void TBiffReader::ReadRK() {
  GRIDPORT_CELL_PREFIX(10)
  sheet_->InsertNumber(col, row, DecodeRK(GetU32(body + 6)), GetU16(body + 4));
}

void TBiffReader::ReadMulRK() {
  GRIDPORT_CELL_PREFIX(6)
  const std::size_t count = (length_ - 6u) / 6u;
  if (count > 0) CheckColumn(col + static_cast<std::uint32_t>(count) - 1);
  const std::uint8_t* entry = body + 4;
  for (std::size_t i = 0; i < count; ++i, entry += 6) {
    sheet_->InsertNumber(static_cast<std::uint16_t>(col + i), row, DecodeRK(GetU32(entry + 2)), GetU16(entry));
  }
}

void TBiffReader::ReadMulBlank() {
  GRIDPORT_CELL_PREFIX(6)
  const std::size_t count = (length_ - 6u) / 2u;
  if (count > 0) CheckColumn(col + static_cast<std::uint32_t>(count) - 1);
  for (std::size_t i = 0; i < count; ++i) {
    sheet_->InsertBlank(static_cast<std::uint16_t>(col + i), row, GetU16(body + 4 + 2 * i));
  }
}

void TBiffReader::ReadBoolErr() {
  GRIDPORT_CELL_PREFIX(8)
  const std::uint16_t xf = GetU16(body + 4);
  if (body[7] == 0) sheet_->InsertBoolean(col, row, body[6], xf);
  else sheet_->InsertError(col, row, ErrorCodeFromFile(body[6]), xf);
}

void TBiffReader::ReadLabelSST() {
  GRIDPORT_CELL_PREFIX(10)
  try {
    sheet_->InsertSharedString(col, row, GetU32(body + 6), GetU16(body + 4));
  } catch (const std::exception&) {
    char message[48];
    std::snprintf(message, sizeof message, "Read error at %.8llu",
                  static_cast<unsigned long long>(stream_->Position()));
    throw EXLSError(message);
  }
}

void TBiffReader::ReadLabel() {
  GRIDPORT_CELL_PREFIX(8)
  const std::size_t count = GetU16(body + 6);
  const std::size_t available = length_ - 8u;
  // A flags byte of 0 or 1 is the BIFF8 form; BIFF3 to BIFF5 text has none.
  if (available > 0 && body[8] <= 1) DecodeBiff8Text(body + 8, available, count, text_);
  else DecodeAnsiText(body + 8, available, count, codePage_, text_);
  sheet_->InsertText(col, row, text_, GetU16(body + 4));
}

// RSTRING and the BIFF2 LABEL: text in the platform's code page unless the
// file names its own.
void TBiffReader::DecodePlatformText(const std::uint8_t* p, std::size_t count) {
  if (codePage_ == 0) DecodeCodePageText(p, count, text_);
  else DecodeAnsiText(p, count, count, codePage_, text_);
}

void TBiffReader::ReadRString() {
  GRIDPORT_CELL_PREFIX(8)
  const std::size_t count = GetU16(body + 6);
  const std::size_t available = length_ - 8u;
  // In BIFF8 the text carries its flags byte like LABEL; read as 8-bit text
  // it would lose its last character and gain the flags byte.
  if (version_ >= xvExcel97) DecodeBiff8Text(body + 8, available, count, text_);
  else DecodePlatformText(body + 8, std::min(count, available));
  sheet_->InsertText(col, row, text_, GetU16(body + 4));
}

void TBiffReader::ReadBiff2Cell() {
  GRIDPORT_CELL_PREFIX(7)
  switch (id_) {
    case kInteger2:
      RequireBody(9);
      sheet_->InsertNumber(col, row, GetU16(body + 7), kDefaultFormat);
      break;
    case kNumber2:
      RequireBody(15);
      sheet_->InsertNumber(col, row, DoubleAt(body + 7), kDefaultFormat);
      break;
    // BIFF2 blank and boolean/error cells are read like their later forms:
    // dropping them would lose the cells' values.
    case kBlank2:
      sheet_->InsertBlank(col, row, kDefaultFormat);
      break;
    case kBoolErr2:
      RequireBody(9);
      if (body[8] == 0) sheet_->InsertBoolean(col, row, body[7], kDefaultFormat);
      else sheet_->InsertError(col, row, ErrorCodeFromFile(body[7]), kDefaultFormat);
      break;
    default: {  // LABEL
      RequireBody(8);
      DecodePlatformText(body + 8, std::min<std::size_t>(body[7], length_ - 8u));
      sheet_->InsertText(col, row, text_, kDefaultFormat);
      break;
    }
  }
}

// ---------------------------------------------------------------------------
// Formulas.

// Reads the next record (header and body) into body; length is the count of
// body bytes present.
void TBiffReader::ReadNextRecordInto(std::vector<std::uint8_t>& body, std::size_t& length) {
  TBiffRecordHeader header;
  if (stream_->ReadHeader(header) < 4) {
    length = 0;
    return;
  }
  if (body.size() < header.Length) body.resize(header.Length);
  length = stream_->Read(body.data(), header.Length);
}

// Reads a STRING record when one follows; false when none does.
bool TBiffReader::ReadStringResult(std::u16string& text) {
  const std::uint16_t next = stream_->PeekRecordId();
  if (next != kString && next != kString2) return false;
  std::size_t length = 0;
  ReadNextRecordInto(aux_, length);
  const std::uint8_t* p = aux_.data();
  if (next == kString2) {
    if (length < 1) text.clear();
    else DecodeAnsiText(p + 1, length - 1, p[0], codePage_, text);
  } else if (length < 2) {
    text.clear();
  } else if (version_ >= xvExcel97) {
    DecodeBiff8Text(p + 2, length - 2, GetU16(p), text);
  } else {
    DecodeAnsiText(p + 2, length - 2, GetU16(p), codePage_, text);
  }
  return true;
}

// Special results: 0 string (its text in the STRING record that follows),
// 1 boolean, 2 error, 3 empty string. Returns false when no cell was stored.
bool TBiffReader::ReadSpecialResult(std::uint16_t col, std::uint32_t row, std::uint16_t xf,
                                    std::uint8_t type, std::uint8_t value, std::uint32_t exprSize,
                                    const std::uint8_t* data, std::uint32_t dataSize) {
  switch (type) {
    case 0: {
      const std::uint16_t next = stream_->PeekRecordId();
      if (next == kShrFmla || next == kShrFmla2) throw EXLSError("Unxepected SHRFMLA");
      if (!ReadStringResult(text_)) return false;
      sheet_->InsertStringFormula(col, row, text_, exprSize, std::span<const std::uint8_t>(data, dataSize), xf);
      return true;
    }
    case 1:
      sheet_->InsertBooleanFormula(col, row, value, exprSize, std::span<const std::uint8_t>(data, dataSize), xf);
      return true;
    case 2:
      sheet_->InsertErrorFormula(col, row, value, exprSize, std::span<const std::uint8_t>(data, dataSize), xf);
      return true;
    default:
      text_.clear();
      sheet_->InsertStringFormula(col, row, text_, exprSize, std::span<const std::uint8_t>(data, dataSize), xf);
      return true;
  }
}

void TBiffReader::StoreFormulaResult(std::uint16_t col, std::uint32_t row, std::uint16_t xf,
                                     const std::uint8_t* result, std::uint32_t exprSize,
                                     const std::uint8_t* data, std::uint32_t dataSize) {
  if (result[0] < 4 && result[6] == 0xFF && result[7] == 0xFF) {
    ReadSpecialResult(col, row, xf, result[0], result[2], exprSize, data, dataSize);
    return;
  }
  if (exprSize == 0) return;  // a formula without tokens is no cell
  sheet_->InsertNumberFormula(col, row, DoubleAt(result), exprSize, std::span<const std::uint8_t>(data, dataSize), xf);
}

void TBiffReader::ReadFormula() {
  GRIDPORT_CELL_PREFIX(22)
  const std::uint16_t xf = GetU16(body + 4);
  const std::uint16_t options = GetU16(body + 14);
  std::uint32_t exprSize = GetU16(body + 20);
  std::uint32_t dataSize = length_ - 22u;

  if (dataSize >= 5 && body[22] == kPtgExp) {
    const std::uint16_t masterRow = GetU16(body + 23);
    const std::uint16_t masterCol = GetU16(body + 25);
    if (options & 0x0008u) {
      // Shared formula: the SHRFMLA record follows the first cell of its range.
      const std::uint16_t next = stream_->PeekRecordId();
      if (next == kShrFmla || next == kShrFmla2) {
        std::size_t length = 0;
        ReadNextRecordInto(aux_, length);
        if (length >= 10) {
          const std::uint8_t* p = aux_.data();
          const std::size_t count = std::min<std::size_t>(GetU16(p + 8), length - 10);
          TSharedFormula& shared = sharedFormulas_.emplace_back();
          shared.FirstRow = GetU16(p);
          shared.LastRow = GetU16(p + 2);
          shared.FirstCol = p[4];
          shared.LastCol = p[5];
          shared.Tokens.assign(p + 10, p + 10 + count);
        }
      }
      const TSharedFormula* found = nullptr;
      for (const TSharedFormula& shared : sharedFormulas_) {
        if (masterRow >= shared.FirstRow && masterRow <= shared.LastRow && masterCol >= shared.FirstCol &&
            masterCol <= shared.LastCol) {
          found = &shared;
          break;
        }
      }
      if (found == nullptr) {
        char message[96];
        std::snprintf(message, sizeof message, "Fixup error in shared formula at C=%u,R=%u (%s)",
                      static_cast<unsigned>(col), static_cast<unsigned>(row), CellName(col, row).c_str());
        throw EXLSError(message);
      }
      const std::size_t size = found->Tokens.size();
      if (buffer_.size() < 22 + size) buffer_.resize(22 + size);
      body = buffer_.data();
      std::copy(found->Tokens.begin(), found->Tokens.end(), buffer_.begin() + 22);
      buffer_[20] = static_cast<std::uint8_t>(size);
      buffer_[21] = static_cast<std::uint8_t>(size >> 8);
      ResolveSharedFormulaTokens(buffer_.data() + 22, size, version_ >= xvExcel97, col, row);
      exprSize = static_cast<std::uint32_t>(size);
      dataSize = static_cast<std::uint32_t>(size);
    } else {
      // Array formula: its ARRAY record follows the first cell; the other
      // cells of its range refer to the pending ARRAY record.
      bool continuation = true;
      if (stream_->PeekRecordId() == kArray) {
        std::size_t length = 0;
        ReadNextRecordInto(auxArray_, length);
        pendingArray_.assign(auxArray_.begin(), auxArray_.begin() + static_cast<std::ptrdiff_t>(length));
        continuation = false;
      } else if (!(pendingArray_.size() >= 6 && row >= GetU16(pendingArray_.data()) &&
                   row <= GetU16(pendingArray_.data() + 2) && col >= pendingArray_[4] &&
                   col <= pendingArray_[5])) {
        pendingArray_.clear();
        continuation = false;
      }
      if (continuation || !pendingArray_.empty()) {
        const std::uint8_t* data = body + 22;
        const std::uint32_t arraySize = static_cast<std::uint32_t>(pendingArray_.size());
        if (ReadStringResult(text_)) {
          sheet_->InsertStringArrayFormula(col, row, continuation, std::span<const std::uint8_t>(pendingArray_.data(), arraySize), text_,
                                           exprSize, std::span<const std::uint8_t>(data, dataSize), xf);
        } else {
          sheet_->InsertNumberArrayFormula(col, row, continuation, std::span<const std::uint8_t>(pendingArray_.data(), arraySize),
                                           DoubleAt(body + 6), exprSize, std::span<const std::uint8_t>(data, dataSize), xf);
        }
        return;
      }
    }
  }
  StoreFormulaResult(col, row, xf, body + 6, exprSize, body + 22, dataSize);
}

void TBiffReader::ReadBiff2Formula() {
  GRIDPORT_CELL_PREFIX(17)
  const std::uint32_t exprSize = body[16];
  const std::uint32_t dataSize = length_ - 17u;
  const std::uint8_t* data = body + 17;
  if (body[13] == 0xFF && body[14] == 0xFF) {
    ReadSpecialResult(col, row, kDefaultFormat, body[7], body[9], exprSize, data, dataSize);
    return;
  }
  if (exprSize == 0) return;
  sheet_->InsertNumberFormula(col, row, DoubleAt(body + 7), exprSize, std::span<const std::uint8_t>(data, dataSize), kDefaultFormat);
}

void TBiffReader::ReadBiff34Formula() {
  // Some writers put the BIFF5 layout under the BIFF3/BIFF4 ids; their BOF
  // says so with a lowest version of 6.
  if (lowestVersion_ == 6) {
    ReadFormula();
    return;
  }
  GRIDPORT_CELL_PREFIX(18)
  const std::uint16_t xf = GetU16(body + 4);
  const std::uint32_t exprSize = GetU16(body + 16);
  const std::uint32_t dataSize = length_ - 18u;
  const std::uint8_t* data = body + 18;
  sheet_->InsertNumberFormula(col, row, DoubleAt(body + 6), exprSize, std::span<const std::uint8_t>(data, dataSize), xf);
  if (body[12] == 0xFF && body[13] == 0xFF && body[6] < 4) {
    ReadSpecialResult(col, row, xf, body[6], body[8], exprSize, data, exprSize <= dataSize ? exprSize : dataSize);
  }
}

#undef GRIDPORT_CELL_PREFIX

// ---------------------------------------------------------------------------
// Sheet records.

void TBiffReader::ReadDimensions() {
  storeRaw_ = false;
  if (id_ == kDimensions2 && (version_ == xvExcel50 || foreignWriter_)) return;
  if (version_ < xvExcel50 || sheet_ == nullptr) return;
  if (length_ < 14) {
    // BIFF5 form (16-bit rows) widened to the BIFF8 one: rows 32-bit at 0 and 4,
    // columns at 8 and 10, a zero reserved word at 12.
    std::uint8_t old[10] = {};
    std::memcpy(old, buffer_.data(), std::min<std::size_t>(length_, sizeof old));
    std::fill(buffer_.begin(), buffer_.begin() + 14, 0);
    std::memcpy(buffer_.data() + 0, old + 0, 2);
    std::memcpy(buffer_.data() + 4, old + 2, 2);
    std::memcpy(buffer_.data() + 8, old + 4, 4);
    length_ = 14;
  }
  const std::uint16_t id = id_;
  id_ = kDimensions;
  SetDefault();
  id_ = id;
}

void TBiffReader::ReadWindow2() {
  storeRaw_ = false;
  if (version_ < xvExcel50 || sheet_ == nullptr) return;
  if (version_ < xvExcel97 && length_ < 18) {
    std::fill(buffer_.begin() + std::min<std::size_t>(length_, 10), buffer_.begin() + 18, 0);
    length_ = 18;
  }
  SetDefault();
}

void TBiffReader::ReadPane() {
  storeRaw_ = false;
  if (BodyU8(8) > 3) throw EXLSError("Value out of range");
  // The SELECTION records that follow belong to the panes; they carry no cell data.
  while (stream_->PeekRecordId() == kSelection) {
    std::size_t length = 0;
    ReadNextRecordInto(aux_, length);
  }
}

void TBiffReader::ReadIndex() {
  storeRaw_ = false;
  // BIFF2 to BIFF4: the single sheet's records go to its own store from here on.
  if (id_ == kIndex && version_ <= xvExcel40 && sheet_ != nullptr) store_ = TRecordTarget{sheet_};
}

// The model has no merged-cell list: the record stays in the store after its mark.
void TBiffReader::ReadMergeCells() { Mark(kMarkObjects); }

// Shared-feature header of a sheet. For sheet protection (feature type 2 at
// offset 12) bits 0 to 14 of the 16-bit options at 19 are the protection
// options; the model keeps whether all of them are set. Other feature types
// carry other data there.
void TBiffReader::ReadFeatHdr() {
  storeRaw_ = false;
  constexpr std::uint16_t kFeatureProtection = 2;
  if (length_ >= 21 && GetU16(buffer_.data() + 12) == kFeatureProtection) {
    sheet_->ProtectAll = (GetU16(buffer_.data() + 19) & 0x7FFFu) == 0x7FFFu;
  }
}

void TBiffReader::ReadDrawing() {
  Mark(kMarkObjects);
  storeRaw_ = false;
  // The drawing layer is not part of this program: the body is read and dropped.
  ReadBody(length_);
  length_ = 0;
}

}  // namespace gridport
