#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace clipmill {

// Text of unknown encoding as UTF-8, with any byte-order mark removed. A byte-order mark
// decides UTF-8 (malformed sequences after it become U+FFFD) and UTF-16; text that is valid
// UTF-8 stays as it is; anything else is detected, and read as GBK (GB 18030) when
// detection is unsure, as Chinese text files without a mark usually are.
std::string decodeToUtf8(std::string_view bytes);

// Bytes in the named charset (an IANA or ICU name such as "utf-8", "gb2312") as UTF-8;
// nullopt when the charset is unknown.
std::optional<std::string> charsetToUtf8(std::string_view bytes, const char* charset);

}  // namespace clipmill
