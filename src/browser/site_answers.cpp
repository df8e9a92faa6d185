#include "browser/site_answers.h"

#include <rapidjson/document.h>

namespace clipmill {

namespace {

std::string numberOrText(const rapidjson::Value& object, const char* name) {
    if (!object.IsObject()) return {};
    auto it = object.FindMember(name);
    if (it == object.MemberEnd()) return {};
    if (it->value.IsString()) return it->value.GetString();
    if (it->value.IsInt64()) return std::to_string(it->value.GetInt64());
    if (it->value.IsUint64()) return std::to_string(it->value.GetUint64());
    return {};
}

const rapidjson::Value* member(const rapidjson::Value& object, const char* name) {
    if (!object.IsObject()) return nullptr;
    auto it = object.FindMember(name);
    return it == object.MemberEnd() ? nullptr : &it->value;
}

bool parsedObject(const std::optional<std::string>& body, rapidjson::Document& doc) {
    if (!body) return false;
    doc.Parse(body->c_str(), body->size());
    return !doc.HasParseError() && doc.IsObject();
}

}  // namespace

SiteIdentity readSiteIdentity(const std::optional<std::string>& body) {
    SiteIdentity identity;
    rapidjson::Document doc;
    if (!parsedObject(body, doc)) return identity;
    const rapidjson::Value* data = member(doc, "data");
    const rapidjson::Value* code = member(doc, "code");
    const rapidjson::Value* isLogin = data ? member(*data, "isLogin") : nullptr;
    if (isLogin && isLogin->IsBool() && !isLogin->GetBool()) {
        identity.state = SiteIdentity::State::LoggedOut;
        return identity;
    }
    if (code && code->IsInt() && code->GetInt() == -101) {
        identity.state = SiteIdentity::State::LoggedOut;
        return identity;
    }
    if (!data || !isLogin || !isLogin->IsBool()) return identity;
    identity.id = numberOrText(*data, "mid");
    identity.name = numberOrText(*data, "uname");
    if (!identity.id.empty()) identity.state = SiteIdentity::State::LoggedIn;
    return identity;
}

std::optional<std::vector<SiteSubmission>> readSiteSubmissions(const std::optional<std::string>& body) {
    rapidjson::Document doc;
    if (!parsedObject(body, doc)) return std::nullopt;
    const rapidjson::Value* code = member(doc, "code");
    const rapidjson::Value* data = member(doc, "data");
    if (!code || !code->IsInt() || code->GetInt() != 0 || !data) return std::nullopt;
    std::vector<SiteSubmission> submissions;
    const rapidjson::Value* audits = member(*data, "arc_audits");
    if (!audits || audits->IsNull()) return submissions;  // an account with none yet
    if (!audits->IsArray()) return std::nullopt;
    for (const auto& item : audits->GetArray()) {
        const rapidjson::Value* archive = member(item, "Archive");
        if (!archive || !archive->IsObject()) continue;
        SiteSubmission submission{numberOrText(*archive, "aid"), numberOrText(*archive, "bvid"),
                                  numberOrText(*archive, "title")};
        const rapidjson::Value* created = member(*archive, "ctime");
        if (created && created->IsInt64()) submission.createdEpoch = created->GetInt64();
        submissions.push_back(std::move(submission));
    }
    return submissions;
}

}  // namespace clipmill
