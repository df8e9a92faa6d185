#include "browser/submit_confirmation.h"

#include <rapidjson/document.h>

#include "support/web_address.h"

namespace clipmill {

namespace {

std::string numberOrText(const rapidjson::Value& object, const char* name) {
    auto it = object.FindMember(name);
    if (it == object.MemberEnd()) return {};
    if (it->value.IsString()) return it->value.GetString();
    if (it->value.IsInt64()) return std::to_string(it->value.GetInt64());
    return {};
}

bool isWebAddress(const std::string& address) {
    return address.rfind("http://", 0) == 0 || address.rfind("https://", 0) == 0;
}

}  // namespace

bool isUploadPage(const std::string& address, const std::string& configured, const std::string& landed) {
    if (address.empty()) return false;
    const std::string page = addressWithoutQuery(address);
    return page == addressWithoutQuery(configured) || (!landed.empty() && page == landed);
}

SiteAnswer readSiteAnswer(const std::string& body) {
    SiteAnswer answer;
    rapidjson::Document doc;
    doc.Parse(body.c_str(), body.size());
    if (doc.HasParseError() || !doc.IsObject()) return answer;
    auto code = doc.FindMember("code");
    if (code == doc.MemberEnd() || !code->value.IsInt()) return answer;
    answer.read = true;
    answer.code = code->value.GetInt();
    answer.message = numberOrText(doc, "message");
    auto data = doc.FindMember("data");
    if (data != doc.MemberEnd() && data->value.IsObject()) {
        answer.aid = numberOrText(data->value, "aid");
        answer.bvid = numberOrText(data->value, "bvid");
    }
    return answer;
}

namespace {

// How much an exchange says about the submit: the site's coded answer most, then a request
// still waiting for its answer, then one whose answer was lost, then an answer without a code.
int weight(const SubmitRequest& request) {
    switch (request.state) {
        case SubmitRequest::State::Answered: return request.answer.read ? 4 : 1;
        case SubmitRequest::State::Sent: return 3;
        case SubmitRequest::State::Lost: return 2;
        case SubmitRequest::State::None: return 0;
    }
    return 0;
}

SubmitRequest requestOf(const BrowserAutomation::NetworkExchange& exchange) {
    using State = BrowserAutomation::NetworkExchange::State;
    SubmitRequest request;
    switch (exchange.state) {
        case State::Sent: request.state = SubmitRequest::State::Sent; break;
        case State::Failed: request.state = SubmitRequest::State::Lost; break;
        case State::Answered:
            request.state = SubmitRequest::State::Answered;
            request.answer = readSiteAnswer(exchange.body);
            break;
    }
    return request;
}

}  // namespace

SubmitRequest findSubmitRequest(const std::vector<BrowserAutomation::NetworkExchange>& exchanges,
                                const std::string& addressPart) {
    SubmitRequest found;
    for (const auto& exchange : exchanges) {
        if (exchange.method != "POST") continue;
        if (!addressPart.empty() && exchange.url.find(addressPart) == std::string::npos) continue;
        const SubmitRequest request = requestOf(exchange);
        if (weight(request) >= weight(found)) found = request;
    }
    return found;
}

SubmitSign judgeSubmit(const SubmitLook& look, const SubmitAddresses& addresses) {
    if (look.request.state == SubmitRequest::State::Answered && look.request.answer.read)
        return look.request.answer.code == 0 ? SubmitSign::Accepted : SubmitSign::Refused;
    if (look.successShown) return SubmitSign::SuccessShown;
    if (look.request.state == SubmitRequest::State::Lost) return SubmitSign::Lost;
    if (look.address.empty()) return look.reachable ? SubmitSign::Waiting : SubmitSign::Gone;
    const std::string page = addressWithoutQuery(look.address);
    if (!addresses.loginPage.empty() && page == addressWithoutQuery(addresses.loginPage)) return SubmitSign::SignedOut;
    // A blank tab or an error page is not the site moving on; nor is a page the upload page
    // had already moved to before the click.
    if (addresses.addressProves && isWebAddress(look.address) &&
        page != addressWithoutQuery(addresses.beforeClick) &&
        !isUploadPage(look.address, addresses.configured, addresses.landed))
        return SubmitSign::Left;
    if (look.verification) return SubmitSign::Verification;
    if (look.refusalShown) return SubmitSign::Refused;
    return SubmitSign::Waiting;
}

}  // namespace clipmill
