// The text rules of the HTTP client: header block, cookies, time-outs, digests, JSON reading.
#include <gtest/gtest.h>

#include <optional>

#include "net/digest.h"
#include "net/http_client.h"
#include "net/text_search.h"

namespace clipmill::net {
namespace {

using std::chrono::milliseconds;

TEST(HttpRules, TimeoutPerOperation) {
    struct Case {
        HeaderStyle style;
        int seconds;
        std::optional<milliseconds> expected;
    } cases[] = {
        {HeaderStyle::bytes, 0, milliseconds(15000)},  {HeaderStyle::bytes, -1, std::nullopt},
        {HeaderStyle::bytes, -5, milliseconds(15000)}, {HeaderStyle::bytes, 3, milliseconds(3000)},
        {HeaderStyle::text, 0, milliseconds(30000)},   {HeaderStyle::text, -1, milliseconds(30000)},
        {HeaderStyle::text, 1, milliseconds(1000)},
    };
    for (const auto& c : cases) EXPECT_EQ(requestTimeout(c.style, c.seconds), c.expected) << c.seconds;
}

TEST(HttpRules, UnknownMethodsAreGet) {
    EXPECT_STREQ(methodVerb(9), "GET");
    EXPECT_STREQ(methodVerb(-1), "GET");
    EXPECT_STREQ(methodVerb(1), "POST");
    EXPECT_STREQ(methodVerb(7), "CONNECT");
}

TEST(HttpRules, HeaderNameAndValueAreTrimmedOfBothKindsOfBlank) {
    EXPECT_EQ(headerName("  Accept :  */* "), "Accept");
    EXPECT_EQ(headerValue("  Accept :  */* "), "*/*");
    EXPECT_EQ(headerValue("X:\xE3\x80\x80" "a:b\xE3\x80\x80"), "a:b");
    EXPECT_EQ(headerName("no colon"), "");
    EXPECT_EQ(headerValue("no colon"), "");
}

TEST(HttpRules, CompleteHeadersOfTheBytesOperation) {
    EXPECT_EQ(completeHeaders("", 0, "http://h/x", HeaderStyle::bytes),
              "\r\nAccept: */*\r\nReferer: http://h/x\r\nAccept-Language: zh-cn"
              "\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)");
    // Searched without the blank and case-insensitively; Content-Type only for POST.
    EXPECT_EQ(completeHeaders("accept:x\r\nreferer:r\r\nUSER-AGENT:u\r\naccept-language:en", 1, "u",
                              HeaderStyle::bytes),
              "accept:x\r\nreferer:r\r\nUSER-AGENT:u\r\naccept-language:en"
              "\r\nContent-Type: application/x-www-form-urlencoded");
}

TEST(HttpRules, CompleteHeadersOfTheTextOperation) {
    EXPECT_EQ(completeHeaders("", 0, "u", HeaderStyle::text),
              "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)\r\n"
              "Accept: text/html, application/xhtml+xml, */*\r\n"
              "Accept-Encoding: gbk, GB2312\r\nAccept-Language: zh-cn\r\nCache-Control: no-cache\r\n");
    // The searched texts carry the blank after the colon (but Content-Type's does not).
    const std::string block = completeHeaders("accept:x\r\nuser-agent: u\r\ncontent-type:t", 1, "u", HeaderStyle::text);
    EXPECT_EQ(block.substr(0, 44), "accept:x\r\nuser-agent: u\r\ncontent-type:t\r\nAcc");
    EXPECT_NE(block.find("Accept: text/html"), std::string::npos);
    EXPECT_EQ(block.find("User-Agent: Mozilla"), std::string::npos);
    EXPECT_EQ(block.find("Content-Type: application"), std::string::npos);
}

TEST(HttpRules, NormaliseHeaderCase) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"user-agent: x", "User-Agent: x"},
        {"sign:abc", "Sign:abc"},
        {"a-b-c: v-w\r\n\r\nno colon here\r\nx-: y", "A-B-C: v-w\r\nX-: y"},
        {"\r\nconnection: keep-alive\r\n", "Connection: keep-alive"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(normaliseHeaderCase(c.in), c.out) << c.in;
}

TEST(HttpRules, SetCookieLinesGiveNameValuePairs) {
    EXPECT_EQ(collectSetCookies("HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nSet-Cookie: b=2\r\n"
                                "set-cookie: c=3\r\nX-Set-Cookie: d=4\r\n\r\n"),
              "a=1; b=2");
    EXPECT_EQ(collectSetCookies("Content-Type: text/html"), "");
}

TEST(HttpRules, MergeCookieText) {
    struct Case {
        const char* oldText;
        const char* newText;
        const char* merged;
    } cases[] = {
        {"a=1; b=2", "b=3; c=deleted; d=4", "b=3; d=4; a=1"},
        {"a=1; b=2;", "", "a=1; b=2"},
        {"", "x=1; x=1; y=2", "x=1; y=2"},
        {" a = 1 ", "a=2", "a=2"},
        {"a=deleted", "", ""},
        {"flag; b=2", "b=3", "b=3; flag"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(mergeCookieText(c.oldText, c.newText), c.merged) << c.oldText << " + " << c.newText;
}

TEST(TextSearch, SplitAndReplaceEndForEverySeparator) {
    using Pieces = std::vector<std::string_view>;
    EXPECT_EQ(splitOn("a|b||c", "|"), (Pieces{"a", "b", "", "c"}));
    EXPECT_EQ(splitOn("a--b", "--"), (Pieces{"a", "b"}));
    EXPECT_EQ(splitOn("abc", ""), (Pieces{"abc"}));
    EXPECT_EQ(replaceAll("a.b.c", ".", "::"), "a::b::c");
    EXPECT_EQ(replaceAll("abc", "", "x"), "abc");
}

TEST(Digest, KnownVectors) {
    EXPECT_EQ(md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    struct Case {
        const char* in;
        std::optional<std::string> out;
    } cases[] = {{"", ""},
                 {"Zg==", "f"},
                 {"Zm8=", "fo"},
                 {"Zm9v", "foo"},
                 {"Zm9vYmFy", "foobar"},
                 {"Zm9", std::nullopt},
                 {"Zm9v!A==", std::nullopt}};
    for (const auto& c : cases) EXPECT_EQ(base64Decode(c.in), c.out) << c.in;
}

TEST(JsonDocumentReading, MembersReadAsText) {
    const JsonDocument document =
        JsonDocument::parse(R"({"版本":"8.9","n":12,"f":1.5,"b":true,"z":null,"o":{"k":[1,"x"]}})");
    EXPECT_EQ(document.value("版本"), "8.9");
    EXPECT_EQ(document.value("n"), "12");
    EXPECT_EQ(document.value("f"), "1.5");
    EXPECT_EQ(document.value("b"), "true");
    EXPECT_EQ(document.value("z"), "");
    EXPECT_EQ(document.value("o"), R"({"k":[1,"x"]})");
    EXPECT_EQ(document.value("missing"), "");
    for (const char* notAnObject : {"", "[1]", "\"x\"", "{\"a\":", "<html>"})
        EXPECT_TRUE(JsonDocument::parse(notAnObject).empty()) << notAnObject;
}

}  // namespace
}  // namespace clipmill::net
