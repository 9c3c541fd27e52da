// TXLSWorkbook: the root of the workbook model that both readers fill and
// the converter reads.
//
// The workbook owns its sheets, the cell storages (through the formula
// handler), the shared string table, the format and font tables, what it
// keeps of an Excel 2007 package (saved tags, package relations) and the
// Open XML temporary stream, until ClearWorkbook or destruction. One
// component is used from one thread. StrTRUE/StrFALSE and the position
// limits are process-wide (workbook_globals.h): setting them here sets them
// for every workbook.
//
// Reader entry points: LoadFromBiff runs RunBiffReader and LoadFromOpenXml
// runs RunOpenXmlReader (reader_entry.h). Those two functions are defined by
// biff/ and openxml/; until a reader lands, a placeholder definition in
// workbook/ raises "... not supported yet" (see reader_entry.h).
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

#include "biff/names.h"
#include "biff/record_storage.h"
#include "workbook/cell_formats.h"
#include "workbook/cell_storage.h"
#include "workbook/excel_version.h"
#include "workbook/fonts.h"
#include "workbook/package_relations.h"
#include "workbook/saved_tags.h"
#include "workbook/sheets.h"
#include "workbook/sst.h"
#include "workbook/workbook_globals.h"

namespace gridport {

enum TTempFileMode : std::uint8_t { tfmOnDisk, tfmInMemory };
enum TCalcMode : std::uint8_t { cmManual, cmAutomatic, cmAutoExTables };
enum TShowObjects : std::uint8_t { soShowAll, soPlaceholders, soHideAll };

// Calculation options (from sheet 0's records, ApplyFileOptions).
struct TOptionsDialog {
  TCalcMode CalcMode = cmAutomatic;
  std::int16_t CalcCount = 100;
  double Delta = 0.001;
  bool R1C1Mode = false;
  bool Iteration = false;
  bool SaveRecalc = true;
  bool PrecisionAsDisplayed = true;
  TShowObjects ShowObjects = soShowAll;
  // 0 becomes 1, a negative count 32767.
  void SetCalcCount(std::int16_t count) { CalcCount = count == 0 ? 1 : count < 0 ? 32767 : count; }
};

// Window data kept in the global records.
struct TWorkbookData {
  std::int32_t Left = 100, Top = 100, Width = 10000, Height = 7000;
  bool HScroll = true, VScroll = true, Tabs = true;
  std::int32_t SelectedTab = 0;
};

// Holds the list of all sheets' cell storages and the folder of the file
// read last. The defined names and external references join it with the
// BIFF names layer.
class TFormulaHandler {
 public:
  TFormulaHandler();
  TCellValuesList& CellValues() { return cellValues_; }
  const std::string& Folder() const { return folder_; }
  void SetFolder(std::string folder) { folder_ = std::move(folder); }
  TExcelVersion Version() const { return version_; }
  void SetVersion(TExcelVersion version) { version_ = version; }
  // The defined names (NAME) and external references (SUPBOOK, EXTERNNAME,
  // EXTERNSHEET, CRN) of a BIFF8 workbook.
  TInternalNames& InternalNames() { return internalNames_; }
  TExternalNames& ExternalNames() { return externalNames_; }
  // Forgets all names and external references.
  void ClearNames() {
    internalNames_.Clear();
    externalNames_.Clear();
  }

 private:
  TCellValuesList cellValues_;
  TInternalNames internalNames_;
  TExternalNames externalNames_;
  std::string folder_;
  TExcelVersion version_ = xvExcel97;
};

class TXLSWorkbook {
 public:
  TXLSWorkbook();
  ~TXLSWorkbook();
  TXLSWorkbook(const TXLSWorkbook&) = delete;
  TXLSWorkbook& operator=(const TXLSWorkbook&) = delete;

  // What the main window's form resource does after construction: Version
  // xvExcel2007 and the constructor's sheet replaced by one named "Sheet1".
  void ApplyFormResource();

  // The file ReadWorkbook reads (a UTF-8 path).
  const std::string& Filename() const { return filename_; }
  void SetFilename(std::string filename) { filename_ = std::move(filename); }
  // Reads Filename into the model, replacing all contents. A file starting
  // with a zip local-file header takes the Open XML path, one starting with
  // the compound-file signature the BIFF path, whatever its name; any other
  // file goes by its extension: ".xlsx", ".xlsm" and ".zip" (any case) Open
  // XML, every other name BIFF. Reader errors propagate after the load
  // path's clean-up.
  void ReadWorkbook();
  // Empties the workbook: afterwards it holds exactly one empty worksheet.
  void ClearWorkbook();

  TExcelVersion Version() const { return version_; }
  // Also sets MaxRecordSize and the process-wide ColumnLimit/RowLimit.
  void SetVersion(TExcelVersion version);
  TExcelVersion OrigVersion() const { return origVersion_; }
  std::uint32_t MaxRecordSize() const { return maxRecordSize_; }

  TSheets& Sheets() { return sheets_; }
  const TSheets& Sheets() const { return sheets_; }

  const std::u16string& GetStrTRUE() const { return StrTRUE(); }
  const std::u16string& GetStrFALSE() const { return StrFALSE(); }
  void SetStrTRUE(std::u16string_view text) { gridport::SetStrTRUE(text); }
  void SetStrFALSE(std::u16string_view text) { gridport::SetStrFALSE(text); }

  // Load paths (ReadWorkbook picks one) and the end-of-read steps.
  // stream nullptr: the BIFF reader opens Filename itself.
  void LoadFromBiff(std::istream* stream);
  void LoadFromOpenXml(std::istream& stream);
  void AfterLoad(TSheet& sheet);
  void ApplyFileOptions();

  // Index of the default cell format in the cell-format list.
  std::uint16_t DefaultFormatIndex() const { return defaultFormat_; }
  // Number of entries of the cell-format list (insert operations resolve
  // indices against it).
  std::size_t CellFormatCount() const;

  TFormulaHandler& FormulaHandler() { return formulaHandler_; }
  // The stored records of the workbook globals, and the Excel 2007 future
  // records, kept as the BIFF reader found them.
  TRecordStorageGlobals& GlobalRecords() { return globalRecords_; }
  const TRecordStorageGlobals& GlobalRecords() const { return globalRecords_; }
  TRecordStorageEx2007Unknown& FutureRecords() { return futureRecords_; }
  // The shared string table, shared by all sheets.
  TSST& SST() { return sst_; }
  const TSST& SST() const { return sst_; }
  // Empties the shared string table.
  void ClearSharedStrings() { sst_.ClearTable(); }
  // The font list.
  TXFonts& Fonts() { return fonts_; }
  // The cell-format list (cells refer to its entries by index) and the
  // style-level format list.
  TCellFormats& CellFormats() { return cellFormats_; }
  const TCellFormats& CellFormats() const { return cellFormats_; }
  TCellFormats& StyleFormats() { return styleFormats_; }
  // The named cell styles of an Excel 2007 package.
  TEx12CellStyles& CellStyles() { return cellStyles_; }
  const TEx12CellStyles& CellStyles() const { return cellStyles_; }
  // From an Excel 2007 package: the workbook part's elements kept as XML text, and the
  // workbook's relationships other than those of the parts read by fixed names (worksheets,
  // shared strings, styles, calculation chain). The external-link relationships are in
  // FormulaHandler().ExternalNames().ExtRelations().
  TXLSSavedTags& SavedTags() { return savedTags_; }
  const TXLSSavedTags& SavedTags() const { return savedTags_; }
  TXMLRelationsWorkbook& PackageRelations() { return packageRelations_; }
  const TXMLRelationsWorkbook& PackageRelations() const { return packageRelations_; }
  // The Open XML reader's temporary stream, or nullptr.
  std::iostream* TempStream() const { return tempStream_.get(); }

  // Kept from an Excel 2007 package for a writer: the calculation engine id of
  // "calcPr" (0 when absent) and the styles part's "colors", "dxfs" and
  // "tableStyles" elements as XML text (empty when absent).
  std::int32_t CalcId = 0;
  std::string Ex12Colors, Ex12Dxfs, Ex12TableStyles;

  bool ShowFormulas = false;  // formula text is not produced: always reads results
  TTempFileMode TempFileMode = tfmOnDisk;
  std::u16string Password;
  bool PreserveMacros = true;
  bool IsMac = false;
  bool RecomendReadOnly = false;
  TWorkbookData WorkbookData;
  TOptionsDialog OptionsDialog;
  std::function<void(int percent)> OnProgress;
  // Asked for the password of an encrypted BIFF file; starts as Password.
  std::function<void(TXLSWorkbook& sender, std::u16string& password)> OnPassword;
  static constexpr std::string_view ComponentVersion = "1.0";

 private:
  // Runs after a reader returned or raised (step 6 of both load paths), and
  // the steps after a reader that returned.
  void EnsureOneSheet();
  void CellFormatRemoved(int index);
  void FinishLoad();
  // Runs a reader and finishes the load: one sheet at least, also when the reader fails.
  void RunLoad(const std::function<void()>& runReader);
  void CreateTempStream();
  void ReleaseTempStream();

  // Declaration order matters: the fonts outlive the format lists and the
  // shared strings (both refer to fonts), which outlive the sheets' cells.
  TXFonts fonts_;
  TCellFormats cellFormats_{fonts_, true};
  TCellFormats styleFormats_{fonts_, false};
  TEx12CellStyles cellStyles_;
  TSST sst_;
  TFormulaHandler formulaHandler_;
  TRecordStorageGlobals globalRecords_;
  TRecordStorageEx2007Unknown futureRecords_;
  TXLSSavedTags savedTags_;
  TXMLRelationsWorkbook packageRelations_;
  TSheets sheets_;
  std::string filename_;
  TExcelVersion version_ = xvExcel97;
  TExcelVersion origVersion_ = xvNone;
  std::uint32_t maxRecordSize_ = 8224;
  std::uint16_t defaultFormat_ = 15;
  std::unique_ptr<std::iostream> tempStream_;
  std::string tempFileName_;
};

// BIFF error byte to cell error code (0x00 -> 1 ... 0x2A -> 7, other -> 0).
std::uint8_t ErrorCodeFromFile(std::uint8_t errorByte);
// Exact (case-sensitive) match against CellErrorNames 1..7; 0 when none.
std::uint8_t ErrorCodeFromText(std::u16string_view text);

}  // namespace gridport
