#include "openxml/zip_part_buffer.h"

#include <cstring>
#include <new>

namespace gridport {

const std::uint8_t TZipPartBuffer::kEmpty[TZipPartBuffer::kPadding] = {};

void TZipPartBuffer::Clear() {
  data_.reset();
  size_ = 0;
  position_ = 0;
}

std::uint8_t* TZipPartBuffer::Extend(std::size_t count) {
  if (count > SIZE_MAX - kPadding - size_) throw std::bad_alloc();
  std::size_t new_size = size_ + count;
  // make_unique_for_overwrite: the bytes are written once, by the caller;
  // zero-filling a 400 MB part first would touch it twice.
  auto block = std::make_unique_for_overwrite<std::uint8_t[]>(new_size + kPadding);
  if (size_ != 0) std::memcpy(block.get(), data_.get(), size_);
  std::memset(block.get() + new_size, 0, kPadding);
  data_ = std::move(block);
  std::uint8_t* tail = data_.get() + size_;
  size_ = new_size;
  return tail;
}

void TZipPartBuffer::Shrink(std::size_t count) {
  if (count > size_) count = size_;
  size_ -= count;
  if (data_) std::memset(data_.get() + size_, 0, kPadding);
  if (position_ > size_) position_ = size_;
}

}  // namespace gridport
