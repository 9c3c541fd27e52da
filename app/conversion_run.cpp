#include "app/conversion_run.h"

#include <exception>
#include <filesystem>
#include <string>
#include <system_error>

#include "app/paths.h"
#include "app/sheet_export.h"

namespace gridport {

namespace {

constexpr const char* kDone = "Готово!";
constexpr const char* kCounting = "Подсчет количества используемых листов";
constexpr const char* kMoreThanOne = "В документе больше одного используемого листа!";
constexpr const char* kConvertEvery =
    "Конвертация файла. Режим конвертации каждого используемого лист в отдельный файл";
constexpr const char* kConvertFirst = "Конвертация файла. Режим конвертации первого испольуемого листа";
constexpr const char* kConvert = "Конвертация файла";
constexpr const char* kDeleting = "Удаление исходного файла";
constexpr const char* kDeleteFailed = "Не удалось удалить исходный файл!";

// Per workbook: significant sheets counted up to 2, and the first of them.
struct TSheetCount {
  uint32_t count = 0;
  uint32_t first = 0;  // 1-based; 0 when none was found
};

// The counting pass; `prefix` is empty for a single file, N + ". " in a batch.
TSheetCount CountSignificantSheets(TRunContext& context, const std::string& prefix) {
  TSheetCount result;
  context.Status(prefix + kCounting);
  const uint32_t sheets = context.engine.SheetCount();
  for (uint32_t n = 1; n <= sheets; ++n) {
    context.Status(prefix + kCounting + ": " + std::to_string(n));
    if (context.engine.IsSheetSignificant(n)) {
      ++result.count;
      if (result.first == 0) result.first = n;
    }
    if (result.count == 2) {
      context.Status(prefix + kMoreThanOne);
      break;
    }
  }
  return result;
}

// Every significant sheet from the first on, numbered (л.1), (л.2), ... over
// the significant sheets only.
void ConvertEverySheet(TRunContext& context, const std::string& prefix, uint32_t first,
                       const std::string& base) {
  uint32_t k = 0;
  const uint32_t sheets = context.engine.SheetCount();
  for (uint32_t n = first; n <= sheets; ++n) {
    context.Status(prefix + kConvertEvery);
    if (context.engine.IsSheetSignificant(n)) {
      ++k;
      ExportSheet(context, n, EverySheetName(base, k));
    }
  }
}

// Deletes the source after its conversion; a failure is only a status text.
void DeleteSource(TRunContext& context, const std::string& path) {
  context.Status(kDeleting);
  std::error_code error;
  const bool removed = std::filesystem::remove(path, error);
  context.Status(removed && !error ? "" : kDeleteFailed);
}

void RunSingleFile(TRunContext& context) {
  TForm_Main& form = context.form;
  TEngine& engine = context.engine;
  const std::string source = form.OpenDialog_FileName;
  context.Status("Открытие файла " + form.Edit_PrimaryFile);
  bool completed = false;
  std::exception_ptr failure;
  try {
    engine.BeginRun(rkSingle);
    engine.OpenWorkbook(source);
    const TSheetCount sheets = CountSignificantSheets(context, "");
    const std::string& target = form.Edit_FinalFile;
    if (sheets.count < 2) {
      context.Status(kConvert);
      ExportSheet(context, sheets.first, target);
    } else {
      // The sheet-mode question; in automatic mode the main window's option
      // answers it (its item 0, every sheet, is the dialog's item 1).
      const int answer = context.automatic ? (form.RadioGroupConvertMode == 0 ? 1 : 0)
                                           : context.host.AskSheetMode();
      if (answer == 1) {
        ConvertEverySheet(context, "", sheets.first, CsvBaseName(target));
      } else {
        context.Status(kConvertFirst);
        ExportSheet(context, sheets.first, target);
      }
    }
    completed = true;
  } catch (...) {
    failure = std::current_exception();
  }
  try {
    engine.CloseWorkbook(rkSingle, context);
    engine.EndRun(rkSingle, context);
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  if (form.ChBox_DeletePrimaryFile && completed && !failure)
    DeleteSource(context, source);
  else
    context.Status("");
  if (!context.automatic) context.host.Message(kDone);
  if (failure) std::rethrow_exception(failure);
}

void RunBatch(TRunContext& context) {
  TForm_Main& form = context.form;
  TEngine& engine = context.engine;
  const std::string folder = form.Edit_PrimaryFile;
  const std::vector<std::string> names = ListBatchWorkbooks(folder);
  if (names.empty()) return;  // nothing matches: no status, no message
  std::exception_ptr failure;
  try {
    engine.BeginRun(rkBatch);
    for (const std::string& name : names) {
      if (engine.SkipsBatchEntry(name)) continue;
      const std::string source = JoinPath(folder, name);
      const std::string prefix = name + ". ";
      context.Status("Открытие файла " + name);
      engine.OpenWorkbook(source);
      const TSheetCount sheets = CountSignificantSheets(context, prefix);
      bool every = false;
      if (sheets.count == 2) {
        if (form.CheckBoxConvertOptions || context.automatic)
          every = form.RadioGroupConvertMode == 0;
        else
          every = context.host.AskSheetMode() == 1;
      }
      const std::string base = CutInLastComponent(JoinPath(form.Edit_FinalFile, name), ".xls");
      if (every) {
        ConvertEverySheet(context, prefix, sheets.first, base);
      } else {
        context.Status(prefix + (sheets.count == 2 ? kConvertFirst : kConvert));
        ExportSheet(context, sheets.first, base + ".csv");
      }
      engine.CloseWorkbook(rkBatch, context);
      if (form.ChBox_DeletePrimaryFile)
        DeleteSource(context, source);
      else
        context.Status("");
    }
  } catch (...) {
    failure = std::current_exception();
  }
  try {
    engine.EndRun(rkBatch, context);
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  context.Status("");
  if (!context.automatic) context.host.Message(kDone);
  if (failure) std::rethrow_exception(failure);
}

}  // namespace

void RunConversion(TRunContext& context) {
  if (context.form.RGroup_ConvertMode == 1)
    RunBatch(context);
  else
    RunSingleFile(context);
}

void Button_StartClick(TRunContext& context) {
  try {
    RunConversion(context);
  } catch (const std::exception& error) {
    context.host.ReportError(error.what());
  }
}

}  // namespace gridport
