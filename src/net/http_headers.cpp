// The header block, cookie and time-out rules shared by the request operations: plain
// functions on text.
#include <algorithm>
#include <cctype>
#include <vector>

#include "net/http_client.h"
#include "net/text_search.h"

namespace clipmill::net {

namespace {

struct DefaultHeader {
    const char* searched;
    const char* line;
    bool postOnly;
};

// Searched without the blank after the colon.
constexpr DefaultHeader kBytesDefaults[] = {
    {"Accept:", "Accept: */*", false},
    {"Referer:", nullptr, false},  // "Referer: " + the request's URL
    {"Accept-Language:", "Accept-Language: zh-cn", false},
    {"User-Agent:", "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)", false},
    {"Content-Type:", "Content-Type: application/x-www-form-urlencoded", true},
};

// Searched with the blank after the colon, except Content-Type.
constexpr DefaultHeader kTextDefaults[] = {
    {"User-Agent: ", "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)", false},
    {"Accept: ", "Accept: text/html, application/xhtml+xml, */*", false},
    {"Accept-Encoding: ", "Accept-Encoding: gbk, GB2312", false},
    {"Accept-Language: ", "Accept-Language: zh-cn", false},
    {"Content-Type:", "Content-Type: application/x-www-form-urlencoded", true},
    {"Cache-Control: ", "Cache-Control: no-cache", false},
};

std::string capitaliseParts(std::string_view name) {
    std::string out(name);
    bool partStart = true;
    for (char& c : out) {
        if (partStart) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        partStart = c == '-';
    }
    return out;
}

// The cookie's name: the trimmed text before its first '='.
std::string cookieName(std::string_view item) {
    const auto eq = item.find('=');
    return trimBlanks(eq == std::string_view::npos ? item : item.substr(0, eq));
}

std::string joinWith(const std::vector<std::string>& items, std::string_view separator) {
    std::string out;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) out += separator;
        out += items[i];
    }
    return out;
}

}  // namespace

std::optional<std::chrono::milliseconds> requestTimeout(HeaderStyle style, int timeoutSeconds) {
    using std::chrono::milliseconds;
    if (style == HeaderStyle::text) return milliseconds(timeoutSeconds > 0 ? timeoutSeconds * 1000LL : 30000);
    if (timeoutSeconds == -1) return std::nullopt;
    return milliseconds(timeoutSeconds < 1 ? 15000 : timeoutSeconds * 1000LL);
}

const char* methodVerb(int method) {
    static constexpr const char* kVerbs[] = {"GET", "POST", "HEAD", "PUT", "OPTIONS", "DELETE", "TRACE", "CONNECT"};
    return method >= 0 && method < 8 ? kVerbs[method] : kVerbs[0];
}

std::string headerName(std::string_view line) {
    const auto colon = line.find(':');
    return colon == std::string_view::npos ? std::string() : trimBlanks(line.substr(0, colon));
}

std::string headerValue(std::string_view line) {
    const auto colon = line.find(':');
    return colon == std::string_view::npos ? std::string() : trimBlanks(line.substr(colon + 1));
}

std::string completeHeaders(std::string_view block, int method, std::string_view url, HeaderStyle style) {
    std::string out(block);
    const bool post = method == 1;
    if (style == HeaderStyle::bytes) {
        for (const auto& row : kBytesDefaults) {
            if ((row.postOnly && !post) || containsNoCase(out, row.searched)) continue;
            out += "\r\n";
            out += row.line ? std::string(row.line) : "Referer: " + std::string(url);
        }
        return out;
    }
    if (!out.empty()) out += "\r\n";
    for (const auto& row : kTextDefaults) {
        if ((row.postOnly && !post) || containsNoCase(out, row.searched)) continue;
        out += row.line;
        out += "\r\n";
    }
    return out;
}

std::string normaliseHeaderCase(std::string_view block) {
    std::vector<std::string> lines;
    for (std::string_view line : splitOn(block, "\r\n")) {
        const auto colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        lines.push_back(capitaliseParts(line.substr(0, colon)) + std::string(line.substr(colon)));
    }
    return joinWith(lines, "\r\n");
}

std::string collectSetCookies(std::string_view responseHeaders) {
    std::string out;
    for (std::string_view line : splitOn(responseHeaders, "\r\n")) {
        const auto sep = line.find(": ");
        if (sep == std::string_view::npos || line.substr(0, sep) != "Set-Cookie") continue;
        std::string item;
        if (line.find(';') != std::string_view::npos) {
            const auto start = line.find("Set-Cookie:") + std::string_view("Set-Cookie:").size();
            const auto end = line.find(';', start);
            item = std::string(line.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        } else {
            item = replaceAll(line, "Set-Cookie:", "");
        }
        out += trimBlanks(item) + "; ";
    }
    if (out.size() >= 2) out.resize(out.size() - 2);
    return out;
}

std::string mergeCookieText(std::string_view oldCookies, std::string_view newCookies) {
    auto prepare = [](std::string_view text) {
        std::string t = trimBlanks(text);
        if (!t.empty() && t.back() == ';') t += ' ';
        std::vector<std::string> items;
        for (std::string_view item : splitOn(t, "; "))
            if (!item.empty()) items.emplace_back(item);
        return items;
    };
    const std::vector<std::string> oldItems = prepare(oldCookies);
    std::vector<std::string> merged = prepare(newCookies);
    const std::size_t newCount = merged.size();
    for (const auto& item : oldItems) {
        const std::string name = cookieName(item);
        const bool replaced = std::any_of(merged.begin(), merged.begin() + static_cast<std::ptrdiff_t>(newCount),
                                          [&](const std::string& n) { return cookieName(n) == name; });
        if (!replaced) merged.push_back(item);
    }
    std::string kept;
    for (const auto& item : merged) {
        if (item.size() >= 8 && item.compare(item.size() - 8, 8, "=deleted") == 0) continue;
        kept += item + "; ";
    }
    if (kept.size() >= 2) kept.resize(kept.size() - 2);
    std::vector<std::string> unique;
    for (std::string_view item : splitOn(kept, "; ")) {
        if (std::find(unique.begin(), unique.end(), item) == unique.end()) unique.emplace_back(item);
    }
    return joinWith(unique, "; ");
}

}  // namespace clipmill::net
