#include "update/error_report.h"

#include <gtest/gtest.h>

#include <ctime>
#include <regex>

#include "fixtures/local_time.h"
#include "fixtures/maker_server.h"
#include "net/digest.h"

namespace clipmill::testing {
namespace {

using update::ReportOrigin;

TEST(FormEncode, KeepsLettersDigitsDashAndDotTurnsBlanksToPlusAndEscapesEveryOtherByte) {
    const struct {
        std::string text;
        std::string encoded;
    } cases[] = {
        {"a b_c", "a+b%5Fc"},
        {"版本", "%E7%89%88%E6%9C%AC"},
        {std::string("a\0b", 3), "ab"},
        {"AZaz09-.", "AZaz09-."},
        {"~*/?&=%+\r\n", "%7E%2A%2F%3F%26%3D%25%2B%0D%0A"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(update::formEncode(c.text), c.encoded) << c.text;
}

TEST(Timestamp10, CountsSecondsFromEightOClockOnNewYearsDay1970AndCutsToTenCharacters) {
    const struct {
        std::tm local;
        int milliseconds;
        std::string stamp;
    } cases[] = {
        {localTime(2021, 5, 29, 16, 0, 0), 250, "1622275200"},
        {localTime(2021, 5, 29, 16, 0, 1), 999, "1622275201"},
        // Before September 2001 the count has nine digits and the first millisecond digit follows it.
        {localTime(2000, 1, 1, 8, 0, 0), 250, "9466848002"},
        {localTime(1970, 1, 1, 8, 0, 0), 7, "0007000000"},
    };
    for (const auto& c : cases) EXPECT_EQ(update::timestamp10(c.local, c.milliseconds), c.stamp) << c.stamp;
}

TEST(Timestamp10, OfNowIsTheUnixTimeShiftedByTheLocalZonesDistanceFromUtcPlusEight) {
    const std::time_t before = std::time(nullptr);
    const long long stamp = std::stoll(update::timestamp10());
    std::tm local{};
    localtime_r(&before, &local);
    const long long expected = before + local.tm_gmtoff - 8 * 3600;
    EXPECT_GE(stamp, expected);
    EXPECT_LE(stamp, expected + 2);
}

TEST(SignLine, IsTheMd5OfTheSaltAndTheStampFollowedByTheStamp) {
    EXPECT_EQ(update::signLine("1622275200"), "sign:7719fcfb64d35ebb1dae397d6281b137@1622275200");
}

TEST(ErrorReportTexts, TitleLosesEveryBlankBodyAndBoxKeepTheirLayout) {
    const ReportOrigin origin{"PC 1", "clip.exe", "8.8", "/opt/clip mill", "Debian GNU/Linux 12 (bookworm)"};
    EXPECT_EQ(update::errorReportTitle(origin), "电脑PC1发现bug，软件-clip.exe版本号8.8");
    EXPECT_EQ(update::errorReportTitle({"PC 1", "clip mill", "8.8", "", ""}), "电脑PC1发现bug，软件-clipmill版本号8.8");
    EXPECT_EQ(update::errorReportBody(origin, -11, "坏了 x"),
              "所属软件：clip.exe\r\n    软件运行路径：/opt/clip mill\r\n   操作系统：Debian GNU/Linux 12 (bookworm)"
              "\r\n   软件错误代码：-11\r\n   错误信息：坏了 x\r\n其他信息：     Norvane 错误信息和bug通知系统。\r\n");
    EXPECT_EQ(update::fatalErrorBoxText(11, "SIGSEGV"),
              "软件发生致命错误，已经上报开发人员加紧修复bug\r\n   软件错误代码：11\r\n   错误信息：SIGSEGV");
    EXPECT_STREQ(update::kFatalErrorCaption, "Norvanebug提示");
}

TEST(SendErrorReport, GetsTheEndpointWithTheTargetAsIsTheEncodedTextsAndASignHeaderThatVerifies) {
    MakerServer server;
    const std::string title = "电脑PC1发现bug，软件-clip.exe版本号8.8";
    const std::string body = "所属软件：clip.exe\r\n    软件运行路径：/opt/x_y\r\n";
    const std::time_t sent = std::time(nullptr);
    update::sendErrorReport(server.url("tongzhi"), "qq:10001@maker", title, body);

    const auto requests = server.requests("/tongzhi");
    ASSERT_EQ(requests.size(), 1u);
    const auto& request = requests[0];
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.rawQuery.rfind("mubiao=qq:10001@maker&title=" + update::formEncode(title) + "&body=", 0), 0u)
        << request.rawQuery;
    EXPECT_EQ(request.rawQuery.substr(request.rawQuery.size() - 5), "&sa=1");
    ASSERT_EQ(request.query.count("title"), 1u);
    EXPECT_EQ(request.query.find("title")->second, title);
    EXPECT_EQ(request.query.find("body")->second, body);
    EXPECT_EQ(request.query.find("sa")->second, "1");

    ASSERT_EQ(request.headers.count("Sign"), 1u);
    const std::string sign = request.headers.find("Sign")->second;
    std::smatch parts;
    ASSERT_TRUE(std::regex_match(sign, parts, std::regex("([0-9a-f]{32})@([0-9]{10})"))) << sign;
    EXPECT_EQ(parts[1].str(), net::md5Hex("quillmoss47281t%%&&915" + parts[2].str()));
    std::tm local{};
    localtime_r(&sent, &local);
    const long long stamp = std::stoll(parts[2].str());
    EXPECT_GE(stamp, sent + local.tm_gmtoff - 8 * 3600);
    EXPECT_LE(stamp, sent + local.tm_gmtoff - 8 * 3600 + 5);
}

}  // namespace
}  // namespace clipmill::testing
