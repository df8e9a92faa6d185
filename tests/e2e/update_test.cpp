// The start-up's update check and the disclaimer, with the real program on a virtual display
// and a practice copy of the maker's server.
#include <sys/stat.h>

#include <chrono>
#include <fstream>

#include "fixtures/maker_server.h"
#include "net/digest.h"
#include "program_fixture.h"
#include "support/gbk.h"

namespace clipmill::testing {
namespace {

namespace fs = std::filesystem;

class UpdateE2e : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        std::ofstream(programDir / "data" / "endpoints.ini", std::ios::binary | std::ios::app)
            << "[update]\r\nservers=" << maker.baseUrl() << "\r\nproduct=clipmill\r\n";
        maker.write("test.txt", "ok");
    }
    // A release that, when started, leaves a mark next to itself: its arguments, written once it
    // holds the program folder's lock, which the program it replaces lets go of as it ends.
    std::string publishRelease(const std::string& version) {
        const std::string release =
            "#!/bin/sh\ncd \"$(dirname \"$0\")\"\n"
            "flock -w 15 data/clipmill.lock echo \"$*\" > started-by-update.part\n"
            "mv started-by-update.part started-by-update\n";
        maker.write("files/clipmill-" + version, release);
        maker.write("clipmill/index.json", R"({"版本":")" + version + R"(","更新说明":"新功能","文件名":"clipmill-)" +
                                               version + R"(","下载地址":")" + maker.url("files/clipmill-" + version) +
                                               R"(","sha256":")" + net::sha256Hex(release) + "\"}");
        return release;
    }

    MakerServer maker;
};

TEST_F(UpdateE2e, ANewerReleaseIsOfferedDownloadedCheckedAndStarted) {
    const std::string release = publishRelease("8.9");
    startProgram();
    const std::string prompt = waitForWindow("发现新版本，是否更新", 30000);
    ASSERT_FALSE(prompt.empty());
    xdotool({"key", "--window", prompt, "Return"});

    const fs::path file = programDir / "clipmill-8.9";
    ASSERT_TRUE(pollUntilExists(file, std::chrono::seconds(30)));

    // The start-up window comes back with the download; its open button starts the release.
    const std::string startup = waitForWindow("Clipmill$", 10000);
    ASSERT_FALSE(startup.empty());
    ASSERT_TRUE(waitForLine("open button shown"));  // "更新结束", two seconds, then the button
    clickInWindow(startup, 32 + 42 + 160, 96 + 328 + 29);
    EXPECT_TRUE(pollUntilExists(programDir / "started-by-update", std::chrono::seconds(20)));
    EXPECT_EQ(waitForExit(15000), 0);
    EXPECT_EQ(dir.read(fs::relative(programDir / "started-by-update", dir.path()).string()), "--handover\n");
    EXPECT_EQ(net::sha256FileHex(file.string()), net::sha256Hex(release));
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_NE(info.st_mode & S_IXUSR, 0u);
    const std::string log = readLog();
    for (const char* line : {"显示版本号8.8", "版本检查结果1是最新版：0", "启动升级程序检查", "提醒用户升级"})
        EXPECT_NE(log.find(line), std::string::npos) << line;
}

TEST_F(UpdateE2e, TheSameVersionAsksNothing) {
    publishRelease("8.8");
    startProgram();
    ASSERT_FALSE(waitForWindow("Clipmillv8.8", 30000).empty());
    // The check logs its result before it would ask.
    EXPECT_TRUE(pollUntil([&] { return readLog().find("版本检查结果1是最新版：1") != std::string::npos; },
                          std::chrono::seconds(30)))
        << readLog();
    EXPECT_TRUE(waitForWindow("发现新版本", 100).empty());
    EXPECT_GE(maker.requests("/clipmill/index.json").size(), 1u);
    EXPECT_TRUE(maker.requests("/files/clipmill-8.8").empty());
}

TEST_F(ProgramTest, TheDisclaimerStandsBeforeTheMainWindowOnceAndOkIsRemembered) {
    disclaimerAccepted = false;  // a fresh machine
    startProgram();
    const std::string box = waitForWindow("免责声明", 30000);
    ASSERT_FALSE(box.empty());
    EXPECT_TRUE(waitForWindow("Clipmillv8.8", 500).empty());
    xdotool({"key", "--window", box, "Return"});
    EXPECT_FALSE(waitForWindow("Clipmillv8.8", 30000).empty());
    std::ifstream marker(dir.path() / "home" / "Documents" / "qmxr.dll", std::ios::binary);
    const std::string agreement = gbkToUtf8(std::string(std::istreambuf_iterator<char>(marker), {}));
    EXPECT_EQ(agreement.rfind("您已经同意的软件使用协议\r\n\r\n免责声明：", 0), 0u) << agreement;
}

}  // namespace
}  // namespace clipmill::testing
