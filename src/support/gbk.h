#pragma once

#include <string>
#include <string_view>

namespace clipmill {

// Conversions between UTF-8 (the program's texts) and GBK (the settings file, the category
// file). GBK here is the Windows code page 936.
//
// A character GBK cannot hold is written as '?': the text loses that character, but the
// bytes stay valid GBK that any reader understands. Bytes that are not valid in the source
// encoding become U+FFFD (decoding) or '?' (encoding), never an error.
std::string utf8ToGbk(std::string_view utf8);
std::string gbkToUtf8(std::string_view gbk);

// True when every character of the text survives utf8ToGbk.
bool fitsGbk(std::string_view utf8);

// True when `byte` starts a two-byte GBK character.
inline bool isGbkLeadByte(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

// The length of the longest prefix of `gbk` of at most `limit` bytes that does not end
// inside a two-byte character; the whole length when the text is no longer than `limit`.
std::size_t gbkPrefixLength(std::string_view gbk, std::size_t limit);

}  // namespace clipmill
