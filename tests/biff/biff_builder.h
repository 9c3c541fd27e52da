// Hand-built BIFF record streams and the compound file around them, for the
// cases no writer produces (a bad record id, special formula results, a
// CONTINUE at an awkward place, damaged fields).
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

namespace gridport::test {

using TBytes = std::vector<std::uint8_t>;

// Little-endian field writers.
inline void Put8(TBytes& b, std::uint8_t v) { b.push_back(v); }
inline void Put16(TBytes& b, std::uint16_t v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void Put32(TBytes& b, std::uint32_t v) {
  Put16(b, static_cast<std::uint16_t>(v));
  Put16(b, static_cast<std::uint16_t>(v >> 16));
}
inline void PutDouble(TBytes& b, double d) {
  std::uint64_t bits;
  std::memcpy(&bits, &d, sizeof bits);
  Put32(b, static_cast<std::uint32_t>(bits));
  Put32(b, static_cast<std::uint32_t>(bits >> 32));
}
inline void PutBytes(TBytes& b, const TBytes& more) { b.insert(b.end(), more.begin(), more.end()); }

// A BIFF record stream under construction.
class TBiffStreamBuilder {
 public:
  TBiffStreamBuilder& Record(std::uint16_t id, const TBytes& body) {
    Put16(bytes_, id);
    Put16(bytes_, static_cast<std::uint16_t>(body.size()));
    PutBytes(bytes_, body);
    return *this;
  }
  // BOF of the BIFF8 layout (16 bytes) with the given substream type.
  TBiffStreamBuilder& Bof8(std::uint16_t type) {
    TBytes b;
    Put16(b, 0x0600);
    Put16(b, type);
    Put16(b, 0x0DBB);
    Put16(b, 0x07CC);
    Put32(b, 0);
    Put32(b, 0x00000006);
    return Record(0x0809, b);
  }
  // BOF of the BIFF5 layout (8 bytes).
  TBiffStreamBuilder& Bof5(std::uint16_t type) {
    TBytes b;
    Put16(b, 0x0500);
    Put16(b, type);
    Put16(b, 0x0DBB);
    Put16(b, 0x07CC);
    return Record(0x0809, b);
  }
  TBiffStreamBuilder& Eof() { return Record(0x000A, {}); }
  TBiffStreamBuilder& BoundSheet8(const std::string& name, std::uint8_t hidden = 0, std::uint8_t type = 0) {
    TBytes b;
    Put32(b, 0);
    Put8(b, hidden);
    Put8(b, type);
    Put8(b, static_cast<std::uint8_t>(name.size()));
    Put8(b, 0);
    b.insert(b.end(), name.begin(), name.end());
    return Record(0x0085, b);
  }
  TBiffStreamBuilder& BoundSheet5(const std::string& name, std::uint8_t hidden = 0) {
    TBytes b;
    Put32(b, 0);
    Put8(b, hidden);
    Put8(b, 0);
    Put8(b, static_cast<std::uint8_t>(name.size()));
    b.insert(b.end(), name.begin(), name.end());
    return Record(0x0085, b);
  }
  TBiffStreamBuilder& Number(std::uint16_t row, std::uint16_t col, double value, std::uint16_t xf = 15) {
    TBytes b;
    Put16(b, row);
    Put16(b, col);
    Put16(b, xf);
    PutDouble(b, value);
    return Record(0x0203, b);
  }
  // A BIFF8 LABEL with 8-bit characters.
  TBiffStreamBuilder& Label8(std::uint16_t row, std::uint16_t col, const std::string& text) {
    TBytes b;
    Put16(b, row);
    Put16(b, col);
    Put16(b, 15);
    Put16(b, static_cast<std::uint16_t>(text.size()));
    Put8(b, 0);
    b.insert(b.end(), text.begin(), text.end());
    return Record(0x0204, b);
  }
  const TBytes& Bytes() const { return bytes_; }

 private:
  TBytes bytes_;
};

// Wraps a workbook stream into a version 3 compound file with one root entry
// and one stream named name. The stream is padded with zeros to 4096 bytes so
// that it lives in regular sectors (the padding follows the last EOF and is
// never read); it must fit 126 sectors (one FAT sector).
inline TBytes MakeCompoundFile(TBytes stream, const std::u16string& name = u"Workbook") {
  constexpr std::uint32_t kSector = 512, kFree = 0xFFFFFFFF, kEnd = 0xFFFFFFFE, kFat = 0xFFFFFFFD;
  const std::size_t size = stream.size();
  if (stream.size() < 4096) stream.resize(4096, 0);
  stream.resize((stream.size() + kSector - 1) / kSector * kSector, 0);
  const std::uint32_t dataSectors = static_cast<std::uint32_t>(stream.size() / kSector);

  TBytes file;
  // Header.
  const std::uint8_t signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  file.insert(file.end(), signature, signature + 8);
  file.resize(24, 0);
  Put16(file, 0x003E);
  Put16(file, 0x0003);
  Put16(file, 0xFFFE);
  Put16(file, 9);
  Put16(file, 6);
  file.resize(44, 0);
  Put32(file, 1);      // FAT sectors
  Put32(file, 1);      // first directory sector
  Put32(file, 0);      // transaction signature
  Put32(file, 4096);   // mini stream cutoff
  Put32(file, kEnd);   // first mini FAT sector
  Put32(file, 0);      // mini FAT sectors
  Put32(file, kEnd);   // first DIFAT sector
  Put32(file, 0);      // DIFAT sectors
  Put32(file, 0);      // DIFAT[0]: the FAT is sector 0
  while (file.size() < kSector) Put32(file, kFree);

  // Sector 0: the FAT.
  TBytes fat;
  Put32(fat, kFat);
  Put32(fat, kEnd);
  for (std::uint32_t i = 0; i < dataSectors; ++i) Put32(fat, i + 1 == dataSectors ? kEnd : 2 + i + 1);
  while (fat.size() < kSector) Put32(fat, kFree);
  PutBytes(file, fat);

  // Sector 1: the directory.
  auto entry = [&](const std::u16string& entryName, std::uint8_t type, std::uint32_t child,
                   std::uint32_t start, std::uint64_t entrySize) {
    TBytes e(128, 0);
    for (std::size_t i = 0; i < entryName.size(); ++i) {
      e[2 * i] = static_cast<std::uint8_t>(entryName[i]);
      e[2 * i + 1] = static_cast<std::uint8_t>(entryName[i] >> 8);
    }
    const std::uint16_t nameBytes = entryName.empty() ? 0 : static_cast<std::uint16_t>(2 * (entryName.size() + 1));
    e[64] = static_cast<std::uint8_t>(nameBytes);
    e[65] = static_cast<std::uint8_t>(nameBytes >> 8);
    e[66] = type;
    e[67] = 1;
    auto put32At = [&](std::size_t at, std::uint32_t v) {
      for (int i = 0; i < 4; ++i) e[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    put32At(68, kFree);
    put32At(72, kFree);
    put32At(76, child);
    put32At(116, start);
    put32At(120, static_cast<std::uint32_t>(entrySize));
    put32At(124, static_cast<std::uint32_t>(entrySize >> 32));
    PutBytes(file, e);
  };
  entry(u"Root Entry", 5, 1, kEnd, 0);
  entry(name, 2, kFree, 2, size < 4096 ? 4096 : size);
  entry(u"", 0, kFree, 0, 0);
  entry(u"", 0, kFree, 0, 0);

  PutBytes(file, stream);
  return file;
}

}  // namespace gridport::test
