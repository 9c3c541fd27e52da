#include "openxml/zip_records.h"

#include "workbook/byte_view.h"

namespace gridport {
namespace {

std::string TakeString(TByteReader& reader, std::size_t length) {
  const std::uint8_t* p = reader.Bytes(length);
  return std::string(reinterpret_cast<const char*>(p), length);
}

// Days from 1899-12-30 to the given civil date (proleptic Gregorian).
long DaysFromEpoch(int year, int month, int day) {
  // Days from 0000-03-01 style computation (H. Hinnant's days_from_civil).
  year -= month <= 2;
  const long era = year / 400;
  const long yoe = year - era * 400;
  const long doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const long days_since_1970 = era * 146097 + doe - 719468;
  return days_since_1970 + 25569;  // 1970-01-01 is day 25569 after 1899-12-30
}

}  // namespace

TZipEndRecord ReadZipEndRecord(const std::uint8_t* data, std::size_t size) {
  TByteReader r(data, size, "zip end of central directory");
  TZipEndRecord e;
  r.Require(kZipEndRecordSize);
  e.Signature = r.U32();
  e.DiskNumber = r.U16();
  e.CentralDirDisk = r.U16();
  e.EntriesOnDisk = r.U16();
  e.EntriesTotal = r.U16();
  e.CentralDirSize = r.U32();
  e.CentralDirOffset = r.U32();
  e.CommentLength = r.U16();
  return e;
}

TCentralDirectoryFile ReadCentralDirectoryFile(const std::uint8_t* data, std::size_t size) {
  TByteReader r(data, size, "zip central directory");
  TCentralDirectoryFile c;
  r.Require(kZipCentralFileFixedSize);
  c.Signature = r.U32();
  c.VersionMadeBy = r.U16();
  c.VersionNeeded = r.U16();
  c.Flags = r.U16();
  c.Method = r.U16();
  c.DateTime = r.U32();
  c.Crc32 = r.U32();
  c.CompressedSize = r.U32();
  c.UncompressedSize = r.U32();
  c.NameLength = r.U16();
  c.ExtraLength = r.U16();
  c.CommentLength = r.U16();
  c.DiskNumberStart = r.U16();
  c.InternalAttributes = r.U16();
  c.ExternalAttributes = r.U32();
  c.LocalHeaderOffset = r.U32();
  r.Require(static_cast<std::size_t>(c.NameLength) + c.ExtraLength + c.CommentLength);
  c.Name = TakeString(r, c.NameLength);
  c.Extra = TakeString(r, c.ExtraLength);
  c.Comment = TakeString(r, c.CommentLength);
  return c;
}

TLocalFile ReadLocalFile(const std::uint8_t* data, std::size_t size) {
  TByteReader r(data, size, "zip local header");
  TLocalFile l;
  r.Require(kZipLocalFileFixedSize);
  l.Signature = r.U32();
  l.VersionNeeded = r.U16();
  l.Flags = r.U16();
  l.Method = r.U16();
  l.DateTime = r.U32();
  l.Crc32 = r.U32();
  l.CompressedSize = r.U32();
  l.UncompressedSize = r.U32();
  l.NameLength = r.U16();
  l.ExtraLength = r.U16();
  r.Require(static_cast<std::size_t>(l.NameLength) + l.ExtraLength);
  l.Name = TakeString(r, l.NameLength);
  l.Extra = TakeString(r, l.ExtraLength);
  return l;
}

double ZipDosDateTimeToDays(std::uint32_t dos_date_time) {
  const unsigned time = dos_date_time & 0xFFFF;
  const unsigned date = dos_date_time >> 16;
  const int year = 1980 + static_cast<int>(date >> 9);
  const int month = static_cast<int>((date >> 5) & 0x0F);
  const int day = static_cast<int>(date & 0x1F);
  const int hour = static_cast<int>(time >> 11);
  const int minute = static_cast<int>((time >> 5) & 0x3F);
  const int second = static_cast<int>((time & 0x1F) * 2);
  static constexpr int kMonthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12 || day < 1) return 0;
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  const int month_days = kMonthDays[month - 1] + (month == 2 && leap ? 1 : 0);
  if (day > month_days || hour > 23 || minute > 59 || second > 59) return 0;
  return static_cast<double>(DaysFromEpoch(year, month, day)) +
         (hour * 3600 + minute * 60 + second) / 86400.0;
}

}  // namespace gridport
