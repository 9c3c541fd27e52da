#include "app/host.h"

namespace gridport {

std::string FormatCellProgress(const TCellProgress& progress) {
  std::string text = progress.file != nullptr ? *progress.file : std::string();
  text += " Обработка. Лист ";
  text += std::to_string(progress.sheet);
  text += ". Ячейка ";
  text += std::to_string(progress.cell);
  text += '/';
  text += std::to_string(progress.total);
  return text;
}

}  // namespace gridport
