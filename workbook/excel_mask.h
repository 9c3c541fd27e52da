// TExcelMask: the parser that checks a number-format text before it is
// stored. It splits the text into at most four sections and each section
// into tokens; the parsed form is kept for inspection but the converter does
// not apply it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace gridport {

enum TMaskTokenKind : std::uint8_t {
  mtkLiteral,          // Text holds the characters
  mtkDigitOptional,    // #
  mtkDigitSpace,       // ?
  mtkDigitZero,        // 0
  mtkDecimalPoint,     // .
  mtkPercent,          // %
  mtkText,             // @
  mtkExponent,         // E+ / E- (Sign holds '+' or '-')
  mtkDay,              // Count 1-4
  mtkMonth,            // Count 1-5
  mtkYear,             // Count 2 or 4
  mtkHour,             // Count 1-2; TwelveHour after an am/pm token
  mtkMinute,           // Count 1-2
  mtkSecond,           // Count 1-2
  mtkAmPm,             // Text holds the token as written
  mtkElapsedHours,     // [h]
  mtkElapsedMinutes,   // [m]
  mtkElapsedSeconds,   // [s]
  mtkStartOfNumber,    // before the first digit placeholder or decimal point
};

struct TMaskToken {
  TMaskTokenKind Kind = mtkLiteral;
  int Count = 1;
  char16_t Sign = 0;
  bool TwelveHour = false;
  std::u16string Text;
};

struct TMaskSection {
  std::vector<TMaskToken> Tokens;
  bool IsText = false;       // has a text placeholder
  bool IsDateTime = false;   // has date/time tokens and does not start as a number
  bool Thousands = false;    // a "," appeared
  int Scaling = 0;           // "," after the last digit placeholder (at most 4)
  bool HasColor = false;
  std::uint32_t Color = 0;   // 0x00BBGGRR
};

class TExcelMask {
 public:
  // Parses `text`; fails with "Format string more than 255 characthers" for
  // 256 or more characters (the previous parse is then kept). "GENERAL" is
  // parsed as "@".
  void Parse(std::u16string_view text);

  const std::u16string& Mask() const { return mask_; }
  const std::vector<TMaskSection>& Sections() const { return sections_; }

 private:
  std::u16string mask_;
  std::vector<TMaskSection> sections_;
};

}  // namespace gridport
