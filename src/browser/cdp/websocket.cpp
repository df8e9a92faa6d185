#include "browser/cdp/websocket.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/websocket.hpp>

#include <fcntl.h>
#include <sys/socket.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <random>
#include <thread>

#include "support/thread_guard.h"

namespace clipmill::cdp {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace ws = beast::websocket;
using tcp = asio::ip::tcp;

namespace {

enum Opcode : unsigned char { kContinuation = 0x0, kText = 0x1, kBinary = 0x2, kClose = 0x8, kPing = 0x9, kPong = 0xA };

constexpr std::size_t kMaxMessage = 512u * 1024 * 1024;

// What the reader thread uses: the socket, its handlers and the write lock. The reader owns
// a share of it, so a handler that destroys the websocket returns to a loop whose state is
// still there; the loop then sees the closed socket and ends.
struct Link {
    asio::io_context io;
    tcp::socket socket{io};
    int fd = -1;
    std::mutex writeMutex;
    std::minstd_rand maskSource{std::random_device{}()};
    std::atomic<bool> finished{false};
    std::once_flag finishOnce;
    WebSocket::MessageHandler onMessage;
    WebSocket::CloseHandler onClosed;

    void readUntilClosed();
    void readLoop();
    bool readExactly(void* data, std::size_t size);
    bool readFrame(unsigned char& opcode, bool& final, std::string& payload);
    bool writeFrame(unsigned char opcode, const char* data, std::size_t size);
    void finish(const std::string& reason);
};

// Beast performs the opening handshake; after it, frames are read and written on the socket
// directly: the reader thread blocks in recv, and a caller writes its frame itself, under a
// lock, so that a call does not wait for another thread to put it on the wire.
class FramedWebSocket final : public WebSocket {
public:
    ~FramedWebSocket() override { close(); }

    bool open(const std::string& host, int port, const std::string& path, std::chrono::milliseconds timeout,
              std::string& error);
    void start(MessageHandler onMessage, CloseHandler onClosed) override;
    void send(std::string message) override;
    void close() override;

private:
    std::shared_ptr<Link> link_ = std::make_shared<Link>();
    std::thread reader_;
    std::once_flag closeOnce_;
};

bool FramedWebSocket::open(const std::string& host, int port, const std::string& path,
                           std::chrono::milliseconds timeout, std::string& error) {
    try {
        ws::stream<beast::tcp_stream> stream(link_->io);
        auto& layer = beast::get_lowest_layer(stream);
        layer.expires_after(timeout);
        layer.connect(tcp::resolver(link_->io).resolve(host, std::to_string(port)));
        // Asio opens its sockets without close-on-exec; a restarted program must not hold this one.
        ::fcntl(layer.socket().native_handle(), F_SETFD, FD_CLOEXEC);
        layer.socket().set_option(tcp::no_delay(true));
        stream.handshake(host + ":" + std::to_string(port), path);
        layer.expires_never();
        link_->socket = std::move(layer.socket());
        link_->socket.non_blocking(false);
        link_->fd = link_->socket.native_handle();
        return true;
    } catch (const std::exception& e) {
        error = std::string("websocket connect to ") + host + ":" + std::to_string(port) + path + ": " + e.what();
        return false;
    }
}

void FramedWebSocket::start(MessageHandler onMessage, CloseHandler onClosed) {
    link_->onMessage = std::move(onMessage);
    link_->onClosed = std::move(onClosed);
    reader_ = std::thread([link = link_] { link->readUntilClosed(); });
}

bool Link::readExactly(void* data, std::size_t size) {
    auto* bytes = static_cast<char*>(data);
    while (size > 0) {
        ssize_t n = ::recv(fd, bytes, size, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool Link::readFrame(unsigned char& opcode, bool& final, std::string& payload) {
    unsigned char head[2];
    if (!readExactly(head, 2)) return false;
    final = (head[0] & 0x80) != 0;
    opcode = head[0] & 0x0F;
    bool masked = (head[1] & 0x80) != 0;
    std::uint64_t length = head[1] & 0x7F;
    if (length >= 126) {
        unsigned char extended[8];
        std::size_t width = length == 126 ? 2 : 8;
        if (!readExactly(extended, width)) return false;
        length = 0;
        for (std::size_t i = 0; i < width; ++i) length = (length << 8) | extended[i];
    }
    if (length > kMaxMessage) return false;
    unsigned char mask[4] = {0, 0, 0, 0};
    if (masked && !readExactly(mask, 4)) return false;
    payload.resize(length);
    if (length > 0 && !readExactly(payload.data(), length)) return false;
    if (masked) {
        for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<char>(payload[i] ^ mask[i % 4]);
    }
    return true;
}

void Link::readUntilClosed() {
    if (runGuarded("DevTools reader", [this] { readLoop(); })) return;
    // The calls waiting on the connection fail now rather than at their time limits.
    runGuarded("DevTools reader", [this] { finish("reading from the browser failed"); });
}

void Link::readLoop() {
    std::string message;
    std::string payload;
    while (true) {
        unsigned char opcode = 0;
        bool final = false;
        if (!readFrame(opcode, final, payload) || opcode == kClose) {
            finish(finished ? "closed by the program" : "the browser closed the connection");
            return;
        }
        if (opcode == kPing) {
            std::lock_guard lock(writeMutex);
            writeFrame(kPong, payload.data(), payload.size());
            continue;
        }
        if (opcode == kPong) continue;
        if (opcode == kText || opcode == kBinary) message.clear();
        if (message.size() + payload.size() > kMaxMessage) {
            finish("message too large");
            return;
        }
        message += payload;
        // Once closed, by a handler or another thread, nothing more is handed over.
        if (final && !finished) onMessage(std::exchange(message, {}));
    }
}

// Client frames are masked, as the protocol requires. writeMutex held.
bool Link::writeFrame(unsigned char opcode, const char* data, std::size_t size) {
    std::string frame;
    frame.reserve(size + 14);
    frame += static_cast<char>(0x80 | opcode);
    if (size < 126) {
        frame += static_cast<char>(0x80 | size);
    } else if (size <= 0xFFFF) {
        frame += static_cast<char>(0x80 | 126);
        frame += static_cast<char>(size >> 8);
        frame += static_cast<char>(size & 0xFF);
    } else {
        frame += static_cast<char>(0x80 | 127);
        for (int shift = 56; shift >= 0; shift -= 8) frame += static_cast<char>((static_cast<std::uint64_t>(size) >> shift) & 0xFF);
    }
    std::uint32_t key = static_cast<std::uint32_t>(maskSource());
    unsigned char mask[4] = {static_cast<unsigned char>(key), static_cast<unsigned char>(key >> 8),
                             static_cast<unsigned char>(key >> 16), static_cast<unsigned char>(key >> 24)};
    frame.append(reinterpret_cast<const char*>(mask), 4);
    std::size_t start = frame.size();
    frame.append(data, size);
    for (std::size_t i = 0; i < size; ++i) frame[start + i] = static_cast<char>(frame[start + i] ^ mask[i % 4]);
    const char* bytes = frame.data();
    std::size_t left = frame.size();
    while (left > 0) {
        ssize_t n = ::send(fd, bytes, left, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

void FramedWebSocket::send(std::string message) {
    if (link_->finished) return;
    std::lock_guard lock(link_->writeMutex);
    if (!link_->writeFrame(kText, message.data(), message.size())) ::shutdown(link_->fd, SHUT_RDWR);
}

void Link::finish(const std::string& reason) {
    std::call_once(finishOnce, [&] {
        finished = true;
        if (onClosed) onClosed(reason);
    });
}

void FramedWebSocket::close() {
    std::call_once(closeOnce_, [this] {
        if (!reader_.joinable()) return;
        link_->finished = true;
        {
            std::lock_guard lock(link_->writeMutex);
            link_->writeFrame(kClose, "\x03\xe8", 2);  // 1000: normal closure
        }
        ::shutdown(link_->fd, SHUT_RDWR);
        if (reader_.get_id() == std::this_thread::get_id()) {
            reader_.detach();
        } else {
            reader_.join();
        }
    });
}

}  // namespace

std::unique_ptr<WebSocket> connectWebSocket(const std::string& host, int port, const std::string& path,
                                            std::chrono::milliseconds timeout, std::string& error) {
    auto socket = std::make_unique<FramedWebSocket>();
    if (!socket->open(host, port, path, timeout, error)) return nullptr;
    return socket;
}

}  // namespace clipmill::cdp
