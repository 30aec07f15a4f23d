#pragma once
// The two stream interfaces: bytes read from a source, bytes written to a sink. Buffers in
// memory implement both (buffer_stream); the download engine's data-file writer is an output one.
#include <cstdint>

class IBaseStream {
 public:
  virtual ~IBaseStream() = default;
  // `count` bytes into `buffer`: returns count, 0 at the end, -1 when fewer remain.
  virtual int32_t Read(void* buffer, uint32_t count) = 0;
  virtual uint64_t GetSize() = 0;
  virtual void Close() = 0;
};

class OBaseStream {
 public:
  virtual ~OBaseStream() = default;
  // Returns the number of bytes taken, or -1.
  virtual int32_t Write(const void* buffer, uint32_t count) = 0;
  virtual void Close() = 0;
  virtual void Finish() = 0;
  // The code of the last failed write, for log lines; 0 when the stream keeps none.
  virtual int32_t ErrorCode() const { return 0; }
};
