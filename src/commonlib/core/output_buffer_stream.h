#pragma once
// A growing byte buffer: starts at 65535 bytes and doubles when a write would not leave 10 bytes
// spare (room for a varint written in place).
#include <cstdint>
#include <memory>

#include "commonlib/core/base_stream.h"

class OBufferStream : public OBaseStream {
 public:
  static constexpr uint32_t kInitialCapacity = 0xFFFF;
  static constexpr uint32_t kCapacityAfterClose = 0x80000;
  static constexpr uint32_t kSpare = 10;

  OBufferStream();
  ~OBufferStream() override;
  OBufferStream(const OBufferStream&) = delete;
  OBufferStream& operator=(const OBufferStream&) = delete;

  // Appends all `count` bytes; -1 (nothing written) when the buffer cannot grow that far.
  int32_t Write(const void* buffer, uint32_t count) override;
  // Frees the buffer; a later write starts a new one.
  void Close() override;
  void Finish() override { Close(); }

  const uint8_t* GetData() const { return data_.get(); }
  uint32_t GetLength() const { return length_; }
  uint32_t GetCapacity() const { return capacity_; }

 protected:
  // Grows the buffer until `count` more bytes and the spare fit.
  bool MakeRoom(uint32_t count);
  uint32_t FreeSpace() const { return capacity_ - length_; }
  // Writable end of the buffer; Commit accounts for bytes put there.
  uint8_t* End() { return data_.get() + length_; }
  void Commit(uint32_t count) { length_ += count; }

 private:
  std::unique_ptr<uint8_t[]> data_;
  uint32_t capacity_ = 0;
  uint32_t length_ = 0;
};
