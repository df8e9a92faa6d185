#include "accounts/account_file.h"

#include <rapidjson/document.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>

#include <string_view>

#include "support/atomic_file.h"
#include "support/utf8_text.h"

namespace clipmill {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// The parser checks the file's bytes but turns an escaped lone surrogate ("\udc00") into
// bytes that are not UTF-8, which no writer stores again; such a sequence becomes U+FFFD.
std::string textOf(const rapidjson::Value& string) {
    return withMalformedUtf8Replaced(std::string_view(string.GetString(), string.GetStringLength()));
}

bool parseRecord(std::string_view json, AccountRecord& record) {
    if (json.starts_with(kByteOrderMark)) json.remove_prefix(kByteOrderMark.size());
    rapidjson::Document document;
    document.Parse<rapidjson::kParseValidateEncodingFlag>(json.data(), json.size());
    if (document.HasParseError() || !document.IsObject()) return false;
    for (const auto& member : document.GetObject()) {
        std::string key = textOf(member.name);
        const auto& value = member.value;
        if (value.IsString())
            record.setText(key, textOf(value));
        else if (value.IsInt())
            record.setInteger(key, value.GetInt());
    }
    return true;
}

}  // namespace

bool readAccountFile(const std::filesystem::path& path, AccountRecord& record) {
    record.clear();
    auto content = readWholeFile(path);
    return content && parseAccountFile(*content, record);
}

bool parseAccountFile(std::string_view content, AccountRecord& record) {
    record.clear();
    if (parseRecord(content, record)) return true;
    record.clear();
    return false;
}

std::string accountFileContent(const AccountRecord& record) {
    rapidjson::StringBuffer buffer;
    rapidjson::PrettyWriter<rapidjson::StringBuffer> writer(buffer);
    bool ok = writer.StartObject();
    for (const auto& [key, value] : record.entries()) {
        ok = ok && writer.Key(key.data(), static_cast<rapidjson::SizeType>(key.size()));
        if (const auto* text = std::get_if<std::string>(&value))
            ok = ok && writer.String(text->data(), static_cast<rapidjson::SizeType>(text->size()));
        else
            ok = ok && writer.Int(std::get<std::int32_t>(value));
    }
    ok = ok && writer.EndObject();
    std::string json(buffer.GetString(), buffer.GetSize());
    // The writer copies text bytes as they are; refuse to store what no reader accepts.
    AccountRecord check;
    if (!ok || !parseRecord(json, check)) return {};
    return json + "\n";
}

bool writeAccountFile(const std::filesystem::path& path, const AccountRecord& record) {
    std::string content = accountFileContent(record);
    if (content.empty()) return false;
    return writeFileAtomically(path, content);
}

}  // namespace clipmill
