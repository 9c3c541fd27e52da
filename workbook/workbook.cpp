#include "workbook/workbook.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "workbook/reader_entry.h"
#include "workbook/style_color.h"
#include "workbook/xls_error.h"

namespace gridport {

TFormulaHandler::TFormulaHandler() {
  // Reading never rewrites shared formulas: a removed cell of one is let go.
  cellValues_.SharedFormulaHook = [](TCellValues&, TCell&) {};
}

TXLSWorkbook::TXLSWorkbook() : sst_(fonts_), sheets_(*this) {
  cellFormats_.OnFormatRemoved = [this](int index) { CellFormatRemoved(index); };
  ResetColorPalette();
  gridport::SetStrTRUE(u"TRUE");
  gridport::SetStrFALSE(u"FALSE");
  sheets_.AddSheet(0);
  ApplyFileOptions();
  SetVersion(xvExcel97);
}

TXLSWorkbook::~TXLSWorkbook() {
  sheets_.ResetSheets();
  ReleaseTempStream();
}

void TXLSWorkbook::ApplyFormResource() {
  SetVersion(xvExcel2007);
  sheets_.ResetSheets();
  sheets_.AddSheet(0).SetName(u"Sheet1");
}

void TXLSWorkbook::SetVersion(TExcelVersion version) {
  version_ = version;
  maxRecordSize_ = version < xvExcel97 ? 2080 : 8224;
  sst_.SetMaxRecordSize(maxRecordSize_);
  if (version < xvExcel2007)
    SetPositionLimits(255, 65535);
  else
    SetPositionLimits(kMaxColumn, kMaxRow);
  formulaHandler_.SetVersion(version);
}

// Cells and row entries name formats by index: the ones after a removed
// format move down with it. Only the formatting setters and cell deletion remove formats, so
// this pass over every sheet's rows is off the reading path.
void TXLSWorkbook::CellFormatRemoved(int index) {
  TCellValuesList& storages = formulaHandler_.CellValues();
  for (std::size_t i = 0; i < storages.Count(); ++i) {
    const TCellValues& cells = storages[i];
    for (std::uint32_t row = 0; row <= kMaxRow; ++row) {
      cells.Row(row).ForEachCell(0, kMaxColumn, [index](TCell& cell) {
        if (cell.FormatIndex() > index) cell.SetFormatIndex(static_cast<std::uint16_t>(cell.FormatIndex() - 1));
      });
    }
  }
  for (std::size_t i = 0; i < sheets_.Count(); ++i)
    for (TRowInfo& info : sheets_[i].Layout().Rows)
      if (info.FormatIndex > index) --info.FormatIndex;
  if (defaultFormat_ > index) --defaultFormat_;
}

std::size_t TXLSWorkbook::CellFormatCount() const { return static_cast<std::size_t>(cellFormats_.Count()); }

namespace {

// The extension of a path: from the last '.' after the last '/', lower-cased
// (ASCII letters only: the names that matter are ASCII).
std::string LowerExtension(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string ext = path.substr(dot);
  for (char& c : ext)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return ext;
}

enum class TFileKind { Unknown, ZipArchive, CompoundFile };

// What the first bytes say the file is: a zip archive starts with a local-file header, a
// compound file with its fixed signature. Anything else (a short file, plain BIFF2-4, a file
// that cannot be opened) is Unknown and left to the extension.
TFileKind SniffFileKind(std::istream& file) {
  static constexpr unsigned char kZip[] = {'P', 'K', 0x03, 0x04};
  static constexpr unsigned char kCompound[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  unsigned char head[8] = {};
  file.read(reinterpret_cast<char*>(head), sizeof head);
  const std::streamsize got = file.gcount();
  file.clear();
  file.seekg(0);
  if (got >= 4 && std::memcmp(head, kZip, sizeof kZip) == 0) return TFileKind::ZipArchive;
  if (got == 8 && std::memcmp(head, kCompound, sizeof kCompound) == 0) return TFileKind::CompoundFile;
  return TFileKind::Unknown;
}

}  // namespace

void TXLSWorkbook::ReadWorkbook() {
  // The content decides before the name does: templates (.xltx), packages saved under .xls and
  // files without extension are common, and either reader fails on the other's files.
  std::ifstream file(filename_, std::ios::binary);
  const int open_error = errno;
  TFileKind kind = file ? SniffFileKind(file) : TFileKind::Unknown;
  if (kind == TFileKind::Unknown) {
    const std::string ext = LowerExtension(filename_);
    if (ext == ".xlsx" || ext == ".xlsm" || ext == ".zip") kind = TFileKind::ZipArchive;
  }
  if (kind == TFileKind::ZipArchive) {
    if (!file) throw EXLSError("Cannot open file \"" + filename_ + "\". " + std::strerror(open_error));
    LoadFromOpenXml(file);
    SetVersion(xvExcel2007);
  } else {
    file.close();
    LoadFromBiff(nullptr);
  }
  origVersion_ = version_;
}

void TXLSWorkbook::ClearWorkbook() {
  formulaHandler_.ClearNames();
  globalRecords_.Reset();
  futureRecords_.Clear();
  ClearSharedStrings();
  sheets_.ResetToDefault();
  cellFormats_.Clear();
  cellFormats_.Prime();
  defaultFormat_ = 15;  // the primed list's default cell format
  styleFormats_.Clear();
  cellStyles_.Clear();
  CalcId = 0;
  Ex12Colors.clear();
  Ex12Dxfs.clear();
  Ex12TableStyles.clear();
  savedTags_.Clear();
  packageRelations_.Clear();
  fonts_.Clear();
  fonts_.AddDefaultFonts();
  ReleaseTempStream();
  RecomendReadOnly = false;
  origVersion_ = xvNone;
}

void TXLSWorkbook::EnsureOneSheet() {
  if (sheets_.Count() == 0) {
    ClearWorkbook();
    sheets_.ResetToDefault();
  }
}

void TXLSWorkbook::LoadFromBiff(std::istream* stream) {
  ClearWorkbook();
  sheets_.ResetSheets();
  // The lists receive exactly what the file defines.
  fonts_.Clear();
  cellFormats_.Clear();
  cellFormats_.NumberFormats().AddDefaults();
  styleFormats_.Clear();
  RunLoad([&] { RunBiffReader(*this, stream); });
}

void TXLSWorkbook::LoadFromOpenXml(std::istream& stream) {
  ClearWorkbook();
  fonts_.Clear();
  cellFormats_.Clear();
  cellFormats_.AddDefaultFormats();
  styleFormats_.Clear();
  // The package copy and its temporary file served a writer of packages, which this system
  // does not have: a read leaves nothing behind in the temporary folder.
  ReleaseTempStream();
  RunLoad([&] { RunOpenXmlReader(*this, stream); });
}

void TXLSWorkbook::RunLoad(const std::function<void()>& runReader) {
  try {
    runReader();
  } catch (...) {
    EnsureOneSheet();  // a failed read still leaves a usable workbook
    throw;
  }
  formulaHandler_.SetFolder(filename_.substr(0, filename_.find_last_of('/') + 1));
  EnsureOneSheet();
  FinishLoad();
}

void TXLSWorkbook::FinishLoad() {
  cellFormats_.FinishLoad();
  fonts_.FinishLoad();
  defaultFormat_ = CellFormatCount() < 16 ? 0 : 15;
  ApplyFileOptions();
  for (std::size_t i = 0; i < sheets_.Count(); ++i) AfterLoad(sheets_[i]);
}

void TXLSWorkbook::AfterLoad(TSheet& sheet) {
  sst_.DropIndex();
  if (version_ > xvExcel97) return;
  // Straight from the stored DIMENSIONS body, not through the setters, so
  // the record stays as the reader stored it.
  const TRecordStorageSheet& r = sheet.Records();
  sheet.firstUsedRow_ = static_cast<std::int32_t>(r.DimFirstRow());
  sheet.lastUsedRow_ = r.DimLastRowPlus1() > 0 ? static_cast<std::int32_t>(r.DimLastRowPlus1() - 1) : 0;
  sheet.firstUsedCol_ = r.DimFirstCol();
  sheet.lastUsedCol_ = r.DimLastColPlus1() > 0 ? r.DimLastColPlus1() - 1 : 0;
}

void TXLSWorkbook::ApplyFileOptions() {
  if (sheets_.Count() == 0) return;
  const TRecordStorageSheet& r = sheets_[0].Records();
  switch (r.CalcMode()) {
    case 0: OptionsDialog.CalcMode = cmManual; break;
    case 1: OptionsDialog.CalcMode = cmAutomatic; break;
    case 0xFFFF: OptionsDialog.CalcMode = cmAutoExTables; break;
    default: break;
  }
  OptionsDialog.SetCalcCount(r.CalcCount());
  OptionsDialog.Delta = r.Delta();
  OptionsDialog.R1C1Mode = r.RefMode() == 0;
  OptionsDialog.Iteration = r.Iteration() == 1;
  OptionsDialog.SaveRecalc = r.SaveRecalc() == 1;
}

void TXLSWorkbook::CreateTempStream() {
  if (TempFileMode == tfmInMemory) {
    tempStream_ = std::make_unique<std::stringstream>(std::ios::in | std::ios::out | std::ios::binary);
    return;
  }
  const auto ticks = std::chrono::duration_cast<std::chrono::milliseconds>(
                         std::chrono::steady_clock::now().time_since_epoch())
                         .count();
  std::error_code error;
  const std::filesystem::path folder = std::filesystem::temp_directory_path(error);
  const std::string name = ((error ? std::filesystem::path("/tmp") : folder) / ("XLS" + std::to_string(ticks) + ".tmp")).string();
  auto file = std::make_unique<std::fstream>(name, std::ios::in | std::ios::out | std::ios::binary | std::ios::trunc);
  if (!*file) throw EXLSError("Cannot create file \"" + name + "\". " + std::strerror(errno));
  tempStream_ = std::move(file);
  tempFileName_ = name;
}

// The temporary file is removed with its stream: it was created by this
// workbook and holds nothing anyone else reads.
void TXLSWorkbook::ReleaseTempStream() {
  tempStream_.reset();
  if (!tempFileName_.empty()) {
    std::error_code ignored;
    std::filesystem::remove(tempFileName_, ignored);
    tempFileName_.clear();
  }
}

}  // namespace gridport
