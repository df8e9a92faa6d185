#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace clipmill::net {

// Small text helpers of the header and cookie rules.

// Trimmed of ASCII blanks and full-width blanks (U+3000) at both ends.
std::string trimBlanks(std::string_view text);

// ASCII case-insensitive search.
std::size_t findNoCase(std::string_view text, std::string_view needle, std::size_t from = 0);
inline bool containsNoCase(std::string_view text, std::string_view needle) {
    return findNoCase(text, needle) != std::string_view::npos;
}

// The pieces between separators; an empty text gives one empty piece, an empty separator
// the whole text.
std::vector<std::string_view> splitOn(std::string_view text, std::string_view separator);

// `text` with every `from` replaced by `to`; an empty `from` replaces nothing.
std::string replaceAll(std::string_view text, std::string_view from, std::string_view to);

}  // namespace clipmill::net
