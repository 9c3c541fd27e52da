#include "openxml/zip_inflate_stream.h"

#include <zlib.h>

#include <algorithm>
#include <memory>

namespace gridport {
namespace {

constexpr const char* kDecompressError = "ZLib decompress error";
constexpr const char* kInvalidOperation = "Invalid stream operation";

}  // namespace

std::uint8_t ZlibHeaderFlagForZipFlags(std::uint16_t zip_flags) {
  // zip level bits 1-2 -> zlib FLEVEL (bits 6-7): normal 2, maximum 3, fast 1, super fast 0.
  static constexpr std::uint8_t kLevel[4] = {2, 3, 1, 0};
  const unsigned flag = kLevel[(zip_flags >> 1) & 3] << 6;
  const unsigned check = 31 - (0x78u * 256 + flag) % 31;
  return static_cast<std::uint8_t>(flag | (check % 31));
}

TZipInflateStream::TZipInflateStream(const std::uint8_t* header, std::size_t header_size,
                                     const std::uint8_t* body, std::size_t body_size,
                                     bool trailer_absent)
    : zs_(new z_stream_s()),
      header_(header),
      header_size_(header_size),
      body_(body),
      body_size_(body_size),
      trailer_absent_(trailer_absent) {
  // Default 15-bit window; the zlib header in front of the data says the same.
  if (inflateInit(zs_) != Z_OK) {
    delete zs_;
    throw EDecompressionError(kDecompressError);
  }
  // Without a trailer there is nothing to compare an Adler-32 with: do not
  // compute it (it costs about a tenth of the inflate time), and let zlib take
  // whatever follows the deflate data as an unchecked trailer.
  if (trailer_absent_) inflateValidate(zs_, 0);
}

TZipInflateStream::~TZipInflateStream() {
  inflateEnd(zs_);
  delete zs_;
}

bool TZipInflateStream::Refill() {
  const std::size_t total = header_size_ + body_size_;
  if (fed_ >= total) return false;
  // The header is handed over on its own; the body in 64 KiB steps.
  const std::uint8_t* from;
  std::size_t count;
  if (fed_ < header_size_) {
    from = header_ + fed_;
    count = header_size_ - fed_;
  } else {
    const std::size_t offset = fed_ - header_size_;
    from = body_ + offset;
    count = std::min(kInputChunk, body_size_ - offset);
  }
  zs_->next_in = const_cast<Bytef*>(from);
  zs_->avail_in = static_cast<uInt>(count);
  fed_ += count;
  if (OnProgress) OnProgress(zs_->total_out);
  return true;
}

std::size_t TZipInflateStream::Read(void* buffer, std::size_t count) {
  auto* out = static_cast<std::uint8_t*>(buffer);
  std::size_t produced = 0;
  while (produced < count && !ended_) {
    // With all input consumed zlib may still hold output (the rest of a match that did not fit
    // the previous read's room): inflate once more without input before giving up.
    const bool source_dry = zs_->avail_in == 0 && !Refill();
    const std::size_t room = std::min<std::size_t>(count - produced, 1u << 30);
    zs_->next_out = out + produced;
    zs_->avail_out = static_cast<uInt>(room);
    const int result = inflate(zs_, Z_NO_FLUSH);
    const std::size_t got = room - zs_->avail_out;
    produced += got;
    if (result == Z_STREAM_END) {
      ended_ = true;
    } else if (result == Z_BUF_ERROR) {
      // No progress possible with input left: only when output room is 0,
      // which the loop condition excludes; treat as damaged data.
      if (zs_->avail_in != 0) throw EDecompressionError(kDecompressError);
      if (source_dry) break;
    } else if (result < 0 || result == Z_NEED_DICT) {
      // Damage met while draining counts as damage, as in a read with room for all.
      throw EDecompressionError(kDecompressError);
    } else if (source_dry && got == 0) {
      break;
    }
  }
  return produced;
}

void TZipInflateStream::Restart() {
  if (inflateReset(zs_) != Z_OK) throw EDecompressionError(kDecompressError);
  if (trailer_absent_) inflateValidate(zs_, 0);
  zs_->next_in = nullptr;
  zs_->avail_in = 0;
  fed_ = 0;
  ended_ = false;
}

std::uint64_t TZipInflateStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  const std::uint64_t position = zs_->total_out;
  if (origin == TSeekOrigin::Beginning && offset == 0) {
    Restart();
    return 0;
  }
  std::int64_t forward;
  if (origin == TSeekOrigin::Current && offset >= 0) {
    forward = offset;
  } else if (origin == TSeekOrigin::Beginning && offset >= 0 &&
             static_cast<std::uint64_t>(offset) >= position) {
    forward = static_cast<std::int64_t>(static_cast<std::uint64_t>(offset) - position);
  } else {
    throw EDecompressionError(kInvalidOperation);
  }
  std::uint8_t scratch[4096];
  while (forward > 0) {
    const std::size_t step = static_cast<std::size_t>(std::min<std::int64_t>(forward, sizeof scratch));
    const std::size_t got = Read(scratch, step);
    forward -= static_cast<std::int64_t>(got);
    if (got < step) break;
  }
  return zs_->total_out;
}

void TZipInflateStream::Write(const void*, std::size_t) {
  throw EDecompressionError(kInvalidOperation);
}

std::uint64_t TZipInflateStream::Position() const { return zs_->total_out; }

std::size_t TZipInflateStream::SourcePosition() const { return fed_ - zs_->avail_in; }

}  // namespace gridport
