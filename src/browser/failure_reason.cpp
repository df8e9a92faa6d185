#include "browser/failure_reason.h"

namespace clipmill {

FailureReason stoppedFailure() { return {kFailStopped, "已停止"}; }

FailureReason givenUpFailure(int seconds) {
    return {kFailGivenUp, seconds > 0 ? "超过" + std::to_string(seconds) + "秒，已放弃" : "已放弃"};
}

FailureReason bannedFailure() { return {kFailBanned, "账号被封禁或未登录"}; }

FailureReason browserGoneFailure() { return {kFailBrowserGone, "浏览器无响应"}; }

FailureReason uploadStalledFailure(const std::string& percentage) {
    std::string shown = percentage;
    if (!shown.empty() && shown.back() == '%') shown.pop_back();
    return {kFailUploadStalled, shown.empty() ? "上传没有进度" : "上传停在" + shown + "%"};
}

FailureReason submitRefusedFailure() { return {kFailSubmitRefused, "提交未被网站接受"}; }

FailureReason elementMissingFailure(const std::string& role, const std::string& selector) {
    return {kFailElementMissing, "找不到页面元素：" + role + "（" + selector + "）"};
}

FailureReason tooFrequentFailure() { return {kFailTooFrequent, "投稿过于频繁，本账号暂停"}; }

FailureReason verificationFailure() { return {kFailVerification, "需要人工验证"}; }

FailureReason noVideoFailure() { return {kFailNoVideo, "视频文件不存在"}; }

bool tooFrequentCode(int code) { return code == 21566 || code == 137022 || code == 601 || code == 406; }

FailureReason siteRefusal(int code, const std::string& message) {
    const std::string words = message.empty() ? std::string("网站拒绝了投稿") : message;
    const std::string text = words + "（代码" + std::to_string(code) + "）";
    if (tooFrequentCode(code)) return {kFailTooFrequent, text};
    return {kFailSiteRefused, text};
}

FailureReason answerUnseenFailure() { return {kFailAnswerUnseen, "已提交，未见网站答复，结果待核实"}; }

FailureReason notFoundFailure() { return {kFailNotFound, "网站的稿件列表中没有此视频"}; }

FailureReason wrongAccountFailure(const std::string& expected, const std::string& found) {
    return {kFailWrongAccount, "浏览器登录的不是本账号（应为" + expected + "，实为" + found + "）"};
}

FailureReason identityUnknownFailure() { return {kFailIdentityUnknown, "无法确认浏览器登录的账号"}; }

FailureReason journalFailure() { return {kFailJournal, "发布记录无法写入，未提交"}; }

std::string failureText(const std::string& word) {
    for (const FailureReason& reason :
         {stoppedFailure(), givenUpFailure(0), bannedFailure(), browserGoneFailure(), uploadStalledFailure(""),
          submitRefusedFailure(), tooFrequentFailure(), verificationFailure(), noVideoFailure(), answerUnseenFailure(),
          notFoundFailure(), identityUnknownFailure(), journalFailure()}) {
        if (reason.word == word) return reason.text;
    }
    if (word == kFailElementMissing) return "找不到页面元素";
    if (word == kFailSiteRefused) return "网站拒绝了投稿";
    if (word == kFailWrongAccount) return "浏览器登录的不是本账号";
    if (word == kFailUserNotPublished) return "手动确认：未发布";
    return word;
}

}  // namespace clipmill
