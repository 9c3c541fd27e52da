// The fixed records of a zip archive (PKWARE APPNOTE), little-endian on disk.
//
// Each Read* function decodes one record from bytes the caller has already
// bounded: it checks the fixed part and every variable part against the bytes
// that exist and throws EXLSError when a record runs past them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace gridport {

inline constexpr std::uint32_t kZipLocalFileSignature = 0x04034B50;        // "PK" 3 4
inline constexpr std::uint32_t kZipCentralFileSignature = 0x02014B50;      // "PK" 1 2
inline constexpr std::uint32_t kZipEndOfCentralDirSignature = 0x06054B50;  // "PK" 5 6
inline constexpr std::uint32_t kZipDataDescriptorSignature = 0x08074B50;   // "PK" 7 8
inline constexpr std::uint32_t kZip64EndLocatorSignature = 0x07064B50;     // "PK" 6 7

inline constexpr std::size_t kZipEndRecordSize = 22;
inline constexpr std::size_t kZipCentralFileFixedSize = 46;
inline constexpr std::size_t kZipLocalFileFixedSize = 30;
inline constexpr std::size_t kZipDataDescriptorSize = 16;
inline constexpr std::size_t kZip64EndLocatorSize = 20;

inline constexpr std::uint16_t kZipFlagEncrypted = 0x0001;
inline constexpr std::uint16_t kZipFlagLevelMask = 0x0006;
inline constexpr std::uint16_t kZipFlagDataDescriptor = 0x0008;
inline constexpr std::uint32_t kZipAttributeDirectory = 0x10;
inline constexpr std::uint32_t kZipAttributeArchive = 0x20;

inline constexpr std::uint16_t kZipMethodStored = 0;
inline constexpr std::uint16_t kZipMethodDeflated = 8;
inline constexpr std::uint16_t kZipMethodDeflate64 = 9;

// End of central directory record (22 bytes, then the archive comment).
struct TZipEndRecord {
  std::uint32_t Signature = 0;
  std::uint16_t DiskNumber = 0;
  std::uint16_t CentralDirDisk = 0;
  std::uint16_t EntriesOnDisk = 0;
  std::uint16_t EntriesTotal = 0;
  std::uint32_t CentralDirSize = 0;
  std::uint32_t CentralDirOffset = 0;
  std::uint16_t CommentLength = 0;
};

// Central directory file header: 46 fixed bytes, then name, extra field, comment.
struct TCentralDirectoryFile {
  std::uint32_t Signature = 0;
  std::uint16_t VersionMadeBy = 0;
  std::uint16_t VersionNeeded = 0;
  std::uint16_t Flags = 0;
  std::uint16_t Method = 0;
  std::uint32_t DateTime = 0;  // MS-DOS time in the low word, date in the high word
  std::uint32_t Crc32 = 0;
  std::uint32_t CompressedSize = 0;
  std::uint32_t UncompressedSize = 0;
  std::uint16_t NameLength = 0;
  std::uint16_t ExtraLength = 0;
  std::uint16_t CommentLength = 0;
  std::uint16_t DiskNumberStart = 0;
  std::uint16_t InternalAttributes = 0;
  std::uint32_t ExternalAttributes = 0;
  std::uint32_t LocalHeaderOffset = 0;
  std::string Name;     // raw bytes as stored
  std::string Extra;
  std::string Comment;

  // 46 + name + extra + comment lengths.
  std::size_t RecordSize() const {
    return kZipCentralFileFixedSize + NameLength + ExtraLength + CommentLength;
  }
};

// Local file header: 30 fixed bytes, then name and extra field, then the data.
struct TLocalFile {
  std::uint32_t Signature = 0;  // 0 when no valid header was found
  std::uint16_t VersionNeeded = 0;
  std::uint16_t Flags = 0;
  std::uint16_t Method = 0;
  std::uint32_t DateTime = 0;
  std::uint32_t Crc32 = 0;
  std::uint32_t CompressedSize = 0;
  std::uint32_t UncompressedSize = 0;
  std::uint16_t NameLength = 0;
  std::uint16_t ExtraLength = 0;
  std::string Name;
  std::string Extra;

  // Bytes from the signature to the first byte of data.
  std::size_t HeaderSize() const { return kZipLocalFileFixedSize + NameLength + ExtraLength; }
};

// Decoders over bytes [data, data + size); each throws EXLSError when the
// record (with its variable parts) does not fit. The signature is decoded, not checked.
TZipEndRecord ReadZipEndRecord(const std::uint8_t* data, std::size_t size);
TCentralDirectoryFile ReadCentralDirectoryFile(const std::uint8_t* data, std::size_t size);
TLocalFile ReadLocalFile(const std::uint8_t* data, std::size_t size);

// Days since 1899-12-30 (with the time as the fraction) of an MS-DOS time
// (low word) and date (high word). Writers store all-zero or otherwise
// impossible stamps (month 0, hour 25); those give 0 instead of failing.
double ZipDosDateTimeToDays(std::uint32_t dos_date_time);

}  // namespace gridport
