// The cookie-text parser and the shared cookie domain: input "text" or "text\0address".
#include <string>
#include <string_view>
#include <vector>

#include "browser/cookie_text.h"
#include "fuzz_input.h"

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool isControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }

bool hasBlankEnds(std::string_view text) { return !text.empty() && (isBlank(text.front()) || isBlank(text.back())); }

void checkCookie(const clipmill::CookiePair& cookie) {
    FUZZ_CHECK(!cookie.name.empty());
    FUZZ_CHECK(cookie.name.find_first_of("()<>@,;:\\\"/[]?={} \t") == std::string::npos);
    for (char c : cookie.name + cookie.value) FUZZ_CHECK(!isControl(c));
    FUZZ_CHECK(cookie.value.find(';') == std::string::npos);
    FUZZ_CHECK(!hasBlankEnds(cookie.value));
}

std::string cookieText(const std::vector<clipmill::CookiePair>& cookies) {
    std::string text;
    for (const auto& cookie : cookies) text += (text.empty() ? "" : "; ") + cookie.name + "=" + cookie.value;
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const clipmill::fuzz::FuzzFields input = clipmill::fuzz::splitInput(data, size, 1);
    const std::vector<clipmill::CookiePair> cookies = clipmill::parseCookieText(input.payload);
    for (const auto& cookie : cookies) checkCookie(cookie);
    // The cookies written back as a header value read as the same cookies, with or without
    // the header's name.
    const std::string text = cookieText(cookies);
    FUZZ_CHECK(clipmill::parseCookieText(text) == cookies);
    FUZZ_CHECK(clipmill::parseCookieText("Cookie: " + text) == cookies);

    const std::string_view address = input.parameters[0].empty() ? input.payload : input.parameters[0];
    const std::string domain = clipmill::sharedCookieDomain(address);
    if (!domain.empty()) {
        FUZZ_CHECK(domain.front() == '.');
        FUZZ_CHECK(domain.find('.', 1) != std::string::npos);
        FUZZ_CHECK(address.find(domain) != std::string_view::npos);
    }
    return 0;
}
