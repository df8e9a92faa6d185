#pragma once

#include <rapidjson/document.h>

#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace clipmill::cdp {

// A JSON value written as text, for building the parameters of protocol messages.
class Json {
public:
    static Json raw(std::string text) { return Json(Raw{}, std::move(text)); }
    static Json str(std::string_view text);
    static Json strings(const std::vector<std::string>& items);

    Json(bool value) : text_(value ? "true" : "false") {}
    Json(int value) : text_(std::to_string(value)) {}
    Json(long long value) : text_(std::to_string(value)) {}
    Json(double value);
    Json(const char* text) : Json(str(text)) {}
    Json(const std::string& text) : Json(str(text)) {}

    const std::string& text() const { return text_; }

private:
    struct Raw {};
    Json(Raw, std::string text) : text_(std::move(text)) {}
    std::string text_;
};

using JsonMember = std::pair<std::string_view, Json>;

// {"key": value, ...} with the members in the given order.
std::string jsonObject(std::initializer_list<JsonMember> members);

// Readers that give a default when a member is missing or has another type.
std::string stringMember(const rapidjson::Value& object, const char* name);
int intMember(const rapidjson::Value& object, const char* name, int fallback = 0);
double numberMember(const rapidjson::Value& object, const char* name, double fallback = 0);
bool boolMember(const rapidjson::Value& object, const char* name, bool fallback = false);
const rapidjson::Value* member(const rapidjson::Value& object, const char* name);

// The value as JSON text.
std::string toJsonText(const rapidjson::Value& value);

}  // namespace clipmill::cdp
