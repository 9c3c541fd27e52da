// The shared string table on the readers' hot path: adding cell strings
// (distinct and repeated, as an Open XML shared-string part or InsertText
// feeds them), reading a BIFF SST record split into CONTINUE records, and
// handing out entry texts.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "workbook/fonts.h"
#include "workbook/record_source.h"
#include "workbook/sst.h"

namespace gridport {
namespace {

std::vector<std::u16string> MakeTexts(int count, bool cyrillic) {
  std::vector<std::u16string> texts;
  texts.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    std::string ascii = "Item number " + std::to_string(i * 7919 % 1000003) + " of the list";
    std::u16string text(ascii.begin(), ascii.end());
    if (cyrillic) text.insert(0, u"Строка ");
    texts.push_back(std::move(text));
  }
  return texts;
}

void BM_AddDistinctStrings(benchmark::State& state) {
  auto texts = MakeTexts(static_cast<int>(state.range(0)), state.range(1) != 0);
  for (auto _ : state) {
    TXFonts fonts;
    TSST sst(fonts);
    for (const auto& t : texts) benchmark::DoNotOptimize(sst.AddSharedString(t));
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_AddDistinctStrings)->Args({500000, 0})->Args({500000, 1})->Unit(benchmark::kMillisecond);

void BM_AddRepeatedStrings(benchmark::State& state) {
  auto texts = MakeTexts(1000, false);
  TXFonts fonts;
  TSST sst(fonts);
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(sst.AddString(texts[i++ % texts.size()]));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AddRepeatedStrings);

class TBytesSource : public TRecordSource {
 public:
  explicit TBytesSource(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}
  int ReadHeader(TBiffRecordHeader& header) override {
    if (bytes_.size() - pos_ < 4) return 0;
    header.Id = static_cast<std::uint16_t>(bytes_[pos_] | bytes_[pos_ + 1] << 8);
    header.Length = static_cast<std::uint16_t>(bytes_[pos_ + 2] | bytes_[pos_ + 3] << 8);
    pos_ += 4;
    return 4;
  }
  std::size_t Read(void* buffer, std::size_t count) override {
    std::size_t n = std::min(count, bytes_.size() - pos_);
    std::memcpy(buffer, bytes_.data() + pos_, n);
    pos_ += n;
    return n;
  }
  std::uint16_t PeekRecordId() override {
    if (bytes_.size() - pos_ < 4) return 0;
    return static_cast<std::uint16_t>(bytes_[pos_] | bytes_[pos_ + 1] << 8);
  }

 private:
  const std::vector<std::uint8_t>& bytes_;
  std::size_t pos_ = 0;
};

// An SST of `count` 8-bit strings laid out as Excel does: 8224-byte records,
// strings split across CONTINUE records with an option byte.
std::vector<std::uint8_t> MakeSstStream(int count, std::uint32_t& first_size) {
  std::vector<std::uint8_t> body;
  auto u16 = [&body](unsigned v) {
    body.push_back(static_cast<std::uint8_t>(v));
    body.push_back(static_cast<std::uint8_t>(v >> 8));
  };
  u16(count & 0xFFFF);
  u16(static_cast<unsigned>(count) >> 16);
  u16(count & 0xFFFF);
  u16(static_cast<unsigned>(count) >> 16);
  std::vector<std::uint8_t> stream;
  std::vector<std::uint8_t> record = body;
  bool first = true;
  auto flush = [&](bool continued_text) {
    if (first) {
      first_size = static_cast<std::uint32_t>(record.size());
      stream.insert(stream.end(), record.begin(), record.end());
      first = false;
    } else {
      stream.push_back(0x3C);
      stream.push_back(0x00);
      stream.push_back(static_cast<std::uint8_t>(record.size()));
      stream.push_back(static_cast<std::uint8_t>(record.size() >> 8));
      stream.insert(stream.end(), record.begin(), record.end());
    }
    record.clear();
    if (continued_text) record.push_back(0);  // option byte: 8-bit
  };
  for (int i = 0; i < count; ++i) {
    std::string text = "Item number " + std::to_string(i) + " of the list";
    if (record.size() + 3 > 8224) flush(false);
    record.push_back(static_cast<std::uint8_t>(text.size()));
    record.push_back(0);
    record.push_back(0);
    for (char c : text) {
      if (record.size() == 8224) flush(true);
      record.push_back(static_cast<std::uint8_t>(c));
    }
  }
  flush(false);
  return stream;
}

void BM_ReadSST(benchmark::State& state) {
  std::uint32_t first_size = 0;
  auto stream = MakeSstStream(static_cast<int>(state.range(0)), first_size);
  for (auto _ : state) {
    TXFonts fonts;
    TSST sst(fonts);
    TBytesSource source(stream);
    sst.ReadSST(source, first_size);
    // The reader stops quietly where a table's records end: a stream built
    // short would measure less work, not fail.
    if (sst.IndexCount() != static_cast<std::size_t>(state.range(0))) {
      state.SkipWithError("the SST stream holds fewer strings than it claims");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(stream.size()));
}
BENCHMARK(BM_ReadSST)->Arg(500000)->Unit(benchmark::kMillisecond);

void BM_EntryText(benchmark::State& state) {
  auto texts = MakeTexts(1000, state.range(0) != 0);
  TXFonts fonts;
  TSST sst(fonts);
  std::vector<TSSTEntry*> entries;
  for (const auto& t : texts) entries.push_back(sst.AddString(t));
  std::u16string out;
  std::size_t i = 0;
  for (auto _ : state) {
    entries[i++ % entries.size()]->Text().AssignTo(out);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EntryText)->Arg(0)->Arg(1);

}  // namespace
}  // namespace gridport
