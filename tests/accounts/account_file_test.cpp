#include "accounts/account_file.h"

#include <gtest/gtest.h>

#include "fixtures/temp_dir.h"

namespace clipmill {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

AccountRecord sampleRecord() {
    AccountRecord record;
    record.setText("昵称", "自动获取");
    record.setText("素材目录", "/home/用户/视频 \"素材\"\\a");
    record.setText("缓存id", "100");
    record.setInteger("分类1", 0);
    record.setInteger("分类2", -2147483647 - 1);
    record.setText("标签", "");
    return record;
}

TEST(AccountFile, WritesOneObjectOfStringsAndNumbersThatReadsBackTheSame) {
    TempDir dir;
    fs::path file = dir.path() / "100.json";
    ASSERT_TRUE(writeAccountFile(file, sampleRecord()));

    std::string content = dir.read("100.json");
    EXPECT_NE(content.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_NE(content.find("\"昵称\": \"自动获取\""), std::string::npos) << content;
    EXPECT_NE(content.find("\"分类1\": 0"), std::string::npos) << content;
    EXPECT_NE(content.find("\"分类2\": -2147483648"), std::string::npos) << content;

    AccountRecord back;
    ASSERT_TRUE(readAccountFile(file, back));
    EXPECT_EQ(back, sampleRecord());
}

TEST(AccountFile, ReadsByteOrderMarkAndKeepsOnlyTextAndIntegers) {
    TempDir dir;
    fs::path file = dir.write("a.json",
                              "\xEF\xBB\xBF{\"昵称\":\"小明\",\"n\":7,\"big\":5000000000,\"f\":1.5,\"b\":true,"
                              "\"z\":null,\"a\":[1],\"o\":{\"x\":1},\"esc\":\"\\u4e2d\\u0000x\",\"n\":8}");
    AccountRecord record;
    ASSERT_TRUE(readAccountFile(file, record));

    AccountRecord expected;
    expected.setText("昵称", "小明");
    expected.setInteger("n", 8);
    expected.setText("esc", std::string("中\0x", 5));
    EXPECT_EQ(record, expected);
}

TEST(AccountFile, UnreadableFilesGiveFalseAndAnEmptyRecord) {
    TempDir dir;
    dir.write("folder.json/x", "");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"empty", ""},
        {"not json", "昵称=小明"},
        {"truncated", "{\"昵称\":\"小"},
        {"array", "[{\"昵称\":\"小明\"}]"},
        {"string", "\"小明\""},
        {"gbk bytes", "{\"昵称\":\"\xD0\xA1\xC3\xF7\"}"},
        {"trailing text", "{\"a\":1} x"},
    };
    for (const auto& [name, content] : cases) {
        AccountRecord record = sampleRecord();
        EXPECT_FALSE(readAccountFile(dir.write(name + ".json", content), record)) << name;
        EXPECT_TRUE(record.empty()) << name;
    }
    for (const char* missing : {"none.json", "folder.json"}) {
        AccountRecord record = sampleRecord();
        EXPECT_FALSE(readAccountFile(dir.path() / missing, record)) << missing;
        EXPECT_TRUE(record.empty()) << missing;
    }
}

TEST(AccountFile, AnEscapedLoneSurrogateReadsAsReplacementAndTheAccountSavesAgain) {
    TempDir dir;
    fs::path file = dir.write("100.json", "{\"昵称\":\"a\\udc00b\",\"缓存id\":\"100\"}");
    AccountRecord record;
    ASSERT_TRUE(readAccountFile(file, record));
    EXPECT_EQ(record.text("昵称"), "a\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD" "b");
    ASSERT_TRUE(writeAccountFile(file, record));
    AccountRecord back;
    ASSERT_TRUE(readAccountFile(file, back));
    EXPECT_EQ(back, record);
}

TEST(AccountFile, TextThatIsNotUtf8IsNotWritten) {
    TempDir dir;
    fs::path file = dir.write("100.json", "{\"缓存id\":\"100\"}");
    AccountRecord record;
    record.setText("素材目录", "\xD0\xA1\xC3\xF7");

    EXPECT_FALSE(writeAccountFile(file, record));
    EXPECT_EQ(dir.read("100.json"), "{\"缓存id\":\"100\"}");
}

}  // namespace
}  // namespace clipmill
