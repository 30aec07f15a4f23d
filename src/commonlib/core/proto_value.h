#pragma once
// The one dynamically typed value of the system: null, a 64-bit integer, a double, a byte string,
// a wide string, an array of values or a map from wide-string keys to values. It grows on demand:
// a key turns a null value into a map, an index into an array. Copies are deep. Not synchronised:
// one thread at a time.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "commonlib/core/utf16_order.h"

// The codes are stored in files: they must keep these values.
enum class ProtoValueType : uint8_t {
  Null = 0,
  Integer = 1,
  Real = 2,
  Bytes = 3,
  String = 4,
  Array = 5,
  Map = 6,
};

// Deepest nesting of arrays and maps that the binary and JSON forms read or write; far above any
// real record, low enough that recursion over a hostile input stays shallow.
constexpr int kProtoValueMaxDepth = 256;

class ProtoValue;
using ProtoValueArray = std::vector<ProtoValue>;
// Keys in ascending order of their UTF-16 code units on every target.
using ProtoValueMap = std::map<std::wstring, ProtoValue, Utf16Less>;

class ProtoValue {
 public:
  ProtoValue() noexcept { slot_.integer = 0; }
  // The empty value of a kind: 0, 0.0, no bytes, no text, no elements, no entries.
  explicit ProtoValue(ProtoValueType type);

  // Any integer (bool included: booleans are the integers 0 and 1).
  template <typename T>
    requires std::is_integral_v<T>
  ProtoValue(T number) noexcept : type_(ProtoValueType::Integer) {
    slot_.integer = static_cast<int64_t>(number);
  }
  ProtoValue(double number) noexcept;
  ProtoValue(std::wstring text);
  ProtoValue(const wchar_t* text);  // zero-terminated; null gives an empty string
  ProtoValue(const wchar_t* text, size_t count);
  // Bytes, zero bytes included.
  ProtoValue(const char* bytes, size_t count);
  static ProtoValue FromBytes(std::string bytes);

  ProtoValue(const ProtoValue& other);
  ProtoValue(ProtoValue&& other) noexcept;
  // Copies (or takes) the source before it lets go of its own contents, so the source may be one
  // of this value's descendants.
  ProtoValue& operator=(const ProtoValue& other);
  ProtoValue& operator=(ProtoValue&& other) noexcept;
  ~ProtoValue();

  void swap(ProtoValue& other) noexcept;
  // Frees what the value owns; it becomes null.
  void clear() noexcept;

  ProtoValueType type() const { return type_; }
  bool isNull() const { return type_ == ProtoValueType::Null; }
  // Elements of an array or entries of a map; 0 for every other kind.
  size_t size() const;
  // Never throw, never insert.
  bool has(std::wstring_view key) const;
  const ProtoValue& get(std::wstring_view key) const;  // the shared null value when absent

  // A null value becomes an empty map; then the entry of `key`, inserted as null when absent.
  // Throws code 2 for a value of any other kind.
  ProtoValue& operator[](std::wstring_view key);
  ProtoValue& operator[](const wchar_t* key) { return (*this)[std::wstring_view(key ? key : L"")]; }
  // A null value becomes an empty array; then the element at `index`, appended as null when
  // `index` equals size(). Throws code 1 beyond that, or for a value of any other kind.
  template <typename T>
    requires std::is_integral_v<T>
  ProtoValue& operator[](T index) {
    // A negative index converts to a huge one and so is out of range.
    return At(static_cast<uint64_t>(index));
  }
  // operator[](size()) = value: a null value becomes a one-element array.
  void append(const ProtoValue& value);
  void append(ProtoValue&& value);

  // Typed reads: null reads as the kind's empty value, any other kind throws code 3. There is no
  // conversion between integer and real.
  int64_t integer() const;
  double real() const;
  const std::wstring& string() const;
  const std::string& bytes() const;
  const ProtoValueArray& array() const;
  const ProtoValueMap& map() const;

  // Same kind and same contents; reals compare by their bits, so a value equals its copy.
  bool operator==(const ProtoValue& other) const;

 private:
  ProtoValue& At(uint64_t index);

  ProtoValueType type_ = ProtoValueType::Null;
  union Slot {
    int64_t integer;
    double real;
    std::string* bytes;
    std::wstring* text;
    ProtoValueArray* array;
    ProtoValueMap* map;
  } slot_;
};

inline void swap(ProtoValue& a, ProtoValue& b) noexcept { a.swap(b); }
