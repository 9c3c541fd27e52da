// TPackageReader: reads an Excel 2007 package (a zip archive of XML parts) into the workbook
// model. Parts are found by fixed names; each is parsed by the tree-building XML reader and
// consumed element by element in TagEnded, so a sheet's tree never holds more than one row.
// What the model does not interpret goes to the model too: kept elements to the saved tags of
// the workbook and of each sheet, relationships to the workbook's, each sheet's and the
// external names' relation lists.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "openxml/xml_excel_reader.h"
#include "openxml/zip_part_buffer.h"
#include "workbook/package_relations.h"
#include "workbook/style_color.h"

namespace gridport {

class TXLSWorkbook;
class TSheet;
class TXLSZipArchive;
class TXFontEx12;

class TPackageReader : public TExcelXMLReader {
 public:
  explicit TPackageReader(TXLSWorkbook& workbook);
  ~TPackageReader() override;

  // Reads the package held in the stream (from its current position) or in memory.
  void ReadPackage(std::istream& stream);
  void ReadPackage(const std::uint8_t* data, std::size_t size);

  // Deflated parts of at least min_size bytes are inflated on a worker thread, chunk bytes at a
  // time, while they are parsed; smaller and stored parts are extracted whole first. A
  // min_size of SIZE_MAX keeps every part on one thread.
  static constexpr std::size_t kWorkerMinPartSize = std::size_t{1} << 20;
  void SetPartWorker(std::size_t min_size, std::size_t chunk) {
    worker_min_size_ = min_size;
    worker_chunk_ = chunk;
  }

 protected:
  void TagBegun(int tag_id) override;
  bool KeepsTextSpace(std::string_view name) const override;
  bool TagEnded(int tag_id) override;

 private:
  enum TPartKind : int {
    pkNone = 0,
    pkWorkbook = 1,
    pkWorkbookRelations = 2,
    pkStyles = 4,
    pkWorksheet = 5,
    pkSheetRelations = 6,
    pkSharedStrings = 7,
    pkRootRelations = 8,
  };

  void ReadArchive(TXLSZipArchive& archive);
  // Name of a part: the fixed name when the archive holds it, else the target of the first
  // relationship of that type in list (resolved against folder), else "".
  std::string FindPart(TXLSZipArchive& archive, const std::string& fixed, const TXMLRelations& list,
                       std::string_view type, const std::string& folder);
  // Parses the part when the archive holds it; false when it does not.
  bool ReadPart(TXLSZipArchive& archive, TPartKind kind, const std::string& name);
  // Parses a part while a worker inflates it; false when no thread could be started.
  bool ReadInflatingPart(TXLSZipArchive& archive, int index, const std::string& name);
  void SelectSheet(std::size_t index);

  bool StylesEnded(TExXMLTag& tag);
  bool SharedStringsEnded(TExXMLTag& tag);
  bool RelationsEnded(TExXMLTag& tag);
  bool WorkbookEnded(TExXMLTag& tag);
  bool WorksheetEnded(TExXMLTag& tag);
  void ReadCell(TExXMLTag& cell);
  // Workbook part: a defined name; worksheet part: row and column properties, merged areas.
  void ReadDefinedName(const TExXMLTag& name);
  void ReadRow(const TExXMLTag& row);
  void ReadColumn(const TExXMLTag& col);
  void ReadMergeCell(const TExXMLTag& merge);
  void ReadFont(TExXMLTag& font, TXFontEx12& into);
  // The text of an inline string ("is") or string item ("si"): its t, or its runs' t in order.
  std::u16string ItemText(const TExXMLTag& item);

  TXLSWorkbook& workbook_;
  TSheet* sheet_ = nullptr;
  TPartKind kind_ = pkNone;
  std::size_t sheet_counter_ = 0;
  TZipPartBuffer part_;
  std::size_t worker_min_size_ = kWorkerMinPartSize;
  std::size_t worker_chunk_;  // TInflatingPart::kDefaultChunk unless set
  // Every relationship of the package root and the workbook, whatever its type, and the r:id
  // of each sheet element: where parts lie when a writer did not use the usual names.
  TXMLRelations root_relations_;
  TXMLRelations all_workbook_relations_;
  std::vector<std::string> sheet_ids_;
  std::unique_ptr<TXFontEx12> scratch_font_;
  std::u16string text_;
  std::int32_t row_ = -1;  // row and column of the last cell read, for cells without "r"
  std::int32_t col_ = -1;
};

// Colour of a child element ("color", "fgColor", "bgColor"): the first of auto, indexed, rgb
// and theme that is present, with its tint; none of them, or no such child, gives kind "none".
TStyleColor ReadXMLColor(const TExXMLTag* element);

// Excel's serial number (1900 date system) of an ISO 8601 date, date-time or time; nothing
// when the text is not one.
bool IsoDateToSerial(std::string_view text, double& serial);

// The part name a relationship target stands for: relative to the folder of the part that
// holds the relationship ("xl/"), or absolute with a leading "/"; "." and ".." are resolved.
std::string ResolvePartName(const std::string& folder, std::string_view target);

}  // namespace gridport
