#include "commonlib/core/proto_value_writer.h"

#include <cstring>
#include <string>

#include "util/text_convert.h"

namespace {

constexpr uint32_t kMaxVarintBytes = 10;

uint32_t EncodeVarint(uint64_t number, uint8_t* out) {
  uint32_t count = 0;
  while (number >= 0x80) {
    out[count++] = static_cast<uint8_t>(number | 0x80);
    number >>= 7;
  }
  out[count++] = static_cast<uint8_t>(number);
  return count;
}

}  // namespace

int32_t OProtoValueStream::WriteVarint(uint64_t number) {
  if (FreeSpace() >= kMaxVarintBytes) {
    const uint32_t count = EncodeVarint(number, End());
    Commit(count);
    return static_cast<int32_t>(count);
  }
  uint8_t scratch[kMaxVarintBytes];
  return Write(scratch, EncodeVarint(number, scratch));
}

int32_t OProtoValueStream::WriteBytes(const void* buffer, uint32_t count) {
  const int32_t lengthBytes = WriteVarint(count);
  if (lengthBytes < 0) return -1;
  const int32_t written = Write(buffer, count);
  if (written < 0 || written > INT32_MAX - lengthBytes) return -1;
  return lengthBytes + written;
}

int64_t OProtoValueStream::WriteText(const std::wstring& text) {
  const std::u16string units = WideToUtf16(text);
  if (units.size() > UINT32_MAX / 2) return -1;
  // Little-endian whatever the machine.
  std::string bytes(units.size() * 2, '\0');
  for (size_t i = 0; i < units.size(); ++i) {
    bytes[2 * i] = static_cast<char>(units[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<char>(units[i] >> 8);
  }
  return WriteBytes(bytes.data(), static_cast<uint32_t>(bytes.size()));
}

int32_t OProtoValueStream::WriteValue(const ProtoValue& value) {
  const int64_t total = WriteValueAt(value, 0);
  return total >= 0 && total <= INT32_MAX ? static_cast<int32_t>(total) : -1;
}

int64_t OProtoValueStream::WriteValueAt(const ProtoValue& value, int depth) {
  const ProtoValueType type = value.type();
  const bool container = type == ProtoValueType::Array || type == ProtoValueType::Map;
  if (container && depth >= kProtoValueMaxDepth) return -1;

  const uint8_t kind = static_cast<uint8_t>(type);
  if (Write(&kind, 1) != 1) return -1;
  int64_t total = 1;
  int64_t part = 0;
  switch (type) {
    case ProtoValueType::Null:
      break;
    case ProtoValueType::Integer:
      part = WriteVarint(static_cast<uint64_t>(value.integer()));
      break;
    case ProtoValueType::Real: {
      // IEEE-754 bits, little-endian whatever the machine.
      const double real = value.real();
      uint64_t bits = 0;
      std::memcpy(&bits, &real, sizeof bits);
      uint8_t bytes[8];
      for (int i = 0; i < 8; ++i) bytes[i] = static_cast<uint8_t>(bits >> (8 * i));
      part = Write(bytes, sizeof bytes);
      break;
    }
    case ProtoValueType::Bytes: {
      const std::string& bytes = value.bytes();
      part = bytes.size() <= UINT32_MAX ? WriteBytes(bytes.data(), static_cast<uint32_t>(bytes.size())) : -1;
      break;
    }
    case ProtoValueType::String:
      part = WriteText(value.string());
      break;
    case ProtoValueType::Array: {
      const ProtoValueArray& elements = value.array();
      part = WriteVarint(elements.size());
      for (const ProtoValue& element : elements) {
        if (part < 0) break;
        const int64_t written = WriteValueAt(element, depth + 1);
        part = written < 0 ? -1 : part + written;
      }
      break;
    }
    case ProtoValueType::Map: {
      const ProtoValueMap& entries = value.map();
      part = WriteVarint(entries.size());
      for (const auto& [key, entry] : entries) {
        if (part < 0) break;
        // A reader takes a key only up to its first zero: such a key would come back as another.
        if (key.find(L'\0') != std::wstring::npos) {
          part = -1;
          break;
        }
        const int64_t keyBytes = WriteText(key);
        const int64_t written = keyBytes < 0 ? -1 : WriteValueAt(entry, depth + 1);
        part = written < 0 ? -1 : part + keyBytes + written;
      }
      break;
    }
  }
  return part < 0 ? -1 : total + part;
}
