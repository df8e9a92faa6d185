#include "app/run_log.h"

#include <gtest/gtest.h>

#include <thread>

#include "fixtures/local_time.h"
#include "fixtures/temp_dir.h"
#include "fixtures/unreadable_file.h"
#include "support/gbk.h"

namespace clipmill::testing {
namespace {

TEST(RunLog, TimeStampTakesItsShortestForm) {
    struct Case {
        std::tm moment;
        const char* stamp;
    } cases[] = {
        {localTime(2021, 5, 29, 9, 5, 0), "2021年5月29日9时5分"},
        {localTime(2021, 5, 29, 0, 0, 7), "2021年5月29日0时0分7秒"},
        {localTime(2021, 5, 29, 0, 0, 0), "2021年5月29日"},
        {localTime(2021, 5, 29, 14, 0, 0), "2021年5月29日14时"},
        {localTime(2021, 12, 1, 23, 59, 59), "2021年12月1日23时59分59秒"},
    };
    for (const auto& c : cases) EXPECT_EQ(RunLog::timeStamp(c.moment), c.stamp);
    EXPECT_EQ(RunLog::fileName(localTime(2021, 5, 29, 1, 2, 3)), "运行日志2021年5月29日.txt");
}

TEST(RunLog, NewestLineFirstInGbkWithCrLf) {
    TempDir dir;
    std::tm now = localTime(2021, 5, 29, 9, 5, 0);
    RunLog log(dir.path(), [&] { return now; });
    log.write("启动窗口创建完毕");
    now = localTime(2021, 5, 29, 9, 5, 1);
    log.write("启动窗口线程");
    const std::string bytes = dir.read("运行日志2021年5月29日.txt");
    EXPECT_EQ(gbkToUtf8(bytes),
              "2021年5月29日9时5分1秒   启动窗口线程\r\n2021年5月29日9时5分   启动窗口创建完毕\r\n");
    EXPECT_NE(bytes.find(utf8ToGbk("启动窗口线程")), std::string::npos);  // stored as GBK, not UTF-8
}

TEST(RunLog, LinesAfterMidnightGoToTheNextDaysFile) {
    TempDir dir;
    std::tm now = localTime(2021, 5, 29, 23, 59, 59);
    RunLog log(dir.path(), [&] { return now; });
    log.write("a");
    now = localTime(2021, 5, 30, 0, 0, 0);
    log.write("b");
    EXPECT_EQ(gbkToUtf8(dir.read("运行日志2021年5月29日.txt")), "2021年5月29日23时59分59秒   a\r\n");
    EXPECT_EQ(gbkToUtf8(dir.read("运行日志2021年5月30日.txt")), "2021年5月30日   b\r\n");
}

TEST(RunLog, MissingDataFolderWritesNothing) {
    TempDir dir;
    RunLog log(dir.path() / "data", [] { return localTime(2021, 5, 29, 1, 0, 0); });
    log.write("x");
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "data"));
}

// The earlier lines of a day's log that could not be read are kept rather than replaced by
// the new line alone; the line that could not be added is named on standard error.
TEST(RunLog, ALogThatCannotBeReadIsLeftAsItIs) {
    for (const Unreadable kind : {Unreadable::NoPermission, Unreadable::FolderInItsPlace}) {
        TempDir dir;
        const std::filesystem::path path = dir.path() / std::filesystem::u8path("运行日志2021年5月29日.txt");
        const std::string earlier = utf8ToGbk("2021年5月29日1时   启动窗口线程\r\n");
        makeUnreadable(path, kind, earlier);
        RunLog log(dir.path(), [] { return localTime(2021, 5, 29, 2, 0, 0); });
        ::testing::internal::CaptureStderr();
        asOrdinaryUser([&] { log.write("主窗口创建完毕"); });
        const std::string complaint = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(complaint.find(path.string()), std::string::npos) << complaint;
        if (kind == Unreadable::NoPermission) EXPECT_EQ(dir.read("运行日志2021年5月29日.txt"), earlier);
        if (kind == Unreadable::FolderInItsPlace) EXPECT_TRUE(std::filesystem::is_directory(path));
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
    }
}

TEST(RunLog, ConcurrentWritersNeverLoseOrMixLines) {
    TempDir dir;
    RunLog log(dir.path(), [] { return localTime(2021, 5, 29, 1, 0, 0); });
    auto writer = [&](const std::string& who) {
        for (int i = 0; i < 100; ++i) log.write(who + std::to_string(i));
    };
    std::thread a(writer, "甲"), b(writer, "乙");
    a.join();
    b.join();
    const std::string text = gbkToUtf8(dir.read("运行日志2021年5月29日.txt"));
    int lines = 0;
    size_t lastA = std::string::npos, lastB = std::string::npos;
    for (size_t pos = 0, end; (end = text.find("\r\n", pos)) != std::string::npos; pos = end + 2, ++lines) {
        const std::string line = text.substr(pos, end - pos);
        ASSERT_EQ(line.rfind("2021年5月29日1时   ", 0), 0u) << line;
        const std::string message = line.substr(std::string("2021年5月29日1时   ").size());
        const size_t number = std::stoul(message.substr(3));
        // Newest first: each writer's numbers descend down the file.
        size_t& last = message.rfind("甲", 0) == 0 ? lastA : lastB;
        EXPECT_LT(number, last);
        last = number;
    }
    EXPECT_EQ(lines, 200);
}

}  // namespace
}  // namespace clipmill::testing
