#include "browser/cdp/websocket.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/websocket.hpp>

#include <deque>
#include <mutex>
#include <thread>

namespace clipmill::cdp {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace ws = beast::websocket;
using tcp = asio::ip::tcp;

namespace {

class BeastWebSocket final : public WebSocket {
public:
    BeastWebSocket() : stream_(io_) {}
    ~BeastWebSocket() override { close(); }

    bool open(const std::string& host, int port, const std::string& path, std::chrono::milliseconds timeout,
              std::string& error);
    void start(MessageHandler onMessage, CloseHandler onClosed) override;
    void send(std::string message) override;
    void close() override;

private:
    void readNext();
    void writeNext();
    void finish(const std::string& reason);

    asio::io_context io_;
    ws::stream<beast::tcp_stream> stream_;
    beast::flat_buffer buffer_;
    std::deque<std::string> outbox_;  // touched on the io thread only
    bool writing_ = false;
    bool finished_ = false;
    MessageHandler onMessage_;
    CloseHandler onClosed_;
    std::thread thread_;
    std::once_flag closeOnce_;
};

bool BeastWebSocket::open(const std::string& host, int port, const std::string& path,
                          std::chrono::milliseconds timeout, std::string& error) {
    try {
        tcp::resolver resolver(io_);
        auto endpoints = resolver.resolve(host, std::to_string(port));
        auto& layer = beast::get_lowest_layer(stream_);
        layer.expires_after(timeout);
        layer.connect(endpoints);
        layer.socket().set_option(tcp::no_delay(true));
        stream_.read_message_max(512u * 1024 * 1024);
        stream_.handshake(host + ":" + std::to_string(port), path);
        layer.expires_never();
        return true;
    } catch (const std::exception& e) {
        error = std::string("websocket connect to ") + host + ":" + std::to_string(port) + path + ": " + e.what();
        return false;
    }
}

void BeastWebSocket::start(MessageHandler onMessage, CloseHandler onClosed) {
    onMessage_ = std::move(onMessage);
    onClosed_ = std::move(onClosed);
    readNext();
    thread_ = std::thread([this] { io_.run(); });
}

void BeastWebSocket::readNext() {
    stream_.async_read(buffer_, [this](beast::error_code ec, std::size_t) {
        if (ec) {
            finish(ec.message());
            return;
        }
        std::string message = beast::buffers_to_string(buffer_.data());
        buffer_.consume(buffer_.size());
        onMessage_(std::move(message));
        readNext();
    });
}

void BeastWebSocket::send(std::string message) {
    asio::post(io_, [this, message = std::move(message)]() mutable {
        if (finished_) return;
        outbox_.push_back(std::move(message));
        if (!writing_) writeNext();
    });
}

void BeastWebSocket::writeNext() {
    writing_ = true;
    stream_.async_write(asio::buffer(outbox_.front()), [this](beast::error_code ec, std::size_t) {
        outbox_.pop_front();
        if (ec) {
            finish(ec.message());
            return;
        }
        if (outbox_.empty() || finished_) {
            writing_ = false;
            return;
        }
        writeNext();
    });
}

void BeastWebSocket::finish(const std::string& reason) {
    if (finished_) return;
    finished_ = true;
    beast::error_code ignored;
    beast::get_lowest_layer(stream_).socket().shutdown(tcp::socket::shutdown_both, ignored);
    beast::get_lowest_layer(stream_).socket().close(ignored);
    if (onClosed_) onClosed_(reason);
    io_.stop();
}

void BeastWebSocket::close() {
    std::call_once(closeOnce_, [this] {
        if (!thread_.joinable()) return;
        asio::post(io_, [this] { finish("closed by the program"); });
        if (thread_.get_id() == std::this_thread::get_id()) {
            thread_.detach();
        } else {
            thread_.join();
        }
    });
}

}  // namespace

std::unique_ptr<WebSocket> connectWebSocket(const std::string& host, int port, const std::string& path,
                                            std::chrono::milliseconds timeout, std::string& error) {
    auto socket = std::make_unique<BeastWebSocket>();
    if (!socket->open(host, port, path, timeout, error)) return nullptr;
    return socket;
}

}  // namespace clipmill::cdp
