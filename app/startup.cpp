#include "app/startup.h"

#include <cstdint>

#include "app/paths.h"

namespace gridport {

namespace {

constexpr const char* kExcelProgId = "Excel.Application";

}  // namespace

bool IsAutoArgument(std::string_view argument) {
  const std::string upper = UpperAscii(argument);
  const std::string_view text = upper;
  return text == "AUTO" || text.substr(0, 4) == "AUTO" || (text.size() >= 5 && text.substr(1, 4) == "AUTO");
}

int ExcelVersionOfCurVer(std::string_view cur_ver) {
  if (cur_ver.size() < 19) return 0;
  const std::string_view digits = cur_ver.substr(18, 2);
  size_t i = 0;
  bool negative = false;
  if (i < digits.size() && (digits[i] == '-' || digits[i] == '+')) negative = digits[i++] == '-';
  if (i == digits.size()) return 0;
  int value = 0;
  for (; i < digits.size(); ++i) {
    if (digits[i] < '0' || digits[i] > '9') return 0;
    value = value * 10 + (digits[i] - '0');
  }
  if (negative) value = -value;
  return static_cast<int>(static_cast<uint8_t>(value));
}

TEngineChoice FormCreate(TForm_Main& form, TClassRegistry& classes, TRegistry& registry, bool automatic) {
  TEngineChoice choice;
  if (classes.IsRegistered(kExcelProgId)) {
    choice.engine = ekExcel;
    const int version = ExcelVersionOfCurVer(classes.CurVer(kExcelProgId).value_or(""));
    if (version >= 1 && version <= 11) form.OpenDialog_Filter = kFilterExcel97;
  } else {
    std::string show_message;
    try {
      show_message = registry.ReadString("ShowMessage").value_or("");
    } catch (const std::exception&) {
      show_message.clear();
    }
    choice.engine = ekBuiltIn;
    if (automatic) return choice;
    choice.show_warning = show_message != "No";
    form.OpenDialog_Filter = kFilterExcel97;
  }
  form.Height = kHeightSingle;
  return choice;
}

void MessageDialogOK(TRegistry& registry, bool dont_show_again) {
  if (!dont_show_again) return;
  try {
    registry.WriteString("ShowMessage", "No");
  } catch (const std::exception&) {
    // Not remembering the choice only means the warning comes again.
  }
}

}  // namespace gridport
