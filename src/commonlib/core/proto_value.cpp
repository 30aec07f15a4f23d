#include "commonlib/core/proto_value.h"

#include <cstring>
#include <utility>

#include "commonlib/core/proto_value_exception.h"

namespace {

// Shared constants behind the lenient reads; never modified.
const ProtoValue& SharedNull() {
  static const ProtoValue value;
  return value;
}
const std::wstring& SharedEmptyString() {
  static const std::wstring value;
  return value;
}
const std::string& SharedEmptyBytes() {
  static const std::string value;
  return value;
}
const ProtoValueArray& SharedEmptyArray() {
  static const ProtoValueArray value;
  return value;
}
const ProtoValueMap& SharedEmptyMap() {
  static const ProtoValueMap value;
  return value;
}

[[noreturn]] void Throw(int32_t code, const wchar_t* message, const char* file = __builtin_FILE(),
                        int32_t line = __builtin_LINE()) {
  ProtoValueException error(code, message);
  error.SetLocation(file, line);
  throw error;
}

}  // namespace

ProtoValue::ProtoValue(ProtoValueType type) : type_(type) {
  switch (type) {
    case ProtoValueType::Integer: slot_.integer = 0; break;
    case ProtoValueType::Real: slot_.real = 0.0; break;
    case ProtoValueType::Bytes: slot_.bytes = new std::string(); break;
    case ProtoValueType::String: slot_.text = new std::wstring(); break;
    case ProtoValueType::Array: slot_.array = new ProtoValueArray(); break;
    case ProtoValueType::Map: slot_.map = new ProtoValueMap(); break;
    default:
      type_ = ProtoValueType::Null;
      slot_.integer = 0;
      break;
  }
}

ProtoValue::ProtoValue(double number) noexcept : type_(ProtoValueType::Real) { slot_.real = number; }

ProtoValue::ProtoValue(std::wstring text) : type_(ProtoValueType::String) {
  slot_.text = new std::wstring(std::move(text));
}

ProtoValue::ProtoValue(const wchar_t* text)
    : ProtoValue(text != nullptr ? std::wstring(text) : std::wstring()) {}

ProtoValue::ProtoValue(const wchar_t* text, size_t count)
    : ProtoValue(count != 0 ? std::wstring(text, count) : std::wstring()) {}

ProtoValue::ProtoValue(const char* bytes, size_t count) : type_(ProtoValueType::Bytes) {
  slot_.bytes = count != 0 ? new std::string(bytes, count) : new std::string();
}

ProtoValue ProtoValue::FromBytes(std::string bytes) {
  ProtoValue value(ProtoValueType::Bytes);
  *value.slot_.bytes = std::move(bytes);
  return value;
}

ProtoValue::ProtoValue(const ProtoValue& other) : type_(other.type_) {
  switch (other.type_) {
    case ProtoValueType::Bytes: slot_.bytes = new std::string(*other.slot_.bytes); break;
    case ProtoValueType::String: slot_.text = new std::wstring(*other.slot_.text); break;
    case ProtoValueType::Array: slot_.array = new ProtoValueArray(*other.slot_.array); break;
    case ProtoValueType::Map: slot_.map = new ProtoValueMap(*other.slot_.map); break;
    default: slot_ = other.slot_; break;
  }
}

ProtoValue::ProtoValue(ProtoValue&& other) noexcept : type_(other.type_), slot_(other.slot_) {
  other.type_ = ProtoValueType::Null;
  other.slot_.integer = 0;
}

ProtoValue& ProtoValue::operator=(const ProtoValue& other) {
  ProtoValue copy(other);  // before anything of ours is freed: `other` may live inside us
  swap(copy);
  return *this;
}

ProtoValue& ProtoValue::operator=(ProtoValue&& other) noexcept {
  ProtoValue taken(std::move(other));  // `other` may live inside us and is freed with the old contents
  swap(taken);
  return *this;
}

ProtoValue::~ProtoValue() { clear(); }

void ProtoValue::swap(ProtoValue& other) noexcept {
  std::swap(type_, other.type_);
  std::swap(slot_, other.slot_);
}

void ProtoValue::clear() noexcept {
  switch (type_) {
    case ProtoValueType::Bytes: delete slot_.bytes; break;
    case ProtoValueType::String: delete slot_.text; break;
    case ProtoValueType::Array: delete slot_.array; break;
    case ProtoValueType::Map: delete slot_.map; break;
    default: break;
  }
  type_ = ProtoValueType::Null;
  slot_.integer = 0;
}

size_t ProtoValue::size() const {
  if (type_ == ProtoValueType::Array) return slot_.array->size();
  if (type_ == ProtoValueType::Map) return slot_.map->size();
  return 0;
}

bool ProtoValue::has(std::wstring_view key) const {
  return type_ == ProtoValueType::Map && slot_.map->find(key) != slot_.map->end();
}

const ProtoValue& ProtoValue::get(std::wstring_view key) const {
  if (type_ != ProtoValueType::Map) return SharedNull();
  auto it = slot_.map->find(key);
  return it != slot_.map->end() ? it->second : SharedNull();
}

ProtoValue& ProtoValue::operator[](std::wstring_view key) {
  if (type_ == ProtoValueType::Null) {
    ProtoValue empty(ProtoValueType::Map);
    swap(empty);
  }
  if (type_ != ProtoValueType::Map) Throw(2, L"ProtoValue operator[string] wrong type");
  auto it = slot_.map->find(key);
  if (it == slot_.map->end()) it = slot_.map->emplace(std::wstring(key), ProtoValue()).first;
  return it->second;
}

ProtoValue& ProtoValue::At(uint64_t index) {
  if (type_ == ProtoValueType::Null) {
    ProtoValue empty(ProtoValueType::Array);
    swap(empty);
  }
  if (type_ != ProtoValueType::Array || index > slot_.array->size()) {
    Throw(1, L"ProtoValue operator[int] out of range");
  }
  if (index == slot_.array->size()) slot_.array->emplace_back();
  return (*slot_.array)[static_cast<size_t>(index)];
}

void ProtoValue::append(const ProtoValue& value) {
  ProtoValue copy(value);  // `value` may be an element that the append moves
  append(std::move(copy));
}

void ProtoValue::append(ProtoValue&& value) {
  ProtoValue taken(std::move(value));
  At(size()) = std::move(taken);
}

int64_t ProtoValue::integer() const {
  if (type_ == ProtoValueType::Integer) return slot_.integer;
  if (type_ == ProtoValueType::Null) return 0;
  Throw(3, L"ProtoValue::integer wrong type");
}

double ProtoValue::real() const {
  if (type_ == ProtoValueType::Real) return slot_.real;
  if (type_ == ProtoValueType::Null) return 0.0;
  Throw(3, L"ProtoValue::real wrong type");
}

const std::wstring& ProtoValue::string() const {
  if (type_ == ProtoValueType::String) return *slot_.text;
  if (type_ == ProtoValueType::Null) return SharedEmptyString();
  Throw(3, L"ProtoValue::string wrong type");
}

const std::string& ProtoValue::bytes() const {
  if (type_ == ProtoValueType::Bytes) return *slot_.bytes;
  if (type_ == ProtoValueType::Null) return SharedEmptyBytes();
  Throw(3, L"ProtoValue::bytes wrong type");
}

const ProtoValueArray& ProtoValue::array() const {
  if (type_ == ProtoValueType::Array) return *slot_.array;
  if (type_ == ProtoValueType::Null) return SharedEmptyArray();
  Throw(3, L"ProtoValue::array wrong type");
}

const ProtoValueMap& ProtoValue::map() const {
  if (type_ == ProtoValueType::Map) return *slot_.map;
  if (type_ == ProtoValueType::Null) return SharedEmptyMap();
  Throw(3, L"ProtoValue::map wrong type");
}

bool ProtoValue::operator==(const ProtoValue& other) const {
  if (type_ != other.type_) return false;
  switch (type_) {
    case ProtoValueType::Null: return true;
    case ProtoValueType::Integer: return slot_.integer == other.slot_.integer;
    case ProtoValueType::Real: return std::memcmp(&slot_.real, &other.slot_.real, sizeof(double)) == 0;
    case ProtoValueType::Bytes: return *slot_.bytes == *other.slot_.bytes;
    case ProtoValueType::String: return *slot_.text == *other.slot_.text;
    case ProtoValueType::Array: return *slot_.array == *other.slot_.array;
    case ProtoValueType::Map: return *slot_.map == *other.slot_.map;
  }
  return false;
}
