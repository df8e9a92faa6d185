#include "browser/cookie_text.h"

#include <algorithm>

namespace clipmill {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

bool isControl(char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
}

// A token of the cookie grammar: no separators, so a copied address or sentence is no name.
bool isUsableName(std::string_view name) {
    constexpr std::string_view kSeparators = "()<>@,;:\\\"/[]?={} \t";
    return !name.empty() && std::none_of(name.begin(), name.end(), [&](char c) {
        return isControl(c) || kSeparators.find(c) != std::string_view::npos;
    });
}

std::string_view withoutHeaderName(std::string_view text) {
    constexpr std::string_view kHeader = "cookie:";
    if (text.size() < kHeader.size()) return text;
    for (size_t i = 0; i < kHeader.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != kHeader[i]) return text;
    }
    return text.substr(kHeader.size());
}

bool isIpv4(std::string_view host) {
    return !host.empty() &&
           std::all_of(host.begin(), host.end(), [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
}

std::string_view hostOf(std::string_view url) {
    auto scheme = url.find("://");
    if (scheme != std::string_view::npos) url.remove_prefix(scheme + 3);
    url = url.substr(0, url.find_first_of("/?#"));
    if (auto at = url.rfind('@'); at != std::string_view::npos) url.remove_prefix(at + 1);
    if (!url.empty() && url.front() == '[') return {};  // IPv6 literal
    return url.substr(0, url.find(':'));
}

}  // namespace

std::vector<CookiePair> parseCookieText(std::string_view text) {
    std::vector<CookiePair> cookies;
    std::string_view rest = trimmed(withoutHeaderName(trimmed(text)));
    while (!rest.empty()) {
        size_t end = rest.find(';');
        std::string_view piece = trimmed(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
        if (piece.empty()) continue;
        size_t equals = piece.find('=');
        if (equals == std::string_view::npos) return {};
        std::string_view name = trimmed(piece.substr(0, equals));
        std::string_view value = trimmed(piece.substr(equals + 1));
        if (!isUsableName(name) || std::any_of(value.begin(), value.end(), isControl)) return {};
        cookies.push_back({std::string(name), std::string(value)});
    }
    return cookies;
}

std::string sharedCookieDomain(std::string_view url) {
    std::string_view host = hostOf(url);
    if (!host.empty() && host.back() == '.') host.remove_suffix(1);
    if (isIpv4(host)) return "";
    size_t firstDot = host.find('.');
    if (firstDot == std::string_view::npos || host.find('.', firstDot + 1) == std::string_view::npos) return "";
    return std::string(host.substr(firstDot));
}

}  // namespace clipmill
