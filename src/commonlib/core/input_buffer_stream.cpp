#include "commonlib/core/input_buffer_stream.h"

#include <cstring>

IBufferStream::IBufferStream(const void* data, uint32_t size, bool copy) : size_(size) {
  if (size == 0 || data == nullptr) {
    size_ = 0;
    return;
  }
  if (copy) {
    ownedData_.reset(new uint8_t[size]);
    std::memcpy(ownedData_.get(), data, size);
    data_ = ownedData_.get();
  } else {
    data_ = static_cast<const uint8_t*>(data);
  }
}

IBufferStream::~IBufferStream() = default;

int32_t IBufferStream::Read(void* buffer, uint32_t count) {
  if (position_ == size_ || count == 0) return 0;
  // A count beyond INT32_MAX could not be returned.
  if (count > GetRemaining() || count > static_cast<uint32_t>(INT32_MAX)) return -1;
  std::memcpy(buffer, data_ + position_, count);
  position_ += count;
  return static_cast<int32_t>(count);
}

void IBufferStream::Close() {
  ownedData_.reset();
  data_ = nullptr;
  size_ = 0;
  position_ = 0;
}
