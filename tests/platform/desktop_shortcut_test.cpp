#include "platform/desktop_shortcut.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "fixtures/temp_dir.h"

namespace clipmill {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

TEST(DesktopShortcut, NamesAndEntry) {
    const fs::path desktop = "/home/u/Desktop";
    EXPECT_EQ(shortcutPath("Clipmill", desktop), desktop / "Clipmill.desktop");
    EXPECT_EQ(shortcutPath("/opt/x/Clipmill.bin", desktop), desktop / "Clipmill.desktop");
    EXPECT_EQ(shortcutPath("Clipmill.DESKTOP", desktop), desktop / "Clipmill.DESKTOP");
    EXPECT_FALSE(desktopEntryText("Clipmill", "clipmill"));
    EXPECT_EQ(*desktopEntryText("Clipmill", "/opt/my \"tools\"/$x/clip%mill"),
              "[Desktop Entry]\nType=Application\nVersion=1.0\nName=Clipmill\n"
              "Exec=\"/opt/my \\\\\"tools\\\\\"/\\\\$x/clip%%mill\"\nPath=/opt/my \"tools\"/$x\n"
              "Icon=/opt/my \"tools\"/$x/clip%mill\nTerminal=false\n");
}

TEST(DesktopShortcut, ReplacesAnOldLauncherAndIsExecutable) {
    TempDir dir;
    dir.write("Desktop/Clipmill.desktop", "old");
    ASSERT_TRUE(createDesktopShortcut("Clipmill", dir.path() / "app" / "clipmill", dir.path() / "Desktop"));
    const fs::path link = dir.path() / "Desktop" / "Clipmill.desktop";
    EXPECT_NE(dir.read("Desktop/Clipmill.desktop").find("Exec=\"" + (dir.path() / "app" / "clipmill").string()),
              std::string::npos);
    EXPECT_NE(fs::status(link).permissions() & fs::perms::owner_exec, fs::perms::none);
}

}  // namespace
}  // namespace clipmill
