// The header-block and cookie rules of the HTTP client: input
// "header block\0url\0request cookies\0response cookies". The block is used as the caller's
// header lines and as a response's header block.
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_input.h"
#include "net/http_client.h"
#include "net/text_search.h"

namespace {

namespace net = clipmill::net;

constexpr std::string_view kFullWidthBlank = "\xE3\x80\x80";

bool isTrimmed(std::string_view text) {
    return !text.starts_with(' ') && !text.ends_with(' ') && !text.starts_with(kFullWidthBlank) &&
           !text.ends_with(kFullWidthBlank);
}

void checkHeaderLine(std::string_view line) {
    const std::string name = net::headerName(line);
    const std::string value = net::headerValue(line);
    FUZZ_CHECK(name.find(':') == std::string::npos);
    FUZZ_CHECK(isTrimmed(name) && isTrimmed(value));
    if (line.find(':') == std::string_view::npos) {
        FUZZ_CHECK(name.empty() && value.empty());
        return;
    }
    // Name and value joined again give the same name and value.
    const std::string joined = name + ": " + value;
    FUZZ_CHECK(net::headerName(joined) == name && net::headerValue(joined) == value);
}

void checkCompleteHeaders(std::string_view block, std::string_view url) {
    const std::vector<std::string_view> always = {"Accept:", "Referer:", "Accept-Language:", "User-Agent:"};
    for (int method : {0, 1}) {
        const std::string bytes = net::completeHeaders(block, method, url, net::HeaderStyle::bytes);
        FUZZ_CHECK(bytes.starts_with(block));
        for (std::string_view searched : always) FUZZ_CHECK(net::containsNoCase(bytes, searched));
        if (method == 1) FUZZ_CHECK(net::containsNoCase(bytes, "Content-Type:"));
        // A complete block gets nothing more.
        FUZZ_CHECK(net::completeHeaders(bytes, method, url, net::HeaderStyle::bytes) == bytes);

        const std::string text = net::completeHeaders(block, method, url, net::HeaderStyle::text);
        FUZZ_CHECK(text.starts_with(block));
        for (std::string_view searched : {"User-Agent: ", "Accept: ", "Accept-Encoding: ", "Accept-Language: ",
                                          "Cache-Control: "})
            FUZZ_CHECK(net::containsNoCase(text, searched));
    }
}

void checkNormalisedCase(std::string_view block) {
    const std::string normalised = net::normaliseHeaderCase(block);
    const std::vector<std::string_view> in = net::splitOn(block, "\r\n");
    const auto kept = std::count_if(in.begin(), in.end(), [](std::string_view l) { return l.find(':') != l.npos; });
    const std::vector<std::string_view> out = net::splitOn(normalised, "\r\n");
    FUZZ_CHECK(kept == 0 ? normalised.empty() : static_cast<long>(out.size()) == kept);
    for (std::string_view line : out)
        if (kept > 0) FUZZ_CHECK(line.find(':') != std::string_view::npos);
    FUZZ_CHECK(net::normaliseHeaderCase(normalised) == normalised);
}

std::vector<std::string_view> cookieItems(std::string_view text) {
    return text.empty() ? std::vector<std::string_view>{} : net::splitOn(text, "; ");
}

void checkSetCookies(std::string_view headers) {
    const std::vector<std::string_view> lines = net::splitOn(headers, "\r\n");
    const auto setCookieLines = std::count_if(lines.begin(), lines.end(), [](std::string_view line) {
        const size_t separator = line.find(": ");
        return separator != line.npos && line.substr(0, separator) == "Set-Cookie";
    });
    const std::string cookies = net::collectSetCookies(headers);
    // One item per "Set-Cookie" line, attributes left out: every ';' is a separator.
    if (setCookieLines == 0) FUZZ_CHECK(cookies.empty());
    if (!cookies.empty()) FUZZ_CHECK(static_cast<long>(net::splitOn(cookies, "; ").size()) == setCookieLines);
    for (size_t semicolon = cookies.find(';'); semicolon != std::string::npos; semicolon = cookies.find(';', semicolon + 1))
        FUZZ_CHECK(cookies.compare(semicolon, 2, "; ") == 0);
}

void checkMergedCookies(std::string_view oldCookies, std::string_view newCookies) {
    const std::string merged = net::mergeCookieText(oldCookies, newCookies);
    const std::vector<std::string_view> items = cookieItems(merged);
    for (size_t i = 0; i < items.size(); ++i) {
        FUZZ_CHECK(!items[i].empty());
        FUZZ_CHECK(!items[i].ends_with("=deleted"));
        FUZZ_CHECK(std::find(items.begin(), items.begin() + static_cast<long>(i), items[i]) == items.begin() + i);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const clipmill::fuzz::FuzzFields input = clipmill::fuzz::splitInput(data, size, 3);
    const std::string_view block = input.payload;
    checkHeaderLine(block);
    for (std::string_view line : net::splitOn(block, "\r\n")) checkHeaderLine(line);
    checkCompleteHeaders(block, input.parameters[0]);
    checkNormalisedCase(block);
    checkSetCookies(block);
    checkMergedCookies(input.parameters[1], input.parameters[2].empty() ? net::collectSetCookies(block)
                                                                          : input.parameters[2]);
    return 0;
}
