// The text of number cells, 8-bit form as the CSV export writes it, over the
// values large sheets hold: row numbers and counts, large integers, prices
// and measures of up to four decimals, serial dates, computed values with
// 15 or more digits. Reports numbers/s per kind.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "workbook/number_text.h"

namespace gridport {
namespace {

enum TKind { kSmallIntegers, kLargeIntegers, kFourDecimals, kMixedSheet, kComputed };

std::vector<double> Values(TKind kind) {
  std::mt19937_64 random(42);
  std::vector<double> values(1 << 16);
  for (std::size_t i = 0; i < values.size(); ++i) {
    const std::int64_t r = static_cast<std::int64_t>(random() >> 1);
    switch (kind) {
      case kSmallIntegers:  // row numbers, -1000..1000, serial dates
        values[i] = static_cast<double>(r % 100000 - 1000);
        break;
      case kLargeIntegers:
        values[i] = static_cast<double>(r % 2000000000);
        break;
      case kFourDecimals:  // 5908.5834, -99.1234
        values[i] = static_cast<double>(r % 199999999 - 99999999) / 10000;
        break;
      case kMixedSheet:  // the numbers of one row of the benchmark's mixed sheets
        switch (i % 6) {
          case 0: values[i] = static_cast<double>(i); break;
          case 1: values[i] = static_cast<double>(r % 2001 - 1000); break;
          case 2: values[i] = static_cast<double>(r % 2000000001); break;
          case 3: values[i] = static_cast<double>(r % 100000000) / 10000; break;
          case 4: values[i] = static_cast<double>(r % 19999999 - 9999999) / 10000; break;
          default: values[i] = static_cast<double>(29221 + r % 11001); break;
        }
        break;
      case kComputed:  // quotients: 15 significant digits or more
        values[i] = static_cast<double>(r % 1000000) / 7;
        break;
    }
  }
  return values;
}

void FormatAscii(benchmark::State& state) {
  const std::vector<double> values = Values(static_cast<TKind>(state.range(0)));
  char text[kNumberTextCapacity];
  std::size_t total = 0;
  for (auto _ : state) {
    for (double v : values) {
      total += FormatNumberTextAscii(v, ',', text);
      benchmark::DoNotOptimize(text);
    }
  }
  benchmark::DoNotOptimize(total);
  state.counters["numbers/s"] =
      benchmark::Counter(static_cast<double>(state.iterations() * values.size()), benchmark::Counter::kIsRate);
  static const char* const kLabels[] = {"small integers", "large integers", "four decimals", "mixed sheet",
                                        "computed"};
  state.SetLabel(kLabels[state.range(0)]);
}

BENCHMARK(FormatAscii)->DenseRange(kSmallIntegers, kComputed)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace gridport
