// The broadband redial against a stand-in nmcli on PATH (NetworkManager and PPPoE cannot run
// on the test machines).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <thread>

#include "fixtures/practice_http_server.h"
#include "fixtures/scoped_env.h"
#include "fixtures/stand_in_nmcli.h"
#include "fixtures/temp_dir.h"
#include "net/redial.h"

namespace clipmill::net {
namespace {

namespace fs = std::filesystem;
using clipmill::testing::PracticeHttpServer;
using clipmill::testing::ScopedEnv;
using clipmill::testing::StandInNetworkManager;
using clipmill::testing::TempDir;

// The prompt as a label shows it.
class TextPrompt final : public RedialPrompt {
public:
    void show(const std::string& text) override { text_ = text; }
    void append(const std::string& text) override { text_ += text; }
    const std::string& text() const { return text_; }

private:
    std::string text_ = "标签";
};

class Redial : public ::testing::Test {
protected:
    Redial() : waiter(clock, stop) {}
    void redialNow(Waiter& on) {
        redial([this] { return settings; }, prompt, on, "");
    }
    std::string hint() const { return prompt.text(); }

    StandInNetworkManager nm;
    DialSettings settings{"宽带连接", "user01", "s3cret pass"};
    TextPrompt prompt;
    FakeClock clock;
    StopSignal stop;
    Waiter waiter;
};

TEST_F(Redial, ConnectedAsTheEntryHangsUpThenDialsAndReportsTheConnectionsAddress) {
    nm.setActive("Wired connection 1\n宽带连接\n");
    redialNow(waiter);
    EXPECT_EQ(hint(), "当前ip：\r\n重播成功新ip：100.64.7.9");
    const std::vector<std::string> calls = nm.calls();
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[3].rfind("connection up id 宽带连接 passwd-file /", 0), 0u) << calls[3];
    const std::vector<std::string> expected{
        "-t -f NAME connection show --active",
        "connection down id 宽带连接",
        "connection modify id 宽带连接 pppoe.username user01",
        calls[3],
        "-g IP4.ADDRESS connection show id 宽带连接",
    };
    EXPECT_EQ(calls, expected);
}

TEST_F(Redial, OnlineThroughAnotherConnectionDoesNotHangUp) {
    nm.setActive("Wired connection 1\n");
    redialNow(waiter);
    EXPECT_EQ(nm.count("connection down"), 0);
    EXPECT_EQ(hint(), "当前ip：\r\n重播成功新ip：100.64.7.9");
}

TEST_F(Redial, TheSecondAttemptSucceedsAfterOneEightSecondWait) {
    nm.failDials(2);  // both dials of the first attempt
    const Millis started = clock.now();
    redialNow(waiter);
    EXPECT_EQ(hint(), "重新拨号失败，8秒后继续\r\n重播成功新ip：100.64.7.9");
    EXPECT_EQ(clock.now() - started, Millis(8000));
    EXPECT_EQ(nm.count("connection up"), 3);
}

TEST_F(Redial, NeverSucceedingGivesUpAfterElevenAttemptsAndTenWaits) {
    nm.failDials(1000);
    const Millis started = clock.now();
    redialNow(waiter);
    EXPECT_EQ(hint(), "重新拨号失败，8秒后继续\r\n自动拨号可能没有成功，请确认：");
    EXPECT_EQ(clock.now() - started, Millis(80000));
    EXPECT_EQ(nm.count("connection up"), 22);  // two dials per attempt
}

TEST(RedialImpossible, AMachineThatCanNeverDialFailsAtOnce) {
    struct Case {
        const char* what;
        const char* entry;
        bool networkManagerRunning;
    } cases[] = {
        {"empty entry name", "", true},
        {"unknown connection", "ADSL", true},
        {"NetworkManager not running", "宽带连接", false},
    };
    for (const auto& c : cases) {
        StandInNetworkManager nm;
        if (!c.networkManagerRunning) nm.stopNetworkManager();
        TextPrompt prompt;
        FakeClock clock;
        StopSignal stop;
        Waiter waiter(clock, stop);
        redial([&] { return DialSettings{c.entry, "", ""}; }, prompt, waiter, "");
        EXPECT_EQ(prompt.text(), "当前ip：\r\n自动拨号可能没有成功，请确认：") << c.what;
        EXPECT_EQ(clock.now(), Millis(0)) << c.what;
        EXPECT_LE(nm.count("connection up"), 1) << c.what;
    }
}

TEST_F(Redial, EachAttemptDialsWithTheSettingsOfThatMoment) {
    nm.failDials(2);  // both dials of the first attempt
    int asked = 0;
    auto settingsNow = [&] {
        ++asked;
        return DialSettings{"宽带连接", "user0" + std::to_string(asked), "pw" + std::to_string(asked)};
    };
    redial(settingsNow, prompt, waiter, "");
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(nm.read("password_lines"), "pppoe.password:pw1\npppoe.password:pw1\npppoe.password:pw2\n");
    EXPECT_EQ(nm.count("connection modify id 宽带连接 pppoe.username user02"), 1);
    EXPECT_EQ(hint(), "重新拨号失败，8秒后继续\r\n重播成功新ip：100.64.7.9");
}

TEST_F(Redial, ThePasswordTravelsOnlyInAPrivateFileThatIsRemoved) {
    redialNow(waiter);
    EXPECT_EQ(nm.read("password_modes"), "600\n");
    EXPECT_EQ(nm.read("password_lines"), "pppoe.password:s3cret pass\n");
    for (const auto& call : nm.calls()) {
        EXPECT_EQ(call.find("s3cret"), std::string::npos) << call;
        const auto file = call.find("passwd-file ");
        if (file != std::string::npos) EXPECT_FALSE(fs::exists(call.substr(file + 12))) << call;
    }
}

TEST(RedialWithoutNmcli, FailsAtOnce) {
    ScopedEnv path("PATH", "/nonexistent");
    TextPrompt prompt;
    FakeClock clock;
    StopSignal stop;
    Waiter waiter(clock, stop);
    redial([] { return DialSettings{"宽带连接", "user01", "pw"}; }, prompt, waiter, "");
    EXPECT_EQ(prompt.text(), "当前ip：\r\n自动拨号可能没有成功，请确认：");
    EXPECT_EQ(clock.now(), Millis(0));
}

TEST_F(Redial, StopEndsTheRedialWithinASecond) {
    nm.failDials(1000);
    SystemClock realClock;
    Waiter realWaiter(realClock, stop);
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        stop.request();
    });
    const auto started = std::chrono::steady_clock::now();
    redialNow(realWaiter);
    const auto took = std::chrono::steady_clock::now() - started;
    stopper.join();
    EXPECT_LT(took, std::chrono::seconds(3));  // a full redial would take 80 s
    EXPECT_EQ(hint().find("请确认"), std::string::npos);
}

TEST(PublicIp, OuterPageIframeThenTitleOfTheInnerPage) {
    PracticeHttpServer server;
    server.route("/", {.contentType = "text/html",
                       .body = "<html><iframe src=\"//127.0.0.1:" + std::to_string(server.port()) +
                               "/inner?x=1\" width=1></iframe></html>"});
    server.route("/inner", {.contentType = "text/html; charset=utf-8",
                            .body = "<html><head><title>您的IP地址是：203.0.113.7</title></head></html>"});
    server.route("/changed", {.contentType = "text/html", .body = "<html>no frame</html>"});
    EXPECT_EQ(currentPublicIp(server.url("/")), "203.0.113.7");
    const auto outer = server.requestsTo("/");
    ASSERT_FALSE(outer.empty());
    const std::string outerAgent = outer.back().header("User-Agent");
    EXPECT_EQ(outerAgent.rfind("Mozilla/5.0 (Windows NT 6.1; WOW64) AppleWebKit/537.36", 0), 0u) << outerAgent;
    EXPECT_EQ(currentPublicIp(server.url("/changed")), "");
    EXPECT_EQ(currentPublicIp(""), "");
}

TEST(AdapterAddresses, LeaveLoopbackOut) {
    for (const auto& address : adapterAddresses()) EXPECT_NE(address.rfind("127.", 0), 0u) << address;
}

}  // namespace
}  // namespace clipmill::net
