#include "net/digest.h"

#include <openssl/evp.h>

#include <fstream>
#include <memory>
#include <optional>
#include <vector>

namespace clipmill::net {

namespace {

struct DigestContextDeleter {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
using DigestContext = std::unique_ptr<EVP_MD_CTX, DigestContextDeleter>;

std::string toHex(const unsigned char* bytes, unsigned int length) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(length * 2);
    for (unsigned int i = 0; i < length; ++i) {
        hex += kDigits[bytes[i] >> 4];
        hex += kDigits[bytes[i] & 0x0F];
    }
    return hex;
}

// Feeds pieces from `read` until it gives an empty one; "" when a piece fails (nullopt).
template <typename Reader>
std::string digestHex(const EVP_MD* algorithm, Reader&& read) {
    DigestContext context(EVP_MD_CTX_new());
    if (!context || EVP_DigestInit_ex(context.get(), algorithm, nullptr) != 1) return {};
    for (;;) {
        const std::optional<std::string_view> piece = read();
        if (!piece) return {};
        if (piece->empty()) break;
        if (EVP_DigestUpdate(context.get(), piece->data(), piece->size()) != 1) return {};
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(context.get(), digest, &length) != 1) return {};
    return toHex(digest, length);
}

std::string digestOfBytes(const EVP_MD* algorithm, std::string_view bytes) {
    bool given = false;
    return digestHex(algorithm, [&]() -> std::optional<std::string_view> {
        if (given || bytes.empty()) return std::string_view();
        given = true;
        return bytes;
    });
}

}  // namespace

std::string md5Hex(std::string_view bytes) { return digestOfBytes(EVP_md5(), bytes); }

std::string sha256Hex(std::string_view bytes) { return digestOfBytes(EVP_sha256(), bytes); }

std::string sha256FileHex(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::vector<char> buffer(1 << 20);
    return digestHex(EVP_sha256(), [&]() -> std::optional<std::string_view> {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        if (in.bad()) return std::nullopt;
        return std::string_view(buffer.data(), static_cast<std::size_t>(in.gcount()));
    });
}

std::optional<std::string> base64Decode(std::string_view text) {
    if (text.size() % 4 != 0) return std::nullopt;
    std::string out(3 * (text.size() / 4), '\0');
    const int written = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                        reinterpret_cast<const unsigned char*>(text.data()),
                                        static_cast<int>(text.size()));
    if (written < 0) return std::nullopt;
    // The block decoder counts the padding as zero bytes.
    std::size_t size = static_cast<std::size_t>(written);
    for (std::size_t i = text.size(); i > 0 && text[i - 1] == '=' && size > 0; --i) --size;
    out.resize(size);
    return out;
}

}  // namespace clipmill::net
