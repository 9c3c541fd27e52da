// The styles part of a package: number formats, fonts, fills, borders, the cell-style formats,
// the cell formats with their style references and the cell styles; "colors", "dxfs" and
// "tableStyles" are kept whole as XML text. Each collection is read when its element ends,
// so the tree holds one collection at a time.
#include <algorithm>
#include <cmath>

#include "openxml/package_reader.h"
#include "openxml/xml_text.h"
#include "workbook/cell_formats.h"
#include "workbook/fonts.h"
#include "workbook/workbook.h"
#include "workbook/xls_error.h"

namespace gridport {

TStyleColor ReadXMLColor(const TExXMLTag* element) {
  TStyleColor color;
  color.Kind = sckNone;
  if (element != nullptr) {
    if (element->HasValue(xaAuto)) {
      color.Kind = sckAutomatic;
      color.PaletteIndex = element->String(xaAuto) == "1" ? 1 : 0;
    } else if (element->HasValue(xaIndexed)) {
      color.Kind = sckIndexed;
      color.PaletteIndex = static_cast<std::uint8_t>(element->Int(xaIndexed, 0));
    } else if (element->HasValue(xaRgb)) {
      color.Kind = sckRGB;
      color.Value = element->Hex(xaRgb);
    } else if (element->HasValue(xaTheme)) {
      color.Kind = sckTheme;
      color.Value = static_cast<std::uint32_t>(element->Int(xaTheme, 0));
    }
    color.Tint = element->Float(xaTint, 0);
  }
  color.Resolve();
  return color;
}

namespace {

// A float attribute that is no finite number (a crafted "1e999") reads as 0.
double FiniteFloat(const TExXMLTag& tag, int attr) {
  const double value = tag.Float(attr, 0);
  return std::isfinite(value) ? value : 0;
}

void ReadFill(const TExXMLTag& element, TFills& fills) {
  if (const TExXMLTag* pattern = element.Child(xtPatternFill)) {
    TFill* fill = fills.Add();
    fill->PatternType = static_cast<std::uint8_t>(XMLFillPatternIndex(pattern->String(xaPatternType)));
    fill->Foreground = ReadXMLColor(pattern->Child(xtFgColor));
    fill->Background = ReadXMLColor(pattern->Child(xtBgColor));
    return;
  }
  const TExXMLTag* gradient_element = element.Child(xtGradientFill);
  if (gradient_element == nullptr) throw EXLSError("Unknown fill type");
  TFill* fill = fills.Add();
  fill->SetGradient(true);
  TGradientFill& gradient = *fill->Gradient();
  for (const TExXMLTag* stop = gradient_element->FirstChild(); stop != nullptr; stop = stop->NextSibling()) {
    if (stop->Id() != xtStop) continue;
    const double position = stop->RequiredFloat(xaPosition);
    gradient.Stops.push_back({ReadXMLColor(stop->Child(xtColor)), std::isfinite(position) ? position : 0});
  }
  gradient.GradientType = gradient_element->HasValue(xaType) && gradient_element->String(xaType) != "linear" ? 1 : 0;
  gradient.Degree = FiniteFloat(*gradient_element, xaDegree);
  gradient.SetLeft(FiniteFloat(*gradient_element, xaLeft));
  gradient.SetRight(FiniteFloat(*gradient_element, xaRight));
  gradient.SetTop(FiniteFloat(*gradient_element, xaTop));
  gradient.SetBottom(FiniteFloat(*gradient_element, xaBottom));
}

void ReadBorder(const TExXMLTag& element, TBorders& borders) {
  TBorder* border = borders.Add();
  border->Options = static_cast<std::uint8_t>((element.Bool(xaDiagonalDown, false) ? 1 : 0) |
                                              (element.Bool(xaDiagonalUp, false) ? 2 : 0) |
                                              (element.Bool(xaOutline, false) ? 4 : 0));
  // In the order of TBorderSide.
  static constexpr int kSides[] = {xtLeft, xtTop, xtRight, xtBottom, xtDiagonal, xtHorizontal, xtVertical};
  for (int side = bsLeft; side <= bsVertical; ++side) {
    TBorderLine& line = border->Lines[side];
    line = TBorderLine{};
    line.Color.Kind = sckNone;
    if (const TExXMLTag* child = element.Child(kSides[side])) {
      line.Color = ReadXMLColor(child->Child(xtColor));
      line.Style = static_cast<std::uint8_t>(XMLBorderStyleIndex(child->String(xaStyle)));
    }
  }
}

// One "xf" into a format table; in the master table the style field keeps the raw "xfId"
// until the whole "cellXfs" is read.
void ReadFormat(const TExXMLTag& xf, TCellFormats& table, TCellFormats& master) {
  TCellFormatEx12* format = table.AddFormatEx12();
  format->ApplyFlags = static_cast<std::uint8_t>(
      (xf.Bool(xaApplyNumberFormat, false) ? 1 : 0) | (xf.Bool(xaApplyFont, false) ? 2 : 0) |
      (xf.Bool(xaApplyFill, false) ? 4 : 0) | (xf.Bool(xaApplyBorder, false) ? 8 : 0) |
      (xf.Bool(xaApplyAlignment, false) ? 16 : 0) | (xf.Bool(xaApplyProtection, false) ? 32 : 0));
  // Ids outside their lists fail with the list's index error.
  format->Fill = master.Fills().Item(xf.Int(xaFillId, 0));
  format->Border = master.Borders().Item(xf.Int(xaBorderId, 0));
  format->Font = master.Fonts().Item(xf.Int(xaFontId, 0));
  format->NumberFormatId = xf.Int(xaNumFmtId, 0);
  if (table.IsMaster()) format->StyleFormatIndex = xf.Int(xaXfId, 0);

  if (const TExXMLTag* alignment = xf.Child(xtAlignment)) {
    format->SetHorizAlignment(static_cast<std::uint8_t>(alignment->Enumerated(
        xaHorizontal, 0,
        {"general", "left", "center", "right", "fill", "justify", "centerContinuous", "distributed"})));
    format->SetVertAlignment(static_cast<std::uint8_t>(
        alignment->Enumerated(xaVertical, 2, {"top", "center", "bottom", "justify", "distributed"})));
    // The rotation byte as written: 0-90 up, 91-180 down, 255 stacked.
    format->XfBody[7] = static_cast<std::uint8_t>(alignment->Int(xaTextRotation, 0));
    format->SetTextOptions(static_cast<std::uint8_t>((alignment->Bool(xaWrapText, false) ? toWrapText : 0) |
                                                     (alignment->Bool(xaShrinkToFit, false) ? toShrinkToFit : 0) |
                                                     (alignment->Bool(xaJustifyLastLine, false) ? toJustifyLast : 0)));
    const std::int32_t indent = alignment->Int(xaIndent, 0);
    format->SetIndent(static_cast<std::uint8_t>(std::clamp(indent, 0, 255)));
    format->RelativeIndent = alignment->Int(xaRelativeIndent, 0);
    format->ReadingOrder = alignment->Int(xaReadingOrder, 0);
  }
  if (const TExXMLTag* protection = xf.Child(xtProtection)) {
    format->SetProtection(static_cast<std::uint8_t>((protection->Bool(xaLocked, false) ? cpLocked : 0) |
                                                    (protection->Bool(xaHidden, false) ? cpHidden : 0)));
  }
  format->QuotePrefix = xf.Bool(xaQuotePrefix, false);
  format->PivotButton = xf.Bool(xaPivotButton, false);
}

}  // namespace

bool TPackageReader::StylesEnded(TExXMLTag& tag) {
  TCellFormats& master = workbook_.CellFormats();
  switch (tag.Id()) {
    case xtNumFmts:
      tag.IterateChildren(xtNumFmt);
      while (TExXMLTag* format = tag.NextChild()) {
        const std::int32_t id = format->RequiredInt(xaNumFmtId);
        std::u16string code = format->RequiredDecodedString(xaFormatCode);
        DecodeEscapedUnderscores(code);
        master.NumberFormats().AddPackageFormat(code, id);
      }
      return false;
    case xtFonts:
      tag.IterateChildren(xtFont);
      while (TExXMLTag* font = tag.NextChild()) ReadFont(*font, *workbook_.Fonts().AddFontEx12());
      return false;
    case xtFills:
      tag.IterateChildren(xtFill);
      while (TExXMLTag* fill = tag.NextChild()) ReadFill(*fill, master.Fills());
      return false;
    case xtBorders:
      tag.IterateChildren(xtBorder);
      while (TExXMLTag* border = tag.NextChild()) ReadBorder(*border, master.Borders());
      return false;
    case xtCellStyleXfs:
      tag.IterateChildren(xtXf);
      while (TExXMLTag* xf = tag.NextChild()) ReadFormat(*xf, workbook_.StyleFormats(), master);
      return false;
    case xtCellXfs: {
      const int first = master.Count();
      tag.IterateChildren(xtXf);
      while (TExXMLTag* xf = tag.NextChild()) ReadFormat(*xf, master, master);
      // "xfId" names a cell-style format ("cellStyleXfs"), so it is resolved in that table;
      // 0 is the Normal style. An id that table does not hold leaves the format without style.
      TCellFormats& styles = workbook_.StyleFormats();
      for (int i = first; i < master.Count(); ++i) {
        auto* format = static_cast<TCellFormatEx12*>(master[i]);
        const std::int32_t k = format->StyleFormatIndex;
        format->StyleFormat = k >= 0 && k < styles.Count() ? styles[k] : nullptr;
      }
      return false;
    }
    case xtCellStyles:
      tag.IterateChildren(xtCellStyle);
      while (TExXMLTag* element = tag.NextChild()) {
        TEx12CellStyle* style = workbook_.CellStyles().Add();
        style->BuiltInId = element->Int(xaBuiltinId, -1);
        style->CustomBuiltIn = element->Bool(xaCustomBuiltin, false);
        style->Hidden = element->Bool(xaHidden, false);
        style->OutlineLevel = element->Int(xaILevel, -1);
        style->StyleFormatIndex = element->RequiredInt(xaXfId);
        style->Name = element->DecodedString(xaName);
        DecodeEscapedUnderscores(style->Name);
      }
      return false;
    case xtColors:
      workbook_.Ex12Colors = tag.Serialise();
      return false;
    case xtDxfs:
      workbook_.Ex12Dxfs = tag.Serialise();
      return false;
    case xtTableStyles:
      workbook_.Ex12TableStyles = tag.Serialise();
      return false;
    default:
      return false;
  }
}

}  // namespace gridport
