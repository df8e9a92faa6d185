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

std::string failureText(const std::string& word) {
    for (const FailureReason& reason : {stoppedFailure(), givenUpFailure(0), bannedFailure(), browserGoneFailure(),
                                        uploadStalledFailure(""), submitRefusedFailure(), tooFrequentFailure(),
                                        verificationFailure(), noVideoFailure()}) {
        if (reason.word == word) return reason.text;
    }
    if (word == kFailElementMissing) return "找不到页面元素";
    return word;
}

}  // namespace clipmill
