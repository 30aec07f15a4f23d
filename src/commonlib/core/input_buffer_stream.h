#pragma once
// Reads a block of bytes from front to back, either in place (the caller keeps the bytes alive)
// or from a copy of its own.
#include <cstdint>
#include <memory>

#include "commonlib/core/base_stream.h"

class IBufferStream : public IBaseStream {
 public:
  // With `copy` false the stream reads `data` in place.
  IBufferStream(const void* data, uint32_t size, bool copy);
  ~IBufferStream() override;
  IBufferStream(const IBufferStream&) = delete;
  IBufferStream& operator=(const IBufferStream&) = delete;

  // 0 when nothing is left (for a count of 0 too), -1 when fewer than `count` bytes are left
  // (nothing is consumed), else `count`.
  int32_t Read(void* buffer, uint32_t count) override;
  uint64_t GetSize() override { return size_; }
  // Frees the stream's own copy; nothing is left to read afterwards.
  void Close() override;

  uint32_t GetPosition() const { return position_; }
  uint32_t GetRemaining() const { return size_ - position_; }

 private:
  const uint8_t* data_ = nullptr;
  uint32_t size_ = 0;
  uint32_t position_ = 0;
  std::unique_ptr<uint8_t[]> ownedData_;  // set when the stream made its own copy
};
