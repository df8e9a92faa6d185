#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>

#include "browser/cdp/cdp_automation.h"
#include "browser/cdp/json.h"
#include "fixtures/automation_fixture.h"
#include "fixtures/poll_until.h"
#include "fixtures/practice_http_server.h"
#include "fixtures/temp_dir.h"

namespace clipmill::testing {
namespace {

using namespace std::chrono_literals;
using Exchange = BrowserAutomation::NetworkExchange;

// One headless browser driving a page of a PracticeHttpServer; every case starts a fresh
// record of the page's requests.
class NetworkRecordTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        root_ = std::make_unique<TempDir>();
        server_ = std::make_unique<PracticeHttpServer>();
        server_->route("/page.html", {.contentType = "text/html; charset=utf-8", .body = "<!doctype html><p>投稿页</p>"});
        server_->route("/other.html",
                       {.contentType = "text/html; charset=utf-8", .body = "<!doctype html><p>另一个标签的文字</p>"});
        automation_ = std::make_unique<cdp::CdpAutomation>(
            cdp::CdpAutomation::Options{root_->str(), cdp::BrowserMode::Headless});
        ASSERT_EQ(automation_->form_global_init("", nullptr), 1);
        handle_ = automation_->form_browser_start(server_->url("/page.html"), {root_->str() + "/profile", "", ""});
        ASSERT_GT(handle_, 0) << automation_->lastError();
        ASSERT_EQ(automation_->form_page_wait_loaded(handle_, "投稿页", 15000), 1);
    }
    static void TearDownTestSuite() {
        if (automation_ && handle_) automation_->form_close_browser(handle_);
        automation_.reset();
        server_.reset();
        root_.reset();
    }
    void SetUp() override { ASSERT_EQ(automation().form_network_record(handle_), 1); }

    static cdp::CdpAutomation& automation() { return *automation_; }
    static PracticeHttpServer& server() { return *server_; }
    // Runs a script in the driven page without waiting for what it starts.
    void run(const std::string& script) { evaluateJson(*automation_, handle_, "(() => { " + script + " })(), 0"); }
    // The recorded exchange whose address is `path` on the server, once `ready` holds for it.
    std::optional<Exchange> exchangeTo(const std::string& path,
                                       const std::function<bool(const Exchange&)>& ready = [](const Exchange&) {
                                           return true;
                                       }) {
        std::optional<Exchange> found;
        pollUntil(
            [&] {
                found.reset();
                for (const auto& e : automation().form_network_exchanges(handle_))
                    if (e.url == server().url(path)) found = e;
                return found && ready(*found);
            },
            10s);
        return found;
    }
    static bool settled(const Exchange& e) { return e.state != Exchange::State::Sent; }

    static inline std::unique_ptr<TempDir> root_;
    static inline std::unique_ptr<PracticeHttpServer> server_;
    static inline std::unique_ptr<cdp::CdpAutomation> automation_;
    static inline int handle_ = 0;
};

TEST_F(NetworkRecordTest, AnsweredRequestsKeepTheirStatusBodyAndOrder) {
    server().route("/api/submit", {.contentType = "application/json", .body = R"({"code":0,"data":{"bvid":"BV1pr1000"}})"});
    server().route("/api/refused", {.status = 412, .contentType = "application/json", .body = R"({"code":-412})"});
    server().redirect("/api/old-submit", "/api/submit", 307);
    run("fetch('/api/refused', {method: 'POST', body: '{}'})"
        ".then(() => fetch('/api/old-submit', {method: 'POST', body: '{\"title\":\"一\"}'}))");

    auto submitted = exchangeTo("/api/submit", settled);
    ASSERT_TRUE(submitted);
    EXPECT_EQ(submitted->method, "POST");
    EXPECT_EQ(submitted->state, Exchange::State::Answered);
    EXPECT_EQ(submitted->status, 200);
    EXPECT_EQ(submitted->body, R"({"code":0,"data":{"bvid":"BV1pr1000"}})");

    std::vector<Exchange> exchanges;
    for (const auto& e : automation().form_network_exchanges(handle_))
        if (e.url.starts_with(server().url("/api/"))) exchanges.push_back(e);
    ASSERT_EQ(exchanges.size(), 2u);  // the redirect is one exchange, under its last address
    EXPECT_EQ(exchanges[0].url, server().url("/api/refused"));
    EXPECT_EQ(exchanges[0].status, 412);
    EXPECT_EQ(exchanges[0].body, R"({"code":-412})");

    // A new record forgets what the earlier one held.
    ASSERT_EQ(automation().form_network_record(handle_), 1);
    EXPECT_TRUE(automation().form_network_exchanges(handle_).empty());
    EXPECT_TRUE(automation().form_network_exchanges(handle_ + 100).empty());
}

TEST_F(NetworkRecordTest, ADroppedConnectionFailsAndASlowAnswerStaysSentUntilItComes) {
    server().route("/api/lost", {.contentType = "application/json", .body = std::string(100000, 'x'), .dropAt = 10});
    server().route("/api/slow", {.contentType = "application/json", .body = std::string(3000, 'y'), .bytesPerSecond = 1500});
    run("fetch('/api/lost', {method: 'POST'}); fetch('/api/slow')");

    auto lost = exchangeTo("/api/lost", settled);
    ASSERT_TRUE(lost);
    EXPECT_EQ(lost->state, Exchange::State::Failed);
    EXPECT_FALSE(lost->error.empty());

    auto slow = exchangeTo("/api/slow");
    ASSERT_TRUE(slow);
    EXPECT_EQ(slow->state, Exchange::State::Sent);
    slow = exchangeTo("/api/slow", settled);
    ASSERT_TRUE(slow);
    EXPECT_EQ(slow->state, Exchange::State::Answered);
    EXPECT_EQ(slow->body, std::string(3000, 'y'));
}

TEST_F(NetworkRecordTest, OnlyTheLatestRequestsAreKept) {
    server().route("/n", {.contentType = "text/plain", .body = "n"});
    run("(async () => { for (let i = 0; i < 510; ++i) await fetch('/n?i=' + i); })()");
    ASSERT_TRUE(exchangeTo("/n?i=509", settled));
    auto exchanges = automation().form_network_exchanges(handle_);
    ASSERT_EQ(exchanges.size(), 500u);
    EXPECT_EQ(exchanges.front().url, server().url("/n?i=10"));
    for (const auto& e : exchanges) EXPECT_EQ(e.body, "n") << e.url;
}

TEST_F(NetworkRecordTest, AFetchFromThePageCarriesTheProfilesCookies) {
    server().route("/whoami", {.contentType = "application/json", .body = R"({"mid":7})"});
    server().route("/held", {.hang = true});
    ASSERT_EQ(automation().form_set_cookies(handle_, server().url("/"), "SESSDATA=abc-1; uid=7"), 2);
    server().clearRequests();

    // A quote in the address stays part of the address.
    EXPECT_EQ(automation().form_fetch_text(handle_, server().url("/whoami?q=')\""), 5000), R"({"mid":7})");
    auto asked = server().requestsTo("/whoami");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_NE(asked[0].header("Cookie").find("SESSDATA=abc-1"), std::string::npos) << asked[0].header("Cookie");
    EXPECT_NE(asked[0].header("Cookie").find("uid=7"), std::string::npos);

    EXPECT_EQ(automation().form_fetch_text(handle_, server().url("/nothing-here"), 5000), std::nullopt);
    EXPECT_EQ(automation().form_fetch_text(handle_, "http://127.0.0.1:1/closed", 5000), std::nullopt);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(automation().form_fetch_text(handle_, server().url("/held"), 500), std::nullopt);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2500ms);
}

TEST_F(NetworkRecordTest, AnotherTabsTextIsReadWithoutTouchingTheDrivenPage) {
    const std::string driven = automation().form_page_target(handle_);
    ASSERT_FALSE(driven.empty());
    auto& connection = automation().browser(handle_)->page()->connection();
    cdp::Reply created = connection.call("Target.createTarget", cdp::jsonObject({{"url", server().url("/other.html")}}));
    const std::string other = cdp::stringMember(created.result(), "targetId");
    ASSERT_FALSE(other.empty()) << created.error;

    std::optional<std::string> text;
    EXPECT_TRUE(pollUntil([&] { return (text = automation().form_target_text(handle_, other)) == "另一个标签的文字"; }, 10s))
        << text.value_or("<nothing>");
    EXPECT_EQ(automation().form_target_text(handle_, driven), "投稿页");
    EXPECT_EQ(automation().form_target_text(handle_, "no-such-target"), std::nullopt);
    EXPECT_EQ(automation().form_target_text(handle_, ""), std::nullopt);

    EXPECT_EQ(automation().form_page_target(handle_), driven);
    EXPECT_EQ(automation().form_get_page_url(handle_), server().url("/page.html"));
    connection.call("Target.closeTarget", cdp::jsonObject({{"targetId", other}}));
}

}  // namespace
}  // namespace clipmill::testing
