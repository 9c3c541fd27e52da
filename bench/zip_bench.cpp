// Inflate throughput of a large worksheet part through TQuillZip, against zlib
// alone inflating the same data into a preallocated buffer (the floor).
//
// The part is generated here: about 100 MB of worksheet XML shaped like the
// mixed sheets of the benchmark workbooks (10 cells a row: integers, decimals,
// a date, shared-string indices, a boolean), deflated at zlib's default level
// as package writers do. With GRIDPORT_BENCH_XLSX set to a package (for example
// xlsx_large.xlsx from make_workbooks.py), its first worksheet part is measured too.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "openxml/zip_archive.h"
#include "openxml/zip_part_buffer.h"
#include "openxml/zip_xls_archive.h"

namespace {

using gridport::TQuillZip;
using gridport::TZipPartBuffer;

void PutU16(std::string& s, std::uint32_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>((v >> 8) & 0xFF);
}
void PutU32(std::string& s, std::uint32_t v) {
  PutU16(s, v & 0xFFFF);
  PutU16(s, v >> 16);
}

std::string MakeSheet(std::size_t target) {
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<worksheet "
      "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>";
  xml.reserve(target + 4096);
  std::uint64_t seed = 12345;
  auto next = [&seed](std::uint64_t range) {
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    return (seed >> 33) % range;
  };
  char row[768];
  for (long r = 1; xml.size() < target; ++r) {
    const int n = std::snprintf(
        row, sizeof row,
        "<row r=\"%ld\" spans=\"1:10\"><c r=\"A%ld\"><v>%ld</v></c><c r=\"B%ld\"><v>%ld</v></c>"
        "<c r=\"C%ld\"><v>%lu</v></c><c r=\"D%ld\"><v>%lu.%04lu</v></c><c r=\"E%ld\"><v>-%lu.%04lu</v></c>"
        "<c r=\"F%ld\" s=\"1\"><v>%lu</v></c><c r=\"G%ld\" t=\"s\"><v>%lu</v></c>"
        "<c r=\"H%ld\" t=\"s\"><v>%lu</v></c><c r=\"I%ld\" t=\"s\"><v>%ld</v></c>"
        "<c r=\"J%ld\" t=\"b\"><v>%lu</v></c></row>",
        r, r, r, r, static_cast<long>(next(2001)) - 1000, r, next(2000000000), r, next(100000),
        next(10000), r, next(100000), next(10000), r, 36526 + next(9000), r, next(1000), r,
        next(1000), r, 1000 + r, r, next(2));
    xml.append(row, static_cast<std::size_t>(n));
  }
  return xml + "</sheetData></worksheet>";
}

std::string RawDeflate(const std::string& data) {
  z_stream zs{};
  deflateInit2(&zs, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&zs, data.size()), '\0');
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  zs.avail_in = static_cast<uInt>(data.size());
  zs.next_out = reinterpret_cast<Bytef*>(out.data());
  zs.avail_out = static_cast<uInt>(out.size());
  deflate(&zs, Z_FINISH);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return out;
}

// A one-entry archive holding the part.
struct TSyntheticPackage {
  std::string xml, deflated, archive;
  TSyntheticPackage() {
    xml = MakeSheet(100u << 20);
    deflated = RawDeflate(xml);
    const std::string name = "xl/worksheets/sheet1.xml";
    const std::uint32_t crc = static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(xml.data()), static_cast<uInt>(xml.size())));
    std::string central;
    for (int pass = 0; pass < 2; ++pass) {
      std::string& s = pass == 0 ? archive : central;
      PutU32(s, pass == 0 ? 0x04034B50 : 0x02014B50);
      if (pass == 1) PutU16(s, 20);
      PutU16(s, 20);
      PutU16(s, 0);
      PutU16(s, 8);
      PutU32(s, 0);
      PutU32(s, crc);
      PutU32(s, static_cast<std::uint32_t>(deflated.size()));
      PutU32(s, static_cast<std::uint32_t>(xml.size()));
      PutU16(s, static_cast<std::uint32_t>(name.size()));
      PutU16(s, 0);
      if (pass == 1) {
        PutU16(s, 0);
        PutU16(s, 0);
        PutU16(s, 0);
        PutU32(s, 0x20);
        PutU32(s, 0);
      }
      s += name;
      if (pass == 0) s += deflated;
    }
    const std::uint32_t directory = static_cast<std::uint32_t>(archive.size());
    archive += central;
    PutU32(archive, 0x06054B50);
    PutU32(archive, 0);
    PutU16(archive, 1);
    PutU16(archive, 1);
    PutU32(archive, static_cast<std::uint32_t>(central.size()));
    PutU32(archive, directory);
    PutU16(archive, 0);
  }
};

const TSyntheticPackage& Package() {
  static const TSyntheticPackage package;
  return package;
}

void Report(benchmark::State& state, std::size_t out, std::size_t in) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * out));
  state.counters["part_MB"] = static_cast<double>(out) / 1e6;
  state.counters["ratio"] = static_cast<double>(out) / static_cast<double>(in);
}

// Open the archive and extract the part: what the package reader does per part.
void BM_ZipExtractSheetPart(benchmark::State& state) {
  const TSyntheticPackage& p = Package();
  for (auto _ : state) {
    TQuillZip zip;
    zip.OpenMemory(reinterpret_cast<const std::uint8_t*>(p.archive.data()), p.archive.size());
    TZipPartBuffer part;
    zip.Entries().Items(0).ExtractToStream(part);
    if (part.Size() != p.xml.size() || std::memcmp(part.Data(), p.xml.data(), 64) != 0)
      state.SkipWithError("wrong part");
    benchmark::DoNotOptimize(part.Data());
  }
  Report(state, p.xml.size(), p.deflated.size());
}
BENCHMARK(BM_ZipExtractSheetPart)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);

// zlib alone, raw deflate into a buffer allocated like the part's: the floor.
void BM_ZlibInflateFloor(benchmark::State& state) {
  const TSyntheticPackage& p = Package();
  for (auto _ : state) {
    auto out = std::make_unique_for_overwrite<std::uint8_t[]>(p.xml.size() + 64);
    z_stream zs{};
    inflateInit2(&zs, -15);
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(p.deflated.data()));
    zs.avail_in = static_cast<uInt>(p.deflated.size());
    zs.next_out = out.get();
    zs.avail_out = static_cast<uInt>(p.xml.size());
    inflate(&zs, Z_FINISH);
    if (zs.total_out != p.xml.size()) state.SkipWithError("zlib floor failed");
    inflateEnd(&zs);
    benchmark::DoNotOptimize(out.get());
  }
  Report(state, p.xml.size(), p.deflated.size());
}
BENCHMARK(BM_ZlibInflateFloor)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);

// A real package from the environment: its first worksheet part.
void BM_ZipExtractPackageSheet(benchmark::State& state) {
  const char* path = std::getenv("GRIDPORT_BENCH_XLSX");
  if (!path) {
    state.SkipWithError("set GRIDPORT_BENCH_XLSX to an .xlsx to measure it");
    return;
  }
  gridport::TXLSZipArchive archive;
  archive.OpenFile(path);
  const int index = archive.IndexOf(u"xl/worksheets/sheet1.xml");
  if (index < 0) {
    state.SkipWithError("no xl/worksheets/sheet1.xml");
    return;
  }
  const auto& entry = archive.Zip().Entries().Items(index);
  for (auto _ : state) {
    TZipPartBuffer part;
    entry.ExtractToStream(part);
    benchmark::DoNotOptimize(part.Data());
  }
  Report(state, entry.UncompressedSize(), entry.CompressedSize());
}
BENCHMARK(BM_ZipExtractPackageSheet)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);

}  // namespace
