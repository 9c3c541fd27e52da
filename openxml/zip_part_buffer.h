// The owned byte buffer that a zip entry is extracted into (the "memory stream"
// of an extracted part).
//
// An extracted part is one heap block of exactly its size plus kPadding zero
// bytes behind the last byte. The padding lets a scanner over the part run on
// a sentinel (it may read up to kPadding bytes past Size() and will find zeros
// there) instead of testing the end on every byte. The padding is zero after
// every operation of this class; writers through Extend() fill only the bytes
// they were handed.
//
// Position() is a read cursor for consumers that want stream-like use; the
// archive sets it to 0 after it extracted a part. Pointers into the buffer
// stay valid until the next Extend(), Clear() or the buffer's destruction.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace gridport {

class TZipPartBuffer {
 public:
  // Zero bytes guaranteed past the end of the data.
  static constexpr std::size_t kPadding = 64;

  TZipPartBuffer() = default;
  TZipPartBuffer(TZipPartBuffer&&) noexcept = default;
  TZipPartBuffer& operator=(TZipPartBuffer&&) noexcept = default;

  // Never null: an empty buffer points at kPadding zero bytes.
  const std::uint8_t* Data() const { return data_ ? data_.get() : kEmpty; }
  std::size_t Size() const { return size_; }
  bool Empty() const { return size_ == 0; }
  std::string_view View() const {
    return {reinterpret_cast<const char*>(Data()), size_};
  }

  std::size_t Position() const { return position_; }
  // Positions past the end are clamped to Size().
  void SetPosition(std::size_t position) { position_ = position < size_ ? position : size_; }

  // Frees the data; Size() and Position() become 0.
  void Clear();

  // Appends count bytes whose contents the caller writes through the returned
  // pointer (they are uninitialised until then). The first Extend of an empty
  // buffer allocates exactly count + kPadding bytes; a later one moves the data
  // into a new block. The padding behind the new end is zeroed.
  std::uint8_t* Extend(std::size_t count);

  // Drops bytes from the end (count <= Size()), re-zeroing the padding.
  void Shrink(std::size_t count);

 private:
  static const std::uint8_t kEmpty[kPadding];

  std::unique_ptr<std::uint8_t[]> data_;
  std::size_t size_ = 0;
  std::size_t position_ = 0;
};

}  // namespace gridport
