// The request operations against a real server on loopback.
#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>

#include "fixtures/loopback_http_server.h"
#include "fixtures/practice_http_server.h"
#include "fixtures/temp_dir.h"
#include "net/http_client.h"
#include "platform/child_process.h"
#include "support/gbk.h"

namespace clipmill::net {
namespace {

using clipmill::testing::PracticeHttpServer;
using clipmill::testing::Route;

class HttpClient : public ::testing::Test {
protected:
    HttpRequest get(const std::string& path) const {
        HttpRequest request;
        request.url = server.url(path);
        return request;
    }
    PracticeHttpServer server;
};

TEST_F(HttpClient, RequestTextSendsItsDefaultHeadersAndNoKeepAlive) {
    server.route("/h", {.contentType = "text/plain", .body = "ok"});
    HttpRequest request = get("/h");
    request.extraHeaders = "connection: keep-alive\r\nx-token: 7\r\nno colon line";
    const HttpResponse response = requestText(request);
    EXPECT_EQ(response.statusText, "200 OK");
    EXPECT_EQ(response.bodyText, "ok");
    const auto seen = server.requestsTo("/h").at(0);
    EXPECT_EQ(seen.header("User-Agent"), "Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)");
    EXPECT_EQ(seen.header("Accept"), "text/html, application/xhtml+xml, */*");
    EXPECT_EQ(seen.header("Accept-Encoding"), "gbk, GB2312");
    EXPECT_EQ(seen.header("Accept-Language"), "zh-cn");
    EXPECT_EQ(seen.header("Cache-Control"), "no-cache");
    EXPECT_EQ(seen.header("X-Token"), "7");
    EXPECT_FALSE(seen.has("Connection"));
    EXPECT_EQ(response.headers.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
}

TEST_F(HttpClient, RequestBytesSendsItsDefaultHeadersCookiesAndMethod) {
    server.route("/b", {.body = "payload"});
    HttpRequest request = get("/b");
    request.method = 9;  // not a method: GET
    request.cookies = "Cookie: sid=1; lang=zh";
    request.extraHeaders = "Connection: close";
    const HttpResponse response = requestBytes(request);
    EXPECT_EQ(response.statusCode, 200);
    EXPECT_EQ(response.bodyBytes, "payload");
    const auto seen = server.requestsTo("/b").at(0);
    EXPECT_EQ(seen.method, "GET");
    EXPECT_EQ(seen.header("Referer"), server.url("/b"));
    EXPECT_EQ(seen.header("User-Agent"), "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)");
    EXPECT_EQ(seen.header("Cookie"), "sid=1; lang=zh");
    EXPECT_EQ(seen.header("Connection"), "close");
}

TEST_F(HttpClient, PostCarriesItsBodyAndTheFormContentType) {
    server.route("/p", {.body = "done"});
    HttpRequest request = get("/p");
    request.method = 1;
    request.bodyText = "a=1&b=2";
    for (auto operation : {&requestBytes, &requestText}) operation(request);
    for (const auto& seen : server.requestsTo("/p")) {
        EXPECT_EQ(seen.method, "POST");
        EXPECT_EQ(seen.body, "a=1&b=2");
        EXPECT_EQ(seen.header("Content-Type"), "application/x-www-form-urlencoded");
    }
    EXPECT_EQ(server.requestsTo("/p").size(), 2u);
}

TEST_F(HttpClient, ResponseCookiesAreMergedWithTheRequests) {
    server.route("/c", {.headers = {{"Set-Cookie", "b=3; path=/"}, {"Set-Cookie", "c=deleted"}, {"Set-Cookie", "d=4"}},
                        .body = "x"});
    HttpRequest request = get("/c");
    request.cookies = "a=1; b=2";
    EXPECT_EQ(requestBytes(request).cookies, "b=3; d=4; a=1");
    EXPECT_EQ(requestText(request).cookies, "b=3; d=4; a=1");
    request.mergeCookies = false;
    EXPECT_EQ(requestText(request).cookies, "b=3; c=deleted; d=4");
    EXPECT_EQ(server.requestsTo("/c").at(1).header("Cookie"), "a=1; b=2");
}

TEST_F(HttpClient, BodyTextIsDecodedByItsMetaCharsetElseReadAsGbk) {
    const std::string chinese = "中文标题";
    struct Case {
        const char* what;
        std::string body;
        std::string text;
    } cases[] = {
        {"GBK without a declaration", utf8ToGbk(chinese), chinese},
        {"UTF-8 declared", "<html><meta charset=utf-8>" + chinese, "<html><meta charset=utf-8>" + chinese},
        {"GB2312 declared in http-equiv",
         utf8ToGbk("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=\"gb2312\">" + chinese),
         "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=\"gb2312\">" + chinese},
        {"cut at a zero byte", std::string("ab\0cd", 5), "ab"},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string path = "/t" + std::to_string(n++);
        server.route(path, {.contentType = "text/html", .body = c.body});
        const HttpResponse response = requestText(get(path));
        EXPECT_EQ(response.bodyText, c.text) << c.what;
        EXPECT_EQ(response.bodyBytes, c.body) << c.what;
    }
}

TEST_F(HttpClient, CompressedBodiesArriveDecoded) {
    server.route("/z", {.contentType = "text/plain", .body = "compressed text", .gzip = true});
    EXPECT_EQ(requestBytes(get("/z")).bodyBytes, "compressed text");
    EXPECT_EQ(requestText(get("/z")).bodyText, "compressed text");
}

TEST_F(HttpClient, RedirectsAreFollowedUnlessAskedNot) {
    server.route("/new", {.contentType = "text/plain", .body = "moved here"});
    server.redirect("/old", "/new");
    HttpRequest request = get("/old");
    EXPECT_EQ(requestText(request).bodyText, "moved here");
    EXPECT_EQ(requestBytes(request).bodyBytes, "moved here");
    request.noRedirect = true;
    const HttpResponse stayed = requestText(request);
    EXPECT_EQ(stayed.statusText.substr(0, 3), "302");
    EXPECT_EQ(stayed.location, "/new");
    EXPECT_EQ(requestBytes(request).statusCode, 302);
}

TEST_F(HttpClient, FailuresGiveTheirStepsTextAndAnEmptyResult) {
    server.route("/hang", {.hang = true});
    HttpRequest request;
    request.url = "not a url";
    EXPECT_EQ(requestText(request).statusText, "701 解析URL地址失败!");
    request.url = "ftp://127.0.0.1/x";
    EXPECT_EQ(requestText(request).statusText, "701 解析URL地址失败!");

    request = get("/hang");
    request.timeoutSeconds = 1;
    const auto started = std::chrono::steady_clock::now();
    const HttpResponse silent = requestText(request);
    EXPECT_EQ(silent.statusText, "712 服务器未响应!");
    EXPECT_EQ(silent.bodyText, "");
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    EXPECT_EQ(requestBytes(request).statusCode, 0);

    request.url = "http://127.0.0.1:1/x";  // nothing listens on port 1
    EXPECT_EQ(requestText(request).statusText, "703 创建WinHttp连接失败!");
}

TEST_F(HttpClient, AnErrorStatusIsAnAnswer) {
    server.route("/missing", {.status = 404, .contentType = "text/plain", .body = "no such page"});
    const HttpResponse text = requestText(get("/missing"));
    EXPECT_EQ(text.statusText, "404 Not Found");
    EXPECT_EQ(text.bodyText, "no such page");
    EXPECT_EQ(requestBytes(get("/missing")).statusCode, 404);
    EXPECT_EQ(fetchBytes(server.url("/missing")), "");
}

TEST_F(HttpClient, FetchBytesAndJsonDocuments) {
    server.route("/ad.gif", {.contentType = "image/gif", .body = std::string("GIF89a\0\1", 8)});
    server.route("/index.json",
                 {.contentType = "application/json", .body = utf8ToGbk(R"({"版本":"8.9","更新说明":"修复"})")});
    EXPECT_EQ(fetchBytes(server.url("/ad.gif")), std::string("GIF89a\0\1", 8));
    const auto seen = server.requestsTo("/ad.gif").at(0);
    EXPECT_EQ(seen.header("User-Agent"), "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)");
    const JsonDocument index = fetchJsonDocument(server.url("/index.json"));
    EXPECT_EQ(index.value("版本"), "8.9");
    EXPECT_EQ(index.value("更新说明"), "修复");
    EXPECT_TRUE(fetchJsonDocument(server.url("/ad.gif")).empty());
    EXPECT_EQ(fetchBytes("http://127.0.0.1:1/x"), "");
}

// A server whose certificate nobody vouches for: the call fails like any other.
TEST(HttpClientTls, ASelfSignedServerIsRefused) {
    clipmill::testing::TempDir dir;
    const std::string key = (dir.path() / "key.pem").string();
    const std::string cert = (dir.path() / "cert.pem").string();
    const CommandResult made = runCommand({"openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key,
                                           "-out", cert, "-days", "1", "-subj", "/CN=127.0.0.1"},
                                          std::chrono::seconds(60));
    ASSERT_TRUE(made.finished && made.exitCode == 0) << made.output;
    clipmill::testing::LoopbackHttpServer server({cert, key}, [](httplib::Server& s) {
        s.Get("/", [](const httplib::Request&, httplib::Response& response) { response.set_content("secret", "text/plain"); });
    });
    HttpRequest request;
    request.url = server.url("/");
    const HttpResponse text = requestText(request);
    EXPECT_EQ(text.statusText, "711 发送请求失败!");
    EXPECT_EQ(text.bodyText, "");
    const HttpResponse bytes = requestBytes(request);
    EXPECT_EQ(bytes.statusCode, 0);
    EXPECT_EQ(bytes.bodyBytes, "");
    EXPECT_EQ(fetchBytes(request.url), "");
}

}  // namespace
}  // namespace clipmill::net
