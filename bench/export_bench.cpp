// The sheet export over the workbook model: a 1,000,000 x 10 sheet built in
// memory (integers, decimals, shared strings with Latin and Cyrillic text)
// written to a CSV file in each encoding. Reports cells/s and CSV bytes/s.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "app/builtin_engine.h"
#include "app/host.h"
#include "app/run_context.h"
#include "app/sheet_export.h"
#include "workbook/workbook.h"

namespace gridport {
namespace {

constexpr uint32_t kRows = 1000000;
constexpr uint16_t kCols = 10;

// Progress events are dropped, as a window repainting at its own pace would.
class TQuietHost : public TSilentHost {
 public:
  void Status(const std::string&) override {}
};

TXLSWorkbook& BigWorkbook() {
  static TXLSWorkbook* workbook = [] {
    auto* book = new TXLSWorkbook();
    book->ApplyFormResource();
    TSheet& sheet = book->Sheets()[0];
    std::u16string text;
    for (uint32_t row = 0; row < kRows; ++row) {
      sheet.InsertNumber(0, row, row + 1, 15);
      sheet.InsertNumber(1, row, row * 0.25 + 0.1, 15);
      sheet.InsertNumber(2, row, (row % 977) * 1.5, 15);
      sheet.InsertNumber(3, row, -static_cast<double>(row % 100000) / 7, 15);
      text = u"Item " + std::u16string(1, u'A' + row % 26) + u"-" + std::u16string(1, u'0' + row % 10);
      sheet.InsertText(4, row, text, 15);
      text = row % 2 ? u"Москва" : u"Санкт-Петербург";
      sheet.InsertText(5, row, text, 15);
      sheet.InsertNumber(6, row, 45000 + row % 365, 15);
      sheet.InsertNumber(7, row, 0.001 * (row % 1000), 15);
      sheet.InsertText(8, row, row % 3 ? u"yes" : u"no", 15);
      sheet.InsertNumber(9, row, 1e6 + row, 15);
    }
    return book;
  }();
  return *workbook;
}

void ExportBigSheet(benchmark::State& state) {
  TXLSWorkbook& workbook = BigWorkbook();
  TBuiltInEngine engine(&workbook);
  if (!engine.IsSheetSignificant(1)) state.SkipWithError("sheet not significant");
  TForm_Main form;
  form.ComboBox_FileEncoding = static_cast<int>(state.range(0));
  form.RadioGroupActionWithFile = 1;  // replace the previous iteration's file
  TQuietHost host;
  TRunContext context{form, host, engine, true};
  const std::string target =
      (std::filesystem::temp_directory_path() / ("gridport-export-bench-" + std::to_string(state.range(0)) + ".csv"))
          .string();
  uint64_t bytes = 0;
  for (auto _ : state) {
    ExportSheet(context, 1, target);
    bytes += std::filesystem::file_size(target);
  }
  std::filesystem::remove(target);
  const double cells = static_cast<double>(state.iterations()) * kRows * kCols;
  state.counters["cells/s"] = benchmark::Counter(cells, benchmark::Counter::kIsRate);
  state.counters["MB/s"] = benchmark::Counter(static_cast<double>(bytes) / 1e6, benchmark::Counter::kIsRate);
  state.SetLabel(state.range(0) == 1 ? "UTF-8" : "Windows-1251");
}

BENCHMARK(ExportBigSheet)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace gridport
