// What a conversion run needs from its surroundings: the status panel, the
// questions, the plain message and the error report. The window implements it
// with dialogs, the automatic mode with none, tests with scripted answers.
#pragma once

#include <cstdint>
#include <string>

namespace gridport {

// One per-cell progress step of the sheet export. The host may format it at
// once (FormatCellProgress) or keep only the last one and repaint at its own
// pace; the export sends one for every cell of the rectangle.
struct TCellProgress {
  const std::string* file = nullptr;  // the CSV file being written
  uint32_t sheet = 0;                 // 1-based sheet number
  uint64_t cell = 0;                  // 1-based running cell number
  uint64_t total = 0;                 // cells of the rectangle
};

// F + " Обработка. Лист " + S + ". Ячейка " + cell + "/" + total.
std::string FormatCellProgress(const TCellProgress& progress);

class THost {
 public:
  virtual ~THost() = default;
  // Panel 0 of the status bar (UTF-8); an empty text clears it.
  virtual void Status(const std::string& text) = 0;
  virtual void CellProgress(const TCellProgress& progress) = 0;
  // False when CellProgress does nothing: the export then makes no call per
  // cell (a call per cell is a measurable part of exporting a large sheet).
  virtual bool FollowsCellProgress() const { return true; }
  // The sheet-mode question TFormConvertMode: returns its item
  // (0 only the first significant sheet, 1 every significant sheet).
  virtual int AskSheetMode() = 0;
  // "Файл '...' уже существует! Заменить его?" with Yes and No: true for Yes.
  virtual bool AskReplace(const std::string& question) = 0;
  // A plain message box captioned with the application title ("Готово!").
  virtual void Message(const std::string& text) = 0;
  // The application's error report: the error's own text.
  virtual void ReportError(const std::string& text) = 0;
};

// The automatic mode's host: it asks nothing and shows nothing; it keeps the
// last status text so that a failure can be told on standard error.
class TSilentHost : public THost {
 public:
  void Status(const std::string& text) override { last_status_ = text; }
  void CellProgress(const TCellProgress&) override {}
  bool FollowsCellProgress() const override { return false; }
  int AskSheetMode() override { return 0; }
  bool AskReplace(const std::string&) override { return true; }
  void Message(const std::string&) override {}
  void ReportError(const std::string&) override {}
  const std::string& LastStatus() const { return last_status_; }

 private:
  std::string last_status_;
};

}  // namespace gridport
