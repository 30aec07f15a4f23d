#include "commonlib/core/proto_value.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commonlib/core/proto_value_exception.h"

namespace {

// Runs `action`, expects a ProtoValueException with `code` and `message`, thrown from the value's
// own source.
template <typename Action>
void ExpectThrows(Action action, int32_t code, const std::wstring& message) {
  try {
    action();
    ADD_FAILURE() << "nothing thrown, expected code " << code;
  } catch (const ProtoValueException& e) {
    EXPECT_EQ(e.code, code);
    EXPECT_EQ(e.message, message);
    EXPECT_NE(e.file.find(L"proto_value.cpp"), std::wstring::npos);
    EXPECT_GT(e.line, 0);
  }
}

std::vector<std::wstring> Keys(const ProtoValue& value) {
  std::vector<std::wstring> keys;
  for (const auto& entry : value.map()) keys.push_back(entry.first);
  return keys;
}

TEST(ProtoValue, DefaultValueReadsLenientlyAndStaysNull) {
  ProtoValue value;
  EXPECT_EQ(value.type(), ProtoValueType::Null);
  EXPECT_EQ(value.size(), 0u);
  EXPECT_EQ(value.integer(), 0);
  EXPECT_EQ(value.real(), 0.0);
  EXPECT_EQ(value.string(), L"");
  EXPECT_FALSE(value.has(L"a"));
  EXPECT_TRUE(value.get(L"a").isNull());
  EXPECT_EQ(value.type(), ProtoValueType::Null);
}

TEST(ProtoValue, KindCodesAndEmptyValuesOfEachKind) {
  struct Case {
    ProtoValueType type;
    int code;
  } cases[] = {{ProtoValueType::Null, 0},  {ProtoValueType::Integer, 1}, {ProtoValueType::Real, 2},
               {ProtoValueType::Bytes, 3}, {ProtoValueType::String, 4},  {ProtoValueType::Array, 5},
               {ProtoValueType::Map, 6}};
  for (const Case& c : cases) {
    ProtoValue value(c.type);
    EXPECT_EQ(static_cast<int>(value.type()), c.code);
    EXPECT_EQ(value.size(), 0u);
  }
  EXPECT_EQ(ProtoValue(ProtoValueType::Integer), ProtoValue(0));
  EXPECT_EQ(ProtoValue(ProtoValueType::Real), ProtoValue(0.0));
  EXPECT_EQ(ProtoValue(ProtoValueType::String), ProtoValue(L""));
  EXPECT_EQ(ProtoValue(ProtoValueType::Bytes), ProtoValue::FromBytes(""));
}

TEST(ProtoValue, ConstructionFromScalars) {
  EXPECT_EQ(ProtoValue(int64_t{-5}).integer(), -5);
  EXPECT_EQ(ProtoValue(7u).integer(), 7);
  EXPECT_EQ(ProtoValue(true).integer(), 1);  // booleans are integers
  EXPECT_EQ(ProtoValue(2.5).real(), 2.5);
  EXPECT_EQ(ProtoValue(L"abc").string(), L"abc");
  EXPECT_EQ(ProtoValue(std::wstring(L"xy")).string(), L"xy");
  EXPECT_EQ(ProtoValue(L"abcdef", 3).string(), L"abc");
  EXPECT_EQ(ProtoValue("q\0r", 3).bytes(), std::string("q\0r", 3));
}

TEST(ProtoValue, ZeroBytesAndZeroCharactersKeepTheirFullLength) {
  const ProtoValue bytes("a\0\0b", 4);
  EXPECT_EQ(bytes.type(), ProtoValueType::Bytes);
  EXPECT_EQ(bytes.bytes().size(), 4u);
  const ProtoValue text(L"a\0b", 3);
  EXPECT_EQ(text.string().size(), 3u);
  EXPECT_EQ(text.string()[2], L'b');
  // Copies keep them too.
  const ProtoValue copy = text;
  EXPECT_EQ(copy.string(), std::wstring(L"a\0b", 3));
}

TEST(ProtoValue, KeysBuildNestedMaps) {
  ProtoValue value;
  value[L"a"][L"b"];
  ASSERT_EQ(value.type(), ProtoValueType::Map);
  EXPECT_EQ(value.size(), 1u);
  const ProtoValue& inner = value.get(L"a");
  ASSERT_EQ(inner.type(), ProtoValueType::Map);
  EXPECT_EQ(inner.size(), 1u);
  EXPECT_TRUE(inner.has(L"b"));
  EXPECT_TRUE(inner.get(L"b").isNull());

  ProtoValue result;
  result[L"http"][L"code"] = 200;
  EXPECT_EQ(result.get(L"http").get(L"code").integer(), 200);
}

TEST(ProtoValue, IndexGrowsAnArrayOneElementAtATime) {
  ProtoValue value;
  value[0];
  ASSERT_EQ(value.type(), ProtoValueType::Array);
  EXPECT_EQ(value.size(), 1u);
  EXPECT_TRUE(value[0].isNull());
  value[1] = 5;
  EXPECT_EQ(value.size(), 2u);
  ExpectThrows([&] { value[3]; }, 1, L"ProtoValue operator[int] out of range");
  EXPECT_EQ(value.size(), 2u);
  EXPECT_EQ(value[1].integer(), 5);
  // A negative index is out of range too, never a wrap-around into the array.
  ExpectThrows([&] { value[-1]; }, 1, L"ProtoValue operator[int] out of range");
  EXPECT_EQ(value.size(), 2u);
}

TEST(ProtoValue, IndexBeyondTheEndOfANullValueLeavesAnEmptyArray) {
  ProtoValue value;
  ExpectThrows([&] { value[5]; }, 1, L"ProtoValue operator[int] out of range");
  EXPECT_EQ(value.type(), ProtoValueType::Array);
  EXPECT_EQ(value.size(), 0u);
}

TEST(ProtoValue, WrongKindAccessThrowsAndLeavesTheValue) {
  ProtoValue map;
  map[L"k"] = 1;
  ExpectThrows([&] { map[0]; }, 1, L"ProtoValue operator[int] out of range");
  EXPECT_EQ(map.size(), 1u);
  ExpectThrows([&] { map.append(ProtoValue(2)); }, 1, L"ProtoValue operator[int] out of range");

  ProtoValue array;
  array.append(ProtoValue(1));
  ExpectThrows([&] { array[L"k"]; }, 2, L"ProtoValue operator[string] wrong type");
  EXPECT_EQ(array.size(), 1u);

  ProtoValue text(L"x");
  ExpectThrows([&] { text[L"k"]; }, 2, L"ProtoValue operator[string] wrong type");
  ExpectThrows([&] { text[0]; }, 1, L"ProtoValue operator[int] out of range");
  EXPECT_EQ(text.string(), L"x");
}

TEST(ProtoValue, TypedReadsOfTheWrongKindThrowCode3) {
  const ProtoValue text(L"x");
  const ProtoValue number(1);
  const ProtoValue real(1.0);
  ExpectThrows([&] { (void)text.integer(); }, 3, L"ProtoValue::integer wrong type");
  ExpectThrows([&] { (void)number.string(); }, 3, L"ProtoValue::string wrong type");
  // No conversion between the numeric kinds.
  ExpectThrows([&] { (void)real.integer(); }, 3, L"ProtoValue::integer wrong type");
  ExpectThrows([&] { (void)number.real(); }, 3, L"ProtoValue::real wrong type");
  ExpectThrows([&] { (void)number.bytes(); }, 3, L"ProtoValue::bytes wrong type");
  ExpectThrows([&] { (void)number.map(); }, 3, L"ProtoValue::map wrong type");
  ExpectThrows([&] { (void)number.array(); }, 3, L"ProtoValue::array wrong type");
}

TEST(ProtoValue, SizeIsZeroForScalars) {
  for (const ProtoValue& value : {ProtoValue(1), ProtoValue(1.5), ProtoValue("ab", 2), ProtoValue(L"ab")}) {
    EXPECT_EQ(value.size(), 0u);
  }
}

TEST(ProtoValue, AppendMakesAnArrayOfANullValue) {
  ProtoValue value;
  value.append(ProtoValue(L"first"));
  value.append(ProtoValue(2));
  ASSERT_EQ(value.size(), 2u);
  EXPECT_EQ(value[0].string(), L"first");
  EXPECT_EQ(value[1].integer(), 2);
}

TEST(ProtoValue, CopiesAreDeep) {
  ProtoValue original;
  original[L"list"].append(ProtoValue(L"a"));
  ProtoValue copy = original;
  copy[L"list"][0] = L"changed";
  copy[L"list"].append(ProtoValue(1));
  EXPECT_EQ(original.get(L"list").size(), 1u);
  EXPECT_EQ(original.get(L"list").array()[0].string(), L"a");

  ProtoValue moved = std::move(copy);
  EXPECT_EQ(moved.get(L"list").size(), 2u);
  EXPECT_TRUE(copy.isNull());  // a moved-from value is null
}

// Run under ASan: reading freed memory here is a crash, not a wrong value.
TEST(ProtoValue, AssignmentFromItsOwnDescendantIsSafe) {
  ProtoValue map;
  map[L"entry"][L"inner"] = L"kept";
  map[L"other"] = 1;
  map = map[L"entry"];
  EXPECT_EQ(map.size(), 1u);
  EXPECT_EQ(map.get(L"inner").string(), L"kept");

  ProtoValue deep;
  deep[L"a"][L"b"][L"c"] = 3;
  deep = deep.get(L"a").get(L"b");
  EXPECT_EQ(deep.get(L"c").integer(), 3);

  ProtoValue array;
  array[0][0] = L"x";
  array[1] = 2;
  array = array[0];
  EXPECT_EQ(array.size(), 1u);
  EXPECT_EQ(array[0].string(), L"x");
}

TEST(ProtoValue, MoveAssignmentFromItsOwnDescendantIsSafe) {
  ProtoValue map;
  map[L"entry"][L"inner"] = L"kept";
  map = std::move(map[L"entry"]);
  EXPECT_EQ(map.size(), 1u);
  EXPECT_EQ(map.get(L"inner").string(), L"kept");

  ProtoValue array;
  array[0][0] = L"x";
  array = std::move(array[0]);
  EXPECT_EQ(array.size(), 1u);
  EXPECT_EQ(array[0].string(), L"x");

  ProtoValue self(L"same");
  ProtoValue& alias = self;
  self = alias;
  EXPECT_EQ(self.string(), L"same");
}

TEST(ProtoValue, AppendingAnOwnElementSurvivesTheArrayGrowing) {
  ProtoValue array;
  for (int i = 0; i < 4; ++i) array.append(ProtoValue(std::wstring(40, static_cast<wchar_t>(L'a' + i))));
  for (int round = 0; round < 20; ++round) array.append(array[0]);  // grows past its capacity
  EXPECT_EQ(array.size(), 24u);
  EXPECT_EQ(array[23].string(), std::wstring(40, L'a'));
}

TEST(ProtoValue, ClearFreesAndMakesNull) {
  ProtoValue value;
  value[L"k"][0] = L"v";
  value.clear();
  EXPECT_TRUE(value.isNull());
  EXPECT_EQ(value.size(), 0u);
}

TEST(ProtoValue, MapIteratesInUtf16KeyOrder) {
  ProtoValue value;
  value[L"b"] = 1;
  value[L"a"] = 2;
  value[L"B"] = 3;
  EXPECT_EQ(Keys(value), (std::vector<std::wstring>{L"B", L"a", L"b"}));

  // A character above U+FFFF sorts as its surrogate pair: after U+D7FF, before U+E000.
  const std::wstring supplementary = L"\U00010000";  // one wchar_t on Linux, two on Windows
  ProtoValue wide;
  wide[L"\uFFFF"] = 1;
  wide[L"\uE000"] = 2;
  wide[supplementary] = 3;
  wide[L"\uD7FF"] = 4;
  wide[L""] = 5;
  EXPECT_EQ(Keys(wide), (std::vector<std::wstring>{L"", L"\uD7FF", supplementary, L"\uE000", L"\uFFFF"}));
}

// The order the binary form's maps are written in, on both targets.
TEST(Utf16Order, ComparesByUtf16CodeUnits) {
  struct Case {
    std::wstring a;
    std::wstring b;
    int sign;
  } cases[] = {
      {L"", L"", 0},
      {L"", L"a", -1},
      {L"a", L"b", -1},
      {L"B", L"a", -1},
      {L"ab", L"a", 1},
      {std::wstring(L"a\0", 2), L"a", 1},
      {L"\uD7FF", L"\U00010000", -1},
      {L"\U00010000", L"\uE000", -1},
      {L"\U0010FFFF", L"\uFFFF", -1},
      {L"\U00010000", L"\U0001F600", -1},
      {L"\U0001F600", L"\U0001F600", 0},
      {L"x\U00010000y", L"x\U00010000", 1},
      {L"\u00FF", L"\u0100", -1},
  };
  for (const Case& c : cases) {
    const int got = CompareUtf16(c.a, c.b);
    const int sign = got < 0 ? -1 : (got > 0 ? 1 : 0);
    EXPECT_EQ(sign, c.sign) << "case " << (&c - cases);
    const int back = CompareUtf16(c.b, c.a);
    EXPECT_EQ(back < 0 ? -1 : (back > 0 ? 1 : 0), -c.sign) << "case " << (&c - cases) << " reversed";
  }
}

}  // namespace
