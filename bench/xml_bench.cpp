// Parses a generated 128 MB worksheet part (1,000,000 rows of cells with values) through
// TExcelXMLReader with a handler that reads every cell's reference and value, as the package
// reader does.
#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdlib>
#include <string>

#include "openxml/xml_excel_reader.h"

namespace gridport {
namespace {

std::string MakeSheet(int rows) {
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<worksheet "
      "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>";
  char buf[32];
  for (int r = 1; r <= rows; ++r) {
    std::string n(buf, std::to_chars(buf, buf + sizeof buf, r).ptr);
    xml += "<row r=\"" + n + "\">";
    xml += "<c r=\"A" + n + "\"><v>" + n + "</v></c>";
    xml += "<c r=\"B" + n + "\" s=\"1\"><v>" + n + ".5</v></c>";
    xml += "<c r=\"C" + n + "\" t=\"s\"><v>" + std::to_string(r % 1000) + "</v></c>";
    xml += "</row>";
  }
  xml += "</sheetData></worksheet>";
  return xml;
}

// 1,000,000 rows of three cells; XML_BENCH_ROWS sets another count (a small part for
// instruction counts under callgrind).
int SheetRows() {
  const char* rows = std::getenv("XML_BENCH_ROWS");
  return rows != nullptr && std::atoi(rows) > 0 ? std::atoi(rows) : 1000000;
}

class TCellCounter : public TExcelXMLReader {
 public:
  TCellCounter() {
    SetAllTagEvents(teNone);
    SetTagEvents(xtC, teEnded);
    SetTagEvents(xtRow, teEnded);
  }
  double sum = 0;
  long cells = 0;

 protected:
  void TagBegun(int) override {}
  bool TagEnded(int id) override {
    if (id == xtC) {
      TExXMLTag* c = CurrentElement();
      TXMLCellRef ref = CellRefOf(c->RequiredString(xaR));
      TExXMLTag* v = c->Child(xtV);
      sum += (v ? TextFloatOf(*v) : 0) + ref.Col;
      ++cells;
      return true;
    }
    return id == xtRow;
  }
};

// The same parse with a handler that only trims the tree: what the tokenizer and the tree
// cost without the reading of cell values.
class TTreeOnly : public TExcelXMLReader {
 public:
  TTreeOnly() {
    SetAllTagEvents(teNone);
    SetTagEvents(xtC, teEnded);
    SetTagEvents(xtRow, teEnded);
  }

 protected:
  void TagBegun(int) override {}
  bool TagEnded(int id) override { return id == xtC || id == xtRow; }
};

void BM_ParseTreeOnly(benchmark::State& state) {
  static const std::string xml = MakeSheet(SheetRows());
  for (auto _ : state) {
    TTreeOnly reader;
    reader.ParsePart("xl/worksheets/sheet1.xml", xml.data(), xml.size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(xml.size()));
}
BENCHMARK(BM_ParseTreeOnly)->Unit(benchmark::kMillisecond)->MinTime(3);

void BM_ParseWorksheet(benchmark::State& state) {
  static const std::string xml = MakeSheet(SheetRows());
  for (auto _ : state) {
    TCellCounter reader;
    reader.ParsePart("xl/worksheets/sheet1.xml", xml.data(), xml.size());
    benchmark::DoNotOptimize(reader.sum);
    if (reader.cells != 3L * SheetRows()) state.SkipWithError("wrong cell count");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(xml.size()));
  state.counters["MB"] = static_cast<double>(xml.size()) / 1e6;
}
BENCHMARK(BM_ParseWorksheet)->Unit(benchmark::kMillisecond)->MinTime(3);

// A plain byte loop over the same part, for scale: what one look at every byte costs on the
// machine at the time of the run.
void BM_ByteLoop(benchmark::State& state) {
  static const std::string xml = MakeSheet(SheetRows());
  for (auto _ : state) {
    unsigned hash = 0;
    long tags = 0;
    for (char c : xml) {
      hash = hash * 31 + static_cast<unsigned char>(c);
      tags += c == '<';
    }
    benchmark::DoNotOptimize(hash);
    benchmark::DoNotOptimize(tags);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(xml.size()));
}
BENCHMARK(BM_ByteLoop)->Unit(benchmark::kMillisecond)->MinTime(3);

}  // namespace
}  // namespace gridport
