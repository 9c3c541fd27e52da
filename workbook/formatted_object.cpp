#include "workbook/formatted_object.h"

#include <memory>
#include <string>

#include "workbook/xls_error.h"

namespace gridport {

namespace {

bool IsEx12(const TCellFormat& format) { return dynamic_cast<const TCellFormatEx12*>(&format) != nullptr; }

// A font equal to `from` in every field Equals compares (Assign alone turns an
// Excel 2007 font's colour into a palette index).
void CopyFont(const TXFont& from, TXFont& to) {
  to.Assign(from);
  if (from.IsEx12() && to.IsEx12()) {
    const auto& f = static_cast<const TXFontEx12&>(from);
    auto& t = static_cast<TXFontEx12&>(to);
    t.Color = f.Color;
    t.Condense = f.Condense;
    t.Extend = f.Extend;
    t.Outline = f.Outline;
    t.Scheme = f.Scheme;
    t.Shadow = f.Shadow;
  }
}

// The temporary format of a change: same class as the cell's, same owner.
// An Excel 2007 format counts a usage on the fill and border it takes over
// (Assign); the temporary one gives them back when it goes.
class TTemporaryFormat {
 public:
  TTemporaryFormat(TCellFormats& formats, const TCellFormat& like) {
    if (IsEx12(like))
      format_ = std::make_unique<TCellFormatEx12>(&formats);
    else
      format_ = std::make_unique<TCellFormat>(&formats);
    format_->Assign(like);
  }
  ~TTemporaryFormat() {
    if (auto* ex12 = dynamic_cast<TCellFormatEx12*>(format_.get())) {
      if (ex12->Fill) --ex12->Fill->Usage;
      if (ex12->Border) --ex12->Border->Usage;
    }
  }
  TTemporaryFormat(const TTemporaryFormat&) = delete;
  TTemporaryFormat& operator=(const TTemporaryFormat&) = delete;
  TCellFormat& operator*() const { return *format_; }

 private:
  std::unique_ptr<TCellFormat> format_;
};

}  // namespace

void TFormattedObject::Take(const TCellFormat& format) {
  TCellFormat& old = Format();
  // Excel 2007 formats are never shared by equality (their Equals is false).
  const int found = IsEx12(format) ? -1 : formats_.FindEqual(format);
  TCellFormat* target = nullptr;
  if (found >= 0) {
    target = formats_.Item(found);
    formats_.AddUsage(*target);
  } else {
    target = &formats_.AddCopyOf(format);
  }
  // Given up last, so that a failure above leaves the cell as it was. When
  // the old format goes, the workbook renumbers the cells after it, and
  // target's Index follows.
  formats_.ReleaseUsage(old);
  cell_.SetFormatIndex(static_cast<std::uint16_t>(target->Index));
}

void TFormattedObject::Rewrite(const std::function<bool(TCellFormat&)>& apply, bool ownBorder) {
  TTemporaryFormat temp(formats_, Format());
  auto* ex12 = dynamic_cast<TCellFormatEx12*>(&*temp);
  if (ownBorder && ex12 != nullptr && ex12->Border != nullptr) {
    TBorder* own = formats_.Borders().Add();
    own->Options = ex12->Border->Options;
    for (int side = 0; side < 7; ++side) own->Lines[side] = ex12->Border->Lines[side];
    --ex12->Border->Usage;
    ex12->Border = own;
    ++own->Usage;
  }
  if (!apply(*temp)) return;
  Take(*temp);
}

template <typename V>
void TFormattedObject::SetProperty(V (TCellFormat::*get)() const, void (TCellFormat::*set)(V), V value,
                                   bool ownBorder) {
  const V before = (Format().*get)();
  if (before == value) return;
  Rewrite(
      [&](TCellFormat& f) {
        (f.*set)(value);
        return (f.*get)() != before;  // a value the format cannot hold may leave it unchanged
      },
      ownBorder);
}

void TFormattedObject::SetFontProperty(const std::function<bool(const TXFont&)>& has,
                                       const std::function<void(TXFont&)>& apply) {
  const TCellFormat& current = Format();
  const TXFont* font = current.GetFont();  // a BIFF format naming no font fails with the list's index error
  std::unique_ptr<TXFont> probe;
  if (font != nullptr ? font->IsEx12() : IsEx12(current))
    probe = std::make_unique<TXFontEx12>();
  else
    probe = std::make_unique<TXFont>();
  if (font != nullptr) {
    if (has(*font)) return;
    CopyFont(*font, *probe);
  }
  apply(*probe);
  if (font != nullptr && probe->Equals(*font)) return;

  TXFonts& fonts = formats_.Fonts();
  TXFont* target = nullptr;
  for (int i = 0; i < fonts.Count() && target == nullptr; ++i)
    if (fonts[i]->Equals(*probe)) target = fonts[i];
  if (target == nullptr) {
    if (!IsEx12(current) && fonts.Count() > 0xFFFF)
      throw EXLSError("Too many fonts (" + std::to_string(fonts.Count()) + ")");
    target = probe->IsEx12() ? fonts.AddFontEx12() : fonts.AddFont();
    CopyFont(*probe, *target);
  }
  // The format that names the font holds its usage (TCellFormats::AddCopyOf).
  Rewrite([target](TCellFormat& f) {
    if (auto* ex12 = dynamic_cast<TCellFormatEx12*>(&f)) {
      ex12->Font = target;
    } else {
      f.XfBody[0] = static_cast<std::uint8_t>(target->Index & 0xFF);
      f.XfBody[1] = static_cast<std::uint8_t>((target->Index >> 8) & 0xFF);
    }
    return true;
  });
}

// ---- the setters ----

void TFormattedObject::SetFontName(std::u16string_view name) {
  SetFontProperty([&](const TXFont& f) { return f.Name == name; }, [&](TXFont& f) { f.Name.assign(name); });
}
void TFormattedObject::SetFontHeight(std::uint32_t twentieths) {
  SetFontProperty([&](const TXFont& f) { return f.Height == twentieths; }, [&](TXFont& f) { f.Height = twentieths; });
}
void TFormattedObject::SetFontColorIndex(std::uint8_t index) {
  SetFontProperty([&](const TXFont& f) { return f.ColorIndex == index; }, [&](TXFont& f) {
    f.ColorIndex = index;
    if (f.IsEx12()) {  // an Excel 2007 font shows its colour description
      auto& ex12 = static_cast<TXFontEx12&>(f);
      ex12.Color = TStyleColor{};
      ex12.Color.Kind = sckIndexed;
      ex12.Color.PaletteIndex = index;
      ex12.Color.Resolve();
    }
  });
}
void TFormattedObject::SetFontStyle(std::uint8_t style) {
  SetFontProperty([&](const TXFont& f) { return f.Style == style; }, [&](TXFont& f) { f.Style = style; });
}
void TFormattedObject::SetFontUnderline(std::uint8_t underline) {
  SetFontProperty([&](const TXFont& f) { return f.Underline == underline; },
                  [&](TXFont& f) { f.Underline = underline; });
}
void TFormattedObject::SetFontScript(std::uint8_t script) {
  SetFontProperty([&](const TXFont& f) { return f.Script == script; }, [&](TXFont& f) { f.Script = script; });
}
void TFormattedObject::SetFontCharset(std::uint8_t charset) {
  SetFontProperty([&](const TXFont& f) { return f.Charset == charset; }, [&](TXFont& f) { f.Charset = charset; });
}

void TFormattedObject::SetHorizAlignment(std::uint8_t alignment) {
  SetProperty(&TCellFormat::GetHorizAlignment, &TCellFormat::SetHorizAlignment, alignment);
}
void TFormattedObject::SetVertAlignment(std::uint8_t alignment) {
  SetProperty(&TCellFormat::GetVertAlignment, &TCellFormat::SetVertAlignment, alignment);
}
void TFormattedObject::SetTextOptions(std::uint8_t options) {
  SetProperty(&TCellFormat::GetTextOptions, &TCellFormat::SetTextOptions, options);
}
void TFormattedObject::SetRotation(int angle) {
  SetProperty(&TCellFormat::GetRotation, &TCellFormat::SetRotation, angle);
}
void TFormattedObject::SetIndent(std::uint8_t indent) {
  SetProperty(&TCellFormat::GetIndent, &TCellFormat::SetIndent, indent);
}
void TFormattedObject::SetMergeCells(bool merge) {
  SetProperty(&TCellFormat::GetMergeCells, &TCellFormat::SetMergeCells, merge);
}

void TFormattedObject::SetLeftStyle(std::uint8_t style) {
  SetProperty(&TCellFormat::GetLeftStyle, &TCellFormat::SetLeftStyle, style);
}
void TFormattedObject::SetRightStyle(std::uint8_t style) {
  SetProperty(&TCellFormat::GetRightStyle, &TCellFormat::SetRightStyle, style);
}
void TFormattedObject::SetTopStyle(std::uint8_t style) {
  SetProperty(&TCellFormat::GetTopStyle, &TCellFormat::SetTopStyle, style);
}
void TFormattedObject::SetBottomStyle(std::uint8_t style) {
  SetProperty(&TCellFormat::GetBottomStyle, &TCellFormat::SetBottomStyle, style);
}
void TFormattedObject::SetDiagonalStyle(std::uint8_t style) {
  SetProperty(&TCellFormat::GetDiagonalStyle, &TCellFormat::SetDiagonalStyle, style);
}
void TFormattedObject::SetLeftColorIndex(std::uint8_t index) {
  SetProperty(&TCellFormat::GetLeftColorIndex, &TCellFormat::SetLeftColorIndex, index, true);
}
void TFormattedObject::SetRightColorIndex(std::uint8_t index) {
  SetProperty(&TCellFormat::GetRightColorIndex, &TCellFormat::SetRightColorIndex, index, true);
}
void TFormattedObject::SetTopColorIndex(std::uint8_t index) {
  SetProperty(&TCellFormat::GetTopColorIndex, &TCellFormat::SetTopColorIndex, index, true);
}
void TFormattedObject::SetBottomColorIndex(std::uint8_t index) {
  SetProperty(&TCellFormat::GetBottomColorIndex, &TCellFormat::SetBottomColorIndex, index, true);
}
void TFormattedObject::SetDiagonalColorIndex(std::uint8_t index) {
  SetProperty(&TCellFormat::GetDiagonalColorIndex, &TCellFormat::SetDiagonalColorIndex, index, true);
}
void TFormattedObject::SetDiagonalLines(std::uint8_t lines) {
  SetProperty(&TCellFormat::GetDiagonalLines, &TCellFormat::SetDiagonalLines, lines);
}

void TFormattedObject::SetFillPattern(std::uint8_t pattern) {
  SetProperty(&TCellFormat::GetFillPattern, &TCellFormat::SetFillPattern, pattern);
}
void TFormattedObject::SetPatternForeColorIndex(std::uint8_t index) {
  SetProperty(&TCellFormat::GetPatternForeColorIndex, &TCellFormat::SetPatternForeColorIndex, index);
}
void TFormattedObject::SetPatternBackColorIndex(std::uint8_t index) {
  SetProperty(&TCellFormat::GetPatternBackColorIndex, &TCellFormat::SetPatternBackColorIndex, index);
}

void TFormattedObject::SetNumberFormatText(std::u16string_view text) {
  if (Format().GetNumberFormatText() == text) return;
  const std::int32_t before = Format().GetNumberFormatId();
  Rewrite([&](TCellFormat& f) {
    f.SetNumberFormatText(text);
    return f.GetNumberFormatId() != before;
  });
}
void TFormattedObject::SetProtection(std::uint8_t protection) {
  SetProperty(&TCellFormat::GetProtection, &TCellFormat::SetProtection, protection);
}

}  // namespace gridport
