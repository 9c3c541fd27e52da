// The number and reference parsers of the cell path, over texts as a generated wide sheet
// holds them: six-digit integers, signed decimals of up to four places, the 16-digit forms
// writers give for binary fractions (8211.897300000001), and cell references of one to three
// letters. Each text is a view into one buffer, followed by "</v>" as in a part, which ends
// with enough bytes for the word-wise parsers to read past its last text. Reports texts/s for
// the byte-loop parsers and for the word-wise ones the cell path uses.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "openxml/xml_digits.h"
#include "openxml/xml_tag.h"
#include "openxml/xml_text.h"

namespace gridport {
namespace {

struct TTexts {
  std::string buffer;
  std::vector<std::string_view> views;
};

TTexts Make(bool references) {
  std::mt19937_64 random(7);
  std::vector<std::string> texts;
  for (int row = 1; row <= 400; ++row) {
    for (int col = 0; col < 200; ++col) {
      if (references) {
        std::string name;
        for (int c = col + 1; c > 0; c = (c - 1) / 26) name.insert(name.begin(), static_cast<char>('A' + (c - 1) % 26));
        texts.push_back(name + std::to_string(row * 50));
      } else if (col % 2 == 0) {
        texts.push_back(std::to_string(random() % 1000000));
      } else {
        const double value = static_cast<double>(static_cast<std::int64_t>(random() % 20000000) - 10000000) / 1000;
        char text[32];
        // One in twenty as the shortest round-trip form, which has 16 digits for many values.
        const int n = random() % 20 == 0 ? std::snprintf(text, sizeof text, "%.16g", value * 1.0000000000000002)
                                         : std::snprintf(text, sizeof text, "%.4f", value);
        texts.emplace_back(text, static_cast<std::size_t>(n));
      }
    }
  }
  TTexts out;
  std::vector<std::size_t> at;
  for (const std::string& t : texts) {
    at.push_back(out.buffer.size());
    out.buffer += t;
    out.buffer += "</v>";
  }
  out.buffer.append(kXMLWordReadSize, ' ');
  for (std::size_t i = 0; i < texts.size(); ++i) out.views.emplace_back(out.buffer.data() + at[i], texts[i].size());
  return out;
}

template <bool (*Parse)(std::string_view, double&)>
void BM_Float(benchmark::State& state) {
  const TTexts texts = Make(false);
  for (auto _ : state) {
    double sum = 0;
    for (std::string_view text : texts.views) {
      double value = 0;
      Parse(text, value);
      sum += value;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * texts.views.size()));
}
BENCHMARK_TEMPLATE(BM_Float, ParseXMLFloat)->Name("BM_ParseXMLFloat");
BENCHMARK_TEMPLATE(BM_Float, ParseXMLFloatWord)->Name("BM_ParseXMLFloatWord");

template <TXMLCellRef (*Parse)(std::string_view)>
void BM_CellRef(benchmark::State& state) {
  const TTexts texts = Make(true);
  for (auto _ : state) {
    std::int64_t sum = 0;
    for (std::string_view text : texts.views) {
      const TXMLCellRef ref = Parse(text);
      sum += ref.Col + ref.Row;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * texts.views.size()));
}
BENCHMARK_TEMPLATE(BM_CellRef, ParseXMLCellRef)->Name("BM_ParseXMLCellRef");
BENCHMARK_TEMPLATE(BM_CellRef, ParseXMLCellRefWord)->Name("BM_ParseXMLCellRefWord");

}  // namespace
}  // namespace gridport
