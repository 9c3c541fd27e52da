// The workbook part of a package: sheet names, the calculation engine id, defined names,
// external references, and the elements kept as XML text for a writer.
#include <algorithm>

#include "openxml/package_reader.h"
#include "openxml/xml_text.h"
#include "workbook/workbook.h"
#include "workbook/xls_error.h"

namespace gridport {
namespace {

// Raw BIFF8 text (flags byte 1, then 16-bit characters), the form the name table keeps.
std::vector<std::uint8_t> RawWideText(std::u16string_view text) {
  std::vector<std::uint8_t> raw;
  raw.reserve(1 + 2 * text.size());
  raw.push_back(1);
  for (char16_t c : text) {
    raw.push_back(static_cast<std::uint8_t>(c & 0xFF));
    raw.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  return raw;
}

}  // namespace

void TPackageReader::ReadDefinedName(const TExXMLTag& element) {
  TInternalName name;
  std::u16string text = element.RequiredDecodedString(xaName);
  DecodeEscapedUnderscores(text);
  name.Name = RawWideText(text);
  name.Comment = element.DecodedString(xaComment);
  name.CustomMenu = element.DecodedString(xaCustomMenu);
  name.Description = element.DecodedString(xaDescription);
  name.HelpTopic = element.DecodedString(xaHelp);
  name.StatusBar = element.DecodedString(xaStatusBar);
  const std::u16string shortcut = element.DecodedString(xaShortcutKey);
  name.KeyboardShortcut = !shortcut.empty() && shortcut[0] <= 0xFF ? static_cast<std::uint8_t>(shortcut[0]) : 0;
  // The table counts sheets from 1 and keeps 0 for a name of the whole workbook; a package
  // counts them from 0 and leaves the attribute out for the workbook's names.
  if (const TExXMLValue* local = element.Value(xaLocalSheetId)) {
    const std::int32_t sheet = element.Int(xaLocalSheetId, 0);
    if (sheet < 0 || sheet >= 0xFFFF) throw EXLSError("Invalid localSheetId: " + std::string(local->Raw));
    name.SheetIndex = static_cast<std::uint16_t>(sheet + 1);
  }
  name.FunctionGroup = static_cast<std::uint16_t>(std::clamp(element.Int(xaFunctionGroupId, 0), 0, 0xFFFF));
  struct TFlag {
    int Attr;
    std::uint16_t Option;
  };
  static constexpr TFlag kFlags[] = {{xaHidden, nmoHidden},
                                     {xaFunction, nmoFunction},
                                     {xaVbProcedure, nmoVBProcedure},
                                     {xaXlm, nmoXlm},
                                     {xaPublishToServer, nmoPublishToServer},
                                     {xaWorkbookParameter, nmoWorkbookParameter}};
  for (const TFlag& flag : kFlags)
    if (element.Bool(flag.Attr, false)) name.Options = static_cast<std::uint16_t>(name.Options | flag.Option);
  name.DefinitionText = element.DecodedText();
  name.FromFile = true;
  workbook_.FormulaHandler().InternalNames().Add(std::move(name));
}

bool TPackageReader::WorkbookEnded(TExXMLTag& tag) {
  switch (tag.Id()) {
    case xtSheet: {
      TSheets& sheets = workbook_.Sheets();
      if (sheet_counter_ > 0) sheets.AddSheet(0);
      std::u16string name = tag.RequiredDecodedString(xaName);
      DecodeEscapedUnderscores(name);
      sheets[sheet_counter_].SetName(name);
      sheet_ids_.emplace_back(tag.String(xaRId));
      ++sheet_counter_;
      return true;
    }
    case xtCalcPr:
      workbook_.CalcId = tag.Int(xaCalcId, 0);
      return false;
    case xtDefinedName:
      ReadDefinedName(tag);
      return true;
    case xtExternalReference:
      workbook_.FormulaHandler().ExternalNames().ExtRelations().Append(
          workbook_.PackageRelations().FindShared(tag.RequiredString(xaRId), true));
      return false;
    case xtBookViews:
    case xtCustomWorkbookViews:
    case xtExtLst:
    case xtFileRecoveryPr:
    case xtFileSharing:
    case xtFileVersion:
    case xtFunctionGroups:
    case xtOleSize:
    case xtPivotCaches:
    case xtSmartTagPr:
    case xtSmartTagTypes:
    case xtWebPublishing:
    case xtWebPublishObjects:
    case xtWorkbookPr:
    case xtWorkbookProtection:
      SaveElement(workbook_.SavedTags(), tag);
      return false;
    case xtDefinedNames:
    case xtExternalReferences:
    case xtSheets:
      SaveMarker(workbook_.SavedTags(), tag.Id());
      return false;
    default:
      return false;
  }
}

}  // namespace gridport
