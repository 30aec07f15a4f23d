#pragma once
// A value to and from its binary form held in a narrow string (the task meta file's content).
#include <string>
#include <string_view>

#include "commonlib/core/proto_value.h"

// True when at least one byte was written; `out` is left alone otherwise, and for a value the
// binary form cannot carry (see OProtoValueStream::WriteValue).
bool ProtoValueToBinary(const ProtoValue& value, std::string& out);
// Reads the first value of `bytes` (read in place) into `value`; bytes after it are ignored.
// False for empty or malformed data.
bool ProtoValueFromBinary(std::string_view bytes, ProtoValue& value);
