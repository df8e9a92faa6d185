// The charset detection and conversion to UTF-8: input "bytes" or "bytes\0charset name".
#include <optional>
#include <string>
#include <string_view>

#include "fuzz_input.h"
#include "support/text_decoding.h"
#include "support/utf8_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const clipmill::fuzz::FuzzFields input = clipmill::fuzz::splitInput(data, size, 1);
    const std::string_view bytes = input.payload;

    const std::string decoded = clipmill::decodeToUtf8(bytes);
    FUZZ_CHECK(clipmill::isValidUtf8(decoded));
    const bool hasMark = bytes.starts_with("\xEF\xBB\xBF") || bytes.starts_with("\xFF\xFE") ||
                         bytes.starts_with("\xFE\xFF");
    // Text without a mark always reads as some text: GB 18030 takes any byte sequence.
    if (!hasMark && !bytes.empty()) FUZZ_CHECK(!decoded.empty());
    // Text that already is UTF-8 is taken as it is.
    if (!hasMark && clipmill::isValidUtf8(bytes)) FUZZ_CHECK(decoded == bytes);
    FUZZ_CHECK(clipmill::decodeToUtf8(decoded) == decoded || decoded.starts_with("\xEF\xBB\xBF"));

    // A charset name as a web page declares it.
    const std::string charset(input.parameters[0]);
    if (!charset.empty()) {
        const std::optional<std::string> converted = clipmill::charsetToUtf8(bytes, charset.c_str());
        if (converted) FUZZ_CHECK(clipmill::isValidUtf8(*converted));
    }
    return 0;
}
