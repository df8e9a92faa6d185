#include "support/gbk.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace clipmill {
namespace {

struct ConverterCloser {
    void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

Converter openConverter(const char* name) {
    UErrorCode status = U_ZERO_ERROR;
    Converter converter(ucnv_open(name, &status));
    if (U_FAILURE(status)) return nullptr;
    return converter;
}

// Converts with the converters' default substitution ('?' or U+FFFD for what does not fit).
std::string convert(const char* to, const char* from, std::string_view bytes) {
    if (bytes.empty()) return {};
    Converter target = openConverter(to);
    Converter source = openConverter(from);
    if (!target || !source) return {};
    std::string out(bytes.size() * 4 + 16, '\0');
    while (true) {
        char* outPtr = out.data();
        const char* inPtr = bytes.data();
        UErrorCode status = U_ZERO_ERROR;
        ucnv_convertEx(target.get(), source.get(), &outPtr, out.data() + out.size(), &inPtr,
                       bytes.data() + bytes.size(), nullptr, nullptr, nullptr, nullptr, true, true,
                       &status);
        if (status == U_BUFFER_OVERFLOW_ERROR) {
            out.resize(out.size() * 2);
            ucnv_resetToUnicode(source.get());
            ucnv_resetFromUnicode(target.get());
            continue;
        }
        if (U_FAILURE(status)) return {};
        out.resize(static_cast<std::size_t>(outPtr - out.data()));
        return out;
    }
}

}  // namespace

std::string utf8ToGbk(std::string_view utf8) { return convert("GBK", "UTF-8", utf8); }

std::string gbkToUtf8(std::string_view gbk) { return convert("UTF-8", "GBK", gbk); }

bool fitsGbk(std::string_view utf8) {
    Converter gbk = openConverter("GBK");
    Converter source = openConverter("UTF-8");
    if (!gbk || !source) return false;
    UErrorCode status = U_ZERO_ERROR;
    ucnv_setFromUCallBack(gbk.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    ucnv_setToUCallBack(source.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    std::vector<char> out(utf8.size() * 2 + 16);
    char* outPtr = out.data();
    const char* inPtr = utf8.data();
    ucnv_convertEx(gbk.get(), source.get(), &outPtr, out.data() + out.size(), &inPtr, utf8.data() + utf8.size(),
                   nullptr, nullptr, nullptr, nullptr, true, true, &status);
    return U_SUCCESS(status);
}

std::size_t gbkPrefixLength(std::string_view gbk, std::size_t limit) {
    std::size_t at = 0;
    while (at < gbk.size()) {
        std::size_t width = isGbkLeadByte(static_cast<unsigned char>(gbk[at])) ? 2 : 1;
        if (at + width > limit) break;
        at += width;
    }
    return std::min(at, gbk.size());
}

}  // namespace clipmill
