// Little-endian access to bytes read from a file.
//
// Two tiers, as file formats need them: TByteReader is a cursor whose every
// getter checks the bytes that remain and throws EXLSError when a field would
// run past the end; the free functions GetU16/GetU32/... are unchecked and are
// for fixed-size structures whose length was checked once before decoding.
// Values are assembled with shifts, never by casting pointers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "workbook/xls_error.h"

namespace gridport {

inline std::uint16_t GetU16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t GetU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t GetU64(const std::uint8_t* p) {
  return static_cast<std::uint64_t>(GetU32(p)) | (static_cast<std::uint64_t>(GetU32(p + 4)) << 32);
}
inline std::int16_t GetI16(const std::uint8_t* p) { return static_cast<std::int16_t>(GetU16(p)); }
inline std::int32_t GetI32(const std::uint8_t* p) { return static_cast<std::int32_t>(GetU32(p)); }
inline double GetDouble(const std::uint8_t* p) {
  std::uint64_t bits = GetU64(p);
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// A checked cursor over a byte range it does not own. The range must outlive it.
class TByteReader {
 public:
  TByteReader(const std::uint8_t* data, std::size_t size, std::string_view what = "record")
      : data_(data), size_(size), what_(what) {}

  std::size_t Position() const { return pos_; }
  std::size_t Size() const { return size_; }
  std::size_t Remaining() const { return size_ - pos_; }
  const std::uint8_t* Current() const { return data_ + pos_; }

  // Throws unless count more bytes exist.
  void Require(std::size_t count) const {
    if (count > size_ - pos_) Truncated(count);
  }
  void Skip(std::size_t count) {
    Require(count);
    pos_ += count;
  }
  void Seek(std::size_t position) {
    if (position > size_) Truncated(position - pos_);
    pos_ = position;
  }
  std::uint8_t U8() {
    Require(1);
    return data_[pos_++];
  }
  std::uint16_t U16() { return Take<2, std::uint16_t>(GetU16); }
  std::uint32_t U32() { return Take<4, std::uint32_t>(GetU32); }
  std::uint64_t U64() { return Take<8, std::uint64_t>(GetU64); }
  std::int16_t I16() { return static_cast<std::int16_t>(U16()); }
  std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
  double Double() { return Take<8, double>(GetDouble); }
  // Returns a pointer to count bytes and steps over them.
  const std::uint8_t* Bytes(std::size_t count) {
    Require(count);
    const std::uint8_t* p = data_ + pos_;
    pos_ += count;
    return p;
  }

 private:
  template <std::size_t N, typename T>
  T Take(T (*get)(const std::uint8_t*)) {
    Require(N);
    T value = get(data_ + pos_);
    pos_ += N;
    return value;
  }
  [[noreturn]] void Truncated(std::size_t wanted) const {
    throw EXLSError("Unexpected end of " + std::string(what_) + " data: " + std::to_string(wanted) +
                    " bytes needed at offset " + std::to_string(pos_) + ", " +
                    std::to_string(size_ - pos_) + " left");
  }

  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
  std::string_view what_;
};

}  // namespace gridport
