#include <QLabel>
#include <QTabWidget>
#include <thread>

#include "fixtures/scoped_env.h"
#include "window_fixture.h"

namespace clipmill::ui::testing {
namespace {

namespace fs = std::filesystem;

using ProgramFolderLabelTest = WindowTest;

// A stand-in for the desktop's opener: each call appends its argument count and arguments.
fs::path standInOpener(const clipmill::testing::TempDir& bin) {
    const fs::path opener =
        bin.write("xdg-open", "#!/bin/sh\n{ echo \"$#\"; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } >> \"$(dirname \"$0\")/opened\"\n");
    fs::permissions(opener, fs::perms::owner_all);
    return opener;
}

TEST_F(ProgramFolderLabelTest, LeftPressOpensTheProgramFolderOtherButtonsDoNot) {
    clipmill::testing::TempDir bin;
    standInOpener(bin);
    clipmill::testing::ScopedEnv path("PATH", bin.str() + ":" + std::getenv("PATH"));
    widget<QTabWidget>("选择夹1")->setCurrentWidget(widget("浏览器"));
    auto* label = widget<QLabel>("标签15");
    ASSERT_NE(label, nullptr);
    ASSERT_EQ(fromQt(label->text()), dir.str() + "/");

    QTest::mousePress(label, Qt::RightButton);
    QTest::mouseRelease(label, Qt::RightButton);
    QTest::mousePress(label, Qt::LeftButton);
    QTest::mouseRelease(label, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return fs::exists(bin.path() / "opened"); }));
    // Nothing signals that no second call comes; a second, wrong call would land by now.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(bin.read("opened"), "1\n" + dir.str() + "/\n");
}

}  // namespace
}  // namespace clipmill::ui::testing
