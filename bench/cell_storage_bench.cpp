// Inserting 10 million cells (half numbers, half shared strings) into one
// sheet and reading every cell's text back, as the readers and the export do.
//
// Shape: 500,000 rows x 20 columns; even columns numbers, odd columns
// strings drawn from 100,000 distinct shared strings. Counters: cells per
// second; the storage's bytes per cell (cells, blocks, pools) and the heap
// growth per cell (storage plus the shared strings).
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <memory>
#include <string>

#include "workbook/workbook.h"

namespace gridport {
namespace {

constexpr std::uint32_t kRows = 500000;
constexpr std::uint16_t kCols = 20;
constexpr std::uint32_t kStrings = 100000;
constexpr double kCells = static_cast<double>(kRows) * kCols;

std::u16string StringNumber(std::uint32_t i) {
  std::u16string s = u"Товар ";
  for (char c : std::to_string(i)) s.push_back(static_cast<char16_t>(c));
  return s;
}

// Heap bytes in use (glibc): small blocks plus mmapped chunks.
std::size_t HeapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

void Fill(TXLSWorkbook& wb) {
  TSST& sst = wb.SST();
  for (std::uint32_t i = 0; i < kStrings; ++i) sst.AddSharedString(StringNumber(i));
  TSheet& sheet = wb.Sheets()[0];
  for (std::uint32_t row = 0; row < kRows; ++row) {
    for (std::uint16_t col = 0; col < kCols; col += 2) {
      sheet.InsertNumber(col, row, row * 0.25 + col, 15);
      sheet.InsertSharedString(col + 1, row, (row * 7 + col) % kStrings, 15);
    }
  }
}

void BM_InsertCells(benchmark::State& state) {
  std::size_t bytes = 0, heap = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto wb = std::make_unique<TXLSWorkbook>();
    const std::size_t heapBefore = HeapInUse();
    state.ResumeTiming();
    Fill(*wb);
    state.PauseTiming();
    bytes = wb->Sheets()[0].Cells().ReservedBytes();
    heap = HeapInUse() - heapBefore;
    wb.reset();
    state.ResumeTiming();
  }
  state.counters["cells_per_s"] = benchmark::Counter(kCells * state.iterations(), benchmark::Counter::kIsRate);
  state.counters["bytes_per_cell"] = static_cast<double>(bytes) / kCells;
  state.counters["heap_bytes_per_cell"] = static_cast<double>(heap) / kCells;  // with the shared strings
}
BENCHMARK(BM_InsertCells)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

TXLSWorkbook& Filled() {
  static std::unique_ptr<TXLSWorkbook> wb = [] {
    auto w = std::make_unique<TXLSWorkbook>();
    Fill(*w);
    return w;
  }();
  return *wb;
}

// The export's way: one row view per row, a text view per cell, no copy.
void BM_ReadCellTextView(benchmark::State& state) {
  TSheet& sheet = Filled().Sheets()[0];
  TNumberTextBuffer buffer;
  for (auto _ : state) {
    std::size_t units = 0;
    for (std::uint32_t row = 0; row < kRows; ++row) {
      const TRowCells cells = sheet.Row(row);
      for (std::uint16_t col = 0; col < kCols; ++col) units += sheet.CellTextView(cells.At(col), buffer).Length;
    }
    benchmark::DoNotOptimize(units);
  }
  state.counters["cells_per_s"] = benchmark::Counter(kCells * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReadCellTextView)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// The used area of a filled sheet, as the run asks for it per sheet: kept
// while cells only went in (0), or found by walking every block after a
// cell left the sheet (1).
void BM_ComputeUsedArea(benchmark::State& state) {
  auto wb = std::make_unique<TXLSWorkbook>();
  Fill(*wb);
  TSheet& sheet = wb->Sheets()[0];
  std::uint32_t deleted = 0;
  for (auto _ : state) {
    if (state.range(0) == 1) {  // a different stored cell each pass (numbers: no shared string to release)
      sheet.Cells().DeleteCell(static_cast<std::uint16_t>(deleted % (kCols / 2) * 2), deleted / (kCols / 2));
      ++deleted;
    }
    sheet.ComputeUsedArea();
    benchmark::DoNotOptimize(sheet.LastUsedRow());
  }
}
BENCHMARK(BM_ComputeUsedArea)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// CellText[col, row] as a string per cell (one lookup and one copy each).
void BM_ReadCellText(benchmark::State& state) {
  TSheet& sheet = Filled().Sheets()[0];
  for (auto _ : state) {
    std::size_t units = 0;
    for (std::uint32_t row = 0; row < kRows; ++row)
      for (std::uint16_t col = 0; col < kCols; ++col) units += sheet.CellText(col, row).size();
    benchmark::DoNotOptimize(units);
  }
  state.counters["cells_per_s"] = benchmark::Counter(kCells * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReadCellText)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace
}  // namespace gridport
