// Inflation of zlib-format data over zlib, and the zlib error classes.
//
// The zip reader hands TZipInflateStream the deflate data of an entry behind a
// synthetic two-byte zlib header (zip entries carry raw deflate data without
// the zlib header and trailer). The source bytes are read in place: the stream
// never copies its input, it feeds zlib from the caller's memory 64 KiB at a
// time ("refills"), and inflates straight into the caller's buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "workbook/xls_error.h"

struct z_stream_s;

namespace gridport {

// Failures of the zlib streams; derived from the library's general exception.
class EZlibError : public EXLSError {
 public:
  using EXLSError::EXLSError;
};
class ECompressionError : public EZlibError {
 public:
  using EZlibError::EZlibError;
};
class EDecompressionError : public EZlibError {
 public:
  using EZlibError::EZlibError;
};

// The second byte of a zlib header for deflate data written at the level that
// the zip flag bits 1-2 describe (0 normal, 2 maximum, 4 fast, 6 super fast),
// with the check bits making 0x78 * 256 + result a multiple of 31.
std::uint8_t ZlibHeaderFlagForZipFlags(std::uint16_t zip_flags);

class TZipInflateStream {
 public:
  enum class TSeekOrigin { Beginning, Current, End };
  static constexpr std::size_t kInputChunk = 65536;

  // Reads zlib-format data made of header_size bytes at header followed by
  // body_size bytes at body (either may be empty). Neither is owned; both must
  // outlive the stream. With trailer_absent (zip entries) the stream ends where
  // the deflate data ends and the missing Adler-32 trailer is never asked for.
  TZipInflateStream(const std::uint8_t* header, std::size_t header_size, const std::uint8_t* body,
                    std::size_t body_size, bool trailer_absent);
  ~TZipInflateStream();
  TZipInflateStream(const TZipInflateStream&) = delete;
  TZipInflateStream& operator=(const TZipInflateStream&) = delete;

  // Fills buffer with up to count inflated bytes; returns fewer only when the
  // source is exhausted or the deflate data ended. Damaged data throws
  // EDecompressionError("ZLib decompress error").
  std::size_t Read(void* buffer, std::size_t count);

  // Seeking to the current position is a no-op, forward seeks read and
  // discard, a seek to 0 starts over; anything else throws
  // EDecompressionError("Invalid stream operation"). Returns the position.
  std::uint64_t Seek(std::int64_t offset, TSeekOrigin origin);
  [[noreturn]] void Write(const void* buffer, std::size_t count);

  // Inflated bytes delivered so far.
  std::uint64_t Position() const;
  // Source bytes zlib has consumed: what is left of the source is unread input
  // that belongs to whoever reads the source next.
  std::size_t SourcePosition() const;

  // Called each time the input is refilled, with the bytes inflated so far.
  std::function<void(std::uint64_t inflated)> OnProgress;

 private:
  bool Refill();
  void Restart();

  z_stream_s* zs_;
  const std::uint8_t* header_;
  std::size_t header_size_;
  const std::uint8_t* body_;
  std::size_t body_size_;
  std::size_t fed_ = 0;  // source bytes handed to zlib so far (header then body)
  bool trailer_absent_;
  bool ended_ = false;
};

}  // namespace gridport
