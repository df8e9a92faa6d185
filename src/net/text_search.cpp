#include "net/text_search.h"

#include <cctype>

namespace clipmill::net {

namespace {

constexpr std::string_view kFullWidthBlank = "\xE3\x80\x80";

char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

}  // namespace

std::string trimBlanks(std::string_view text) {
    for (;;) {
        if (text.starts_with(' ')) text.remove_prefix(1);
        else if (text.starts_with(kFullWidthBlank)) text.remove_prefix(kFullWidthBlank.size());
        else if (text.ends_with(' ')) text.remove_suffix(1);
        else if (text.ends_with(kFullWidthBlank)) text.remove_suffix(kFullWidthBlank.size());
        else return std::string(text);
    }
}

std::size_t findNoCase(std::string_view text, std::string_view needle, std::size_t from) {
    if (needle.size() > text.size()) return std::string_view::npos;
    for (std::size_t i = from; i + needle.size() <= text.size(); ++i) {
        std::size_t k = 0;
        while (k < needle.size() && lower(text[i + k]) == lower(needle[k])) ++k;
        if (k == needle.size()) return i;
    }
    return std::string_view::npos;
}

std::vector<std::string_view> splitOn(std::string_view text, std::string_view separator) {
    std::vector<std::string_view> pieces;
    if (separator.empty()) return {text};
    std::size_t start = 0;
    for (std::size_t at; (at = text.find(separator, start)) != std::string_view::npos; start = at + separator.size())
        pieces.push_back(text.substr(start, at - start));
    pieces.push_back(text.substr(start));
    return pieces;
}

std::string replaceAll(std::string_view text, std::string_view from, std::string_view to) {
    if (from.empty()) return std::string(text);
    std::string out;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find(from, start)) != std::string_view::npos; start = at + from.size()) {
        out.append(text.substr(start, at - start));
        out.append(to);
    }
    out.append(text.substr(start));
    return out;
}

}  // namespace clipmill::net
