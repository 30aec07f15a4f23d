#include "util/proto_value_json_convertor.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "logger/trace_logger.h"
#include "support/trace_lines.h"
#include "util/text_convert.h"

namespace {

ProtoValue ArrayOf(std::initializer_list<ProtoValue> elements) {
  ProtoValue array;
  for (const ProtoValue& element : elements) array.append(element);
  return array;
}

ProtoValue FromJson(const std::wstring& text) {
  ProtoValue value;
  EXPECT_TRUE(ProtoValueJsonConvertor::FromJson(text, value)) << WideToUtf8(text);
  return value;
}

std::wstring ToJson(const ProtoValue& value) {
  std::wstring text;
  EXPECT_TRUE(ProtoValueJsonConvertor::ToJson(value, text));
  return text;
}

// `depth` arrays around the number 1.
std::wstring NestedArrays(int depth) {
  return std::wstring(static_cast<size_t>(depth), L'[') + L"1" + std::wstring(static_cast<size_t>(depth), L']');
}

TEST(ProtoValueJsonConvertor, MapRoundTripsThroughTheStyledRendering) {
  ProtoValue map;
  map[L"b"] = L"x";
  map[L"a"] = 1;
  const std::wstring text = ToJson(map);
  EXPECT_EQ(text, L"{\n\t\"a\" : 1,\n\t\"b\" : \"x\"\n}\n");
  EXPECT_EQ(FromJson(text), map);
}

TEST(ProtoValueJsonConvertor, ValuesToJson) {
  ProtoValue withBytes;
  withBytes[L"raw"] = ProtoValue("\x01", 1);
  withBytes[L"n"] = 2;
  struct Case {
    ProtoValue value;
    std::wstring json;
  } cases[] = {
      {ProtoValue(), L"null\n"},
      {ProtoValue(-5), L"-5\n"},
      {ProtoValue(std::numeric_limits<int64_t>::min()), L"-9223372036854775808\n"},
      {ProtoValue(2.5), L"2.5\n"},
      {ProtoValue(L"\u4E2D\U0001F600\""), L"\"\\u4e2d\\ud83d\\ude00\\\"\"\n"},  // escaped ASCII
      {ProtoValue(ProtoValueType::Array), L"null\n"},  // nothing appended
      {ProtoValue(ProtoValueType::Map), L"null\n"},
      {ArrayOf({ProtoValue(1), ProtoValue("b", 1)}), L"[\n\t1,\n\tnull\n]\n"},  // bytes inside: null
      {withBytes, L"{\n\t\"n\" : 2,\n\t\"raw\" : null\n}\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ToJson(c.value), c.json) << WideToUtf8(c.json);
  }
}

TEST(ProtoValueJsonConvertor, BytesAtTheTopHaveNoJsonForm) {
  std::wstring text = L"unchanged";
  EXPECT_FALSE(ProtoValueJsonConvertor::ToJson(ProtoValue("ab", 2), text));
  EXPECT_EQ(text, L"unchanged");
}

TEST(ProtoValueJsonConvertor, JsonToValues) {
  ProtoValue object;
  object[L"k\u00E9y"] = ArrayOf({ProtoValue(L"v")});
  object[L"z"] = ProtoValue();
  struct Case {
    std::wstring json;
    ProtoValue value;
  } cases[] = {
      {L"[]", ProtoValue()},
      {L"{}", ProtoValue()},
      {L"[1, true, null]", ArrayOf({ProtoValue(1), ProtoValue(1), ProtoValue()})},
      {L"false", ProtoValue(0)},
      {L"-7", ProtoValue(-7)},
      {L"9223372036854775807", ProtoValue(std::numeric_limits<int64_t>::max())},
      {L"18446744073709551615", ProtoValue(-1)},  // above 2^63 - 1 wraps
      {L"0.25", ProtoValue(0.25)},
      {L"\"\\u4e2d\\ud83d\\ude00\"", ProtoValue(L"\u4E2D\U0001F600")},
      {L"\"a\\u0000b\"", ProtoValue(L"a\0b", 3)},
      {L"{\"k\u00E9y\": [\"v\"], \"z\": null} // comment", object},
      {L"[[], {}]", ArrayOf({ProtoValue(), ProtoValue()})},
      // A key keeps a zero character (the binary form refuses such a key: found by fuzzing).
      {L"{\"a\\u0000b\": 1}", ProtoValue()},
  };
  cases[std::size(cases) - 1].value[std::wstring(L"a\0b", 3)] = 1;
  for (const Case& c : cases) {
    EXPECT_EQ(FromJson(c.json), c.value) << WideToUtf8(c.json);
  }
}

TEST(ProtoValueJsonConvertor, TextThatDoesNotParseLogsAndLeavesTheValue) {
  for (const std::wstring& text : {std::wstring(L"{"), std::wstring(L""), std::wstring(L"[1,]x"),
                                   std::wstring(L"\u4E2D")}) {
    TraceLines trace;
    ProtoValue value(L"kept");
    EXPECT_FALSE(ProtoValueJsonConvertor::FromJson(text, value)) << WideToUtf8(text);
    EXPECT_EQ(value.string(), L"kept");
    ASSERT_EQ(trace.lines().size(), 1u) << WideToUtf8(text);
    const std::wstring line = trace.lines()[0];
    EXPECT_EQ(line.rfind(L"[ERRO]", 0), 0u);
    const std::wstring expected = L"解析 AddGameInvite json失败，data:" + text + L" error:";
    EXPECT_NE(line.find(expected), std::wstring::npos) << WideToUtf8(line);
    EXPECT_GT(line.size(), line.find(expected) + expected.size() + 2) << "no reader message";
  }
}

TEST(ProtoValueJsonConvertor, NestingIsBounded) {
  const ProtoValue deepest = FromJson(NestedArrays(kProtoValueMaxDepth));
  std::wstring text;
  EXPECT_TRUE(ProtoValueJsonConvertor::ToJson(deepest, text));

  for (int depth : {kProtoValueMaxDepth + 1, 5000, 100000}) {
    TraceLines trace;
    ProtoValue value;
    EXPECT_FALSE(ProtoValueJsonConvertor::FromJson(NestedArrays(depth), value)) << depth;
    EXPECT_TRUE(value.isNull());
    EXPECT_EQ(trace.lines().size(), 1u);
  }

  ProtoValue tooDeep(1);
  for (int i = 0; i <= kProtoValueMaxDepth; ++i) {
    ProtoValue outer;
    outer.append(std::move(tooDeep));
    tooDeep = std::move(outer);
  }
  text = L"unchanged";
  EXPECT_FALSE(ProtoValueJsonConvertor::ToJson(tooDeep, text));
  EXPECT_EQ(text, L"unchanged");
}

TEST(ProtoValueJsonConvertor, ContainersAddToTheValue) {
  ProtoValue map;
  map[L"a"] = 1;
  ASSERT_TRUE(ProtoValueJsonConvertor::FromJson(L"{\"b\": 2}", map));
  EXPECT_EQ(map.size(), 2u);
  EXPECT_EQ(map.get(L"b").integer(), 2);

  TraceLines trace;
  ProtoValue text(L"x");
  EXPECT_FALSE(ProtoValueJsonConvertor::FromJson(L"{\"b\": 2}", text));  // an object cannot go into a string
  EXPECT_EQ(text.string(), L"x");
}

}  // namespace
