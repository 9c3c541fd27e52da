// Reading every record of a large workbook stream through TXLSStream: 65,000
// rows x 10 NUMBER cells in a compound file on disk (memory-mapped), plain
// and RC4-encrypted (the decryption cost per byte).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "biff/md5.h"
#include "biff/rc4.h"
#include "biff/xls_stream.h"
#include "tests/biff/cfb_builder.h"

namespace gridport {
namespace {

void Put(std::vector<std::uint8_t>& out, std::uint16_t id, const std::vector<std::uint8_t>& body) {
  out.insert(out.end(), {std::uint8_t(id), std::uint8_t(id >> 8), std::uint8_t(body.size()),
                         std::uint8_t(body.size() >> 8)});
  out.insert(out.end(), body.begin(), body.end());
}

// A globals BOF, an optional FILEPASS, 650,000 NUMBER records and EOF.
std::filesystem::path MakeWorkbook(bool encrypted) {
  std::vector<std::uint8_t> stream;
  Put(stream, 0x0809, std::vector<std::uint8_t>(16, 0));
  std::vector<std::uint8_t> filepass;
  if (encrypted) {
    // FILEPASS for the default password; the record bodies stay as they are:
    // the benchmark measures the work, not the plain text.
    std::u16string password = u"VelvetSweatshop";
    std::vector<std::uint8_t> text;
    for (char16_t c : password) text.insert(text.end(), {std::uint8_t(c), std::uint8_t(c >> 8)});
    TMD5Digest h0 = TMD5::Digest(text.data(), text.size());
    std::vector<std::uint8_t> salt(16, 3), mix;
    for (int i = 0; i < 16; ++i) {
      mix.insert(mix.end(), h0.begin(), h0.begin() + 5);
      mix.insert(mix.end(), salt.begin(), salt.end());
    }
    TMD5Digest h1 = TMD5::Digest(mix.data(), mix.size());
    std::uint8_t message[9] = {h1[0], h1[1], h1[2], h1[3], h1[4], 0, 0, 0, 0};
    TMD5Digest key = TMD5::Digest(message, 9);
    std::vector<std::uint8_t> verifier(16, 9);
    TMD5Digest hash = TMD5::Digest(verifier.data(), 16);
    std::vector<std::uint8_t> secret = verifier;
    secret.insert(secret.end(), hash.begin(), hash.end());
    TRC4 rc4;
    rc4.SetKey(key.data(), 16);
    rc4.Process(secret.data(), secret.size());
    filepass = {1, 0, 1, 0, 1, 0};
    filepass.insert(filepass.end(), salt.begin(), salt.end());
    filepass.insert(filepass.end(), secret.begin(), secret.end());
    Put(stream, 0x002F, filepass);
  }
  std::vector<std::uint8_t> number(14, 0x11);
  for (int row = 0; row < 65000; ++row)
    for (int col = 0; col < 10; ++col) Put(stream, 0x0203, number);
  Put(stream, 0x000A, {});
  auto path = std::filesystem::temp_directory_path() /
              (encrypted ? "gridport_bench_rc4.xls" : "gridport_bench_plain.xls");
  std::vector<std::uint8_t> file = test::BuildCfb({{u"Workbook", stream, false}}).Bytes;
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()),
                                              static_cast<std::streamsize>(file.size()));
  return path;
}

void ReadAllRecords(benchmark::State& state, bool encrypted) {
  const std::filesystem::path path = MakeWorkbook(encrypted);
  std::vector<std::uint8_t> body(8224);
  for (auto _ : state) {
    TXLSStream stream;
    stream.OpenWorkbook(path);
    TBiffRecordHeader header;
    std::size_t records = 0;
    while (stream.ReadHeader(header) == 4) {
      if ((header.Id & 0xFF) == 0x09) {
        stream.ReadUnencrypted(body.data(), header.Length);
      } else {
        std::size_t got = stream.Read(body.data(), header.Length);
        if (header.Id == 0x002F && !stream.StartDecryption(body.data(), got, u"VelvetSweatshop"))
          state.SkipWithError("password not accepted");
      }
      ++records;
    }
    benchmark::DoNotOptimize(records);
    state.counters["records"] = static_cast<double>(records);
    state.SetBytesProcessed(state.bytes_processed() + stream.StreamSize());
  }
  std::filesystem::remove(path);
}

void BM_ReadRecordsPlain(benchmark::State& state) { ReadAllRecords(state, false); }
void BM_ReadRecordsRC4(benchmark::State& state) { ReadAllRecords(state, true); }
BENCHMARK(BM_ReadRecordsPlain)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadRecordsRC4)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace gridport
