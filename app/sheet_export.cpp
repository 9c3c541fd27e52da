#include "app/sheet_export.h"

#include "app/csv_writer.h"
#include "app/paths.h"

#include <stdexcept>

namespace gridport {

std::string SettleCollision(TRunContext& context, const std::string& target) {
  if (!PathExists(target)) return target;
  const TForm_Main& form = context.form;
  const bool options_in_force = form.RGroup_ConvertMode == 1 && form.CheckBoxConvertOptions;
  bool rename;
  if (options_in_force || (context.automatic && form.RadioGroupActionWithFile == 0)) {
    rename = form.RadioGroupActionWithFile == 0;
  } else if (!context.automatic) {
    rename = !context.host.AskReplace("Файл '" + target + "' уже существует! Заменить его?");
  } else {
    rename = false;
  }
  if (!rename) return target;
  const std::string base = CsvBaseName(target);
  for (uint64_t i = 1;; ++i) {
    std::string candidate = RenameCandidate(base, i);
    if (!PathExists(candidate)) return candidate;
  }
}

void ExportSheet(TRunContext& context, uint32_t sheet, const std::string& target) {
  const std::string file = SettleCollision(context, target);
  const std::string prefix = file + " Обработка. Лист " + std::to_string(sheet);
  context.Status(prefix + "Определение области конвертации");
  const TSheetSize size = context.engine.ExportSize(sheet);
  context.Status(prefix + " Создание CSV файла");
  const auto encoding = context.form.ComboBox_FileEncoding == 1 ? ceUtf8 : ceWindows1251;
  TCsvFile output(file, encoding == ceUtf8);
  {
    const uint64_t total = uint64_t{size.rows} * size.cols;
    TCsvWriter writer(output, encoding, size.cols, &context.host, file, sheet, total);
    context.engine.WriteCells(sheet, size, writer);
    if (writer.CellsWritten() != total)
      throw std::logic_error("The engine handed " + std::to_string(writer.CellsWritten()) + " of " +
                             std::to_string(total) + " cells of sheet " + std::to_string(sheet));
    context.Status(prefix + ". Сохранение CSV файла");
    writer.Finish();
  }
  context.Status(prefix + ". Готово!");
}

}  // namespace gridport
