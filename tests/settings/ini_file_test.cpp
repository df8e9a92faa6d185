#include "settings/ini_file.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "fixtures/temp_dir.h"

namespace clipmill {
namespace {

// GBK bytes of the names used below, as Windows writes them.
const std::string kEdit = "\xB1\xE0\xBC\xAD\xBF\xF2";   // 编辑框
const std::string kRadio = "\xB5\xA5\xD1\xA1\xBF\xF2";  // 单选框
const std::string kTrue = "\xD5\xE6";                    // 真
const std::string kTags = "\xD4\xAD\xB4\xB4+\xCA\xD3\xC6\xB5";  // 原创+视频

TEST(IniFileRead, FollowsTheProfileStringRules) {
    const IniFile ini = IniFile::fromBytes(
        "; written by hand\r\n"
        "[" + kEdit + "]\r\n"
        "Tags=" + kTags + "\r\n"
        "  Spaced Key  =   spaced value   \r\n"
        "quoted=\"  keeps inner spaces \"\r\n"
        "single='kept'\r\n"
        "lonequote=\"abc\r\n"
        "twice=first\r\n"
        "twice=second\r\n"
        "empty=\r\n"
        ";commented=yes\r\n"
        "\r\n"
        "[ " + kRadio + " ]\r\n"
        "\xB5\xA5=" + kTrue + "\r\n"
        "[\xB1\x41]\r\n"
        "k=upper-trail\r\n"
        "[\xB1\x5D]\r\n"
        "k=bracket-trail\r\n");
    struct Case {
        std::string section;
        std::string key;
        std::optional<std::string> expected;
    } cases[] = {
        {"编辑框", "Tags", "原创+视频"},
        {"编辑框", "TAGS", "原创+视频"},
        {"编辑框", "spaced key", "spaced value"},
        {"编辑框", "quoted", "  keeps inner spaces "},
        {"编辑框", "single", "'kept'"},
        {"编辑框", "lonequote", "\"abc"},
        {"编辑框", "twice", "first"},
        {"编辑框", "empty", ""},
        {"编辑框", ";commented", std::nullopt},
        {"编辑框", "missing", std::nullopt},
        {"单选框", "单", "真"},
        {"pz", "f1", std::nullopt},
        // Second bytes of two-byte characters are not letters to fold, nor brackets.
        {"\xE7\x9B\x87", "k", "upper-trail"},   // 盇 B1 41
        {"\xE7\x9B\xBF", "k", std::nullopt},    // 盿 B1 61
        {"\xE7\x9B\xB7", "k", "bracket-trail"}, // 盷 B1 5D
    };
    for (const Case& c : cases) EXPECT_EQ(ini.value(c.section, c.key), c.expected) << c.section << " / " << c.key;
}

TEST(IniFileRead, AcceptsLineFeedOnlyFilesAndAFinalLineWithoutBreak) {
    const IniFile ini = IniFile::fromBytes("[a]\nx=1\n[b]\ny=2");
    EXPECT_EQ(ini.value("a", "x"), "1");
    EXPECT_EQ(ini.value("b", "y"), "2");
    EXPECT_EQ(ini.value("a", "y"), std::nullopt);
}

TEST(IniFileRead, CutsLongValuesWithoutSplittingACharacter) {
    const std::string ascii(IniFile::kMaxValueBytes + 50, 'a');
    // 10 238 ASCII bytes, then a two-byte character that would end one byte past the limit.
    const std::string straddling = std::string(IniFile::kMaxValueBytes - 1, 'b') + kTrue + "tail";
    const std::string exact(IniFile::kMaxValueBytes, 'c');
    const IniFile ini = IniFile::fromBytes("[s]\r\nascii=" + ascii + "\r\nstraddling=" + straddling +
                                           "\r\nexact=" + exact + "\r\n");
    EXPECT_EQ(ini.value("s", "ascii"), std::string(IniFile::kMaxValueBytes, 'a'));
    EXPECT_EQ(ini.value("s", "straddling"), std::string(IniFile::kMaxValueBytes - 1, 'b'));
    EXPECT_EQ(ini.value("s", "exact"), exact);
}

// A file as a person leaves it after editing it by hand: comments, blank lines, other
// sections, odd spacing, a last line without a line break.
const std::string kHandEdited =
    "; settings of the uploader\r\n"
    "\r\n"
    "[" + kEdit + "]\r\n"
    "  Keep = as typed  \r\n"
    "old=1\r\n"
    "\r\n"
    "; about the next section\r\n"
    "[Other]\r\n"
    "name=value\n"
    "[" + kRadio + "]\r\n"
    "a=" + kTrue;

TEST(IniFileWrite, ChangesOnlyTheLinesOfTheKeysWritten) {
    IniFile ini = IniFile::fromBytes(kHandEdited);
    ini.setValue("编辑框", "OLD", "2");       // replaced in place, under the name written
    ini.setValue("编辑框", "new", "原创+视频");  // appended after the section's last key
    ini.setValue("单选框", "b", "假");          // appended to the last section
    ini.setValue("pz", "f1", "3");              // a new section at the end
    EXPECT_EQ(ini.bytes(),
              "; settings of the uploader\r\n"
              "\r\n"
              "[" + kEdit + "]\r\n"
              "  Keep = as typed  \r\n"
              "OLD=2\r\n"
              "new=" + kTags + "\r\n"
              "\r\n"
              "; about the next section\r\n"
              "[Other]\r\n"
              "name=value\n"
              "[" + kRadio + "]\r\n"
              "a=" + kTrue + "\r\n"
              "b=\xBC\xD9\r\n"
              "[pz]\r\n"
              "f1=3\r\n");
}

TEST(IniFileWrite, ABatchSavedOnceEqualsSavingAfterEveryKey) {
    testing::TempDir dir;
    const auto batchPath = dir.write("batch.ini", kHandEdited);
    const auto stepPath = dir.write("step.ini", kHandEdited);
    struct Write {
        const char* section;
        const char* key;
        const char* value;
    } writes[] = {
        {"编辑框", "old", "x"},          {"new section", "k", "v"},  {"编辑框", "fresh", "多行"},
        {"new section", "k", "changed"}, {"NEW SECTION", "k2", "2"}, {"单选框", "a", "假"},
    };
    IniFile batch = IniFile::load(batchPath);
    for (const Write& w : writes) {
        batch.setValue(w.section, w.key, w.value);
        IniFile step = IniFile::load(stepPath);
        step.setValue(w.section, w.key, w.value);
        ASSERT_TRUE(step.save(stepPath));
    }
    ASSERT_TRUE(batch.save(batchPath));
    EXPECT_EQ(dir.read("batch.ini"), dir.read("step.ini"));
    EXPECT_EQ(IniFile::load(batchPath).value("new section", "k"), "changed");
}

TEST(IniFileWrite, EveryValueReadsBackAsWritten) {
    const std::string values[] = {"plain", "", "  leading", "trailing\t", "\"quoted\"", "\"", "a \"b\" c",
                                  "=equals=", "[not a section]", "; not a comment", "预告·资讯"};
    IniFile ini;
    for (std::size_t i = 0; i < std::size(values); ++i) ini.setValue("s", "k" + std::to_string(i), values[i]);
    const IniFile reread = IniFile::fromBytes(ini.bytes());
    for (std::size_t i = 0; i < std::size(values); ++i) {
        EXPECT_EQ(reread.value("s", "k" + std::to_string(i)), values[i]) << values[i];
    }
}

TEST(IniFileWrite, ALineBreakInAValueCannotAddKeysOrSections) {
    IniFile ini;
    ini.setValue("s", "k", "one\r\n[x]\ninjected=1");
    const IniFile reread = IniFile::fromBytes(ini.bytes());
    EXPECT_EQ(reread.value("s", "k"), "one  [x] injected=1");
    EXPECT_EQ(reread.value("s", "injected"), std::nullopt);
    EXPECT_EQ(reread.value("x", "injected"), std::nullopt);
}

TEST(IniFileLoad, AMissingFileIsEmptyAndTheFirstSaveCreatesIt) {
    testing::TempDir dir;
    IniFile ini = IniFile::load(dir.path() / "absent.ini");
    EXPECT_EQ(ini.bytes(), "");
    ini.setValue("编辑框", "k", "v");
    ASSERT_TRUE(ini.save(dir.path() / "absent.ini"));
    EXPECT_EQ(dir.read("absent.ini"), "[" + kEdit + "]\r\nk=v\r\n");
}

}  // namespace
}  // namespace clipmill
