#include "settings/persistence.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <sstream>

#include "fixtures/temp_dir.h"
#include "fixtures/unreadable_file.h"
#include "settings/control_table.h"
#include "support/gbk.h"

namespace clipmill {
namespace {

// A file as Windows writes it: GBK bytes (converted here by the C library, not by the code
// under test) and CR LF line ends.
std::string windowsFile(const std::string& utf8Lines) {
    std::string crlf;
    for (char c : utf8Lines) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    iconv_t cd = iconv_open("GBK", "UTF-8");
    std::string out(crlf.size() * 2, '\0');
    char* in = crlf.data();
    std::size_t inLeft = crlf.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    const std::size_t result = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    EXPECT_NE(result, static_cast<std::size_t>(-1)) << "fixture not representable in GBK";
    out.resize(out.size() - outLeft);
    return out;
}

std::vector<std::string> fileLines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::istringstream in(bytes);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The lines of a file, each with its CR, leaving out the keys persistence writes.
std::vector<std::string> linesNotOurs(const std::string& bytes) {
    std::vector<std::string> kept;
    for (const std::string& line : fileLines(bytes)) {
        const std::string text = gbkToUtf8(line);
        const std::string key = text.substr(0, text.find('='));
        const bool ours = text.find('=') != std::string::npos &&
                          (key == "f1" || key == "f2" || findControl(key) != nullptr);
        if (!ours) kept.push_back(line);
    }
    return kept;
}

// A fresh main window with every control at its default, as at program start.
struct Program {
    testing::TempDir dir;
    WindowState window{controlTable()};
    IniFile file() const { return IniFile::load(dir.path() / "data" / "setsoft.ini"); }
};

TEST(FieldTextEscape, LineBreaksAndQuotesTravelAsEscapes) {
    struct Case {
        std::string text;
        std::string stored;
        std::string restored;
    } cases[] = {
        {"a\r\nb\r\nc", "a><br><b><br><c", "a\r\nb\r\nc"},
        {"say \"hi\"", "say #引号hi#引号", "say \"hi\""},
        // A break on its own would end the line in the file; it comes back as CR LF.
        {"a\nb\rc", "a><br><b><br><c", "a\r\nb\r\nc"},
        // Texts that happen to contain the escapes come back changed.
        {"x><br><y", "x><br><y", "x\r\ny"},
        {"x#引号y", "x#引号y", "x\"y"},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(escapeFieldText(c.text), c.stored) << c.text;
        EXPECT_EQ(unescapeFieldText(c.stored), c.restored) << c.stored;
    }
}

TEST(DropDownValue, ListsItemsThenIndexAndCurrentText) {
    EXPECT_EQ(dropDownValue({{"动画", 1}, {"游戏", 4}}, 1), "动画<|>1<||>游戏<|>4<||>1<|>游戏");
    EXPECT_EQ(dropDownValue({{"动画", 1}}, -1), "动画<|>1<||>-1<|>");
    EXPECT_EQ(dropDownValue({}, -1), "-1<|>");
    EXPECT_EQ(dropDownValue({{"a\"b", 0}}, 0), "a#引号b<|>0<||>0<|>a#引号b");
}

TEST(Persistence, ChangedTextsAndRadioButtonsSurviveARestart) {
    Program before;
    before.window.setText("编辑框_标题库", "标题一\r\n标题二\r\n标题三");
    before.window.setText("编辑框_转载说明", "来自 \"某站\" 的><br><转载#引号");
    before.window.setText("编辑框_固定标签", "");
    before.window.setText("宽带_密码", "  secret  ");
    before.window.setChecked("单选框_标题库", true);
    before.window.setChecked("单选框_移动", true);
    before.window.setChecked("选择框_自动循环", false);
    ASSERT_TRUE(saveSettings(before.window, before.dir.path(), SaveMoment::SaveButton));

    const std::string bytes = before.dir.read("data/setsoft.ini");
    EXPECT_NE(bytes.find(windowsFile("编辑框_标题库=标题一><br><标题二><br><标题三\n")), std::string::npos);
    EXPECT_NE(bytes.find(windowsFile("编辑框_固定标签=\n")), std::string::npos);

    WindowState after(controlTable());
    restoreSettings(after, before.dir.path());
    EXPECT_EQ(after.text("编辑框_标题库"), "标题一\r\n标题二\r\n标题三");
    EXPECT_EQ(after.text("编辑框_转载说明"), "来自 \"某站\" 的\r\n转载\"");
    EXPECT_EQ(after.text("宽带_密码"), "  secret  ");
    EXPECT_EQ(after.text("编辑框_固定标签"), "原创+视频") << "an emptied field comes back at its default";
    EXPECT_TRUE(after.checked("单选框_标题库"));
    EXPECT_FALSE(after.checked("单选框_视频文件名"));
    EXPECT_TRUE(after.checked("单选框_移动"));
    EXPECT_FALSE(after.checked("单选框_删除"));
    EXPECT_TRUE(after.checked("选择框_自动循环")) << "check boxes are not stored";
    for (const ControlDef* field : controlsOfKind(ControlKind::TextField)) {
        if (field->name == "编辑框_固定标签" || field->name == "编辑框_转载说明") continue;
        EXPECT_EQ(after.text(field->name), before.window.text(field->name)) << field->name;
    }
}

// A file written by the Windows program and then edited by hand.
const char* const kWindowsWritten =
    "; 我的设置，手工修改过\n"
    "[编辑框]\n"
    "编辑框_转载说明=来源：#引号某站#引号\n"
    "编辑框_标题库=第一行><br><第二行\n"
    "编辑框_已删除的控件=旧的值\n"
    "编辑框_单账号上传=\n"
    "\n"
    "[单选框]\n"
    "单选框_自制=假\n"
    "单选框_转载=是\n"
    "单选框_系统封面=1\n"
    "单选框_系统封面_随机=假\n"
    "\n"
    "[自定义]\n"
    "; 这一节不是程序写的\n"
    "备注 = 保留原样\n";

TEST(Persistence, RestoresAFileWrittenOnWindows) {
    Program program;
    program.dir.write("data/setsoft.ini", windowsFile(kWindowsWritten));
    restoreSettings(program.window, program.dir.path());
    EXPECT_EQ(program.window.text("编辑框_转载说明"), "来源：\"某站\"");
    EXPECT_EQ(program.window.text("编辑框_标题库"), "第一行\r\n第二行");
    EXPECT_EQ(program.window.text("编辑框_单账号上传"), "3");
    EXPECT_TRUE(program.window.checked("单选框_转载")) << "a value neither 真 nor 假 selects";
    EXPECT_FALSE(program.window.checked("单选框_自制"));
    EXPECT_TRUE(program.window.checked("单选框_系统封面"));
    EXPECT_FALSE(program.window.checked("单选框_系统封面_随机"));
    EXPECT_TRUE(program.window.checked("单选框_混合标签")) << "a group without keys keeps its default";
}

TEST(Persistence, SavingKeepsEveryLineThatIsNotOneOfOurKeys) {
    Program program;
    const std::string original = windowsFile(kWindowsWritten);
    program.dir.write("data/setsoft.ini", original);
    ASSERT_TRUE(saveSettings(program.window, program.dir.path(), SaveMoment::SaveButton));

    const std::string saved = program.dir.read("data/setsoft.ini");
    std::vector<std::string> expected = linesNotOurs(original);
    expected.push_back(windowsFile("[组合框]") + "\r");
    expected.push_back("[pz]\r");
    EXPECT_EQ(linesNotOurs(saved), expected);
    EXPECT_EQ(program.file().value("编辑框", "编辑框_已删除的控件"), "旧的值");
    EXPECT_EQ(program.file().value("自定义", "备注"), "保留原样");
}

// Saving over a file that is there but could not be read would lose every setting in it.
TEST(Persistence, AFileThatCannotBeReadIsNeverReplaced) {
    for (const testing::Unreadable kind : {testing::Unreadable::NoPermission, testing::Unreadable::FolderInItsPlace}) {
        Program program;
        const std::filesystem::path path = program.dir.path() / "data" / "setsoft.ini";
        const std::string original = windowsFile(kWindowsWritten);
        testing::makeUnreadable(path, kind, original);
        bool saved = true;
        testing::asOrdinaryUser(
            [&] { saved = saveSettings(program.window, program.dir.path(), SaveMoment::SaveButton); });
        EXPECT_FALSE(saved) << static_cast<int>(kind);
        if (kind == testing::Unreadable::NoPermission) EXPECT_EQ(program.dir.read("data/setsoft.ini"), original);
        if (kind == testing::Unreadable::FolderInItsPlace) EXPECT_TRUE(std::filesystem::is_directory(path));
        // Nothing half-done is left next to it either.
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(path.parent_path()), {}), 1);
    }
}

TEST(Persistence, EachMomentWritesItsSections) {
    struct Case {
        SaveMoment moment;
        bool dropDowns;
        bool selection;
    } cases[] = {{SaveMoment::SaveButton, true, true},
                 {SaveMoment::CloseButton, true, false},
                 {SaveMoment::WindowDestroyed, false, true}};
    for (const Case& c : cases) {
        Program program;
        program.window.setItems("组合框1", {{"生活", 0}, {"游戏", 0}});
        program.window.setIndex("组合框1", 1);
        ASSERT_TRUE(saveSettings(program.window, program.dir.path(), c.moment));
        const IniFile file = program.file();
        EXPECT_EQ(file.value("组合框", "组合框1").has_value(), c.dropDowns);
        EXPECT_EQ(file.value("pz", "f1").has_value(), c.selection);
        EXPECT_EQ(file.value("单选框", "单选框_自制"), "真");
        EXPECT_EQ(file.value("单选框", "单选框_转载"), "假");
        EXPECT_EQ(file.value("编辑框", "编辑框_单账号上传"), "3");
    }
}

TEST(Persistence, TheSavedZoneSelectionIsKeptByTheCloseButton) {
    Program program;
    EXPECT_EQ(loadCategorySelection(program.dir.path()).zone, 0) << "no file";
    program.window.setItems("组合框1", {{"生活", 0}, {"游戏", 0}});
    program.window.setItems("组合框2", {{"a", 0}, {"b", 0}, {"c", 0}, {"d", 0}});
    program.window.setIndex("组合框1", 1);
    program.window.setIndex("组合框2", 3);
    saveSettings(program.window, program.dir.path(), SaveMoment::SaveButton);
    program.window.setIndex("组合框1", 0);
    saveSettings(program.window, program.dir.path(), SaveMoment::CloseButton);
    const CategorySelection saved = loadCategorySelection(program.dir.path());
    EXPECT_EQ(saved.zone, 1);
    EXPECT_EQ(saved.subZone, 3);
    EXPECT_EQ(program.file().value("组合框", "组合框1"), "生活<|>0<||>游戏<|>0<||>0<|>生活");

    program.dir.write("data/setsoft.ini", windowsFile("[pz]\nf1=abc\n"));
    EXPECT_EQ(loadCategorySelection(program.dir.path()).zone, 0);
    EXPECT_EQ(loadCategorySelection(program.dir.path()).subZone, 0);
}

}  // namespace
}  // namespace clipmill
