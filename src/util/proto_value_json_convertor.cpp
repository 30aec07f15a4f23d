#include "util/proto_value_json_convertor.h"

#include <json/json.h>

#include <exception>
#include <string>

#include "commonlib/core/proto_value_exception.h"
#include "logger/log.h"
#include "util/text_convert.h"

namespace {

// Levels of arrays and objects: 0 for a scalar.
int JsonDepth(const Json::Value& json, int limit) {
  if (!json.isArray() && !json.isObject()) return 0;
  if (limit <= 0) return 1;
  int deepest = 0;
  for (const Json::Value& child : json) {
    const int depth = JsonDepth(child, limit - 1);
    if (depth > deepest) deepest = depth;
    if (deepest >= limit) break;
  }
  return deepest + 1;
}

// Adds `json` to `value` as the reading rules say; throws ProtoValueException when `value`
// already holds another kind than the container being read.
void AddJson(const Json::Value& json, ProtoValue& value) {
  switch (json.type()) {
    case Json::nullValue:
      value.clear();
      break;
    case Json::intValue:
      value = ProtoValue(static_cast<int64_t>(json.asInt64()));
      break;
    case Json::uintValue:
      value = ProtoValue(static_cast<int64_t>(json.asUInt64()));  // above 2^63 - 1 wraps
      break;
    case Json::realValue:
      value = ProtoValue(json.asDouble());
      break;
    case Json::stringValue: {
      const char* begin = nullptr;
      const char* end = nullptr;
      json.getString(&begin, &end);  // keeps zero characters
      value = ProtoValue(Utf8ToWide(std::string_view(begin, static_cast<size_t>(end - begin))));
      break;
    }
    case Json::booleanValue:
      value = ProtoValue(json.asBool() ? 1 : 0);
      break;
    case Json::arrayValue:
      for (const Json::Value& element : json) {
        ProtoValue converted;
        AddJson(element, converted);
        value.append(std::move(converted));
      }
      break;
    case Json::objectValue:
      for (auto it = json.begin(); it != json.end(); ++it) {
        ProtoValue converted;
        AddJson(*it, converted);
        value[Utf8ToWide(it.name())] = std::move(converted);
      }
      break;
  }
}

// False for a bytes value (which has no JSON form) or nesting beyond the limit.
bool ToJsonValue(const ProtoValue& value, Json::Value& json, int depth) {
  switch (value.type()) {
    case ProtoValueType::Null:
      json = Json::Value();
      return true;
    case ProtoValueType::Integer:
      json = Json::Value(static_cast<Json::Int64>(value.integer()));
      return true;
    case ProtoValueType::Real:
      json = Json::Value(value.real());
      return true;
    case ProtoValueType::Bytes:
      return false;
    case ProtoValueType::String:
      json = Json::Value(WideToUtf8(value.string()));
      return true;
    case ProtoValueType::Array:
      if (depth >= kProtoValueMaxDepth) return false;
      for (const ProtoValue& element : value.array()) {
        Json::Value converted;
        if (element.type() != ProtoValueType::Bytes && !ToJsonValue(element, converted, depth + 1)) return false;
        json.append(std::move(converted));
      }
      return true;
    case ProtoValueType::Map:
      if (depth >= kProtoValueMaxDepth) return false;
      for (const auto& [key, entry] : value.map()) {
        Json::Value converted;
        if (entry.type() != ProtoValueType::Bytes && !ToJsonValue(entry, converted, depth + 1)) return false;
        json[WideToUtf8(key)] = std::move(converted);
      }
      return true;
  }
  return false;
}

void LogParseFailure(const std::wstring& text, const std::string& errors) {
  LOG_ERRO(L"解析 AddGameInvite json失败，data:%s error:%s", text, AnsiToWide(errors));
}

}  // namespace

bool ProtoValueJsonConvertor::FromJson(const std::wstring& text, ProtoValue& value) {
  Json::Value root;
  Json::Reader reader;
  try {
    if (!reader.parse(WideToUtf8(text), root, true)) {
      LogParseFailure(text, reader.getFormattedErrorMessages());
      return false;
    }
  } catch (const std::exception& e) {  // the reader throws past its own nesting limit
    LogParseFailure(text, e.what());
    return false;
  }
  if (JsonDepth(root, kProtoValueMaxDepth + 1) > kProtoValueMaxDepth) {
    LogParseFailure(text, "nested deeper than " + std::to_string(kProtoValueMaxDepth) + " levels");
    return false;
  }
  try {
    AddJson(root, value);
  } catch (const ProtoValueException& e) {
    e.Report();  // `value` held another kind than the text's array or object
    return false;
  }
  return true;
}

bool ProtoValueJsonConvertor::ToJson(const ProtoValue& value, std::wstring& text) {
  Json::Value json;
  if (!ToJsonValue(value, json, 0)) return false;
  text = Utf8ToWide(json.toStyledString());
  return true;
}
