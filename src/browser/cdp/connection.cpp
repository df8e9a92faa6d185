#include "browser/cdp/connection.h"

#include <algorithm>

#include "browser/cdp/json.h"
#include "browser/interrupt.h"
#include "support/thread_guard.h"

namespace clipmill::cdp {

namespace {

constexpr Millis kInterruptPoll{50};

const rapidjson::Value& emptyObject() {
    static const rapidjson::Value empty(rapidjson::kObjectType);
    return empty;
}

// Waits on `cv` until `ready()` or the deadline, waking regularly to honour an interrupt.
template <typename Ready>
bool waitInterruptibly(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, Millis timeout,
                       Ready ready) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!ready()) {
        if (interruptRequested()) return false;
        auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return false;
        auto slice = std::min<std::chrono::steady_clock::duration>(deadline - now, kInterruptPoll);
        cv.wait_for(lock, slice);
    }
    return true;
}

}  // namespace

const rapidjson::Value& Reply::result() const {
    if (!message) return emptyObject();
    const auto* value = member(*message, "result");
    return value ? *value : emptyObject();
}

struct PendingCall::State {
    std::mutex mutex;
    std::condition_variable cv;
    bool done = false;
    Reply reply;
    std::string method;
    long long id = 0;

    void complete(Reply value) {
        std::lock_guard lock(mutex);
        if (done) return;
        reply = std::move(value);
        done = true;
        cv.notify_all();
    }
};

long long PendingCall::id() const { return state_ ? state_->id : 0; }

Reply PendingCall::wait(Millis timeout) {
    if (!state_) return Reply{false, "not sent", nullptr};
    std::unique_lock lock(state_->mutex);
    if (!waitInterruptibly(lock, state_->cv, timeout, [&] { return state_->done; })) {
        std::string why = interruptRequested() ? "stopped" : "timed out after " + std::to_string(timeout.count()) + " ms";
        return Reply{false, state_->method + ": " + why, nullptr};
    }
    return std::move(state_->reply);
}

struct Connection::EventWait::State {
    std::mutex mutex;
    std::condition_variable cv;
    bool fired = false;
    bool dropped = false;

    void finish(bool event) {
        std::lock_guard lock(mutex);
        (event ? fired : dropped) = true;
        cv.notify_all();
    }
};

bool Connection::EventWait::wait(Millis timeout) {
    std::unique_lock lock(state_->mutex);
    waitInterruptibly(lock, state_->cv, timeout, [&] { return state_->fired || state_->dropped; });
    return state_->fired;
}

std::shared_ptr<Connection> Connection::open(const Endpoint& endpoint, Millis timeout, std::string& error) {
    auto socket = connectWebSocket("127.0.0.1", endpoint.port, endpoint.path, timeout, error);
    if (!socket) return nullptr;
    std::shared_ptr<Connection> connection(new Connection(std::move(socket)));
    connection->socket_->start([raw = connection.get()](std::string text) { raw->onMessage(std::move(text)); },
                               [raw = connection.get()](const std::string& reason) { raw->onClosed(reason); });
    return connection;
}

Connection::Connection(std::unique_ptr<WebSocket> socket) : socket_(std::move(socket)) {
    dispatcher_ = std::thread([this] { runGuarded("DevTools event", [this] { dispatchLoop(); }); });
}

Connection::~Connection() {
    close();
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    eventsReady_.notify_all();
    if (dispatcher_.get_id() == std::this_thread::get_id()) {
        dispatcher_.detach();
    } else if (dispatcher_.joinable()) {
        dispatcher_.join();
    }
}

void Connection::close() { socket_->close(); }

bool Connection::connected() const {
    std::lock_guard lock(mutex_);
    return connected_;
}

std::string Connection::closeReason() const {
    std::lock_guard lock(mutex_);
    return closeReason_;
}

PendingCall Connection::send(const std::string& method, const std::string& params, const std::string& sessionId) {
    auto state = std::make_shared<PendingCall::State>();
    state->method = method;
    long long id = 0;
    {
        std::lock_guard lock(mutex_);
        if (!connected_) {
            state->done = true;
            state->reply = Reply{false, method + ": not connected (" + closeReason_ + ")", nullptr};
            return PendingCall(state);
        }
        id = ++nextId_;
        state->id = id;
        pending_[id] = state;
    }
    std::string text = "{\"id\":" + std::to_string(id) + ",\"method\":" + Json::str(method).text() +
                       ",\"params\":" + params;
    if (!sessionId.empty()) text += ",\"sessionId\":" + Json::str(sessionId).text();
    text += '}';
    socket_->send(std::move(text));
    return PendingCall(state);
}

Reply Connection::call(const std::string& method, const std::string& params, const std::string& sessionId,
                       Millis timeout) {
    PendingCall pending = send(method, params, sessionId);
    Reply reply = pending.wait(timeout);
    if (!reply.ok) {
        // A reply that never came is not waited for any more.
        std::lock_guard lock(mutex_);
        pending_.erase(pending.id());
    }
    return reply;
}

int Connection::subscribe(const std::string& method, const std::string& sessionId, EventHandler handler) {
    std::lock_guard lock(mutex_);
    int id = ++nextSubscription_;
    subscriptions_.push_back({id, method, sessionId, std::make_shared<EventHandler>(std::move(handler))});
    return id;
}

void Connection::unsubscribe(int id) {
    std::lock_guard lock(mutex_);
    std::erase_if(subscriptions_, [id](const Subscription& s) { return s.id == id; });
}

Connection::EventWait Connection::expect(const std::string& method, const std::string& sessionId) {
    auto state = std::make_shared<EventWait::State>();
    std::lock_guard lock(mutex_);
    if (!connected_) {
        state->dropped = true;
    } else {
        eventWaits_.emplace_back(method + '\n' + sessionId, state);
    }
    return EventWait(state);
}

void Connection::onMessage(std::string text) {
    auto message = std::make_shared<rapidjson::Document>();
    message->Parse(text.data(), text.size());
    if (message->HasParseError() || !message->IsObject()) return;
    const auto* id = member(*message, "id");
    if (id && id->IsInt64()) {
        std::shared_ptr<PendingCall::State> state;
        {
            std::lock_guard lock(mutex_);
            auto it = pending_.find(id->GetInt64());
            if (it == pending_.end()) return;
            state = std::move(it->second);
            pending_.erase(it);
        }
        if (const auto* error = member(*message, "error")) {
            state->complete(Reply{false, state->method + ": " + stringMember(*error, "message") + " (" +
                                             std::to_string(intMember(*error, "code")) + ")",
                                  nullptr});
        } else {
            state->complete(Reply{true, "", std::move(message)});
        }
        return;
    }
    std::string method = stringMember(*message, "method");
    std::string sessionId = stringMember(*message, "sessionId");
    std::vector<std::shared_ptr<EventWait::State>> fired;
    {
        std::lock_guard lock(mutex_);
        std::string key = method + '\n' + sessionId;
        std::erase_if(eventWaits_, [&](auto& entry) {
            if (entry.first != key) return false;
            fired.push_back(entry.second);
            return true;
        });
        bool wanted = false;
        for (const auto& s : subscriptions_) wanted = wanted || (s.method == method && s.sessionId == sessionId);
        if (wanted) {
            if (events_.size() >= kMaxQueuedEvents) events_.pop_front();
            events_.push_back({method, sessionId, std::move(message)});
        }
    }
    for (auto& state : fired) state->finish(true);
    eventsReady_.notify_one();
}

void Connection::onClosed(const std::string& reason) {
    std::map<long long, std::shared_ptr<PendingCall::State>> pending;
    std::vector<std::pair<std::string, std::shared_ptr<EventWait::State>>> waits;
    {
        std::lock_guard lock(mutex_);
        connected_ = false;
        closeReason_ = reason;
        pending.swap(pending_);
        waits.swap(eventWaits_);
    }
    for (auto& [id, state] : pending) state->complete(Reply{false, state->method + ": connection lost (" + reason + ")", nullptr});
    for (auto& [key, state] : waits) state->finish(false);
}

void Connection::dispatchLoop() {
    std::unique_lock lock(mutex_);
    while (true) {
        eventsReady_.wait(lock, [&] { return stopping_ || !events_.empty(); });
        if (stopping_) return;
        QueuedEvent event = std::move(events_.front());
        events_.pop_front();
        lock.unlock();
        const auto* params = member(*event.message, "params");
        deliver(event.method, event.sessionId, params ? *params : emptyObject());
        lock.lock();
    }
}

void Connection::deliver(const std::string& method, const std::string& sessionId, const rapidjson::Value& params) {
    std::vector<std::shared_ptr<EventHandler>> handlers;
    {
        std::lock_guard lock(mutex_);
        for (const auto& s : subscriptions_) {
            if (s.method == method && s.sessionId == sessionId) handlers.push_back(s.handler);
        }
    }
    for (auto& handler : handlers) (*handler)(params);
}

}  // namespace clipmill::cdp
