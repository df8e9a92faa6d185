#include "support/gbk.h"

#include <gtest/gtest.h>

namespace clipmill {
namespace {

TEST(Gbk, ConvertsBothWaysAndNeverFailsOnWhatDoesNotFit) {
    struct Case {
        std::string utf8;
        std::string gbk;
        std::string back;  // utf8 after the round trip
    } cases[] = {
        {"预告·资讯", "\xD4\xA4\xB8\xE6\xA1\xA4\xD7\xCA\xD1\xB6", "预告·资讯"},
        {"ab=1\r\n", "ab=1\r\n", "ab=1\r\n"},
        {"", "", ""},
        // No GBK character for these: a question mark takes their place.
        {"a😀b", "a?b", "a?b"},
        {"가", "?", "?"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(utf8ToGbk(c.utf8), c.gbk) << c.utf8;
        EXPECT_EQ(gbkToUtf8(utf8ToGbk(c.utf8)), c.back) << c.utf8;
        EXPECT_EQ(fitsGbk(c.utf8), c.utf8 == c.back) << c.utf8;
    }
    // A lead byte without its second byte, and an invalid pair.
    EXPECT_EQ(gbkToUtf8("ok\xD5"), "ok\xEF\xBF\xBD");
    EXPECT_EQ(gbkToUtf8("\xFF\xFF" "x").back(), 'x');
}

TEST(Gbk, PrefixLengthNeverEndsInsideACharacter) {
    const std::string text = "ab\xD5\xE6" "c";  // a b 真 c
    const std::size_t expected[] = {0, 1, 2, 2, 4, 5, 5};
    for (std::size_t limit = 0; limit < std::size(expected); ++limit) {
        EXPECT_EQ(gbkPrefixLength(text, limit), expected[limit]) << limit;
    }
}

}  // namespace
}  // namespace clipmill
