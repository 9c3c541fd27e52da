// Builds compound files byte by byte for tests: any sector size, streams in
// regular sectors or in the mini stream, extra FAT sectors to force a DIFAT
// chain, and helpers to corrupt the result on purpose.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace gridport::test {

struct TCfbElement {
  std::u16string Name;
  std::vector<std::uint8_t> Data;
  bool Storage = false;
};

struct TCfbFile {
  std::vector<std::uint8_t> Bytes;
  unsigned Shift = 9;
  std::vector<std::uint32_t> StartSector;  // per element, regular or mini sector
  std::uint32_t DirectorySector = 0;

  std::uint64_t SectorOffset(std::uint32_t sector) const {
    return (static_cast<std::uint64_t>(sector) + 1) << Shift;
  }
  void Put32(std::uint64_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) Bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
  }
  std::uint32_t Get32(std::uint64_t offset) const {
    return Bytes[offset] | (Bytes[offset + 1] << 8) | (Bytes[offset + 2] << 16) |
           (static_cast<std::uint32_t>(Bytes[offset + 3]) << 24);
  }
  // Rewrites the FAT entry of a sector (the FAT sector must be in the header's list).
  void SetFat(std::uint32_t sector, std::uint32_t next) {
    std::uint32_t per = (1u << Shift) / 4;
    std::uint32_t fat_sector = Get32(76 + 4 * (sector / per));
    Put32(SectorOffset(fat_sector) + 4 * (sector % per), next);
  }
  // Offset of directory entry i (entries 0..3 of the first directory sector; more
  // with 4096-byte sectors).
  std::uint64_t DirEntry(std::uint32_t i) const { return SectorOffset(DirectorySector) + 128 * i; }
};

inline std::vector<std::uint8_t> Bytes(const std::string& text) {
  return std::vector<std::uint8_t>(text.begin(), text.end());
}

// Lays out: FAT sectors, DIFAT sectors, directory, mini FAT, mini stream, then
// the regular streams. Elements become root children linked as a chain of
// right siblings.
inline TCfbFile BuildCfb(const std::vector<TCfbElement>& elements, unsigned shift = 9,
                         std::uint32_t extra_fat_sectors = 0) {
  constexpr std::uint32_t kEnd = 0xFFFFFFFE, kFree = 0xFFFFFFFF, kFatSect = 0xFFFFFFFD,
                          kDifSect = 0xFFFFFFFC, kNone = 0xFFFFFFFF;
  const std::uint32_t size = 1u << shift;
  const std::uint32_t per = size / 4;
  TCfbFile file;
  file.Shift = shift;

  // Mini stream content and mini FAT.
  std::vector<std::uint8_t> mini;
  std::vector<std::uint32_t> mini_fat;
  std::vector<std::uint32_t> mini_start(elements.size(), kEnd);
  for (std::size_t e = 0; e < elements.size(); ++e) {
    const auto& data = elements[e].Data;
    if (elements[e].Storage || data.empty() || data.size() >= 4096) continue;
    std::uint32_t first = static_cast<std::uint32_t>(mini_fat.size());
    std::uint32_t count = static_cast<std::uint32_t>((data.size() + 63) / 64);
    for (std::uint32_t k = 0; k < count; ++k) mini_fat.push_back(k + 1 < count ? first + k + 1 : kEnd);
    mini_start[e] = first;
    mini.insert(mini.end(), data.begin(), data.end());
    mini.resize(mini_fat.size() * 64, 0);
  }
  const std::uint32_t entries = static_cast<std::uint32_t>(elements.size()) + 1;
  const std::uint32_t dir_sectors = (entries * 128 + size - 1) / size;
  const std::uint32_t mini_fat_sectors = static_cast<std::uint32_t>((mini_fat.size() * 4 + size - 1) / size);
  const std::uint32_t mini_sectors = static_cast<std::uint32_t>((mini.size() + size - 1) / size);
  std::uint32_t data_sectors = dir_sectors + mini_fat_sectors + mini_sectors;
  for (const auto& element : elements)
    if (!element.Storage && element.Data.size() >= 4096)
      data_sectors += static_cast<std::uint32_t>((element.Data.size() + size - 1) / size);

  std::uint32_t fat_sectors = 1, difat_sectors = 0;
  while (true) {
    difat_sectors = fat_sectors > 109 ? (fat_sectors - 109 + per - 2) / (per - 1) : 0;
    if (std::uint64_t{fat_sectors} * per >= data_sectors + fat_sectors + difat_sectors) break;
    ++fat_sectors;
  }
  fat_sectors += extra_fat_sectors;
  difat_sectors = fat_sectors > 109 ? (fat_sectors - 109 + per - 2) / (per - 1) : 0;
  const std::uint32_t total = fat_sectors + difat_sectors + data_sectors;

  std::vector<std::uint32_t> fat(std::size_t{fat_sectors} * per, kFree);
  std::vector<std::vector<std::uint8_t>> sectors(total, std::vector<std::uint8_t>(size, 0));
  std::uint32_t next = 0;
  for (std::uint32_t i = 0; i < fat_sectors; ++i) fat[next++] = kFatSect;
  const std::uint32_t first_difat = difat_sectors ? next : kEnd;
  for (std::uint32_t i = 0; i < difat_sectors; ++i) fat[next++] = kDifSect;
  auto chain = [&](std::uint32_t count) {
    std::uint32_t first = next;
    for (std::uint32_t k = 0; k < count; ++k, ++next) fat[next] = k + 1 < count ? next + 1 : kEnd;
    return count ? first : kEnd;
  };
  auto put = [&](std::uint32_t first, const std::uint8_t* data, std::size_t length) {
    for (std::size_t k = 0; k < length; ++k) sectors[first + k / size][k % size] = data[k];
  };
  const std::uint32_t dir_first = chain(dir_sectors);
  file.DirectorySector = dir_first;
  const std::uint32_t mini_fat_first = chain(mini_fat_sectors);
  std::vector<std::uint8_t> mini_fat_bytes(mini_fat_sectors * size, 0xFF);
  for (std::size_t k = 0; k < mini_fat.size(); ++k)
    for (int b = 0; b < 4; ++b) mini_fat_bytes[4 * k + b] = static_cast<std::uint8_t>(mini_fat[k] >> (8 * b));
  if (mini_fat_sectors) put(mini_fat_first, mini_fat_bytes.data(), mini_fat_bytes.size());
  const std::uint32_t mini_first = chain(mini_sectors);
  if (mini_sectors) put(mini_first, mini.data(), mini.size());
  for (std::size_t e = 0; e < elements.size(); ++e) {
    const auto& data = elements[e].Data;
    if (!elements[e].Storage && data.size() >= 4096) {
      std::uint32_t first = chain(static_cast<std::uint32_t>((data.size() + size - 1) / size));
      put(first, data.data(), data.size());
      file.StartSector.push_back(first);
    } else {
      file.StartSector.push_back(mini_start[e]);
    }
  }

  // Directory: root, then the elements as a chain of right siblings.
  std::vector<std::uint8_t> dir(std::size_t{dir_sectors} * size, 0);
  auto entry = [&](std::uint32_t index, const std::u16string& name, std::uint8_t type,
                   std::uint32_t right, std::uint32_t child, std::uint32_t start, std::uint64_t length) {
    std::uint8_t* p = dir.data() + 128 * index;
    for (std::size_t k = 0; k < name.size(); ++k) {
      p[2 * k] = static_cast<std::uint8_t>(name[k]);
      p[2 * k + 1] = static_cast<std::uint8_t>(name[k] >> 8);
    }
    std::uint16_t name_bytes = static_cast<std::uint16_t>(2 * name.size() + 2);
    p[64] = static_cast<std::uint8_t>(name_bytes);
    p[65] = static_cast<std::uint8_t>(name_bytes >> 8);
    p[66] = type;
    p[67] = 1;  // black
    auto put32 = [&](int at, std::uint32_t value) {
      for (int b = 0; b < 4; ++b) p[at + b] = static_cast<std::uint8_t>(value >> (8 * b));
    };
    put32(68, kNone);
    put32(72, right);
    put32(76, child);
    put32(116, start);
    put32(120, static_cast<std::uint32_t>(length));
    put32(124, static_cast<std::uint32_t>(length >> 32));
  };
  entry(0, u"Root Entry", 5, kNone, elements.empty() ? kNone : 1, mini_first, mini.size());
  for (std::uint32_t e = 0; e < elements.size(); ++e) {
    const auto& element = elements[e];
    std::uint32_t right = e + 1 < elements.size() ? e + 2 : kNone;
    entry(e + 1, element.Name, element.Storage ? 1 : 2, right, kNone,
          element.Storage ? 0 : file.StartSector[e], element.Storage ? 0 : element.Data.size());
  }
  for (std::uint32_t i = elements.size() + 1; i < dir.size() / 128; ++i) {
    std::uint8_t* p = dir.data() + 128 * i;
    std::memset(p + 68, 0xFF, 12);
  }
  put(dir_first, dir.data(), dir.size());

  // FAT sectors and DIFAT sectors.
  for (std::uint32_t i = 0; i < fat_sectors; ++i)
    for (std::uint32_t k = 0; k < per; ++k)
      for (int b = 0; b < 4; ++b) sectors[i][4 * k + b] = static_cast<std::uint8_t>(fat[i * per + k] >> (8 * b));
  std::vector<std::uint32_t> difat_entries;
  for (std::uint32_t i = 109; i < fat_sectors; ++i) difat_entries.push_back(i);
  for (std::uint32_t d = 0; d < difat_sectors; ++d) {
    auto& sector = sectors[fat_sectors + d];
    std::memset(sector.data(), 0xFF, size);
    for (std::uint32_t k = 0; k < per - 1; ++k) {
      std::size_t at = std::size_t{d} * (per - 1) + k;
      if (at >= difat_entries.size()) break;
      for (int b = 0; b < 4; ++b) sector[4 * k + b] = static_cast<std::uint8_t>(difat_entries[at] >> (8 * b));
    }
    std::uint32_t link = d + 1 < difat_sectors ? fat_sectors + d + 1 : kEnd;
    for (int b = 0; b < 4; ++b) sector[4 * (per - 1) + b] = static_cast<std::uint8_t>(link >> (8 * b));
  }

  // Header.
  file.Bytes.assign(size, 0);
  const std::uint8_t signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  std::memcpy(file.Bytes.data(), signature, 8);
  file.Put32(24, 0x003E | ((shift == 9 ? 3u : 4u) << 16));
  file.Put32(28, 0xFFFE | (shift << 16));
  file.Put32(32, 6);
  file.Put32(40, shift == 12 ? dir_sectors : 0);
  file.Put32(44, fat_sectors);
  file.Put32(48, dir_first);
  file.Put32(56, 4096);
  file.Put32(60, mini_fat_sectors ? mini_fat_first : kEnd);
  file.Put32(64, mini_fat_sectors);
  file.Put32(68, first_difat);
  file.Put32(72, difat_sectors);
  for (std::uint32_t i = 0; i < 109; ++i) file.Put32(76 + 4 * i, i < fat_sectors ? i : kFree);
  for (const auto& sector : sectors) file.Bytes.insert(file.Bytes.end(), sector.begin(), sector.end());
  return file;
}

}  // namespace gridport::test
