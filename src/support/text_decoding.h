#pragma once

#include <string>
#include <string_view>

namespace clipmill {

// Text of unknown encoding as UTF-8, with any byte-order mark removed. A byte-order mark
// decides UTF-8 and UTF-16; text that is valid UTF-8 stays as it is; anything else is
// detected, and read as GBK (GB 18030) when detection is unsure, as Chinese text files
// without a mark usually are.
std::string decodeToUtf8(std::string_view bytes);

}  // namespace clipmill
