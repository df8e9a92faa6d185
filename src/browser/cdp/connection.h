#pragma once

#include <rapidjson/document.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "browser/cdp/websocket.h"

namespace clipmill::cdp {

using Millis = std::chrono::milliseconds;

// The answer to one protocol call: the result object, or an error text.
struct Reply {
    bool ok = false;
    std::string error;
    std::shared_ptr<rapidjson::Document> message;  // the whole reply when ok
    // The "result" object; an empty object when the call failed.
    const rapidjson::Value& result() const;
};

// One call that was sent and whose reply may not have arrived yet.
class PendingCall {
public:
    struct State;
    PendingCall() = default;
    explicit PendingCall(std::shared_ptr<State> state) : state_(std::move(state)) {}
    // Waits for the reply. Gives up after `timeout`, when the connection drops, or when the
    // calling thread's InterruptScope asks to stop.
    Reply wait(Millis timeout);
    long long id() const;

private:
    std::shared_ptr<State> state_;
};

// The DevTools endpoint of a running browser.
struct Endpoint {
    int port = 0;
    std::string path;  // /devtools/browser/<id>
};

// A DevTools protocol client over one websocket: replies matched to calls by id, sessions
// flattened onto the one socket (sessionId on each message), events handed to subscribers
// on a dispatcher thread through a bounded queue. When the socket drops, every pending call
// fails at once and every later call fails immediately.
class Connection {
public:
    using EventHandler = std::function<void(const rapidjson::Value& params)>;

    static std::shared_ptr<Connection> open(const Endpoint& endpoint, Millis timeout, std::string& error);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    PendingCall send(const std::string& method, const std::string& params = "{}", const std::string& sessionId = "");
    Reply call(const std::string& method, const std::string& params = "{}", const std::string& sessionId = "",
               Millis timeout = kDefaultTimeout);

    // Handlers run on the dispatcher thread, may make calls and may drop the last reference
    // to the connection. An empty sessionId matches events of the browser target only.
    int subscribe(const std::string& method, const std::string& sessionId, EventHandler handler);
    void unsubscribe(int id);

    // Arms a one-shot wait for an event; arm it before sending what causes the event.
    class EventWait {
    public:
        struct State;
        // True when the event came within `timeout`; false on timeout, drop or interrupt.
        bool wait(Millis timeout);
        explicit EventWait(std::shared_ptr<State> state) : state_(std::move(state)) {}

    private:
        std::shared_ptr<State> state_;
    };
    EventWait expect(const std::string& method, const std::string& sessionId);

    bool connected() const;
    std::string closeReason() const;
    void close();

    static constexpr Millis kDefaultTimeout{15000};
    static constexpr std::size_t kMaxQueuedEvents = 2000;

private:
    // Everything the socket's reader and the dispatcher thread use. The dispatcher owns a
    // share of it, so a handler that drops the last reference to the connection leaves
    // the loop state it returns to alive.
    struct Shared;

    explicit Connection(std::unique_ptr<WebSocket> socket);

    std::shared_ptr<Shared> shared_;
    std::unique_ptr<WebSocket> socket_;
    std::thread dispatcher_;
};

}  // namespace clipmill::cdp
