// The disclaimer, the announcement, the quote and the advertisement's click.
#include <gtest/gtest.h>

#include <chrono>

#include "fixtures/maker_server.h"
#include "fixtures/poll_until.h"
#include "fixtures/recording_dialogs.h"
#include "fixtures/recording_startup_view.h"
#include "fixtures/scoped_env.h"
#include "fixtures/temp_dir.h"
#include "support/gbk.h"
#include "update/notices.h"

namespace clipmill {
namespace {

namespace fs = std::filesystem;
using testing::MakerServer;
using testing::RecordingDialogs;
using testing::RecordingStartupView;
using testing::TempDir;

TEST(Disclaimer, CancelLeavesNoMarkerAndOkWritesTheAgreementOnce) {
    TempDir documents;
    RecordingDialogs dialogs;
    EXPECT_FALSE(showDisclaimer(dialogs, documents.path(), "https://maker.example/"));
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, RecordingDialogs::Kind::OkCancel);
    EXPECT_EQ(dialogs.shown[0].title, "免责声明");
    EXPECT_EQ(dialogs.shown[0].text, disclaimerText());
    EXPECT_FALSE(fs::exists(documents.path() / "qmxr.dll"));

    dialogs.defaultAnswer = true;
    EXPECT_TRUE(showDisclaimer(dialogs, documents.path(), "https://maker.example/"));
    EXPECT_EQ(gbkToUtf8(documents.read("qmxr.dll")), agreementText("https://maker.example/"));
    EXPECT_EQ(agreementText("S").rfind("您已经同意S的软件使用协议\r\n\r\n免责声明：\r\n  1、", 0), 0u);

    dialogs.defaultAnswer = false;
    EXPECT_TRUE(showDisclaimer(dialogs, documents.path(), "https://maker.example/"));
    EXPECT_EQ(dialogs.shown.size(), 2u);  // agreed once: never asked again
}

TEST(Disclaimer, TextHasSixPointsAndTheClosingLines) {
    const std::string text = disclaimerText();
    for (const char* number : {"\r\n  1、", "\r\n  2、", "\r\n  3、", "\r\n  4、", "\r\n  5、", "\r\n  6、"})
        EXPECT_NE(text.find(number), std::string::npos) << number;
    EXPECT_NE(text.find("  1、本软件是Norvane（以下简称本人）在业余时间开发的一款安全，绿色产品；\r\n"), std::string::npos);
    EXPECT_TRUE(text.ends_with("\r\n如果您已认真阅读并同意以上内容，请点击“确定”，否则请删除与本软件相关的所有资源。"
                               "\r\n本信息仅弹出一次。"));
}

TEST(Announcement, NoticeTextAndAPictureWithItsLink) {
    MakerServer server;
    server.write("gonggao.json", R"({"all":"今天更新了","ad1url":"https://maker.example/buy"})");
    server.write("tool/ad7.gif", "GIF89a-seven");
    RecordingStartupView view;
    showAnnouncement(server.baseUrl(), view, [] { return 7; });
    EXPECT_EQ(view.parts[2], "今天更新了");
    EXPECT_EQ(view.picture, "GIF89a-seven");
    EXPECT_EQ(view.link, "https://maker.example/buy");
}

TEST(Announcement, UnreachableNoticeLeavesEverythingEmptyAndNoAddressAsksNothing) {
    MakerServer server;
    RecordingStartupView view;
    showAnnouncement(server.baseUrl(), view, [] { return 1; });
    EXPECT_EQ(view.parts[2], "");
    EXPECT_EQ(view.picture, "");
    EXPECT_EQ(view.link, "");
    const auto asked = server.requests().size();
    RecordingStartupView untouched;
    showAnnouncement("", untouched, [] { return 1; });
    showQuoteOfTheDay("", untouched);
    EXPECT_EQ(server.requests().size(), asked);
    EXPECT_TRUE(untouched.parts.empty());
    EXPECT_EQ(untouched.advertisements, 0);
}

TEST(QuoteOfTheDay, ShownAfterThreeBlanks) {
    MakerServer server;
    server.setQuote("知足者常乐");
    RecordingStartupView view;
    showQuoteOfTheDay(server.url("quote/?encode=text"), view);
    EXPECT_EQ(view.parts[2], "   知足者常乐");
    EXPECT_EQ(server.requests("/quote/").at(0).rawQuery, "encode=text");
    showQuoteOfTheDay("http://127.0.0.1:1/?encode=text", view);
    EXPECT_EQ(view.parts[2], "   ");
}

TEST(AdvertisementClick, LinksOpenInTheBrowserOtherTextIsShown) {
    TempDir bin;
    const fs::path opener = bin.write("xdg-open", "#!/bin/sh\nprintf '%s' \"$1\" > \"$(dirname \"$0\")/opened\"\n");
    fs::permissions(opener, fs::perms::owner_all);
    testing::ScopedEnv path("PATH", bin.str() + ":" + std::getenv("PATH"));
    RecordingDialogs dialogs;
    openAdvertisement("https://maker.example/a b;$(x)", dialogs);
    EXPECT_TRUE(testing::pollUntil([&] { return !bin.read("opened").empty(); }, std::chrono::seconds(5)));
    EXPECT_EQ(bin.read("opened"), "https://maker.example/a b;$(x)");
    EXPECT_TRUE(dialogs.shown.empty());
    openAdvertisement("新品上架", dialogs);
    openAdvertisement("", dialogs);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "新品上架");
}

}  // namespace
}  // namespace clipmill
