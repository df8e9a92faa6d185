#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace clipmill::net {

// Digests and encodings from libcrypto. Hex digits are lower case.
std::string md5Hex(std::string_view bytes);
std::string sha256Hex(std::string_view bytes);
// Nothing when `text` is not Base64.
std::optional<std::string> base64Decode(std::string_view text);

// SHA-256 of a file's contents read in pieces; "" when it cannot be read.
std::string sha256FileHex(const std::string& path);

}  // namespace clipmill::net
