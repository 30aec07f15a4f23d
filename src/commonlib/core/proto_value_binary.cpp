#include "commonlib/core/proto_value_binary.h"

#include <cstdint>

#include "commonlib/core/proto_value_reader.h"
#include "commonlib/core/proto_value_writer.h"

bool ProtoValueToBinary(const ProtoValue& value, std::string& out) {
  OProtoValueStream stream;
  if (stream.WriteValue(value) <= 0) return false;
  out.assign(reinterpret_cast<const char*>(stream.GetData()), stream.GetLength());
  stream.Finish();
  return true;
}

bool ProtoValueFromBinary(std::string_view bytes, ProtoValue& value) {
  if (bytes.size() > UINT32_MAX) return false;
  IProtoValueStream stream(bytes.data(), static_cast<uint32_t>(bytes.size()), false);
  return stream.ReadValue(value) > 0;
}
