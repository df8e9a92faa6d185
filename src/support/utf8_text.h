#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace clipmill {

// True when the bytes are well-formed UTF-8 (no surrogates, no overlong forms).
bool isValidUtf8(std::string_view bytes);

// The bytes with each malformed UTF-8 sequence replaced by U+FFFD; valid text unchanged.
std::string withMalformedUtf8Replaced(std::string_view bytes);

// Characters (code points) in UTF-8 text; a malformed byte counts as one character.
std::size_t characterCount(std::string_view text);

// The first `count` characters of UTF-8 text, never cutting a character in two.
std::string leadingCharacters(std::string_view text, std::size_t count);

// A key that orders names the way a Windows folder lists them: by UTF-16 code units after
// upper-casing each character, so "B.mp4" sorts between "a.mp4" and "c.mp4".
std::u16string caseFoldedSortKey(std::string_view name);

}  // namespace clipmill
