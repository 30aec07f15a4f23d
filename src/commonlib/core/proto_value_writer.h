#pragma once
// Writes values in their binary form: a kind byte, then the payload; varint lengths and counts;
// text as UTF-16 code units, low byte first; map entries in ascending key order.
#include <cstdint>

#include "commonlib/core/output_buffer_stream.h"
#include "commonlib/core/proto_value.h"

class OProtoValueStream : public OBufferStream {
 public:
  // Bytes written, or -1 for a value that would not read back as itself (nested deeper than
  // kProtoValueMaxDepth, or a map key holding a zero character, which readers cut there) or one
  // too large for the buffer. A failed write may leave part of the value.
  int32_t WriteValue(const ProtoValue& value);
  // Base-128 varint, least significant group first: 1 to 10 bytes. Returns the bytes written.
  int32_t WriteVarint(uint64_t number);
  // Varint length, then the bytes.
  int32_t WriteBytes(const void* buffer, uint32_t count);

 private:
  int64_t WriteValueAt(const ProtoValue& value, int depth);
  int64_t WriteText(const std::wstring& text);
};
