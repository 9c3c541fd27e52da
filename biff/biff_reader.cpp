// The read loop, the substreams and the records of the workbook globals.
// Sheet and cell records are in biff_cell_records.cpp.
#include "biff/biff_reader.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <memory>

#include "biff/xls_stream.h"
#include "workbook/workbook.h"
#include "biff/biff_record_ids.h"
#include "biff/biff_text.h"
#include "workbook/byte_view.h"
#include "workbook/reader_entry.h"
#include "workbook/xls_error.h"

namespace gridport {

using namespace biff;

namespace {

constexpr std::uint32_t kMaxRecordSize8 = 8224;
constexpr std::uint32_t kMaxRecordSize = 2080;
// Excel's fixed password for workbooks that are encrypted only to guard them
// against changes; Excel opens them without asking.
constexpr char16_t kDefaultWritePassword[] = u"VelvetSweatshop";

std::string FormatWrapped(std::size_t records, std::uint16_t id, std::uint64_t offset,
                          const char* inner) {
  char head[96];
  std::snprintf(head, sizeof head, "Error on reading record # %zu, %.4X Offs: %.8llX\r", records,
                static_cast<unsigned>(id), static_cast<unsigned long long>(offset));
  return std::string(head) + inner;
}

// BOF ids of BIFF2 (0x0009), BIFF3 (0x0209), BIFF4 (0x0409) and BIFF5/8
// (0x0809). Only these: inside a chart, MARKERFORMAT (0x1009) shares the low byte.
bool IsBOF(std::uint16_t id) { return id == 0x0809 || id == 0x0009 || id == 0x0209 || id == 0x0409; }

bool IsFutureRecord(std::uint16_t id) {
  switch (id) {
    case kBookExt: case kXFCrc: case kXFExt: case kCompat12: case kTableStyles:
    case kStyleExt: case kTheme: case kMtrSettings: case kCompressPictures: case kForceFullCalc:
      return true;
    default:
      return false;
  }
}

}  // namespace

TBiffReader::TBiffReader(TXLSWorkbook& workbook) : workbook_(workbook) {}

TBiffReader::~TBiffReader() = default;

// ---------------------------------------------------------------------------
// Body access. length_ is the count of body bytes present in buffer_; every
// field beyond it is refused with a message naming the record.

void TBiffReader::RequireBody(std::size_t bytes) const {
  if (bytes > length_) {
    char message[96];
    std::snprintf(message, sizeof message, "Record %.4X too short: %zu bytes needed, %u present",
                  static_cast<unsigned>(id_), bytes, static_cast<unsigned>(length_));
    throw EXLSError(message);
  }
}
std::uint8_t TBiffReader::BodyU8(std::size_t offset) const {
  RequireBody(offset + 1);
  return buffer_[offset];
}
std::uint16_t TBiffReader::BodyU16(std::size_t offset) const {
  RequireBody(offset + 2);
  return GetU16(buffer_.data() + offset);
}
std::uint32_t TBiffReader::BodyU32(std::size_t offset) const {
  RequireBody(offset + 4);
  return GetU32(buffer_.data() + offset);
}

std::size_t TBiffReader::ReadBody(std::uint16_t length) {
  if (length > buffer_.size()) buffer_.resize(length);
  return stream_->Read(buffer_.data(), length);
}

// ---------------------------------------------------------------------------
// The read loop.

void TBiffReader::ReadBiffStream(std::istream* source) {
  sheetIndex_ = -1;
  sheet_ = nullptr;
  boundSheet_ = -1;
  inSheetSubstream_ = false;
  sheetNames_.clear();
  sharedFormulas_.clear();
  fontsRead_ = 0;
  codePage_ = 0;
  done_ = false;
  stream_ = std::make_unique<TXLSStream>(nullptr, nullptr, workbook_.PreserveMacros);
  stream_->SetSourceStream(source);

  struct TCloser {
    TBiffReader& reader;
    ~TCloser() {
      reader.stream_->Close();
      reader.buffer_ = {};
    }
  } closer{*this};

  version_ = stream_->OpenWorkbook(std::filesystem::path(workbook_.Filename()));
  workbook_.SetVersion(version_);
  buffer_.assign(version_ >= xvExcel97 ? kMaxRecordSize8 : kMaxRecordSize, 0);
  store_ = TRecordTarget{};
  // BIFF2 files carry no XF records.
  if (version_ <= xvExcel21) AddBiff2CellFormats();
  ReadRecords();
}

void TBiffReader::ReadRecords() {
  const bool progress = static_cast<bool>(workbook_.OnProgress);
  const std::uint64_t streamSize = stream_->StreamSize();
  int lastPercent = 0;
  if (progress) workbook_.OnProgress(0);

  std::size_t records = 0;
  for (;;) {
    try {
      TBiffRecordHeader header;
      if (stream_->ReadHeader(header) < 4) break;
      id_ = header.Id;
      length_ = header.Length;
      if (id_ & 0x8000u) throw EXLSError("Bad record in file");
      const bool ownBody = IsBOF(id_) || id_ == kSST || id_ == kMsoDrawingGroup ||
                           id_ == kMsoDrawing;
      if (!ownBody) length_ = static_cast<std::uint16_t>(ReadBody(header.Length));
      else if (header.Length > buffer_.size()) buffer_.resize(header.Length);

      if (progress && streamSize > 0) {
        const int percent = static_cast<int>(
            std::lround(static_cast<double>(stream_->Position()) / static_cast<double>(streamSize) * 100.0));
        if (percent > lastPercent) {
          lastPercent = percent;
          workbook_.OnProgress(percent);
        }
      }
      if (id_ == kUsersViewBegin) {
        SkipCustomViews();
        ++records;
        continue;
      }
      storeRaw_ = true;
      if (id_ == kEOF) {
        done_ = ReadEOF();
      } else {
        Dispatch();
      }
      if (storeRaw_) KeepRaw();
      ++records;
      if (done_) break;
    } catch (const std::exception& e) {
      throw EXLSError(FormatWrapped(records, id_, stream_->Position(), e.what()));
    }
  }
  if (progress) workbook_.OnProgress(100);
}

// Records from USERSVIEWBEGIN up to and including USERSVIEWEND describe custom
// views; they are read and dropped.
void TBiffReader::SkipCustomViews() {
  TBiffRecordHeader header;
  while (stream_->ReadHeader(header) == 4) {
    id_ = header.Id;
    length_ = static_cast<std::uint16_t>(ReadBody(header.Length));
    if (id_ == kUsersViewEnd) return;
  }
}

// ---------------------------------------------------------------------------
// Substreams.

void TBiffReader::ReadBOF() {
  sharedFormulas_.clear();
  length_ = static_cast<std::uint16_t>(stream_->ReadUnencrypted(buffer_.data(), length_));
  storeRaw_ = false;
  const std::uint16_t type = length_ >= 4 ? GetU16(buffer_.data() + 2) : 0;
  auto field32 = [&](std::size_t offset) -> std::uint32_t {
    return length_ >= offset + 4 ? GetU32(buffer_.data() + offset) : 0;
  };
  switch (type) {
    case kBofGlobals: {
      if (length_ > 256) throw EXLSError("Invalid BOF size");
      workbook_.IsMac = version_ >= xvExcel97 && (field32(8) & 0x10u) != 0;
      if (length_ >= 6) {
        buffer_[4] = 0x02;
        buffer_[5] = 0x10;
      }
      store_ = TRecordTarget{};
      const std::uint16_t year = length_ >= 8 ? GetU16(buffer_.data() + 6) : 0;
      foreignWriter_ = year == 1998 && field32(8) == 0 && field32(12) == 6;
      SetDefault();
      break;
    }
    case kBofWorksheet:
    case kBofModule:
    case kBofMacro: {
      if (inSheetSubstream_) {
        // A sheet substream inside another one has no BOUNDSHEET entry of its own.
        SkipSubstream();
        return;
      }
      const std::uint8_t kind = type == kBofWorksheet ? 0 : type == kBofModule ? 1 : 2;
      ++boundSheet_;
      ++sheetIndex_;
      inSheetSubstream_ = true;
      sheet_ = &workbook_.Sheets().AddSheet(kind);
      if (version_ >= xvExcel50) {
        // A substream without a BOUNDSHEET entry (a damaged file) keeps the
        // name the new sheet was given.
        if (static_cast<std::size_t>(boundSheet_) < sheetNames_.size()) {
          sheet_->SetName(sheetNames_[boundSheet_].Name);
          sheet_->Hidden = static_cast<THiddenState>(sheetNames_[boundSheet_].Hidden);
        }
        store_ = TRecordTarget{sheet_};
        SetDefault();
      } else {
        sheet_->SetName(u"Sheet1");
      }
      lowestVersion_ = length_ >= 16 ? GetU32(buffer_.data() + 12) : 0;
      break;
    }
    case kBofChart: {
      if (inSheetSubstream_) {
        // A chart embedded in a worksheet: it belongs to the drawing of that
        // sheet, not to the BOUNDSHEET list.
        SkipSubstream();
        return;
      }
      ++boundSheet_;
      std::u16string name;
      if (static_cast<std::size_t>(boundSheet_) < sheetNames_.size()) name = sheetNames_[boundSheet_].Name;
      AddChartSheetName(name);
      SkipSubstream();
      // The chart sheet's EOF was consumed with it; the read ends after the
      // last BOUNDSHEET entry as it would at that EOF.
      if (sheetNames_.empty() || boundSheet_ >= static_cast<std::int32_t>(sheetNames_.size()) - 1) {
        done_ = true;
      }
      return;
    }
    case kBofWorkspace:
      throw EXLSError("BIFF4 Workbook unhandled");
    default:
      break;
  }
}

// Consumes the records of a substream whose BOF was just read, up to and
// including its own EOF; substreams nested inside it are counted, so their
// EOFs do not end it early. Bodies are read (not skipped) so that decryption
// stays in step with the stream.
void TBiffReader::SkipSubstream() {
  std::size_t depth = 1;
  TBiffRecordHeader header;
  while (depth > 0 && stream_->ReadHeader(header) == 4) {
    if (IsBOF(header.Id)) {
      if (header.Length > buffer_.size()) buffer_.resize(header.Length);
      stream_->ReadUnencrypted(buffer_.data(), header.Length);
      ++depth;
      continue;
    }
    ReadBody(header.Length);
    if (header.Id == kEOF) --depth;
  }
}

bool TBiffReader::ReadEOF() {
  SetDefault();
  storeRaw_ = false;
  sharedFormulas_.clear();
  inSheetSubstream_ = false;
  return sheetNames_.empty() || boundSheet_ >= static_cast<std::int32_t>(sheetNames_.size()) - 1;
}

// ---------------------------------------------------------------------------
// Dispatch: the cell records first, as they are the bulk of every file.

void TBiffReader::Dispatch() {
  switch (id_) {
    case kLabelSST: ReadLabelSST(); return;
    case kNumber: ReadNumber(); return;
    case kRK:
    case kRK2: ReadRK(); return;
    case kMulRK: ReadMulRK(); return;
    case kBlank: ReadBlank(); return;
    case kMulBlank: ReadMulBlank(); return;
    case kFormula:
      if (version_ < xvExcel30) ReadBiff2Formula();
      else ReadFormula();
      return;
    case kBoolErr: ReadBoolErr(); return;
    case kLabel: ReadLabel(); return;
    case kRString: ReadRString(); return;
    case kFormula3:
    case kFormula4: ReadBiff34Formula(); return;
    case kInteger2:
    case kNumber2:
    case kLabel2:
    case kBlank2:
    case kBoolErr2: ReadBiff2Cell(); return;
    case kRow:
      storeRaw_ = false;  // row heights and formats play no part in the text of cells
      return;
    case kDBCell:
    case kIndex: ReadIndex(); return;
    default: break;
  }
  if (IsBOF(id_)) {
    ReadBOF();
    return;
  }
  if (IsFutureRecord(id_)) {
    storeRaw_ = false;
    KeepFutureRecord();
    return;
  }
  DispatchGlobalsRecord();
}

// Records that are set as a default record of the current store in BIFF5 and
// later versions (else dropped).
#define GRIDPORT_DEFAULT_FROM_BIFF5 \
  if (version_ >= xvExcel50) SetDefault(); \
  storeRaw_ = false;

void TBiffReader::DispatchGlobalsRecord() {
  const bool biff8 = version_ >= xvExcel97;
  switch (id_) {
    // Workbook globals.
    case kBoundSheet: ReadBoundSheet(); return;
    case kSST: ReadSST(); return;
    case kExtSST:
    case kUserBView: storeRaw_ = false; return;
    case kFont:
    case kFont34: ReadFont(); return;
    case kXF:
    case kXF3:
    case kXF4: ReadXF(); return;
    case kFormat: ReadFormat(); return;
    case kStyle: ReadStyle(); return;
    case kPalette: ReadPalette(); return;
    case kFilePass: ReadFilePass(); return;
    case kWriteAccess: ReadWriteAccess(); return;
    case kXCT: ReadXCT(); return;
    case kMsoDrawingGroup: ReadDrawingGroup(); return;
    case kMsoDrawing: ReadDrawing(); return;
    case kFileSharing:
      storeRaw_ = false;
      
      return;
    case kCodePage:
      // Applied to the 8-bit text of BIFF2 to BIFF5 records (BIFF8 text is Unicode).
      if (version_ < xvExcel97 && length_ >= 2) codePage_ = GetU16(buffer_.data());
      GRIDPORT_DEFAULT_FROM_BIFF5
      return;
    case kPrecision:
    case kWindowProtect:
    case kDateMode:
    case kBackup:
    case kHideObj:
      GRIDPORT_DEFAULT_FROM_BIFF5
      return;
    case kWindow1:
      if (biff8) SetDefault();
      storeRaw_ = false;
      return;
    case kCountry:
      if (biff8 && !foreignWriter_) SetDefault();
      storeRaw_ = false;
      return;
    case kFnGroupCount:
    case kDsf:
    case kProt4Rev:
    case kRefreshAll:
    case kRecalcId:
      SetDefault();
      storeRaw_ = false;
      return;
    case kBookBool:
      SetDefault();
      Mark(kMarkFormats);
      storeRaw_ = false;
      return;
    case kProtect:
      SetDefault();
      storeRaw_ = false;
      return;
    case kPassword:
      if (boundSheet_ == -1) {
        SetDefault();
        storeRaw_ = false;
      }
      return;
    case kName:
    case kName2:
      if (!biff8) return;
      Mark(kMarkNames);
      storeRaw_ = false;
      AddName();
      return;
    case kSupBook:
    case kExternName:
    case kExternName2:
      if (!biff8) return;
      Mark(kMarkNames);
      storeRaw_ = false;
      if (id_ == kSupBook) AddSupBook();
      else AddExternName();
      return;
    case kExternSheet:
      if (!biff8) return;
      storeRaw_ = false;
      if (!foreignWriter_) {
        Mark(kMarkNames);
        AddExternSheet();
      }
      return;

    // Sheet records.
    case kDimensions:
    case kDimensions2: ReadDimensions(); return;
    case kWindow2: ReadWindow2(); return;
    case kPane: ReadPane(); return;
    case kMergeCells: ReadMergeCells(); return;
    case kSelection:
      if (version_ >= xvExcel50) {
        SetDefault();
        storeRaw_ = false;
      }
      return;
    case kColInfo:
      // The model has no column objects: the record stays in the store after its mark.
      if (version_ >= xvExcel50) Mark(kMarkColInfo);
      return;
    case kCalcCount:
    case kCalcMode:
    case kRefMode:
    case kDelta:
    case kIteration:
    case kPrintHeaders:
    case kPrintGridlines:
    case kSaveRecalc:
    case kGuts:
    case kGridSet:
    case kHCenter:
    case kVCenter:
    case kSetup:
    case kDefColWidth:
    case kDefaultRowHeight:
      GRIDPORT_DEFAULT_FROM_BIFF5
      return;
    case kWsBool:
      if (store_.Sheet != nullptr) {
        GRIDPORT_DEFAULT_FROM_BIFF5
      }
      return;
    case kLeftMargin:
    case kRightMargin:
    case kTopMargin:
    case kBottomMargin:
      if (version_ >= xvExcel50) Mark(kMarkMargins);
      storeRaw_ = false;
      return;
    case kHeader:
    case kFooter:
      if (version_ >= xvExcel50) Mark(kMarkHeader);
      storeRaw_ = false;
      return;
    case kHPageBreaks:
    case kVPageBreaks:
      Mark(kMarkPageBreaks);
      storeRaw_ = false;
      return;
    case kNote:
      // Notes belong to the drawing layer; their text plays no part in cells.
      if (biff8) Mark(kMarkObjects);
      storeRaw_ = false;
      return;
    case kHLink:
      return;  // kept raw; hyperlinks are not part of the cell text
    case kCondFmt:
    case kDVal:
    case kFilterMode:
    case kAutoFilterInfo:
    case kMsoDrawingSelection:
      storeRaw_ = false;
      return;
    case kFeatHdr:
      if (sheet_ != nullptr) ReadFeatHdr();
      return;
    case kSheetExt:
      // Kept raw as well: the tab colour is the only part the model holds.
      if (sheet_ != nullptr && length_ > 16) sheet_->TabColor = buffer_[16];
      return;
    default:
      return;  // appended raw
  }
}

#undef GRIDPORT_DEFAULT_FROM_BIFF5

// ---------------------------------------------------------------------------
// Globals records.

void TBiffReader::ReadBoundSheet() {
  Mark(kMarkSheetList);
  storeRaw_ = false;
  TBoundSheet entry;
  entry.Hidden = BodyU8(4) & 0x03u;
  const std::size_t count = BodyU8(6);
  if (version_ >= xvExcel97) {
    DecodeBiff8Text(buffer_.data() + 7, length_ > 7 ? length_ - 7u : 0, count, entry.Name);
  } else {
    DecodeAnsiText(buffer_.data() + 7, length_ > 7 ? length_ - 7u : 0, count, codePage_, entry.Name);
  }
  sheetNames_.push_back(std::move(entry));
}

void TBiffReader::ReadFilePass() {
  storeRaw_ = false;
  const std::uint16_t type = BodyU16(0);
  if (type == 0) throw EXLSError("File encrypted with non-standard key. French?");
  if (type != 1) throw EXLSError("Can not read file, unknown type of encryption.");
  std::u16string password = workbook_.Password;
  if (!static_cast<bool>(workbook_.OnPassword) && password.empty()) {
    // Workbooks encrypted only against changes carry Excel's default password.
    if (stream_->StartDecryption(buffer_.data(), length_, kDefaultWritePassword)) return;
    throw EXLSError("File is encrypted. Password required.");
  }
  if (workbook_.OnPassword) workbook_.OnPassword(workbook_, password);
  if (password.empty()) throw EXLSError("Password is missing.");
  if (!stream_->StartDecryption(buffer_.data(), length_, password)) throw EXLSError("Invalid password");
}

void TBiffReader::ReadFont() {
  storeRaw_ = false;
  AddFont();
  // Index 4 is never a file font: the fifth font of the file lands at index 5.
  if (++fontsRead_ == 4) AddDefaultFont();
}

void TBiffReader::ReadXF() {
  storeRaw_ = false;
  AddCellFormat();
}

void TBiffReader::ReadFormat() {
  if (id_ == kFormat23) return;
  storeRaw_ = false;
  const std::uint16_t formatId = BodyU16(0);
  if (version_ >= xvExcel97) {
    const std::size_t count = BodyU16(2);
    DecodeBiff8Text(buffer_.data() + 4, length_ - 4u, count, text_);
  } else {
    const std::size_t count = BodyU8(2);
    DecodeAnsiText(buffer_.data() + 3, length_ - 3u, count, codePage_, text_);
  }
  AddNumberFormat(formatId, text_);
}

void TBiffReader::ReadStyle() {
  storeRaw_ = false;
  RequireBody(4);
  std::size_t size = 4;
  if ((buffer_[1] & 0x80u) == 0 && length_ >= 5) {
    // A user-defined style keeps its name; the copy stays within the record.
    const std::size_t count = GetU16(buffer_.data() + 2);
    const std::uint8_t flags = buffer_[4];
    std::size_t name = count == 0 ? 0 : flags == 0 ? count + 1 : flags == 1 ? 2 * count + 1 : count;
    size = std::min<std::size_t>(4 + name, length_);
  }
  AddStyle(size);
}

void TBiffReader::ReadPalette() {
  std::uint16_t count = BodyU16(0);
  if (count > 57) {
    count = 57;
    buffer_[0] = 57;
    buffer_[1] = 0;
  }
  const std::size_t present = (length_ - 2u) / 4u;
  SetPalette(std::min<std::size_t>(count, present));
}

void TBiffReader::ReadSST() {
  Mark(kMarkSST);
  storeRaw_ = false;
  ReadSharedStrings();
}

void TBiffReader::ReadXCT() {
  storeRaw_ = false;
  std::uint32_t count = BodyU16(0);
  if (count & 0x8000u) count = 65536u - count;
  const std::uint16_t sheetIndex = length_ >= 4 ? BodyU16(2) : 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    TBiffRecordHeader header;
    if (stream_->ReadHeader(header) < 4 || header.Id != kCRN) throw EXLSError("CRN record missing");
    id_ = header.Id;
    length_ = static_cast<std::uint16_t>(ReadBody(header.Length));
    AddCRN(sheetIndex);
  }
  id_ = kXCT;
  length_ = 0;
}

void TBiffReader::ReadWriteAccess() {
  storeRaw_ = false;
  constexpr std::size_t kSize = 112;
  if (buffer_.size() < kSize) buffer_.resize(kSize);
  std::size_t length = length_;
  if (version_ < xvExcel97 && length > 0) {
    // 8-bit user name (count byte, characters) to the BIFF8 form: count word, flags byte.
    const std::size_t moved = std::min<std::size_t>(length - 1, kSize - 3);
    std::memmove(buffer_.data() + 3, buffer_.data() + 1, moved);
    buffer_[1] = 0;
    buffer_[2] = 0;
    length = std::min(kSize, moved + 3);
  }
  if (length < kSize) std::fill(buffer_.begin() + static_cast<std::ptrdiff_t>(length), buffer_.begin() + kSize, 0x20);
  length_ = static_cast<std::uint16_t>(std::max(length, kSize));
  SetDefault();
}

void TBiffReader::ReadDrawingGroup() {
  Mark(kMarkDrawingGroup);
  storeRaw_ = false;
  // The picture store is not part of this program. The group's data is the
  // record's body joined with the CONTINUE records that follow it; all of it
  // is read and dropped, which keeps the stream aligned on the next record.
  ReadBody(length_);
  while (stream_->PeekRecordId() == kContinue) {
    TBiffRecordHeader header;
    if (stream_->ReadHeader(header) < 4) break;
    ReadBody(header.Length);
  }
  length_ = 0;
}

void RunBiffReader(TXLSWorkbook& workbook, std::istream* stream) {
  TBiffReader reader(workbook);
  reader.ReadBiffStream(stream);
}

}  // namespace gridport
