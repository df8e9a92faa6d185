#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <regex>
#include <thread>

#include "fixtures/maker_server.h"
#include "net/digest.h"
#include "program_fixture.h"
#include "update/error_report.h"

namespace clipmill::testing {
namespace {

namespace fs = std::filesystem;

const char* const kMainWindow = "Clipmillv8.8";
const char* const kCrashBox = "Norvanebug提示";

class CrashReport : public ProgramTest {
protected:
    void pointReportsAt(const MakerServer& server) {
        std::ofstream(programDir / "data" / "endpoints.ini", std::ios::binary | std::ios::app)
            << "[report]\r\nendpoint=" << server.url("tongzhi") << "\r\ntarget=qq:10001@maker\r\n";
    }
    void startAndCrash() {
        startProgram();
        ASSERT_FALSE(waitForWindow(kMainWindow, 15000).empty()) << "no main window";
        ASSERT_EQ(::kill(program->pid(), SIGSEGV), 0);
    }
};

TEST_F(CrashReport, ASegmentationFaultEndsTheProgramWith255ThenShowsTheBoxAndAfterEnterSendsOneSignedReport) {
    MakerServer server;
    pointReportsAt(server);
    startAndCrash();
    const std::string box = waitForWindow(kCrashBox, 15000);
    ASSERT_FALSE(box.empty()) << "no box";
    EXPECT_EQ(waitForExit(0), 255) << "the program, a run's worker with it, ends before its box shows";
    // What is tested is that nothing happens while the box stands: a report that did not
    // wait for it would arrive within this pause.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(server.requests().empty()) << "the report waits for the box";

    xdotool({"windowfocus", "--sync", box});
    xdotool({"key", "--clearmodifiers", "Return"});
    EXPECT_TRUE(pollUntil([&] { return !server.requests("/tongzhi").empty(); }, std::chrono::seconds(20)));

    const auto reports = server.requests("/tongzhi");
    ASSERT_EQ(reports.size(), 1u);
    const auto& report = reports[0];
    EXPECT_EQ(report.query.find("mubiao")->second, "qq:10001@maker");
    EXPECT_EQ(report.query.find("sa")->second, "1");
    std::string host = update::hostName();
    host.erase(std::remove(host.begin(), host.end(), ' '), host.end());
    EXPECT_EQ(report.query.find("title")->second, "电脑" + host + "发现bug，软件-clipmill版本号8.8");
    EXPECT_EQ(report.query.find("body")->second,
              "所属软件：clipmill\r\n    软件运行路径：" + programDir.string() + "\r\n   操作系统：" +
                  update::operatingSystemName() +
                  "\r\n   软件错误代码：11\r\n   错误信息：SIGSEGV (segmentation fault)\r\n其他信息：     Norvane "
                  "错误信息和bug通知系统。\r\n");

    ASSERT_EQ(report.headers.count("Sign"), 1u);
    std::smatch sign;
    const std::string value = report.headers.find("Sign")->second;
    ASSERT_TRUE(std::regex_match(value, sign, std::regex("([0-9a-f]{32})@([0-9]{10})"))) << value;
    EXPECT_EQ(sign[1].str(), net::md5Hex("quillmoss47281t%%&&915" + sign[2].str()));
    EXPECT_TRUE(xdotool({"search", "--name", kCrashBox}).empty()) << "the box is gone with its reporter";
}

TEST_F(CrashReport, WithoutAReportEndpointASegmentationFaultEndsTheProgramWith255AtOnce) {
    startAndCrash();
    EXPECT_EQ(waitForExit(3000), 255);
    EXPECT_TRUE(xdotool({"search", "--name", kCrashBox}).empty());
}

}  // namespace
}  // namespace clipmill::testing
