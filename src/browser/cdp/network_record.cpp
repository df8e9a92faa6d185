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
    return record;
}

NetworkRecord::NetworkRecord(std::shared_ptr<Connection> connection, std::string sessionId)
    : connection_(std::move(connection)), sessionId_(std::move(sessionId)) {}

NetworkRecord::~NetworkRecord() {
    for (int id : subscriptions_) connection_->unsubscribe(id);
}

void NetworkRecord::subscribe() {
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
        wantsBody = entry->wantsBody;
    }
    std::string body = wantsBody ? responseBody(requestId) : std::string();
    std::lock_guard lock(mutex_);
    if (Entry* entry = find(requestId)) {
        entry->exchange.body = std::move(body);
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

// The answer's body as the browser kept it; "" when it kept none.
std::string NetworkRecord::responseBody(const std::string& requestId) {
    Reply reply = connection_->call("Network.getResponseBody", jsonObject({{"requestId", requestId}}), sessionId_,
                                    kBodyTimeout);
    if (!reply.ok) return {};
    std::string body = stringMember(reply.result(), "body");
    if (boolMember(reply.result(), "base64Encoded")) body = net::base64Decode(body).value_or("");
    if (body.size() > kMaxBodyBytes) body.resize(kMaxBodyBytes);
    return body;
}

}  // namespace clipmill::cdp
