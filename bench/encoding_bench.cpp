// Throughput of the CSV export's text conversions on typical cell texts:
// every cell's UTF-16 text appended, with its ";" separator, to one output
// buffer that keeps its capacity between sheets. Bytes/s count output bytes.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "text/cp1251.h"
#include "text/utf8.h"

namespace {

using gridport::AppendCp1251;
using gridport::AppendUtf16FromCp1251;
using gridport::AppendUtf8;

enum TCellMix { kAsciiWords, kCyrillicWords, kNumbers, kMixed };

std::vector<std::u16string> MakeCells(TCellMix mix) {
  const std::u16string ascii[] = {u"Item", u"Total amount", u"N/A", u"Product A-17", u"ok", u"Warehouse 3"};
  const std::u16string cyrillic[] = {u"Иванов Иван", u"Москва", u"Итого", u"Счёт-фактура",
                                     u"ООО «Ромашка»", u"да"};
  const std::u16string numbers[] = {u"42", u"1234,56", u"0,5", u"-17", u"100000", u"3,14159265358979"};
  std::vector<std::u16string> cells;
  for (int i = 0; i < 60000; ++i) {
    const int k = i % 6;
    switch (mix) {
      case kAsciiWords: cells.push_back(ascii[k]); break;
      case kCyrillicWords: cells.push_back(cyrillic[k]); break;
      case kNumbers: cells.push_back(numbers[k]); break;
      case kMixed: cells.push_back(i % 3 == 0 ? ascii[k] : i % 3 == 1 ? cyrillic[k] : numbers[k]); break;
    }
  }
  return cells;
}

template <void (*Append)(std::string&, std::u16string_view)>
void BM_Append(benchmark::State& state) {
  const std::vector<std::u16string> cells = MakeCells(static_cast<TCellMix>(state.range(0)));
  std::string out;
  std::size_t bytes = 0;
  for (auto _ : state) {
    out.clear();
    for (std::size_t i = 0; i < cells.size(); ++i) {
      Append(out, cells[i]);
      out += (i % 10 == 9) ? '\n' : ';';
    }
    benchmark::DoNotOptimize(out.data());
    bytes += out.size();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * cells.size()));
}

void BM_AppendUtf16FromCp1251(benchmark::State& state) {
  std::vector<std::string> cells;
  for (const auto& cell : MakeCells(static_cast<TCellMix>(state.range(0))))
    cells.push_back(gridport::Utf16ToCp1251(cell));
  std::u16string out;
  std::size_t bytes = 0;
  for (auto _ : state) {
    out.clear();
    for (const auto& cell : cells) AppendUtf16FromCp1251(out, cell);
    benchmark::DoNotOptimize(out.data());
    bytes += out.size() * 2;
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * cells.size()));
}

void CellMixes(benchmark::internal::Benchmark* bench) {
  bench->ArgName("mix")->Arg(kAsciiWords)->Arg(kCyrillicWords)->Arg(kNumbers)->Arg(kMixed);
}

BENCHMARK(BM_Append<AppendUtf8>)->Name("AppendUtf8")->Apply(CellMixes);
BENCHMARK(BM_Append<AppendCp1251>)->Name("AppendCp1251")->Apply(CellMixes);
BENCHMARK(BM_AppendUtf16FromCp1251)->Name("AppendUtf16FromCp1251")->Apply(CellMixes);

}  // namespace
