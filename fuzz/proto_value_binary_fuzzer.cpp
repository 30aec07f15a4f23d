// Reads one value from arbitrary bytes. Besides the sanitizers' checks: whatever reads must write
// back, and what it writes must read back as the same value.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "commonlib/core/proto_value_binary.h"
#include "commonlib/core/proto_value_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > UINT32_MAX) return 0;
  IProtoValueStream stream(data, static_cast<uint32_t>(size), false);
  ProtoValue value;
  const int32_t consumed = stream.ReadValue(value);
  if (consumed < -1 || consumed > static_cast<int64_t>(size)) std::abort();
  if (consumed <= 0) return 0;

  std::string encoded;
  if (!ProtoValueToBinary(value, encoded)) std::abort();
  ProtoValue again;
  if (!ProtoValueFromBinary(encoded, again)) std::abort();
  if (!(again == value)) std::abort();
  std::string reencoded;
  if (!ProtoValueToBinary(again, reencoded) || reencoded != encoded) std::abort();
  return 0;
}
