#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <future>

#include "browser/cdp/connection.h"
#include "browser/cdp/websocket.h"
#include "fixtures/poll_until.h"
#include "fixtures/websocket_peer.h"

namespace clipmill::testing {
namespace {

using namespace std::chrono_literals;

std::size_t threadCount() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) ++count;
    return count;
}

// The threads a connection started end by themselves, also the one it could not join.
::testing::AssertionResult threadsBackTo(std::size_t count, std::chrono::milliseconds timeout) {
    return pollUntil([&] { return threadCount() <= count; }, timeout, 10ms)
           << ": " << threadCount() << " threads, " << count << " before";
}

TEST(ConnectionLifetime, AnEventHandlerMayDropTheLastReferenceToTheConnection) {
    WebSocketPeer peer;
    const std::size_t threadsBefore = threadCount();
    std::string error;
    auto connection = cdp::Connection::open({peer.port(), "/devtools/browser/peer"}, 2s, error);
    ASSERT_TRUE(connection) << error;
    std::promise<void> dropped;
    connection->subscribe("Target.detachedFromTarget", "", [&](const rapidjson::Value&) {
        connection.reset();
        dropped.set_value();
    });
    cdp::PendingCall pending = connection->send("Runtime.evaluate", R"({"expression":"1"})");
    ASSERT_TRUE(peer.received(2s));
    peer.send(R"({"method":"Target.detachedFromTarget","params":{}})");

    ASSERT_EQ(dropped.get_future().wait_for(5s), std::future_status::ready);
    cdp::Reply reply = pending.wait(2s);
    EXPECT_FALSE(reply.ok);
    EXPECT_EQ(reply.error, "Runtime.evaluate: connection lost (closed by the program)");
    EXPECT_EQ(peer.closeCode(2s), 1000);
    EXPECT_TRUE(threadsBackTo(threadsBefore, 2s));
}

TEST(ConnectionLifetime, AMessageHandlerMayDestroyTheWebSocket) {
    WebSocketPeer peer;
    const std::size_t threadsBefore = threadCount();
    std::string error;
    auto socket = cdp::connectWebSocket("127.0.0.1", peer.port(), "/", 2s, error);
    ASSERT_TRUE(socket) << error;
    std::vector<std::string> messages;
    std::promise<std::string> closedWith;
    socket->start(
        [&](std::string text) {
            messages.push_back(std::move(text));
            socket.reset();
        },
        [&](const std::string& reason) { closedWith.set_value(reason); });
    peer.send("first");
    peer.send("second");

    auto closed = closedWith.get_future();
    ASSERT_EQ(closed.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(closed.get(), "closed by the program");
    EXPECT_EQ(messages, std::vector<std::string>{"first"});
    EXPECT_EQ(peer.closeCode(2s), 1000);
    EXPECT_TRUE(threadsBackTo(threadsBefore, 2s));
}

}  // namespace
}  // namespace clipmill::testing
