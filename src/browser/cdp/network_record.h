#pragma once

#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "browser/automation.h"
#include "browser/cdp/connection.h"

namespace clipmill::cdp {

// The requests one page session makes, as the browser's Network domain reports them, from
// the moment the record starts. Bound to that session: when its tab closes nothing more is
// added, and a page attached later is not followed (start a new record on it).
//
// Events arrive on the connection's dispatcher thread; bodies are asked for there, which is
// safe because replies are matched on the socket's reader thread. The answer to a page's POST
// is held back (Fetch domain, response stage) until its body is read: a page that leaves as
// soon as it has read the answer would otherwise take the body with it. Other answers' bodies
// are read once they have loaded. Only the latest kMaxExchanges requests are kept, and a body
// is cut after kMaxBodyBytes. Bodies of images, media, fonts, style sheets and scripts are not
// read: only answers a page reads as data are of interest.
class NetworkRecord : public std::enable_shared_from_this<NetworkRecord> {
public:
    using Exchange = BrowserAutomation::NetworkExchange;
    static constexpr std::size_t kMaxExchanges = 500;
    static constexpr std::size_t kMaxBodyBytes = 1 << 20;

    // Subscribes to the session's network events and enables the domain; null when the
    // browser refuses.
    static std::shared_ptr<NetworkRecord> start(std::shared_ptr<Connection> connection, const std::string& sessionId);
    ~NetworkRecord();
    NetworkRecord(const NetworkRecord&) = delete;
    NetworkRecord& operator=(const NetworkRecord&) = delete;

    // Ends the record: no more events are taken and held answers go on. Also on destruction;
    // call it before starting a record on the same session, as a handler still running may
    // keep this one alive past the start of the next.
    void stop();
    const std::string& sessionId() const { return sessionId_; }
    // The exchanges in the order their requests were sent.
    std::vector<Exchange> exchanges() const;

private:
    struct Entry {
        std::string requestId;
        Exchange exchange;
        bool wantsBody = true;
        bool bodyCaptured = false;  // read while the answer was held back
    };

    NetworkRecord(std::shared_ptr<Connection> connection, std::string sessionId);
    void subscribe();
    void onRequestSent(const rapidjson::Value& params);
    void onResponse(const rapidjson::Value& params);
    void onFinished(const rapidjson::Value& params);
    void onFailed(const rapidjson::Value& params);
    void onAnswerHeld(const rapidjson::Value& params);
    Entry* find(const std::string& requestId);  // mutex_ held
    std::optional<std::string> responseBody(const char* method, const std::string& requestId);

    std::shared_ptr<Connection> connection_;
    std::string sessionId_;
    std::mutex subscriptionsMutex_;
    std::vector<int> subscriptions_;
    mutable std::mutex mutex_;
    std::deque<Entry> entries_;
    long long firstSequence_ = 0;             // the sequence number of entries_.front()
    std::map<std::string, long long> sequence_;  // requestId -> sequence number
};

}  // namespace clipmill::cdp
