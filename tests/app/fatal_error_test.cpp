#include "app/fatal_error.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <future>
#include <sstream>
#include <thread>

#include "fixtures/maker_server.h"
#include "fixtures/poll_until.h"
#include "fixtures/temp_dir.h"
#include "platform/child_process.h"
#include "update/error_report.h"

namespace clipmill::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const char* const kHelper = CLIPMILL_BINARY_DIR "/tests/crash_helper/crash_helper";

// crash_helper (tests/crash_helper) in a program folder whose endpoints.ini points the
// error report at a practice maker's server.
class FatalErrorTest : public ::testing::Test {
protected:
    void SetUp() override {
        programDir = dir.path() / "clip \"mill\" folder";
        fs::create_directories(programDir / "data");
    }
    void pointReportsAtTheServer() {
        std::ofstream(programDir / "data" / "endpoints.ini", std::ios::binary)
            << "[report]\r\nendpoint=" << server.url("tongzhi") << "\r\ntarget=qq:10001@maker\r\n";
    }
    std::future<CommandResult> runHelper(const std::vector<std::string>& arguments) {
        std::vector<std::string> argv{kHelper, programDir.string()};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return std::async(std::launch::async, [argv] { return runCommand(argv, 20s); });
    }
    fs::path boxFile() const { return programDir / "box.txt"; }
    // The reporter's process id, the caption and the text the box was shown with.
    std::vector<std::string> boxLines() const {
        std::ifstream in(boxFile(), std::ios::binary);
        std::vector<std::string> lines(3);
        std::getline(in, lines[0]);
        std::getline(in, lines[1]);
        std::ostringstream rest;
        rest << in.rdbuf();
        lines[2] = rest.str();
        return lines;
    }
    void closeTheBox() const { std::ofstream(programDir / "close-box") << ""; }
    std::string expectedBody(int errorNumber, const std::string& message) const {
        return "所属软件：crash_helper\r\n    软件运行路径：" + programDir.string() + "\r\n   操作系统：" +
               update::operatingSystemName() + "\r\n   软件错误代码：" + std::to_string(errorNumber) +
               "\r\n   错误信息：" + message + "\r\n其他信息：     Norvane 错误信息和bug通知系统。\r\n";
    }

    TempDir dir;
    MakerServer server;
    fs::path programDir;
};

TEST_F(FatalErrorTest, AFaultEndsEveryThreadThenShowsTheBoxThenSendsTheReportAndTheProgramEndsWith255) {
    pointReportsAtTheServer();
    auto run = runHelper({"busy"});
    ASSERT_TRUE(pollUntilExists(boxFile(), 15s)) << "no box";
    const auto box = boxLines();
    EXPECT_EQ(box[1], "Norvanebug提示");
    EXPECT_EQ(box[2], "软件发生致命错误，已经上报开发人员加紧修复bug\r\n   软件错误代码：11\r\n   错误信息："
                      "SIGSEGV (segmentation fault) at 0x0");

    // While the box is open the report waits, no thread of the program works on, and the
    // reporter keeps nothing of the program's open but its standard streams and the channel.
    // The pause is the test: a report that did not wait for the box would arrive in it, and a
    // thread still running would add to its file.
    const auto workDone = fs::file_size(programDir / "work.txt");
    std::this_thread::sleep_for(200ms);
    EXPECT_TRUE(server.requests().empty());
    EXPECT_EQ(fs::file_size(programDir / "work.txt"), workDone) << "a thread of the program went on";
    const fs::path reporter = fs::path("/proc") / box[0];
    EXPECT_EQ(fs::read_symlink(reporter / "cwd"), "/");
    for (const auto& fd : fs::directory_iterator(reporter / "fd"))
        EXPECT_LE(std::stoi(fd.path().filename().string()), 3) << fs::read_symlink(fd.path());

    closeTheBox();
    const CommandResult result = run.get();
    EXPECT_EQ(result.exitCode, 255) << result.output;
    const auto reports = server.requests("/tongzhi");
    ASSERT_EQ(reports.size(), 1u);
    const auto& query = reports[0].query;
    EXPECT_EQ(query.find("mubiao")->second, "qq:10001@maker");
    EXPECT_EQ(query.find("title")->second, update::errorReportTitle({update::hostName(), "crash_helper", "8.8", "", ""}));
    EXPECT_EQ(query.find("body")->second, expectedBody(11, "SIGSEGV (segmentation fault) at 0x0"));
    EXPECT_EQ(reports[0].headers.count("Sign"), 1u);
}

TEST_F(FatalErrorTest, EachFatalEndIsReportedWithItsNumberAndMessage) {
    const struct {
        std::vector<std::string> arguments;
        int errorNumber;
        std::string message;
    } cases[] = {
        {{"kill"}, 11, "SIGSEGV (segmentation fault)"},
        {{"abort"}, 6, "SIGABRT (aborted)"},
        {{"throw", "磁盘已满: disk full"}, 6, "磁盘已满: disk full"},
        // Caught at the top of its thread body, and reported under the thread's name.
        {{"guarded", "磁盘已满"}, 6, "helper: 磁盘已满"},
        // A message longer than the channel carries is cut between characters.
        {{"throw", std::string(1023, 'x') + "满"}, 6, std::string(1023, 'x')},
    };
    pointReportsAtTheServer();
    closeTheBox();
    for (const auto& c : cases) {
        const std::size_t before = server.requests("/tongzhi").size();
        fs::remove(boxFile());
        const CommandResult result = runHelper(c.arguments).get();
        EXPECT_EQ(result.exitCode, 255) << c.message << result.output;
        EXPECT_EQ(boxLines()[2], update::fatalErrorBoxText(c.errorNumber, c.message));
        const auto reports = server.requests("/tongzhi");
        ASSERT_EQ(reports.size(), before + 1) << c.message;
        EXPECT_EQ(reports.back().query.find("body")->second, expectedBody(c.errorNumber, c.message));
    }
}

TEST_F(FatalErrorTest, WithoutAReportEndpointTheProgramEndsWith255AtOnceWithNoBoxAndNoRequest) {
    const auto start = std::chrono::steady_clock::now();
    const CommandResult result = runHelper({"fault"}).get();
    EXPECT_EQ(result.exitCode, 255) << result.output;
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_NE(result.output.find("reporter 0\n"), std::string::npos) << "no reporter is started";
    EXPECT_FALSE(fs::exists(boxFile()));
    EXPECT_TRUE(server.requests().empty());
}

TEST_F(FatalErrorTest, AReporterThatDiedDoesNotHoldTheProgramBack) {
    pointReportsAtTheServer();
    const CommandResult result = runHelper({"lose"}).get();
    EXPECT_EQ(result.exitCode, 255) << result.output;
    EXPECT_FALSE(fs::exists(boxFile()));
    EXPECT_TRUE(server.requests().empty());
}

TEST_F(FatalErrorTest, TheReporterEndsWhenTheProgramEndsNormally) {
    pointReportsAtTheServer();
    const CommandResult result = runHelper({"exit"}).get();
    EXPECT_EQ(result.exitCode, 0) << result.output;
    int reporter = 0;
    ASSERT_EQ(std::sscanf(result.output.c_str(), "reporter %d", &reporter), 1) << result.output;
    ASSERT_GT(reporter, 0);
    const auto ended = [&] {
        std::ifstream stat("/proc/" + std::to_string(reporter) + "/stat");
        std::string pid, name, state;
        return !(stat >> pid >> name >> state) || state == "Z";
    };
    EXPECT_TRUE(pollUntil(ended, 5s));
    EXPECT_FALSE(fs::exists(boxFile()));
    EXPECT_TRUE(server.requests().empty());
}

}  // namespace
}  // namespace clipmill::testing
