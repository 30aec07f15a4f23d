#pragma once
// The JSON form of a ProtoValue, through JsonCpp. Booleans read as the integers 1 and 0; empty
// arrays and objects become null both ways; bytes have no JSON form (null inside a container, a
// failure at the top).
#include <string>

#include "commonlib/core/proto_value.h"

class ProtoValueJsonConvertor {
 public:
  // Adds what `text` holds to `value` without clearing it first: pass a null value. Text that
  // does not parse, or nests deeper than kProtoValueMaxDepth, gives false with an ERRO line and
  // leaves `value` unchanged.
  static bool FromJson(const std::wstring& text, ProtoValue& value);
  // JsonCpp's styled rendering. False (and `text` unchanged) for a bytes value at the top, or a
  // value nested deeper than kProtoValueMaxDepth.
  static bool ToJson(const ProtoValue& value, std::wstring& text);
};
