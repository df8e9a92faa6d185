#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace clipmill::cdp {

// A text-message websocket to the browser's DevTools endpoint. One thread of its own reads
// all the time and performs every write, in the order they were sent.
class WebSocket {
public:
    using MessageHandler = std::function<void(std::string message)>;
    using CloseHandler = std::function<void(const std::string& reason)>;

    virtual ~WebSocket() = default;
    // Handlers run on the socket's thread; onClosed runs once, after the last message. A
    // handler may destroy the websocket: its thread then ends on its own, after onClosed.
    virtual void start(MessageHandler onMessage, CloseHandler onClosed) = 0;
    // Thread-safe; a message sent after the close is dropped.
    virtual void send(std::string message) = 0;
    // Closes the connection and joins the socket's thread (unless called on it).
    virtual void close() = 0;
};

// Connects to ws://host:port/path without an Origin header. Null with `error` set on failure.
std::unique_ptr<WebSocket> connectWebSocket(const std::string& host, int port, const std::string& path,
                                            std::chrono::milliseconds timeout, std::string& error);

}  // namespace clipmill::cdp
