#include "browser/cdp/network_record.h"

#include <set>

#include "browser/cdp/json.h"
#include "net/digest.h"

namespace clipmill::cdp {

namespace {

constexpr Millis kBodyTimeout{5000};

// Resource types whose bodies nobody reads as data and which can be large.
bool bodyWanted(const std::string& resourceType) {
    static const std::set<std::string> skipped = {"Image", "Media", "Font", "Stylesheet", "Script", "TextTrack", "Manifest"};
    return !skipped.contains(resourceType);
}

}  // namespace

std::shared_ptr<NetworkRecord> NetworkRecord::start(std::shared_ptr<Connection> connection, const std::string& sessionId) {
    std::shared_ptr<NetworkRecord> record(new NetworkRecord(std::move(connection), sessionId));
    record->subscribe();
    if (!record->connection_->call("Network.enable", "{}", sessionId).ok) return nullptr;
    const std::string held = "[" + jsonObject({{"resourceType", "XHR"}, {"requestStage", "Response"}}) + "," +
                             jsonObject({{"resourceType", "Fetch"}, {"requestStage", "Response"}}) + "]";
    if (!record->connection_->call("Fetch.enable", jsonObject({{"patterns", Json::raw(held)}}), sessionId).ok)
        return nullptr;
    return record;
}

NetworkRecord::NetworkRecord(std::shared_ptr<Connection> connection, std::string sessionId)
    : connection_(std::move(connection)), sessionId_(std::move(sessionId)) {}

NetworkRecord::~NetworkRecord() { stop(); }

void NetworkRecord::stop() {
    std::vector<int> ended;
    {
        std::lock_guard lock(subscriptionsMutex_);
        ended.swap(subscriptions_);
    }
    if (ended.empty()) return;
    for (int id : ended) connection_->unsubscribe(id);
    // Nothing here would let a held answer go any more: the browser releases them all.
    connection_->send("Fetch.disable", "{}", sessionId_);
}

void NetworkRecord::subscribe() {
    std::lock_guard lock(subscriptionsMutex_);
    std::weak_ptr<NetworkRecord> weak = weak_from_this();
    auto route = [&](const char* method, void (NetworkRecord::*handler)(const rapidjson::Value&)) {
        subscriptions_.push_back(connection_->subscribe(method, sessionId_, [weak, handler](const rapidjson::Value& p) {
            if (auto self = weak.lock()) ((*self).*handler)(p);
        }));
    };
    route("Network.requestWillBeSent", &NetworkRecord::onRequestSent);
    route("Network.responseReceived", &NetworkRecord::onResponse);
    route("Network.loadingFinished", &NetworkRecord::onFinished);
    route("Network.loadingFailed", &NetworkRecord::onFailed);
    route("Fetch.requestPaused", &NetworkRecord::onAnswerHeld);
}

std::vector<NetworkRecord::Exchange> NetworkRecord::exchanges() const {
    std::lock_guard lock(mutex_);
    std::vector<Exchange> copy;
    copy.reserve(entries_.size());
    for (const auto& entry : entries_) copy.push_back(entry.exchange);
    return copy;
}

NetworkRecord::Entry* NetworkRecord::find(const std::string& requestId) {
    auto it = sequence_.find(requestId);
    if (it == sequence_.end() || it->second < firstSequence_) return nullptr;
    return &entries_[static_cast<std::size_t>(it->second - firstSequence_)];
}

void NetworkRecord::onRequestSent(const rapidjson::Value& params) {
    const std::string requestId = stringMember(params, "requestId");
    const auto* request = member(params, "request");
    if (requestId.empty() || !request) return;
    std::lock_guard lock(mutex_);
    // A redirect goes on under the same id: the exchange keeps the address it ended at.
    if (Entry* known = find(requestId)) {
        known->exchange.url = stringMember(*request, "url");
        known->exchange.method = stringMember(*request, "method");
        return;
    }
    if (entries_.size() >= kMaxExchanges) {
        sequence_.erase(entries_.front().requestId);
        entries_.pop_front();
        ++firstSequence_;
    }
    Entry entry{requestId, {}, bodyWanted(stringMember(params, "type"))};
    entry.exchange.method = stringMember(*request, "method");
    entry.exchange.url = stringMember(*request, "url");
    sequence_[requestId] = firstSequence_ + static_cast<long long>(entries_.size());
    entries_.push_back(std::move(entry));
}

void NetworkRecord::onResponse(const rapidjson::Value& params) {
    const auto* response = member(params, "response");
    if (!response) return;
    std::lock_guard lock(mutex_);
    if (Entry* entry = find(stringMember(params, "requestId"))) {
        entry->exchange.status = intMember(*response, "status");
        if (const std::string type = stringMember(params, "type"); !type.empty()) entry->wantsBody = bodyWanted(type);
    }
}

void NetworkRecord::onFinished(const rapidjson::Value& params) {
    const std::string requestId = stringMember(params, "requestId");
    bool wantsBody = false;
    {
        std::lock_guard lock(mutex_);
        Entry* entry = find(requestId);
        if (!entry) return;
        wantsBody = entry->wantsBody && !entry->bodyCaptured;
    }
    std::optional<std::string> body;
    if (wantsBody) body = responseBody("Network.getResponseBody", requestId);
    std::lock_guard lock(mutex_);
    if (Entry* entry = find(requestId)) {
        if (body) entry->exchange.body = std::move(*body);
        entry->exchange.state = Exchange::State::Answered;
    }
}

void NetworkRecord::onFailed(const rapidjson::Value& params) {
    std::lock_guard lock(mutex_);
    if (Entry* entry = find(stringMember(params, "requestId"))) {
        entry->exchange.state = Exchange::State::Failed;
        entry->exchange.error = stringMember(params, "errorText");
    }
}

// A POST's answer, held back before the page sees it: its body is read, then it goes on.
void NetworkRecord::onAnswerHeld(const rapidjson::Value& params) {
    const std::string heldId = stringMember(params, "requestId");
    const auto* request = member(params, "request");
    const int status = intMember(params, "responseStatusCode");
    const bool hasBody = status >= 200 && (status < 300 || status >= 400);  // redirects and failures have none
    std::optional<std::string> body;
    if (request && stringMember(*request, "method") == "POST" && hasBody)
        body = responseBody("Fetch.getResponseBody", heldId);
    if (body) {
        std::lock_guard lock(mutex_);
        if (Entry* entry = find(stringMember(params, "networkId"))) {
            entry->exchange.body = std::move(*body);
            entry->bodyCaptured = true;
        }
    }
    connection_->send("Fetch.continueRequest", jsonObject({{"requestId", heldId}}), sessionId_);
}

// The answer's body as the browser has it; nothing when it has none.
std::optional<std::string> NetworkRecord::responseBody(const char* method, const std::string& requestId) {
    Reply reply = connection_->call(method, jsonObject({{"requestId", requestId}}), sessionId_, kBodyTimeout);
    if (!reply.ok) return std::nullopt;
    std::string body = stringMember(reply.result(), "body");
    if (boolMember(reply.result(), "base64Encoded")) body = net::base64Decode(body).value_or("");
    if (body.size() > kMaxBodyBytes) body.resize(kMaxBodyBytes);
    return body;
}

}  // namespace clipmill::cdp
