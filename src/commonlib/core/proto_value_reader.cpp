#include "commonlib/core/proto_value_reader.h"

#include <cstring>
#include <string>
#include <utility>

#include "util/text_convert.h"

namespace {

constexpr int kMaxVarintBytes = 10;

std::u16string UnitsFromLittleEndian(const std::string& bytes) {
  std::u16string units(bytes.size() / 2, u'\0');  // a trailing odd byte is dropped
  for (size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(static_cast<uint8_t>(bytes[2 * i]) |
                                     (static_cast<uint8_t>(bytes[2 * i + 1]) << 8));
  }
  return units;
}

}  // namespace

// Shared by the recursive reads of one ReadValue call.
struct IProtoValueStream::ReadState {
  // Null elements that short arrays may still be padded with: the buffer's size in bytes, so a
  // count far beyond the data fails instead of filling memory.
  uint64_t paddingLeft = 0;
};

IProtoValueStream::VarintResult IProtoValueStream::ReadVarint(uint64_t& number) {
  number = 0;
  for (int i = 0; i < kMaxVarintBytes; ++i) {
    uint8_t byte = 0;
    if (Read(&byte, 1) != 1) return i == 0 ? VarintResult::Ended : VarintResult::Malformed;
    number |= static_cast<uint64_t>(byte & 0x7F) << (7 * i);  // bits past 64 fall off
    if ((byte & 0x80) == 0) return VarintResult::Read;
  }
  return VarintResult::Malformed;  // more than 10 bytes
}

IProtoValueStream::VarintResult IProtoValueStream::ReadLengthPrefixed(std::string& bytes) {
  uint64_t length = 0;
  const VarintResult result = ReadVarint(length);
  if (result != VarintResult::Read) return result;
  // Checked before anything is allocated.
  if (length > GetRemaining()) return VarintResult::Malformed;
  bytes.resize(static_cast<size_t>(length));
  if (length != 0 && Read(bytes.data(), static_cast<uint32_t>(length)) != static_cast<int32_t>(length)) {
    return VarintResult::Malformed;
  }
  return VarintResult::Read;
}

int32_t IProtoValueStream::ReadValue(ProtoValue& value) {
  const uint32_t start = GetPosition();
  ReadState state;
  state.paddingLeft = GetSize();
  bool ended = false;
  if (!ReadValueAt(value, 0, state, ended)) return -1;
  if (ended) return 0;
  const uint32_t consumed = GetPosition() - start;
  return consumed <= static_cast<uint32_t>(INT32_MAX) ? static_cast<int32_t>(consumed) : -1;
}

bool IProtoValueStream::ReadValueAt(ProtoValue& value, int depth, ReadState& state, bool& ended) {
  ended = false;
  uint8_t kind = 0;
  if (Read(&kind, 1) != 1) {
    ended = true;
    return true;
  }
  switch (static_cast<ProtoValueType>(kind)) {
    case ProtoValueType::Null:
      value.clear();
      return true;

    case ProtoValueType::Integer: {
      uint64_t number = 0;  // data ending right after the kind byte reads as 0
      if (ReadVarint(number) == VarintResult::Malformed) return false;
      value = ProtoValue(static_cast<int64_t>(number));
      return true;
    }

    case ProtoValueType::Real: {
      uint8_t bytes[8] = {};
      const int32_t got = Read(bytes, sizeof bytes);  // 0 at the end: reads as 0.0
      if (got < 0) return false;
      uint64_t bits = 0;
      for (int i = 0; i < 8; ++i) bits |= static_cast<uint64_t>(bytes[i]) << (8 * i);
      double real = 0;
      std::memcpy(&real, &bits, sizeof real);
      value = ProtoValue(real);
      return true;
    }

    case ProtoValueType::Bytes: {
      std::string bytes;  // data ending right after the kind byte reads as empty
      if (ReadLengthPrefixed(bytes) == VarintResult::Malformed) return false;
      value = ProtoValue::FromBytes(std::move(bytes));
      return true;
    }

    case ProtoValueType::String: {
      std::string bytes;
      if (ReadLengthPrefixed(bytes) == VarintResult::Malformed) return false;
      value = ProtoValue(Utf16ToWide(UnitsFromLittleEndian(bytes)));
      return true;
    }

    case ProtoValueType::Array: {
      if (depth >= kProtoValueMaxDepth) return false;
      if (!value.isNull() && value.type() != ProtoValueType::Array) return false;
      uint64_t count = 0;
      if (ReadVarint(count) == VarintResult::Malformed) return false;
      for (uint64_t i = 0; i < count; ++i) {
        ProtoValue element;
        bool elementEnded = false;
        if (!ReadValueAt(element, depth + 1, state, elementEnded)) return false;
        if (elementEnded) {
          // The data ended before this element: it and the rest read as null, within the budget.
          const uint64_t missing = count - i;
          if (missing > state.paddingLeft) return false;
          state.paddingLeft -= missing;
          for (; i < count; ++i) value.append(ProtoValue());
          break;
        }
        value.append(std::move(element));
      }
      return true;
    }

    case ProtoValueType::Map: {
      if (depth >= kProtoValueMaxDepth) return false;
      if (!value.isNull() && value.type() != ProtoValueType::Map) return false;
      uint64_t count = 0;
      if (ReadVarint(count) == VarintResult::Malformed) return false;
      // Every entry takes bytes, so the loop ends with the data whatever the count says.
      for (uint64_t i = 0; i < count; ++i) {
        std::string keyBytes;
        const VarintResult keyResult = ReadLengthPrefixed(keyBytes);
        if (keyResult == VarintResult::Malformed) return false;
        if (keyResult == VarintResult::Ended) break;  // keeps the complete entries
        std::u16string keyUnits = UnitsFromLittleEndian(keyBytes);
        keyUnits.resize(std::char_traits<char16_t>::length(keyUnits.c_str()));  // up to the first zero
        ProtoValue entry;
        bool entryEnded = false;
        if (!ReadValueAt(entry, depth + 1, state, entryEnded)) return false;
        if (entryEnded) break;  // a key without its value is dropped
        value[Utf16ToWide(keyUnits)] = std::move(entry);
      }
      return true;
    }
  }
  return false;  // no such kind
}
