#include "support/text_decoding.h"

#include <unicode/ucnv.h>
#include <unicode/ucsdet.h>

#include <memory>

#include "support/utf8_text.h"

namespace clipmill {

namespace {

constexpr const char* kChineseFallback = "GB18030";

bool startsWith(std::string_view bytes, std::string_view prefix) {
    return bytes.substr(0, prefix.size()) == prefix;
}

// Single-byte Western guesses for bytes that are not UTF-8 are nearly always Chinese text
// misread; short GBK files are often detected that way.
bool trustDetection(const std::string& name, int32_t confidence) {
    if (confidence < 30) return false;
    return name.rfind("ISO-8859", 0) != 0 && name.rfind("windows-125", 0) != 0;
}

std::string detectCharset(std::string_view bytes) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UCharsetDetector, decltype(&ucsdet_close)> detector(ucsdet_open(&status), ucsdet_close);
    if (U_FAILURE(status)) return kChineseFallback;
    ucsdet_setText(detector.get(), bytes.data(), static_cast<int32_t>(bytes.size()), &status);
    const UCharsetMatch* match = ucsdet_detect(detector.get(), &status);
    if (U_FAILURE(status) || match == nullptr) return kChineseFallback;
    const char* name = ucsdet_getName(match, &status);
    const int32_t confidence = ucsdet_getConfidence(match, &status);
    if (U_FAILURE(status) || name == nullptr) return kChineseFallback;
    return trustDetection(name, confidence) ? std::string(name) : std::string(kChineseFallback);
}

}  // namespace

std::optional<std::string> charsetToUtf8(std::string_view bytes, const char* charset) {
    UErrorCode status = U_ZERO_ERROR;
    const auto length = static_cast<int32_t>(bytes.size());
    std::string out(static_cast<std::size_t>(length) * 3 + 4, '\0');
    int32_t written =
        ucnv_convert("UTF-8", charset, out.data(), static_cast<int32_t>(out.size()), bytes.data(), length, &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        out.assign(static_cast<std::size_t>(written) + 1, '\0');
        status = U_ZERO_ERROR;
        written =
            ucnv_convert("UTF-8", charset, out.data(), static_cast<int32_t>(out.size()), bytes.data(), length, &status);
    }
    if (U_FAILURE(status)) return std::nullopt;
    out.resize(static_cast<std::size_t>(written));
    return out;
}

namespace {

std::string convertToUtf8(std::string_view bytes, const char* charset) {
    return charsetToUtf8(bytes, charset).value_or(std::string());
}

// The detector also names charsets that ICU cannot convert (such as "IBM420_ltr"); those
// guesses count as unsure.
std::string convertDetected(std::string_view bytes) {
    if (auto converted = charsetToUtf8(bytes, detectCharset(bytes).c_str())) return *converted;
    return convertToUtf8(bytes, kChineseFallback);
}

}  // namespace

std::string decodeToUtf8(std::string_view bytes) {
    if (startsWith(bytes, "\xEF\xBB\xBF")) return withMalformedUtf8Replaced(bytes.substr(3));
    if (startsWith(bytes, "\xFF\xFE")) return convertToUtf8(bytes.substr(2), "UTF-16LE");
    if (startsWith(bytes, "\xFE\xFF")) return convertToUtf8(bytes.substr(2), "UTF-16BE");
    if (isValidUtf8(bytes)) return std::string(bytes);
    return convertDetected(bytes);
}

}  // namespace clipmill
