#include "commonlib/core/output_buffer_stream.h"

#include <cstring>
#include <utility>

OBufferStream::OBufferStream() : data_(new uint8_t[kInitialCapacity]), capacity_(kInitialCapacity) {}

OBufferStream::~OBufferStream() = default;

bool OBufferStream::MakeRoom(uint32_t count) {
  const uint64_t needed = static_cast<uint64_t>(length_) + count + kSpare;
  if (needed <= capacity_) return true;
  uint64_t capacity = capacity_ != 0 ? capacity_ : kCapacityAfterClose;
  while (capacity < needed) capacity *= 2;
  if (capacity > UINT32_MAX) return false;  // lengths are 32-bit
  std::unique_ptr<uint8_t[]> grown(new uint8_t[capacity]);
  if (length_ != 0) std::memcpy(grown.get(), data_.get(), length_);
  data_ = std::move(grown);
  capacity_ = static_cast<uint32_t>(capacity);
  return true;
}

int32_t OBufferStream::Write(const void* buffer, uint32_t count) {
  if (count > static_cast<uint32_t>(INT32_MAX) || !MakeRoom(count)) return -1;
  if (count != 0) std::memcpy(End(), buffer, count);
  Commit(count);
  return static_cast<int32_t>(count);
}

void OBufferStream::Close() {
  data_.reset();
  capacity_ = 0;
  length_ = 0;
}
