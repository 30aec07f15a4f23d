// Parses arbitrary text as JSON into a value. Besides the sanitizers' checks: a parsed value
// renders as JSON that parses back to the same value, and survives the binary form unchanged (or
// is refused by it).
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "commonlib/core/proto_value_binary.h"
#include "logger/trace_logger.h"
#include "util/proto_value_json_convertor.h"
#include "util/text_convert.h"

namespace {

// JSON has no form for infinities and NaN; JsonCpp writes them as text it cannot read back.
bool HasNonFiniteReal(const ProtoValue& value) {
  switch (value.type()) {
    case ProtoValueType::Real: return !std::isfinite(value.real());
    case ProtoValueType::Array:
      for (const ProtoValue& element : value.array()) {
        if (HasNonFiniteReal(element)) return true;
      }
      return false;
    case ProtoValueType::Map:
      for (const auto& entry : value.map()) {
        if (HasNonFiniteReal(entry.second)) return true;
      }
      return false;
    default: return false;
  }
}

// The binary form cannot carry a key with a zero character (its readers cut keys there).
bool HasKeyWithZero(const ProtoValue& value) {
  if (value.type() == ProtoValueType::Array) {
    for (const ProtoValue& element : value.array()) {
      if (HasKeyWithZero(element)) return true;
    }
  } else if (value.type() == ProtoValueType::Map) {
    for (const auto& [key, entry] : value.map()) {
      if (key.find(L'\0') != std::wstring::npos || HasKeyWithZero(entry)) return true;
    }
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = [] {
    TraceLogger::GetInstance()->SetSink([](const std::wstring&) {});  // parse failures log a line
    return true;
  }();
  (void)quiet;

  const std::wstring text = Utf8ToWide(std::string_view(reinterpret_cast<const char*>(data), size));
  ProtoValue value;
  if (!ProtoValueJsonConvertor::FromJson(text, value)) return 0;

  std::wstring rendered;
  if (!ProtoValueJsonConvertor::ToJson(value, rendered)) std::abort();
  if (!HasNonFiniteReal(value)) {
    ProtoValue again;
    if (!ProtoValueJsonConvertor::FromJson(rendered, again)) std::abort();
    if (!(again == value)) std::abort();
  }

  std::string binary;
  if (!ProtoValueToBinary(value, binary)) {
    if (!HasKeyWithZero(value)) std::abort();
    return 0;
  }
  ProtoValue fromBinary;
  if (!ProtoValueFromBinary(binary, fromBinary) || !(fromBinary == value)) std::abort();
  return 0;
}
