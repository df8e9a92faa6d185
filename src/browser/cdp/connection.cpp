#include "browser/cdp/connection.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <vector>

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

struct Connection::Shared {
    struct Subscription {
        int id;
        std::string method;
        std::string sessionId;
        std::shared_ptr<EventHandler> handler;
    };
    struct QueuedEvent {
        std::string method;
        std::string sessionId;
        std::shared_ptr<rapidjson::Document> message;
    };

    mutable std::mutex mutex;
    bool connected = true;
    std::string closeReason;
    long long nextId = 0;
    std::map<long long, std::shared_ptr<PendingCall::State>> pending;
    std::vector<std::pair<std::string, std::shared_ptr<EventWait::State>>> eventWaits;  // key: method + '\n' + session
    std::vector<Subscription> subscriptions;
    int nextSubscription = 0;
    std::deque<QueuedEvent> events;
    std::condition_variable eventsReady;
    bool stopping = false;

    void onMessage(std::string text);
    void onReply(long long id, std::shared_ptr<rapidjson::Document> message);
    void onEvent(std::shared_ptr<rapidjson::Document> message);
    void onClosed(const std::string& reason);
    void dispatchLoop();
    void deliver(const std::string& method, const std::string& sessionId, const rapidjson::Value& params);
    void stop();
};

std::shared_ptr<Connection> Connection::open(const Endpoint& endpoint, Millis timeout, std::string& error) {
    auto socket = connectWebSocket("127.0.0.1", endpoint.port, endpoint.path, timeout, error);
    if (!socket) return nullptr;
    std::shared_ptr<Connection> connection(new Connection(std::move(socket)));
    connection->socket_->start([shared = connection->shared_](std::string text) { shared->onMessage(std::move(text)); },
                               [shared = connection->shared_](const std::string& reason) { shared->onClosed(reason); });
    return connection;
}

Connection::Connection(std::unique_ptr<WebSocket> socket)
    : shared_(std::make_shared<Shared>()), socket_(std::move(socket)) {
    dispatcher_ = std::thread([shared = shared_] { runGuarded("DevTools event", [&shared] { shared->dispatchLoop(); }); });
}

Connection::~Connection() {
    close();
    shared_->stop();
    if (dispatcher_.get_id() == std::this_thread::get_id()) {
        dispatcher_.detach();
    } else if (dispatcher_.joinable()) {
        dispatcher_.join();
    }
}

void Connection::close() { socket_->close(); }

bool Connection::connected() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->connected;
}

std::string Connection::closeReason() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->closeReason;
}

PendingCall Connection::send(const std::string& method, const std::string& params, const std::string& sessionId) {
    auto state = std::make_shared<PendingCall::State>();
    state->method = method;
    long long id = 0;
    {
        std::lock_guard lock(shared_->mutex);
        if (!shared_->connected) {
            state->done = true;
            state->reply = Reply{false, method + ": not connected (" + shared_->closeReason + ")", nullptr};
            return PendingCall(state);
        }
        id = ++shared_->nextId;
        state->id = id;
        shared_->pending[id] = state;
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
        std::lock_guard lock(shared_->mutex);
        shared_->pending.erase(pending.id());
    }
    return reply;
}

int Connection::subscribe(const std::string& method, const std::string& sessionId, EventHandler handler) {
    std::lock_guard lock(shared_->mutex);
    int id = ++shared_->nextSubscription;
    shared_->subscriptions.push_back({id, method, sessionId, std::make_shared<EventHandler>(std::move(handler))});
    return id;
}

void Connection::unsubscribe(int id) {
    std::lock_guard lock(shared_->mutex);
    std::erase_if(shared_->subscriptions, [id](const Shared::Subscription& s) { return s.id == id; });
}

Connection::EventWait Connection::expect(const std::string& method, const std::string& sessionId) {
    auto state = std::make_shared<EventWait::State>();
    std::lock_guard lock(shared_->mutex);
    if (!shared_->connected) {
        state->dropped = true;
    } else {
        shared_->eventWaits.emplace_back(method + '\n' + sessionId, state);
    }
    return EventWait(state);
}

void Connection::Shared::onMessage(std::string text) {
    auto message = std::make_shared<rapidjson::Document>();
    message->Parse(text.data(), text.size());
    if (message->HasParseError() || !message->IsObject()) return;
    const auto* id = member(*message, "id");
    if (id && id->IsInt64()) {
        onReply(id->GetInt64(), std::move(message));
    } else {
        onEvent(std::move(message));
    }
}

void Connection::Shared::onReply(long long id, std::shared_ptr<rapidjson::Document> message) {
    std::shared_ptr<PendingCall::State> state;
    {
        std::lock_guard lock(mutex);
        auto it = pending.find(id);
        if (it == pending.end()) return;
        state = std::move(it->second);
        pending.erase(it);
    }
    if (const auto* error = member(*message, "error")) {
        state->complete(Reply{false, state->method + ": " + stringMember(*error, "message") + " (" +
                                         std::to_string(intMember(*error, "code")) + ")",
                              nullptr});
    } else {
        state->complete(Reply{true, "", std::move(message)});
    }
}

void Connection::Shared::onEvent(std::shared_ptr<rapidjson::Document> message) {
    std::string method = stringMember(*message, "method");
    std::string sessionId = stringMember(*message, "sessionId");
    std::vector<std::shared_ptr<EventWait::State>> fired;
    {
        std::lock_guard lock(mutex);
        std::string key = method + '\n' + sessionId;
        std::erase_if(eventWaits, [&](auto& entry) {
            if (entry.first != key) return false;
            fired.push_back(entry.second);
            return true;
        });
        bool wanted = false;
        for (const auto& s : subscriptions) wanted = wanted || (s.method == method && s.sessionId == sessionId);
        if (wanted) {
            if (events.size() >= kMaxQueuedEvents) events.pop_front();
            events.push_back({method, sessionId, std::move(message)});
        }
    }
    for (auto& state : fired) state->finish(true);
    eventsReady.notify_one();
}

void Connection::Shared::onClosed(const std::string& reason) {
    std::map<long long, std::shared_ptr<PendingCall::State>> dropped;
    std::vector<std::pair<std::string, std::shared_ptr<EventWait::State>>> waits;
    {
        std::lock_guard lock(mutex);
        connected = false;
        closeReason = reason;
        dropped.swap(pending);
        waits.swap(eventWaits);
    }
    for (auto& [id, state] : dropped) state->complete(Reply{false, state->method + ": connection lost (" + reason + ")", nullptr});
    for (auto& [key, state] : waits) state->finish(false);
}

void Connection::Shared::stop() {
    {
        std::lock_guard lock(mutex);
        stopping = true;
    }
    eventsReady.notify_all();
}

void Connection::Shared::dispatchLoop() {
    std::unique_lock lock(mutex);
    while (true) {
        eventsReady.wait(lock, [&] { return stopping || !events.empty(); });
        if (stopping) return;
        QueuedEvent event = std::move(events.front());
        events.pop_front();
        lock.unlock();
        const auto* params = member(*event.message, "params");
        deliver(event.method, event.sessionId, params ? *params : emptyObject());
        lock.lock();
    }
}

void Connection::Shared::deliver(const std::string& method, const std::string& sessionId,
                                 const rapidjson::Value& params) {
    std::vector<std::shared_ptr<EventHandler>> handlers;
    {
        std::lock_guard lock(mutex);
        for (const auto& s : subscriptions) {
            if (s.method == method && s.sessionId == sessionId) handlers.push_back(s.handler);
        }
    }
    for (auto& handler : handlers) (*handler)(params);
}

}  // namespace clipmill::cdp
