#include "openxml/package_reader.h"

#include <algorithm>
#include <cmath>
#include <istream>
#include <optional>
#include <system_error>

#include "openxml/xml_text.h"
#include "openxml/zip_inflating_part.h"
#include "openxml/zip_xls_archive.h"
#include "workbook/fonts.h"
#include "workbook/reader_entry.h"
#include "workbook/sst.h"
#include "workbook/workbook.h"
#include "workbook/xls_error.h"

namespace gridport {
namespace {

// The workbook places 21 default cell formats in front of the package's own.
constexpr std::int32_t kPackageFormatOffset = 21;
constexpr std::int32_t kPackageMaxColumn = 16383;
constexpr std::int32_t kPackageMaxRow = 1048575;

std::u16string Lower(std::u16string text) {
  for (char16_t& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char16_t>(c - 'A' + 'a');
  return text;
}

std::uint16_t FormatIndex(std::int32_t s) {
  std::int64_t index = static_cast<std::int64_t>(s) + kPackageFormatOffset;
  return static_cast<std::uint16_t>(std::clamp<std::int64_t>(index, 0, 0xFFFF));
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

bool Digits(std::string_view text, std::size_t at, std::size_t count, int& value) {
  if (at + count > text.size()) return false;
  value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  return true;
}

// Element names outside the tag table ("is") are matched by local name.
const TExXMLTag* ChildNamed(const TExXMLTag& parent, std::string_view local) {
  for (const TExXMLTag* c = parent.FirstChild(); c != nullptr; c = c->NextSibling()) {
    std::string_view name = c->Name();
    std::size_t colon = name.rfind(':');
    if (colon != std::string_view::npos) name.remove_prefix(colon + 1);
    if (name == local) return c;
  }
  return nullptr;
}

}  // namespace

bool IsoDateToSerial(std::string_view text, double& serial) {
  std::size_t at = 0;
  double days = 0;
  int year = 0, month = 0, day = 0;
  bool has_date = false;
  if (Digits(text, 0, 4, year) && text.size() >= 10 && text[4] == '-' && Digits(text, 5, 2, month) &&
      text[7] == '-' && Digits(text, 8, 2, day)) {
    if (month < 1 || month > 12 || day < 1 || day > 31) return false;
    std::int64_t d = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) -
                     DaysFromCivil(1899, 12, 30);
    // Excel counts a 29 February 1900 that never was: earlier dates are one day less.
    if (d < 61) d -= 1;
    days = static_cast<double>(d);
    has_date = true;
    at = 10;
    if (at < text.size() && (text[at] == 'T' || text[at] == ' ')) {
      ++at;
      if (at == text.size()) return false;  // a separator with no time after it
    }
  }
  double fraction = 0;
  int hour = 0, minute = 0, second = 0;
  if (at < text.size() && Digits(text, at, 2, hour) && at + 5 <= text.size() && text[at + 2] == ':' &&
      Digits(text, at + 3, 2, minute)) {
    at += 5;
    double seconds = 0;
    if (at < text.size() && text[at] == ':' && Digits(text, at + 1, 2, second)) {
      at += 3;
      seconds = second;
      if (at < text.size() && text[at] == '.') {
        double scale = 0.1;
        for (++at; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at, scale /= 10)
          seconds += (text[at] - '0') * scale;
      }
    }
    if (hour > 24 || minute > 59 || seconds >= 61) return false;
    fraction = (hour * 3600.0 + minute * 60.0 + seconds) / 86400.0;
    // A zone designator is taken as local time, as a spreadsheet shows it.
    if (at < text.size() && text[at] == 'Z') ++at;
    if (at < text.size() && (text[at] == '+' || text[at] == '-') && at + 6 == text.size()) at += 6;
  } else if (!has_date) {
    return false;
  }
  if (at != text.size()) return false;
  serial = days + fraction;
  return true;
}

TPackageReader::TPackageReader(TXLSWorkbook& workbook)
    : workbook_(workbook), worker_chunk_(TInflatingPart::kDefaultChunk), scratch_font_(std::make_unique<TXFontEx12>()) {
  // TagBegun acts on sst and row only; the ends of cell values and of unknown elements change
  // nothing (see TagEnded).
  SetAllTagEvents(teEnded);
  SetTagEvents(xtSst, teBoth);
  SetTagEvents(xtRow, teBoth);
  SetTagEvents(xtV, teNone);
  SetTagEvents(xtUnknown, teNone);
}

TPackageReader::~TPackageReader() = default;

void TPackageReader::ReadPackage(std::istream& stream) {
  TXLSZipArchive archive;
  archive.Open(stream);
  ReadArchive(archive);
}

void TPackageReader::ReadPackage(const std::uint8_t* data, std::size_t size) {
  TXLSZipArchive archive;
  archive.Open(data, size);
  ReadArchive(archive);
}

std::string ResolvePartName(const std::string& folder, std::string_view target) {
  std::string path = target.substr(0, 1) == "/" ? std::string(target.substr(1)) : folder + std::string(target);
  std::vector<std::string> segments;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t slash = path.find('/', start);
    if (slash == std::string::npos) slash = path.size();
    std::string segment = path.substr(start, slash - start);
    if (segment == "..") {
      if (!segments.empty()) segments.pop_back();
    } else if (!segment.empty() && segment != ".") {
      segments.push_back(segment);
    }
    start = slash + 1;
  }
  std::string out;
  for (const std::string& segment : segments) out += (out.empty() ? "" : "/") + segment;
  return out;
}

namespace {

std::string FolderOf(const std::string& part) { return part.substr(0, part.rfind('/') + 1); }

std::string RelationsPartOf(const std::string& part) {
  std::size_t slash = part.rfind('/') + 1;
  return part.substr(0, slash) + "_rels/" + part.substr(slash) + ".rels";
}

// Keeps a relation list collecting while its part is read, and puts it back into ordered mode
// however the read ends.
class TCollectingScope {
 public:
  explicit TCollectingScope(TXMLRelations& list) : list_(list) { list_.SetCollecting(); }
  ~TCollectingScope() { list_.SetOrdered(); }
  TCollectingScope(const TCollectingScope&) = delete;
  TCollectingScope& operator=(const TCollectingScope&) = delete;

 private:
  TXMLRelations& list_;
};

bool Holds(TXLSZipArchive& archive, const std::string& name) {
  return archive.IndexOfUtf8(name) >= 0;
}

}  // namespace

std::string TPackageReader::FindPart(TXLSZipArchive& archive, const std::string& fixed,
                                     const TXMLRelations& list, std::string_view type,
                                     const std::string& folder) {
  if (Holds(archive, fixed)) return fixed;
  for (std::size_t i = 0; i < list.Count(); ++i)
    if (list[i].Type == type && list[i].TargetMode != tmExternal) return ResolvePartName(folder, list[i].Target);
  return {};
}

void TPackageReader::ReadArchive(TXLSZipArchive& archive) {
  // A file that is no zip archive (an encrypted package is a compound file) holds no parts.
  if (!archive.IsZipFile()) throw EXLSError("Cannot process this file: not a zip archive");
  sheet_counter_ = 0;
  TXMLRelationsWorkbook& workbook_relations = workbook_.PackageRelations();
  TCollectingScope collecting(workbook_relations);

  // Parts are read by their usual names; a package whose writer put them elsewhere is found
  // through its relationships (the package root names the workbook, the workbook its parts).
  root_relations_.SetCollecting();
  all_workbook_relations_.SetCollecting();
  std::string workbook = "xl/workbook.xml";
  if (!Holds(archive, workbook)) {
    ReadPart(archive, pkRootRelations, "_rels/.rels");
    workbook = FindPart(archive, workbook, root_relations_, "officeDocument", "");
  }
  const std::string folder = FolderOf(workbook);
  // The workbook's relationships come first, as they may be needed to find the other parts.
  ReadPart(archive, pkWorkbookRelations, RelationsPartOf(workbook));
  workbook_relations.SortById();
  ReadPart(archive, pkStyles, FindPart(archive, "xl/styles.xml", all_workbook_relations_, "styles", folder));
  workbook_.Fonts().RebuildIndex();
  ReadPart(archive, pkSharedStrings,
           FindPart(archive, "xl/sharedStrings.xml", all_workbook_relations_, "sharedStrings", folder));
  ReadPart(archive, pkWorkbook, workbook);

  // Worksheet n is sheetN.xml and belongs to the n-th sheet; without such parts each sheet's
  // own relationship leads to its worksheet.
  std::size_t sheets = workbook_.Sheets().Count();
  std::vector<std::string> worksheets;
  if (Holds(archive, "xl/worksheets/sheet1.xml") || sheet_ids_.empty()) {
    for (std::size_t n = 1;; ++n) {
      std::string name = "xl/worksheets/sheet" + std::to_string(n) + ".xml";
      if (!Holds(archive, name)) break;
      worksheets.push_back(name);
    }
  } else {
    all_workbook_relations_.SortById();
    for (const std::string& id : sheet_ids_) {
      const TXMLRelation* relation = all_workbook_relations_.Find(id, false);
      std::string name = relation ? ResolvePartName(folder, relation->Target) : std::string();
      worksheets.push_back(Holds(archive, name) ? name : std::string());
    }
  }
  for (std::size_t n = 1; n <= sheets; ++n) {
    SelectSheet(n - 1);
    TCollectingScope collecting_sheet(sheet_->PackageRelations());
    std::string sheet_part = n <= worksheets.size() && !worksheets[n - 1].empty()
                                 ? worksheets[n - 1]
                                 : "xl/worksheets/sheet" + std::to_string(n) + ".xml";
    ReadPart(archive, pkSheetRelations, RelationsPartOf(sheet_part));
  }
  for (std::size_t n = 1; n <= worksheets.size(); ++n) {
    if (worksheets[n - 1].empty()) continue;
    SelectSheet(n - 1);
    ReadPart(archive, pkWorksheet, worksheets[n - 1]);
  }
  sheet_ = nullptr;
  kind_ = pkNone;
}

bool TPackageReader::ReadPart(TXLSZipArchive& archive, TPartKind kind, const std::string& name) {
  if (name.empty()) return false;
  const int index = archive.IndexOfUtf8(name);
  if (index < 0) return false;
  kind_ = kind;
  if (TInflatingPart::Suits(archive.Zip(), archive.Zip().Entries().Items(index), worker_min_size_) &&
      ReadInflatingPart(archive, index, name))
    return true;
  part_.Clear();
  archive.ReadPart(index, part_);
  try {
    ParsePart(name, reinterpret_cast<const char*>(part_.Data()), part_.Size());
  } catch (...) {
    part_.Clear();
    throw;
  }
  part_.Clear();
  return true;
}

bool TPackageReader::ReadInflatingPart(TXLSZipArchive& archive, int index, const std::string& name) {
  std::optional<TInflatingPart> part;
  try {
    part.emplace(archive.Zip(), archive.Zip().Entries().Items(index), worker_chunk_);
  } catch (const std::system_error&) {
    return false;  // no thread to be had: extract the part whole instead
  }
  try {
    ParsePart(name, *part);
  } catch (...) {
    // Bytes of a damaged entry may have made the parse fail before the damage itself was met.
    // Extracting first would have reported the damage: let the worker finish, and its error
    // wins over the parser's.
    if (std::exception_ptr inflate_error = part->Finish()) std::rethrow_exception(inflate_error);
    throw;
  }
  return true;
}

// The sheet with this index becomes the current one (the sheet list's index error when there
// is none).
void TPackageReader::SelectSheet(std::size_t index) {
  sheet_ = &workbook_.Sheets()[index];
  row_ = -1;
  col_ = -1;
}

// Spaces around the text of a "t" element are part of the string: not every writer marks them
// with xml:space (Apache POI does not), and every spreadsheet keeps them.
bool TPackageReader::KeepsTextSpace(std::string_view name) const {
  std::size_t colon = name.rfind(':');
  if (colon != std::string_view::npos) name.remove_prefix(colon + 1);
  return name == "t";
}

void TPackageReader::TagBegun(int tag_id) {
  if (tag_id == xtSst) {
    workbook_.SST().SetTotalCount(0);
  } else if (tag_id == xtRow && kind_ == pkWorksheet) {
    // Cells without a reference follow the previous cell of their row; rows without one follow
    // the previous row.
    const TExXMLValue* r = CurrentElement()->Value(xaR);
    std::int32_t number = r ? ParseXMLInt(r->Raw).value_or(0) : 0;
    row_ = number > 0 ? number - 1 : row_ + 1;
    col_ = -1;
  }
}

bool TPackageReader::TagEnded(int tag_id) {
  if (tag_id == xtUnknown) return false;
  TExXMLTag& tag = *CurrentElement();
  switch (kind_) {
    case pkWorksheet:
      // A large sheet ends millions of cells and values: they take no further dispatch.
      if (tag_id == xtC) {
        ReadCell(tag);
        return true;
      }
      if (tag_id == xtV) return false;
      return WorksheetEnded(tag);
    case pkSharedStrings:
      return SharedStringsEnded(tag);
    case pkStyles:
      return StylesEnded(tag);
    case pkRootRelations:
    case pkWorkbookRelations:
    case pkSheetRelations:
      return RelationsEnded(tag);
    case pkWorkbook:
      return WorkbookEnded(tag);
    default:
      return false;
  }
}

void TPackageReader::ReadFont(TExXMLTag& font, TXFontEx12& into) {
  auto child_int = [&](int tag) {
    const TExXMLValue* v = font.ChildValue(tag, xaVal);
    return v ? ParseXMLInt(v->Raw).value_or(0) : 0;
  };
  auto child_lower = [&](int tag) {
    const TExXMLValue* v = font.ChildValue(tag, xaVal);
    return v ? Lower(DecodeXMLText(v->Raw)) : std::u16string();
  };
  into.Charset = static_cast<std::uint8_t>(child_int(xtCharset));
  into.Family = static_cast<std::uint8_t>(child_int(xtFamily));
  const TExXMLValue* name = font.ChildValue(xtName, xaVal);
  into.Name = name ? DecodeXMLText(name->Raw) : u"Arial";
  const TExXMLValue* size = font.ChildValue(xtSz, xaVal);
  double points = size ? ParseXMLFloat(size->Raw).value_or(0) : 8;
  double height = std::round(points * 20);
  into.Height = height > 0 && height < 65536 ? static_cast<std::uint32_t>(height) : 0;
  into.Color = ReadXMLColor(font.Child(xtColor));
  into.Style = static_cast<std::uint8_t>((font.ChildFlag(xtB) ? fsBold : 0) | (font.ChildFlag(xtI) ? fsItalic : 0) |
                                         (font.ChildFlag(xtStrike) ? fsStrikeOut : 0));
  into.Condense = font.ChildFlag(xtCondense);
  into.Extend = font.ChildFlag(xtExtend);
  into.Outline = font.ChildFlag(xtOutline);
  into.Shadow = font.ChildFlag(xtShadow);
  std::u16string scheme = child_lower(xtScheme);
  into.Scheme = scheme == u"minor" ? 1 : scheme == u"major" ? 2 : 0;
  into.Underline = 0;
  if (font.Child(xtU) != nullptr) {
    std::u16string u = child_lower(xtU);
    into.Underline = u == u"double" ? 2 : u == u"singleaccounting" ? 3 : u == u"doubleaccounting" ? 4 : 1;
  }
  std::u16string script = child_lower(xtVertAlign);
  into.Script = script == u"superscript" ? 1 : script == u"subscript" ? 2 : 0;
}

std::u16string TPackageReader::ItemText(const TExXMLTag& item) {
  std::u16string text;
  // A direct "t" is the text; runs count only without one (a writer that gave both meant the
  // "t": calamine's minimal_package.xlsx).
  if (const TExXMLTag* direct = item.Child(xtT)) {
    AppendDecodedXMLText(direct->RawText(), text);
  } else {
    for (const TExXMLTag* r = item.FirstChild(); r != nullptr; r = r->NextSibling())
      if (r->Id() == xtR)
        if (const TExXMLTag* t = r->Child(xtT)) AppendDecodedXMLText(t->RawText(), text);
  }
  DecodeEscapedUnderscores(text);
  return text;
}

bool TPackageReader::SharedStringsEnded(TExXMLTag& tag) {
  if (tag.Id() != xtSi) return false;
  TSST& sst = workbook_.SST();
  if (tag.Child(xtR) == nullptr) {
    // An item without text still takes its position, so that later indices stay right.
    text_.clear();
    if (const TExXMLTag* t = tag.Child(xtT)) AppendDecodedXMLText(t->RawText(), text_);
    DecodeEscapedUnderscores(text_);
    sst.AddSharedString(text_);
    return true;
  }
  TXFonts& fonts = workbook_.Fonts();
  std::vector<std::u16string> texts;
  std::vector<TXFont*> run_fonts;
  for (TExXMLTag* r = tag.FirstChild(); r != nullptr; r = r->NextSibling()) {
    if (r->Id() != xtR) continue;
    TXFont* font = nullptr;
    if (TExXMLTag* rpr = r->Child(xtRPr)) {
      scratch_font_->Reset();
      ReadFont(*rpr, *scratch_font_);
      scratch_font_->Name = DecodeXMLText(rpr->RequiredChildValue(xtRFont, xaVal).Raw);
      font = fonts.LookUp(*scratch_font_);
      // Writers describe run fonts that the styles part never lists; the run keeps its font.
      if (font == nullptr) font = fonts.FindOrAdd(*scratch_font_);
    } else {
      font = fonts.Count() > 0 ? fonts[0] : fonts.FindOrAdd(*scratch_font_);
    }
    const TExXMLTag* t = r->Child(xtT);
    if (t == nullptr) throw EXLSError("Excepcted tag missing: \"T\"");
    std::u16string text = DecodeXMLText(t->RawText());
    DecodeEscapedUnderscores(text);
    texts.push_back(std::move(text));
    run_fonts.push_back(font);
  }
  std::vector<TRichTextPiece> pieces;
  pieces.reserve(texts.size());
  for (std::size_t i = 0; i < texts.size(); ++i) pieces.push_back({texts[i], run_fonts[i]});
  sst.AddRichSharedString(pieces);
  return true;
}

bool TPackageReader::RelationsEnded(TExXMLTag& tag) {
  if (tag.Id() != xtRelationship) return false;
  std::string_view type = tag.RequiredString(xaRelType);
  if (kind_ == pkRootRelations || kind_ == pkWorkbookRelations) {
    TXMLRelations& all = kind_ == pkRootRelations ? root_relations_ : all_workbook_relations_;
    TXMLRelation& any = all.Add(tag.RequiredString(xaRelId));
    all.SetType(any, type);
    any.Target.assign(tag.RequiredString(xaTarget));
    any.TargetMode = tag.String(xaTargetMode) == "External" ? tmExternal : tmNotGiven;
    if (kind_ == pkRootRelations) return true;
  }
  TXMLRelations& list = kind_ == pkWorkbookRelations ? workbook_.PackageRelations() : sheet_->PackageRelations();
  if (!list.AcceptsType(type)) return false;
  TXMLRelation& relation = list.Add(tag.RequiredString(xaRelId));
  list.SetType(relation, type);
  relation.Target.assign(tag.RequiredString(xaTarget));
  std::string_view mode = tag.String(xaTargetMode);
  if (!mode.empty()) {
    if (mode == "Internal") {
      relation.TargetMode = tmInternal;
    } else if (mode == "External") {
      relation.TargetMode = tmExternal;
    } else {
      throw EXLSError("Unknown Relation TargetMode");
    }
  }
  return true;
}

bool TPackageReader::WorksheetEnded(TExXMLTag& tag) {
  switch (tag.Id()) {
    case xtC:
      ReadCell(tag);
      return true;
    // Drawing anchors inside "controls" and "oleObjects" have "xdr:row" and "xdr:col" of
    // their own (phpss_form_pass_print.xlsm): rows and columns count only in their lists.
    case xtRow:
      if (tag.Parent()->Id() != xtSheetData) return false;
      ReadRow(tag);
      return true;
    case xtCol:
      if (tag.Parent()->Id() != xtCols) return false;
      ReadColumn(tag);
      return true;
    case xtMergeCell:
      ReadMergeCell(tag);
      return true;
    case xtDimension: {
      SaveElement(sheet_->SavedTags(), tag);
      TXMLAreaRef area = tag.AreaRef(xaRef);
      if (area.First.Col >= 0 && area.First.Row >= 0 && area.Last.Col >= area.First.Col &&
          area.Last.Row >= area.First.Row && area.Last.Col <= kPackageMaxColumn && area.Last.Row <= kPackageMaxRow) {
        sheet_->SetFirstUsedCol(area.First.Col);
        sheet_->SetFirstUsedRow(area.First.Row);
        sheet_->SetLastUsedCol(area.Last.Col);
        sheet_->SetLastUsedRow(area.Last.Row);
        sheet_->Records().SetDimensions(static_cast<std::uint32_t>(area.First.Row),
                                        static_cast<std::uint32_t>(area.Last.Row) + 1,
                                        static_cast<std::uint16_t>(area.First.Col),
                                        static_cast<std::uint16_t>(area.Last.Col + 1));
      }
      return false;
    }
    case xtAutoFilter:
    case xtCellWatches:
    case xtColBreaks:
    case xtConditionalFormatting:
    case xtControls:
    case xtCustomProperties:
    case xtCustomSheetViews:
    case xtDataConsolidate:
    case xtDataValidations:
    case xtDrawing:
    case xtExtLst:
    case xtHeaderFooter:
    case xtHyperlinks:
    case xtIgnoredErrors:
    case xtLegacyDrawing:
    case xtLegacyDrawingHF:
    case xtOleObjects:
    case xtPageMargins:
    case xtPageSetup:
    case xtPhoneticPr:
    case xtPicture:
    case xtPrintOptions:
    case xtProtectedRanges:
    case xtRowBreaks:
    case xtScenarios:
    case xtSheetCalcPr:
    case xtSheetFormatPr:
    case xtSheetPr:
    case xtSheetProtection:
    case xtSheetViews:
    case xtSmartTags:
    case xtSortState:
    case xtTableParts:
    case xtWebPublishItems:
      SaveElement(sheet_->SavedTags(), tag);
      return false;
    case xtCols:
    case xtMergeCells:
    case xtSheetData:
      SaveMarker(sheet_->SavedTags(), tag.Id());
      return false;
    default:
      return false;
  }
}

void TPackageReader::ReadCell(TExXMLTag& cell) {
  // One walk over the cell's values and one over its children (a cell is read 10 million
  // times in a large sheet).
  const TExXMLValue* r = nullptr;
  const TExXMLValue* s = nullptr;
  const TExXMLValue* t = nullptr;
  for (const TExXMLValue& value : cell.Values()) {
    if (value.Id == xaR) r = &value;
    if (value.Id == xaS) s = &value;
    if (value.Id == xaT) t = &value;
  }
  const TExXMLTag* v = nullptr;
  const TExXMLTag* f = nullptr;
  for (const TExXMLTag* child = cell.FirstChild(); child != nullptr; child = child->NextSibling()) {
    if (child->Id() == xtV && v == nullptr) v = child;
    if (child->Id() == xtF && f == nullptr) f = child;
  }
  std::int32_t col = col_ + 1, row = row_;
  if (r != nullptr) {
    TXMLCellRef ref = CellRefOf(r->Raw);
    col = ref.Col;
    row = ref.Row;
  }
  if (col < 0 || col > kPackageMaxColumn || row < 0 || row > kPackageMaxRow)
    throw EXLSError("Cell reference out of range: " + std::string(r ? r->Raw : "(none)"));
  col_ = col;
  row_ = row;
  const auto c = static_cast<std::uint16_t>(col);
  const auto w = static_cast<std::uint32_t>(row);
  std::int32_t style = 0;
  if (s != nullptr) ParseXMLInt(s->Raw, style);
  const std::uint16_t format = FormatIndex(style);
  const std::string_view type = t != nullptr ? t->Raw : std::string_view("n");
  auto decoded_v = [&]() -> std::u16string& {
    text_.clear();
    AppendDecodedXMLText(v->RawText(), text_);
    return text_;
  };

  // An inline string keeps its text in "is"; a writer may also give it a "v".
  if (type == "inlineStr") {
    const TExXMLTag* is = ChildNamed(cell, "is");
    std::u16string text = is ? ItemText(*is) : v ? DecodeXMLText(v->RawText()) : std::u16string();
    if (f != nullptr) {
      sheet_->InsertStringFormulaText(c, w, static_cast<std::uint16_t>(std::clamp(f->Int(xaSi, 0xFFFF), 0, 0xFFFF)),
                                      0, text, f->RawText(), format);
    } else if (is != nullptr || v != nullptr) {
      sheet_->InsertText(c, w, text, format);
    } else {
      sheet_->InsertBlank(c, w, format);
    }
    return;
  }

  if (f != nullptr) {
    const std::uint8_t flags = static_cast<std::uint8_t>(
        (f->Bool(xaAca, false) ? 1 : 0) | (f->Bool(xaBx, false) ? 2 : 0) | (f->Bool(xaCa, false) ? 4 : 0) |
        (f->Bool(xaDel1, false) ? 8 : 0) | (f->Bool(xaDel2, false) ? 16 : 0) | (f->Bool(xaDt2D, false) ? 32 : 0) |
        (f->Bool(xaDtr, false) ? 64 : 0));
    const auto shared = static_cast<std::uint16_t>(std::clamp(f->Int(xaSi, 0xFFFF), 0, 0xFFFF));
    // The formula text goes to the model as it stands in the part (formula cells keep 8-bit
    // text; it is not shown by the conversion).
    const std::string_view formula = f->RawText();
    if (v == nullptr) {
      // Writers that do not calculate (openpyxl) leave the cached value out.
      sheet_->InsertStringFormulaText(c, w, shared, flags, std::u16string_view(), formula, format);
      return;
    }
    double serial = 0;
    switch (type.empty() ? '\0' : type[0]) {
      case 'b':
        sheet_->InsertBooleanFormulaText(c, w, shared, flags, v->RawText() == "1", formula, format);
        return;
      case 'e':
        sheet_->InsertErrorFormulaText(c, w, shared, flags, ErrorCodeFromText(decoded_v()), formula, format);
        return;
      case 'n':
        sheet_->InsertNumberFormulaText(c, w, shared, flags, TextFloatOf(*v), formula, format);
        return;
      case 'd':
        if (IsoDateToSerial(v->RawText(), serial)) {
          sheet_->InsertNumberFormulaText(c, w, shared, flags, serial, formula, format);
        } else {
          sheet_->InsertStringFormulaText(c, w, shared, flags, decoded_v(), formula, format);
        }
        return;
      default:
        if (type == "str") {
          DecodeEscapedUnderscores(decoded_v());
          sheet_->InsertStringFormulaText(c, w, shared, flags, text_, formula, format);
          return;
        }
        throw EXLSError("Unknown Excel XML formula type");
    }
  }

  if (v == nullptr) {
    sheet_->InsertBlank(c, w, format);
    return;
  }
  double serial = 0;
  switch (type.empty() ? '\0' : type[0]) {
    case 'b':
      sheet_->InsertBoolean(c, w, v->RawText() == "1", format);
      return;
    case 'e':
      sheet_->InsertError(c, w, ErrorCodeFromText(decoded_v()), format);
      return;
    case 'n':
      sheet_->InsertNumber(c, w, TextFloatOf(*v), format);
      return;
    case 's':
      if (type == "str") {
        DecodeEscapedUnderscores(decoded_v());
        sheet_->InsertText(c, w, text_, format);
      } else {
        sheet_->InsertSharedString(c, w, static_cast<std::uint32_t>(v->TextInt()), format);
      }
      return;
    case 'd':
      if (IsoDateToSerial(v->RawText(), serial)) {
        sheet_->InsertNumber(c, w, serial, format);
      } else {
        sheet_->InsertText(c, w, decoded_v(), format);
      }
      return;
    default:
      throw EXLSError("Unknown Excel XML cell type");
  }
}

void RunOpenXmlReader(TXLSWorkbook& workbook, std::istream& stream) {
  TPackageReader reader(workbook);
  reader.ReadPackage(stream);
}

}  // namespace gridport
