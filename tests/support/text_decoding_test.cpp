#include "support/text_decoding.h"

#include <gtest/gtest.h>

#include <string>

namespace clipmill {
namespace {

using namespace std::string_literals;

TEST(TextDecoding, EveryInputReadsAsUtf8Text) {
    const std::string chinese = "这是一个中文文本";
    const std::string gbkChinese = "\xD5\xE2\xCA\xC7\xD2\xBB\xB8\xF6\xD6\xD0\xCE\xC4\xCE\xC4\xB1\xBE";
    const struct {
        const char* what;
        std::string bytes;
        std::string expected;
    } cases[] = {
        {"UTF-8 as it is", chinese, chinese},
        {"UTF-8 mark removed", "\xEF\xBB\xBF" + chinese, chinese},
        {"malformed bytes after a UTF-8 mark", "\xEF\xBB\xBF" "a\xD5\xE2" "b", "a\xEF\xBF\xBD\xEF\xBF\xBD" "b"},
        {"UTF-16 mark", "\xFF\xFE" "a\0b\0"s, "ab"},
        {"GBK without a mark", gbkChinese + "\xA3\xAC" + gbkChinese, chinese + "，" + chinese},
        // The detector names IBM420 for these bytes, a charset ICU cannot convert.
        {"detected charset without a converter", gbkChinese + "\0\x02\0\0\0\0\0"s, chinese + "\0\x02\0\0\0\0\0"s},
    };
    for (const auto& c : cases) EXPECT_EQ(decodeToUtf8(c.bytes), c.expected) << c.what;
}

}  // namespace
}  // namespace clipmill
