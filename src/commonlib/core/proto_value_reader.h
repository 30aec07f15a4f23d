#pragma once
// Reads values in their binary form (see proto_value_writer.h) from a byte buffer. Damaged or
// hostile bytes never make a read crash, loop or allocate without bound: nesting is limited to
// kProtoValueMaxDepth, and an array may be short of elements only by as many as the buffer has
// bytes (the missing ones read as null); beyond that the read fails.
#include <cstdint>

#include "commonlib/core/input_buffer_stream.h"
#include "commonlib/core/proto_value.h"

class IProtoValueStream : public IBufferStream {
 public:
  using IBufferStream::IBufferStream;

  // Reads one value into `value`: scalars replace it; array elements and map entries are added
  // to it without clearing it first (so callers read into a null value; an array or map of no
  // elements reads as null). Returns the bytes consumed, 0 when the data ended before the kind
  // byte (`value` untouched), or -1 for malformed data (`value` may be partly filled).
  int32_t ReadValue(ProtoValue& value);

 private:
  enum class VarintResult { Read, Ended, Malformed };
  struct ReadState;

  // Ended: no byte at all was left; a varint cut off after its first byte is malformed.
  VarintResult ReadVarint(uint64_t& number);
  // Varint byte length, then the bytes; Ended when not even the length was there.
  VarintResult ReadLengthPrefixed(std::string& bytes);
  // False for malformed data.
  bool ReadValueAt(ProtoValue& value, int depth, ReadState& state, bool& ended);
};
