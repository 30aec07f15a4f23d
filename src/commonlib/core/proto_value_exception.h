#pragma once
// Thrown by the typed access of ProtoValue: code 1 index out of range, 2 key on a value that is
// no map, 3 typed read of the wrong kind.
#include <cstdint>
#include <string>
#include <utility>

#include "commonlib/core/exception.h"

class ProtoValueException : public IException {
 public:
  ProtoValueException() = default;
  ProtoValueException(int32_t code, std::wstring message) : IException(code, std::move(message)) {}
};
