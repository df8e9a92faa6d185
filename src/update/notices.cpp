#include "update/notices.h"

#include <chrono>

#include "net/http_client.h"
#include "platform/desktop_open.h"
#include "support/atomic_file.h"
#include "support/dialogs.h"
#include "support/gbk.h"
#include "update/startup_view.h"

namespace clipmill {

namespace {

constexpr std::chrono::seconds kNoticeLimit{15};
constexpr const char* kMarkerName = "qmxr.dll";

}  // namespace

std::string disclaimerText() {
    return "免责声明：\r\n"
           "  1、本软件是Norvane（以下简称本人）在业余时间开发的一款安全，绿色产品；\r\n"
           "  2、本软件仅供技术交流和学习使用，使用本软件下载或生成的任何内容均与本工作室无关；\r\n"
           "  3、本软件不针对任何平台，如有人将本软件用于非法用途，本工作室保留追究其民事和刑事责任的权利；\r\n"
           "  4、因使用本软件而造成的任何意外、疏忽、合约毁坏、诽谤、版权或知识产权侵犯及其所造成的损失，"
           "本工作室不承担任何责任，亦不承担任何民事或刑事法律责任；\r\n"
           "  5、从官方网站下载的本软件不含任何病毒或恶意代码，如安全软件报毒，属于误报，请将本软件加入信任列表"
           "或关闭安全软件，也可联系客服，由客服联系厂商撤销误报；\r\n"
           "  6、本工作室保留对以上内容的最终解释权。\r\n"
           "如果您已认真阅读并同意以上内容，请点击“确定”，否则请删除与本软件相关的所有资源。\r\n"
           "本信息仅弹出一次。";
}

std::string agreementText(const std::string& makerSite) {
    return "您已经同意" + makerSite + "的软件使用协议\r\n\r\n" + disclaimerText();
}

bool showDisclaimer(Dialogs& dialogs, const std::filesystem::path& documents, const std::string& makerSite) {
    const std::filesystem::path marker = documents / kMarkerName;
    std::error_code ec;
    const bool agreed = std::filesystem::exists(marker, ec) || dialogs.confirmOkCancel(disclaimerText(), "免责声明");
    if (!agreed) return false;
    std::filesystem::create_directories(documents, ec);
    writeFileAtomically(marker, utf8ToGbk(agreementText(makerSite)));
    return true;
}

void showAnnouncement(const std::string& serverA, StartupView& view, const std::function<int()>& pick) {
    if (serverA.empty()) return;
    const net::JsonDocument notice = net::fetchJsonDocument(serverA + "gonggao.json", kNoticeLimit);
    view.setStatusPart(2, notice.value("all"));
    const std::string link = notice.value("ad1url");
    const std::string picture = net::fetchBytes(serverA + "tool/ad" + std::to_string(pick()) + ".gif", kNoticeLimit);
    view.setAdvertisement(picture, link);
}

void showQuoteOfTheDay(const std::string& quoteUrl, StartupView& view) {
    if (quoteUrl.empty()) return;
    net::HttpRequest request;
    request.url = quoteUrl;
    // The service answers in UTF-8 without declaring it: the bytes are the text.
    const std::string quote = net::requestText(request).bodyBytes;
    view.setStatusPart(2, "   " + quote.substr(0, quote.find('\0')));
}

void openAdvertisement(const std::string& link, Dialogs& dialogs) {
    if (link.empty()) return;
    if (link.starts_with("http")) {
        openWithDesktop(link);
        return;
    }
    dialogs.information(link);
}

}  // namespace clipmill
