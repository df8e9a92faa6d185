#include "browser/cdp/json.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cmath>
#include <cstdio>

namespace clipmill::cdp {

Json Json::str(std::string_view text) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    writer.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
    return raw(std::string(buffer.GetString(), buffer.GetSize()));
}

Json Json::strings(const std::vector<std::string>& items) {
    std::string text = "[";
    for (const auto& item : items) {
        if (text.size() > 1) text += ',';
        text += str(item).text();
    }
    return raw(text + "]");
}

Json::Json(double value) {
    if (!std::isfinite(value)) {
        text_ = "0";
        return;
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.17g", value);
    text_ = buffer;
}

std::string jsonObject(std::initializer_list<JsonMember> members) {
    std::string text = "{";
    for (const auto& [name, value] : members) {
        if (text.size() > 1) text += ',';
        text += Json::str(name).text();
        text += ':';
        text += value.text();
    }
    return text + "}";
}

const rapidjson::Value* member(const rapidjson::Value& object, const char* name) {
    if (!object.IsObject()) return nullptr;
    auto it = object.FindMember(name);
    return it == object.MemberEnd() ? nullptr : &it->value;
}

std::string stringMember(const rapidjson::Value& object, const char* name) {
    const auto* value = member(object, name);
    return value && value->IsString() ? std::string(value->GetString(), value->GetStringLength()) : std::string();
}

int intMember(const rapidjson::Value& object, const char* name, int fallback) {
    const auto* value = member(object, name);
    if (!value || !value->IsNumber()) return fallback;
    return value->IsInt() ? value->GetInt() : static_cast<int>(value->GetDouble());
}

double numberMember(const rapidjson::Value& object, const char* name, double fallback) {
    const auto* value = member(object, name);
    return value && value->IsNumber() ? value->GetDouble() : fallback;
}

bool boolMember(const rapidjson::Value& object, const char* name, bool fallback) {
    const auto* value = member(object, name);
    return value && value->IsBool() ? value->GetBool() : fallback;
}

std::string toJsonText(const rapidjson::Value& value) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    value.Accept(writer);
    return std::string(buffer.GetString(), buffer.GetSize());
}

}  // namespace clipmill::cdp
