#include "workbook/excel_mask.h"

#include <algorithm>

#include "workbook/xls_error.h"

namespace gridport {

namespace {

char16_t Upper(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c; }

bool IsDateLetter(char16_t c) {
  switch (Upper(c)) {
    case u'D':
    case u'M':
    case u'Y':
    case u'H':
    case u'S':
      return true;
    default:
      return false;
  }
}

bool StartsWithIgnoringCase(std::u16string_view text, std::size_t at, std::u16string_view what) {
  if (text.size() - at < what.size()) return false;
  for (std::size_t i = 0; i < what.size(); ++i)
    if (Upper(text[at + i]) != what[i]) return false;
  return true;
}

struct TColorName {
  std::u16string_view Name;
  std::uint32_t Color;
};
constexpr TColorName kColors[] = {
    {u"BLACK", 0x000000}, {u"CYAN", 0xFF00FF},  {u"MAGENTA", 0x800080}, {u"WHITE", 0xFFFFFF},
    {u"BLUE", 0xFF0000},  {u"GREEN", 0x008000}, {u"RED", 0x0000FF},     {u"YELLOW", 0x00FFFF},
};

// Reads one section's tokens.
class TSectionParser {
 public:
  TSectionParser(std::u16string_view text, TMaskSection& section) : s_(text), out_(section) {}

  void Run() {
    std::size_t i = 0;
    while (i < s_.size()) i = Step(i);
    // Scaling: the commas that follow the last digit placeholder.
    if (seen_digit_) out_.Scaling = std::min(commas_after_digit_, 4);
    InsertStartOfNumber();
  }

 private:
  std::size_t Step(std::size_t i) {
    char16_t c = s_[i];
    switch (c) {
      case u'"': {
        std::size_t end = s_.find(u'"', i + 1);
        if (end == std::u16string_view::npos) end = s_.size();
        Literal(s_.substr(i + 1, end - i - 1));
        return std::min(end + 1, s_.size());
      }
      case u'\\':
        if (i + 1 < s_.size()) Literal(s_.substr(i + 1, 1));
        return i + 2;
      case u'_':
        return i + 2;
      case u'*':
        return i + 1;
      case u'#':
        Digit(mtkDigitOptional);
        return i + 1;
      case u'?':
        Digit(mtkDigitSpace);
        return i + 1;
      case u'0':
        Digit(mtkDigitZero);
        return i + 1;
      case u'.':
        NumberPart(mtkDecimalPoint);
        return i + 1;
      case u'%':
        Add(mtkPercent);
        return i + 1;
      case u',':
        out_.Thousands = true;
        ++commas_after_digit_;
        return i + 1;
      case u'@':
        Add(mtkText);
        out_.IsText = true;
        return i + 1;
      case u'[':
        return Bracket(i);
      default:
        break;
    }
    if ((c == u'E' || c == u'e') && i + 1 < s_.size() && (s_[i + 1] == u'+' || s_[i + 1] == u'-')) {
      TMaskToken& t = Add(mtkExponent);
      t.Sign = s_[i + 1];
      return i + 2;
    }
    if (StartsWithIgnoringCase(s_, i, u"AM/PM") || StartsWithIgnoringCase(s_, i, u"A/P")) {
      std::size_t n = StartsWithIgnoringCase(s_, i, u"AM/PM") ? 5 : 3;
      Add(mtkAmPm).Text.assign(s_.substr(i, n));
      for (auto it = out_.Tokens.rbegin(); it != out_.Tokens.rend(); ++it)
        if (it->Kind == mtkHour) {
          it->TwelveHour = true;
          break;
        }
      return i + n;
    }
    if (IsDateLetter(c)) return DateRun(i);
    Literal(s_.substr(i, 1));
    return i + 1;
  }

  std::size_t DateRun(std::size_t i) {
    char16_t letter = Upper(s_[i]);
    std::size_t j = i;
    while (j < s_.size() && Upper(s_[j]) == letter) ++j;
    int n = static_cast<int>(j - i);
    switch (letter) {
      case u'D':
        DateToken(mtkDay, std::min(n, 4));
        break;
      case u'Y':
        DateToken(mtkYear, n <= 2 ? 2 : 4);
        break;
      case u'H':
        DateToken(mtkHour, std::min(n, 2));
        break;
      case u'S':
        // m or mm directly before seconds are minutes.
        if (last_date_ >= 0 && out_.Tokens[static_cast<std::size_t>(last_date_)].Kind == mtkMonth &&
            out_.Tokens[static_cast<std::size_t>(last_date_)].Count <= 2)
          out_.Tokens[static_cast<std::size_t>(last_date_)].Kind = mtkMinute;
        DateToken(mtkSecond, std::min(n, 2));
        break;
      default: {  // M: minutes directly after an hour, else months
        bool after_hour = last_date_ >= 0 && n <= 2 &&
                          (out_.Tokens[static_cast<std::size_t>(last_date_)].Kind == mtkHour ||
                           out_.Tokens[static_cast<std::size_t>(last_date_)].Kind == mtkElapsedHours);
        DateToken(after_hour ? mtkMinute : mtkMonth, std::min(n, 5));
        break;
      }
    }
    return j;
  }

  std::size_t Bracket(std::size_t i) {
    std::size_t end = s_.find(u']', i + 1);
    if (end == std::u16string_view::npos) {
      Literal(s_.substr(i));
      return s_.size();
    }
    std::u16string content(s_.substr(i + 1, end - i - 1));
    for (char16_t& ch : content) ch = Upper(ch);
    if (content == u"H" || content == u"HH") {
      DateToken(mtkElapsedHours, static_cast<int>(content.size()));
    } else if (content == u"M" || content == u"MM") {
      DateToken(mtkElapsedMinutes, static_cast<int>(content.size()));
    } else if (content == u"S" || content == u"SS") {
      DateToken(mtkElapsedSeconds, static_cast<int>(content.size()));
    } else if (!content.empty() && content[0] == u'$') {
      std::size_t dash = content.find(u'-');
      Literal(std::u16string_view(content).substr(1, dash == std::u16string::npos ? std::u16string::npos : dash - 1));
    } else {
      bool color = false;
      for (const TColorName& k : kColors)
        if (content == k.Name) {
          out_.HasColor = true;
          out_.Color = k.Color;
          color = true;
        }
      // Conditions such as [>100] and locale codes are not interpreted.
      if (!color) Literal(s_.substr(i, end - i + 1));
    }
    return end + 1;
  }

  TMaskToken& Add(TMaskTokenKind kind) {
    out_.Tokens.push_back(TMaskToken{});
    out_.Tokens.back().Kind = kind;
    return out_.Tokens.back();
  }
  void Literal(std::u16string_view text) {
    if (!out_.Tokens.empty() && out_.Tokens.back().Kind == mtkLiteral) {
      out_.Tokens.back().Text.append(text);
      return;
    }
    Add(mtkLiteral).Text.assign(text);
  }
  void DateToken(TMaskTokenKind kind, int count) {
    Add(kind).Count = count;
    last_date_ = static_cast<int>(out_.Tokens.size()) - 1;
    out_.IsDateTime = true;
  }
  void Digit(TMaskTokenKind kind) {
    seen_digit_ = true;
    commas_after_digit_ = 0;
    NumberPart(kind);
  }
  void NumberPart(TMaskTokenKind kind) {
    if (first_number_ < 0) first_number_ = static_cast<int>(out_.Tokens.size());
    Add(kind);
  }
  void InsertStartOfNumber() {
    if (first_number_ < 0) return;
    auto at = out_.Tokens.begin() + first_number_;
    if (at->Kind != mtkDecimalPoint) out_.IsDateTime = false;
    TMaskToken start;
    start.Kind = mtkStartOfNumber;
    out_.Tokens.insert(at, start);
  }

  std::u16string_view s_;
  TMaskSection& out_;
  int last_date_ = -1;
  int first_number_ = -1;
  bool seen_digit_ = false;
  int commas_after_digit_ = 0;
};

}  // namespace

void TExcelMask::Parse(std::u16string_view text) {
  if (text.size() >= 256) throw EXLSError("Format string more than 255 characthers");
  mask_.assign(text == u"GENERAL" ? std::u16string_view(u"@") : text);
  sections_.clear();
  std::u16string_view rest = mask_;
  // Sections end at ";" outside double quotes; a fifth section is ignored.
  while (sections_.size() < 4) {
    bool quoted = false;
    std::size_t end = 0;
    while (end < rest.size() && (quoted || rest[end] != u';')) {
      if (rest[end] == u'"') quoted = !quoted;
      ++end;
    }
    sections_.emplace_back();
    TSectionParser(rest.substr(0, end), sections_.back()).Run();
    if (end >= rest.size()) break;
    rest = rest.substr(end + 1);
  }
}

}  // namespace gridport
