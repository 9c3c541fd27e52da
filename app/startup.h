// Start-up decisions that need no window: the automatic-mode argument and the
// engine choice of the main window's creation.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "app/form_model.h"
#include "app/registry.h"

namespace gridport {

// True when the first argument selects the automatic mode: upper-cased in the
// ASCII letters it equals "AUTO", or begins with it, or holds it at its
// characters 2 to 5 (auto, Automatic, /AUTO, -auto).
bool IsAutoArgument(std::string_view argument);

// The platform's class registry: which automation classes are installed.
class TClassRegistry {
 public:
  virtual ~TClassRegistry() = default;
  virtual bool IsRegistered(const std::string& prog_id) = 0;
  // The default value of prog_id\CurVer; nothing when it cannot be read.
  virtual std::optional<std::string> CurVer(const std::string& prog_id) = 0;
};

// Linux has no automation class registry: Excel is never installed.
class TNoClassRegistry : public TClassRegistry {
 public:
  bool IsRegistered(const std::string&) override { return false; }
  std::optional<std::string> CurVer(const std::string&) override { return std::nullopt; }
};

enum TEngineKind { ekExcel, ekBuiltIn };

struct TEngineChoice {
  TEngineKind engine = ekExcel;
  bool show_warning = false;  // the "Excel is missing" dialog TMessageDialog
};

// The Excel version of a CurVer text: its characters 19 and 20 as a decimal
// number (0 when they are not one), low 8 bits.
int ExcelVersionOfCurVer(std::string_view cur_ver);

// FormCreate: chooses the engine, sets the open-file filter and the window's
// height. The warning dialog, when due, is for the window to show.
TEngineChoice FormCreate(TForm_Main& form, TClassRegistry& classes, TRegistry& registry, bool automatic);

// OKBtnClick of the warning dialog: a ticked "Не показывать снова" stores
// ShowMessage "No"; a registry failure is ignored.
void MessageDialogOK(TRegistry& registry, bool dont_show_again);

inline constexpr const char* kExcelMissingText =
    "На компьютере не обнаружена установленная MS Excel. Программа сможет работать только с файлами Excel "
    "97-2003 (*.xls)";

}  // namespace gridport
