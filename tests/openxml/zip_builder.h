// Builds zip archives byte by byte for tests, including archives no writer
// would produce (wrong sizes, odd names, multi-disk and zip64 markers).
#pragma once

#include <zlib.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace gridport::test {

// Raw deflate (no zlib header or trailer), as zip entries hold it, ended by the given flush:
// Z_FINISH closes the stream, Z_FULL_FLUSH leaves it open at a byte boundary.
inline std::string RawDeflateFlushed(const std::string& data, int level, int flush) {
  z_stream zs{};
  if (deflateInit2(&zs, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::runtime_error("deflateInit2");
  std::string out(deflateBound(&zs, data.size()) + 16, '\0');
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  zs.avail_in = static_cast<uInt>(data.size());
  zs.next_out = reinterpret_cast<Bytef*>(out.data());
  zs.avail_out = static_cast<uInt>(out.size());
  if (deflate(&zs, flush) != (flush == Z_FINISH ? Z_STREAM_END : Z_OK)) throw std::runtime_error("deflate");
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return out;
}

inline std::string RawDeflate(const std::string& data, int level = Z_DEFAULT_COMPRESSION) {
  return RawDeflateFlushed(data, level, Z_FINISH);
}

// Raw deflate of good, flushed to a byte boundary, then a final block of the reserved type 3:
// zlib inflates all of good and then fails.
inline std::string RawDeflateThenDamage(const std::string& good) {
  return RawDeflateFlushed(good, Z_DEFAULT_COMPRESSION, Z_FULL_FLUSH) + '\x07';
}

inline std::uint32_t Crc32(const std::string& data) {
  return static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

inline void PutU16(std::string& s, std::uint32_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>((v >> 8) & 0xFF);
}
inline void PutU32(std::string& s, std::uint32_t v) {
  PutU16(s, v & 0xFFFF);
  PutU16(s, v >> 16);
}

struct TTestEntry {
  std::string name;
  std::string content;     // uncompressed bytes
  std::uint16_t method = 8;
  std::uint16_t flags = 0;
  bool descriptor = false;  // sizes and CRC only in a data descriptor (flag bit 3)
  std::uint32_t external_attributes = 0x20;
  std::uint32_t dos_date_time = 0x58B16000;  // 2024-05-17 12:00:00
  long local_offset = -1;                     // central record's local-header offset; -1: actual
  // Filled by Build from content; tests may overwrite them through Tweak.
  std::string data;  // bytes stored after the local header
  std::uint32_t crc = 0, compressed = 0, uncompressed = 0;
};

class TZipBuilder {
 public:
  TTestEntry& Add(std::string name, std::string content, std::uint16_t method = 8) {
    TTestEntry e;
    e.name = std::move(name);
    e.content = std::move(content);
    e.method = method;
    e.data = method == 8 ? RawDeflate(e.content) : e.content;
    e.crc = Crc32(e.content);
    e.compressed = static_cast<std::uint32_t>(e.data.size());
    e.uncompressed = static_cast<std::uint32_t>(e.content.size());
    entries.push_back(e);
    return entries.back();
  }

  std::vector<TTestEntry> entries;
  std::string comment;
  // End record fields; -1 means "as built".
  long disk = 0, central_disk = 0, on_disk = -1, total = -1, central_offset = -1;
  std::string before_end_record;  // bytes placed between the directory and the end record
  std::string after_comment;      // bytes appended after the comment (junk)

  std::string Build() const {
    std::string out;
    std::vector<std::uint32_t> offsets;
    for (const TTestEntry& e : entries) {
      offsets.push_back(static_cast<std::uint32_t>(out.size()));
      const std::uint16_t flags = e.flags | (e.descriptor ? 0x0008 : 0);
      PutU32(out, 0x04034B50);
      PutU16(out, 20);
      PutU16(out, flags);
      PutU16(out, e.method);
      PutU32(out, e.dos_date_time);
      PutU32(out, e.descriptor ? 0 : e.crc);
      PutU32(out, e.descriptor ? 0 : e.compressed);
      PutU32(out, e.descriptor ? 0 : e.uncompressed);
      PutU16(out, static_cast<std::uint32_t>(e.name.size()));
      PutU16(out, 0);
      out += e.name;
      out += e.data;
      if (e.descriptor) {
        PutU32(out, 0x08074B50);
        PutU32(out, e.crc);
        PutU32(out, e.compressed);
        PutU32(out, e.uncompressed);
      }
    }
    const std::uint32_t directory = static_cast<std::uint32_t>(out.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
      const TTestEntry& e = entries[i];
      PutU32(out, 0x02014B50);
      PutU16(out, 20);
      PutU16(out, 20);
      PutU16(out, e.flags | (e.descriptor ? 0x0008 : 0));
      PutU16(out, e.method);
      PutU32(out, e.dos_date_time);
      PutU32(out, e.crc);
      PutU32(out, e.compressed);
      PutU32(out, e.uncompressed);
      PutU16(out, static_cast<std::uint32_t>(e.name.size()));
      PutU16(out, 0);
      PutU16(out, 0);
      PutU16(out, 0);
      PutU16(out, 0);
      PutU32(out, e.external_attributes);
      PutU32(out, e.local_offset >= 0 ? static_cast<std::uint32_t>(e.local_offset) : offsets[i]);
      out += e.name;
    }
    const std::uint32_t directory_size = static_cast<std::uint32_t>(out.size()) - directory;
    out += before_end_record;
    PutU32(out, 0x06054B50);
    PutU16(out, static_cast<std::uint32_t>(disk));
    PutU16(out, static_cast<std::uint32_t>(central_disk));
    PutU16(out, static_cast<std::uint32_t>(on_disk >= 0 ? on_disk : static_cast<long>(entries.size())));
    PutU16(out, static_cast<std::uint32_t>(total >= 0 ? total : static_cast<long>(entries.size())));
    PutU32(out, directory_size);
    PutU32(out, central_offset >= 0 ? static_cast<std::uint32_t>(central_offset) : directory);
    PutU16(out, static_cast<std::uint32_t>(comment.size()));
    out += comment;
    out += after_comment;
    return out;
  }
};

}  // namespace gridport::test
