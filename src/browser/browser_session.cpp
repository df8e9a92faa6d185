#include "browser/browser_session.h"

#include <rapidjson/document.h>

#include "browser/interrupt.h"
#include "browser/submit_confirmation.h"
#include "support/version.h"

namespace clipmill {

namespace {

constexpr const char* kProfilePrefix = "/huancun/Norvane";
constexpr const char* kDefaultAccountId = "100";
constexpr int kStartLoadTimeoutMs = 15000;
constexpr int kFetchTimeoutMs = 15000;
constexpr const char* kStatusBar = "状态条1";
constexpr int kBrowserCountPart = 2;
constexpr const char* kBrowserPathField = "编辑框_google";
constexpr const char* kInitButton = "按钮_手动初始化";
constexpr const char* kVersionLabel = "标签_版本";
constexpr ScreenSize kFallbackScreen{1920, 1080};

std::string versionMember(const rapidjson::Document& doc, const char* name) {
    if (!doc.IsObject()) return {};
    auto it = doc.FindMember(name);
    return it != doc.MemberEnd() && it->value.IsString() ? it->value.GetString() : std::string();
}

}  // namespace

BrowserSession::BrowserSession(Services services)
    : services_(std::move(services)), ownWaiter_(services_.clock, ownStop_) {}

std::string BrowserSession::windowSizeText(int screenWidth, int screenHeight) {
    std::string width = std::to_string(screenWidth / 2);
    if (screenWidth % 2 != 0) width += ".5";
    return width + "," + std::to_string(screenHeight - 142);
}

std::string BrowserSession::profileDirectory(const std::string& accountId) const {
    return services_.programDir + kProfilePrefix + (accountId.empty() ? kDefaultAccountId : accountId);
}

BrowserStartRecord BrowserSession::startRecord(const std::string& accountId) const {
    ScreenSize screen = services_.screenSize ? services_.screenSize() : kFallbackScreen;
    if (screen.width <= 0 || screen.height <= 0) screen = kFallbackScreen;
    return {profileDirectory(accountId), windowSizeText(screen.width, screen.height), "1,1"};
}

void BrowserSession::initBrowserEnvironment(InitOrder order) {
    if (order == InitOrder::StartUp && handle() > 0) return;
    auto& automation = services_.automation;
    auto onConnect = [this](int handle) { onBrowserConnected(handle); };
    auto configured = [&] { return automation.form_global_init(services_.window.text(kBrowserPathField), onConnect); };
    auto automatic = [&] { return automation.form_global_init("", onConnect); };
    trimmer_.start();
    bool ready = order == InitOrder::StartUp ? (automatic() != 0 || configured() != 0)
                                             : (configured() != 0 || automatic() != 0);
    if (ready) return;
    services_.window.setEnabled(kInitButton, true);
    services_.dialogs.information("请下载安装谷歌浏览器后再使用", "信息：");
}

void BrowserSession::startBrowser(const std::string& accountId) { tryStart(accountId, ownWaiter_); }

// The start as the user sees it; gives the automation's handle, 0 when no browser started.
int BrowserSession::tryStart(const std::string& accountId, Waiter& waiter) {
    InterruptScope interruptible(waiter.stopSignal());
    int started = services_.automation.form_browser_start(services_.addresses.uploadPage, startRecord(accountId));
    waiter.waitMs(1000);
    setBrowserTitle("等待载入");
    services_.automation.form_page_wait_loaded(handle(), profile()->text(role::kPageReady), kStartLoadTimeoutMs);
    setBrowserTitle("载入成功");
    return started;
}

bool BrowserSession::attachBrowser(const std::string& accountId, Waiter& waiter) {
    InterruptScope interruptible(waiter.stopSignal());
    auto& automation = services_.automation;
    const std::size_t reachable = automation.form_connect_started().size();
    services_.window.setStatusPart(kStatusBar, kBrowserCountPart, "已启动浏览器：" + std::to_string(reachable));
    // Only the account's own profile: a browser another account is signed in to would
    // publish this account's videos under that account.
    handle_.store(automation.form_find_started(profileDirectory(accountId)));
    if (handle() > 0) automation.form_close_other_pages(handle());
    if (!waiter.waitMs(1000)) return false;
    int current = handle();
    if (automation.form_session_isconnected(current) != 1) {
        return tryStart(accountId, waiter) != 0;
    }
    automation.form_active_page(current);
    if (!showsUploadPage(automation.form_get_page_url(current))) {
        automation.form_js_dialog_overwrite(current);
        automation.form_forward_url(current, services_.addresses.uploadPage);
        if (automation.form_page_isloaded(current) == 0) waiter.waitMs(2000);
    }
    return true;
}

bool BrowserSession::showsUploadPage(const std::string& address) const {
    return isUploadPage(address, services_.addresses.uploadPage, landedUploadPage());
}

std::shared_ptr<const PageProfile> BrowserSession::profile() const {
    return services_.profiles ? services_.profiles->current() : std::make_shared<const PageProfile>();
}

std::string BrowserSession::loginPage() const {
    const std::string configured = profile()->text(role::kLoginPage);
    return configured.empty() ? services_.addresses.loginPage : configured;
}

std::string BrowserSession::landedUploadPage() const {
    std::lock_guard lock(landedMutex_);
    return landed_;
}

std::optional<std::string> BrowserSession::tabTextOf(const std::string& accountId, const std::string& tabId) {
    const int found = services_.automation.form_find_started(profileDirectory(accountId));
    if (found <= 0 || tabId.empty()) return std::nullopt;
    return services_.automation.form_target_text(found, tabId);
}

std::optional<std::vector<SiteSubmission>> BrowserSession::submissionsOf(const std::string& accountId, Waiter& waiter,
                                                                         bool startBrowser) {
    if (services_.addresses.archives.empty()) return std::nullopt;
    InterruptScope interruptible(waiter.stopSignal());
    int found = services_.automation.form_find_started(profileDirectory(accountId));
    if (found <= 0 && startBrowser && tryStart(accountId, waiter) != 0)
        found = services_.automation.form_find_started(profileDirectory(accountId));
    if (found <= 0) return std::nullopt;
    return readSiteSubmissions(services_.automation.form_fetch_text(found, services_.addresses.archives, kFetchTimeoutMs));
}

PageOpening BrowserSession::openUploadPage(const std::string& accountId, PublishContext& context) {
    InterruptScope interruptible(context.waiter.stopSignal());
    PageOpening opening;
    // A browser that did not start is tried again every two seconds until the run gives up,
    // rather than waiting on a handle that can no longer change.
    bool present = attachBrowser(accountId, context.waiter);
    while (!present || handle() <= 0) {
        if (!context.waiter.waitMs(2000)) return opening;
        if (context.giveUpNow()) {
            opening.gaveUp = true;
            return opening;
        }
        present = tryStart(accountId, context.waiter) != 0;
    }
    auto& automation = services_.automation;
    const std::string bannedText = profile()->text(role::kBanned);
    const bool banned = automation.form_get_html(handle()).find(bannedText) != std::string::npos;
    const std::string address = banned ? std::string() : automation.form_get_page_url(handle());
    if (banned || address == loginPage()) {
        opening.failure = bannedFailure();
        opening.accountUnusable = true;
        return opening;
    }
    if (address.empty()) {
        opening.failure = context.waiter.stopped() ? stoppedFailure() : browserGoneFailure();
        return opening;
    }
    std::lock_guard lock(landedMutex_);
    landed_ = addressWithoutQuery(address);
    opening.shown = true;
    opening.landedAddress = landed_;
    return opening;
}

void BrowserSession::setBrowserTitle(const std::string& title) {
    services_.automation.form_set_window_title(handle(), title);
}

void BrowserSession::closeBrowser() { services_.automation.form_close_browser(handle()); }

void BrowserSession::closeAllBrowsers() { services_.automation.form_close_browsers(); }

void BrowserSession::showBrowserVersion() {
    rapidjson::Document version;
    std::string text = services_.automation.form_get_version(handle());
    version.Parse(text.c_str());
    if (version.HasParseError()) version.SetObject();
    services_.window.setCaption(kVersionLabel, "浏览器版本：" + versionMember(version, "Browser") +
                                                   "\r\nV8引擎版本：" + versionMember(version, "V8-Version") +
                                                   "\r\nUA：" + versionMember(version, "User-Agent") +
                                                   "\r\n协议版本：" + versionMember(version, "Protocol-Version") +
                                                   "\r\nwebkit版本：" + versionMember(version, "WebKit-Version") +
                                                   "\r\n软件版本：" + kProgramVersion);
}

}  // namespace clipmill
