#include "support/utf8_text.h"

#include <unicode/uchar.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

namespace clipmill {

namespace {

// Offset just past the character that starts at `offset`.
std::size_t nextCharacter(std::string_view text, std::size_t offset) {
    const auto length = static_cast<int32_t>(text.size());
    auto i = static_cast<int32_t>(offset);
    UChar32 c;
    U8_NEXT(reinterpret_cast<const uint8_t*>(text.data()), i, length, c);
    (void)c;
    return static_cast<std::size_t>(i);
}

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

}  // namespace

bool isValidUtf8(std::string_view bytes) {
    const auto length = static_cast<int32_t>(bytes.size());
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    for (int32_t i = 0; i < length;) {
        UChar32 c;
        U8_NEXT(data, i, length, c);
        if (c < 0) return false;
    }
    return true;
}

std::string withMalformedUtf8Replaced(std::string_view bytes) {
    if (isValidUtf8(bytes)) return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() + 8);
    const auto length = static_cast<int32_t>(bytes.size());
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    for (int32_t i = 0; i < length;) {
        const int32_t start = i;
        UChar32 c;
        U8_NEXT(data, i, length, c);
        if (c < 0)
            out += kReplacementCharacter;
        else
            out.append(bytes.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(i - start)));
    }
    return out;
}

std::size_t characterCount(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); i = nextCharacter(text, i)) ++count;
    return count;
}

std::string leadingCharacters(std::string_view text, std::size_t count) {
    std::size_t end = 0;
    for (std::size_t n = 0; n < count && end < text.size(); ++n) end = nextCharacter(text, end);
    return std::string(text.substr(0, end));
}

std::u16string caseFoldedSortKey(std::string_view name) {
    std::u16string key;
    key.reserve(name.size());
    const auto length = static_cast<int32_t>(name.size());
    const auto* bytes = reinterpret_cast<const uint8_t*>(name.data());
    for (int32_t i = 0; i < length;) {
        const int32_t start = i;
        UChar32 c;
        U8_NEXT(bytes, i, length, c);
        if (c < 0) c = 0xDC00 | bytes[start];  // keep undecodable bytes apart and in order
        c = u_toupper(c);
        if (U16_LENGTH(c) == 1) {
            key.push_back(static_cast<char16_t>(c));
        } else {
            key.push_back(static_cast<char16_t>(U16_LEAD(c)));
            key.push_back(static_cast<char16_t>(U16_TRAIL(c)));
        }
    }
    return key;
}

}  // namespace clipmill
