#include "browser/cookie_text.h"

#include <gtest/gtest.h>

#include <ostream>

namespace clipmill {

void PrintTo(const CookiePair& cookie, std::ostream* out) { *out << cookie.name << "=" << cookie.value; }

namespace {

struct CookieCase {
    const char* text;
    std::vector<CookiePair> expected;
};

TEST(CookieText, ParsesCopiedCookiesAndRejectsAnythingElse) {
    const CookieCase cases[] = {
        {"SESSDATA=a%2Cb; bili_jct=0f1e", {{"SESSDATA", "a%2Cb"}, {"bili_jct", "0f1e"}}},
        {"  a=1;b=2 ;  ; c=3;\r\n", {{"a", "1"}, {"b", "2"}, {"c", "3"}}},
        {"Cookie: a=1; b=2", {{"a", "1"}, {"b", "2"}}},
        {"token=x=y==; empty=", {{"token", "x=y=="}, {"empty", ""}}},
        {"名字=值", {{"名字", "值"}}},
        {"", {}},
        {"   ", {}},
        {"just some text", {}},
        {"a=1; no equals here", {}},
        {"=value", {}},
        {"two words=1", {}},
        {"a=1\nb=2", {}},
        {"https://example.com/?a=1", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(parseCookieText(c.text), c.expected) << c.text;
}

TEST(CookieText, SharedDomainIsTheParentOfTheHostWhenItHasOne) {
    const std::pair<const char*, const char*> cases[] = {
        {"https://member.bilibili.com/video/upload.html", ".bilibili.com"},
        {"https://a.b.example.org:8443/x?y=1", ".b.example.org"},
        {"https://user@www.site.com/", ".site.com"},
        {"https://site.com/upload", ""},
        {"http://127.0.0.1:8080/video/upload.html", ""},
        {"http://localhost:8080/", ""},
        {"http://[::1]:8080/", ""},
        {"", ""},
    };
    for (auto [url, domain] : cases) EXPECT_EQ(sharedCookieDomain(url), domain) << url;
}

}  // namespace
}  // namespace clipmill
