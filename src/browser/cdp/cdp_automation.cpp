#include "browser/cdp/cdp_automation.h"

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "browser/cdp/json.h"
#include "browser/cdp/launcher.h"
#include "browser/cookie_text.h"

namespace clipmill::cdp {

namespace fs = std::filesystem;

namespace {
constexpr Millis kNavigationTimeout{30000};
constexpr std::chrono::hours kCookieLifetime{24 * 365};

// The cookie parameters of Storage.setCookies: on `domain`, or on the address's host when
// `domain` is "". Persistent, so that the login outlives the browser.
std::string cookieParams(const std::vector<CookiePair>& cookies, const std::string& url, const std::string& domain) {
    const auto expires = std::chrono::duration_cast<std::chrono::seconds>(
        (std::chrono::system_clock::now() + kCookieLifetime).time_since_epoch());
    const long long expiresAt = expires.count();
    std::string array = "[";
    for (const CookiePair& cookie : cookies) {
        if (array.size() > 1) array += ",";
        JsonMember site = domain.empty() ? JsonMember{"url", url} : JsonMember{"domain", domain};
        array += jsonObject({{"name", cookie.name}, {"value", cookie.value}, site, {"path", "/"}, {"expires", expiresAt}});
    }
    return array + "]";
}
}  // namespace

std::pair<int, int> parseWindowPair(const std::string& text) {
    auto comma = text.find(',');
    if (comma == std::string::npos) return {0, 0};
    char* end = nullptr;
    double first = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + comma) return {0, 0};
    const char* second = text.c_str() + comma + 1;
    double other = std::strtod(second, &end);
    if (end == second || *end != '\0') return {0, 0};
    return {static_cast<int>(first), static_cast<int>(other)};
}

CdpAutomation::CdpAutomation(Options options) : options_(std::move(options)) {}

CdpAutomation::~CdpAutomation() = default;

bool CdpAutomation::headless() const {
    if (options_.mode == BrowserMode::Automatic) return !displayAvailable();
    return options_.mode == BrowserMode::Headless;
}

void CdpAutomation::fail(const std::string& error) {
    std::lock_guard lock(mutex_);
    lastError_ = error;
}

std::string CdpAutomation::lastError() const {
    std::lock_guard lock(mutex_);
    return lastError_;
}

int CdpAutomation::form_global_init(const std::string& browserPath, ConnectCallback onConnect) {
    std::string executable = findBrowserExecutable(browserPath);
    std::lock_guard lock(mutex_);
    onConnect_ = std::move(onConnect);
    if (executable.empty()) return 0;
    executable_ = executable;
    return 1;
}

std::shared_ptr<ChromiumBrowser> CdpAutomation::browser(int handle) {
    std::lock_guard lock(mutex_);
    auto it = browsers_.find(handle);
    if (it == browsers_.end() || !it->second || !it->second->connected()) return nullptr;
    return it->second;
}

// A closed browser keeps its handle, but its connection and threads are let go.
void CdpAutomation::releaseClosed() {
    std::vector<std::shared_ptr<ChromiumBrowser>> closed;
    {
        std::lock_guard lock(mutex_);
        for (auto& [handle, known] : browsers_) {
            if (!known || known->connected()) continue;
            closed.push_back(std::move(known));
            // The record holds the connection: it is kept as what it says, not as itself.
            if (auto record = networkRecords_.find(handle); record != networkRecords_.end()) {
                if (record->second) closedRecords_[handle] = record->second->exchanges();
                networkRecords_.erase(record);
            }
        }
    }
}

std::shared_ptr<PageSession> CdpAutomation::page(int handle) {
    auto target = browser(handle);
    return target ? target->page() : nullptr;
}

int CdpAutomation::handleFor(const std::string& profileDir, const Endpoint& endpoint) {
    {
        std::lock_guard lock(mutex_);
        for (const auto& [handle, known] : browsers_) {
            if (known && known->connected() && known->endpoint().port == endpoint.port &&
                known->endpoint().path == endpoint.path) {
                return handle;
            }
        }
    }
    std::string error;
    auto connected = ChromiumBrowser::connect(endpoint, profileDir, error);
    if (!connected) {
        fail(error);
        return 0;
    }
    std::lock_guard lock(mutex_);
    browsers_[++nextHandle_] = connected;
    return nextHandle_;
}

int CdpAutomation::form_browser_start(const std::string& url, const BrowserStartRecord& record) {
    releaseClosed();
    LaunchOptions launch;
    {
        std::lock_guard lock(mutex_);
        launch.executable = executable_;
    }
    if (launch.executable.empty()) {
        fail("no browser executable: form_global_init has not found one");
        return 0;
    }
    launch.profileDir = record.profileDir;
    launch.startUrl = url;
    launch.headless = headless();
    std::tie(launch.windowWidth, launch.windowHeight) = parseWindowPair(record.windowSize);
    auto [x, y] = parseWindowPair(record.windowPosition);
    launch.windowX = x;
    launch.windowY = y;
    LaunchResult launched = launchBrowser(launch);
    if (!launched.ok) {
        fail(launched.error);
        return 0;
    }
    int handle = handleFor(record.profileDir, launched.endpoint);
    if (handle == 0) return 0;
    if (launched.reattached) {
        if (!launch.headless && launch.windowWidth > 0 && launch.windowHeight > 0) {
            if (auto target = browser(handle)) {
                target->setWindowBounds({launch.windowX, launch.windowY, launch.windowWidth, launch.windowHeight});
            }
        }
        if (!url.empty()) form_forward_url(handle, url);
    }
    ConnectCallback onConnect;
    {
        std::lock_guard lock(mutex_);
        onConnect = onConnect_;
    }
    if (onConnect) onConnect(handle);
    return handle;
}

std::vector<int> CdpAutomation::form_connect_started() {
    releaseClosed();
    std::vector<std::string> profiles;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(fs::u8path(options_.profilesRoot), ec)) {
        if (entry.is_directory(ec)) profiles.push_back(entry.path().string());
    }
    std::sort(profiles.begin(), profiles.end());
    std::vector<int> handles;
    for (const auto& profile : profiles) {
        auto endpoint = findRunningBrowser(profile);
        if (!endpoint) continue;
        int handle = handleFor(profile, *endpoint);
        if (handle != 0 && std::find(handles.begin(), handles.end(), handle) == handles.end()) handles.push_back(handle);
    }
    return handles;
}

int CdpAutomation::form_find_started(const std::string& profileDir) {
    releaseClosed();
    auto endpoint = findRunningBrowser(profileDir);
    return endpoint ? handleFor(profileDir, *endpoint) : 0;
}

int CdpAutomation::form_session_isconnected(int handle) {
    auto target = browser(handle);
    return target && target->responds() ? 1 : 0;
}

int CdpAutomation::form_close_other_pages(int handle) {
    auto target = browser(handle);
    return target && target->closeOtherPages() ? 1 : 0;
}

int CdpAutomation::form_active_page(int handle) {
    auto target = browser(handle);
    return target && target->activatePage() ? 1 : 0;
}

int CdpAutomation::form_close_browser(int handle) {
    auto target = browser(handle);
    if (!target) return 0;
    if (target->close()) return 1;
    // A browser that does not quit when asked is ended.
    if (int pid = browserPidFromProfile(target->profileDir())) kill(pid, SIGKILL);
    return 0;
}

int CdpAutomation::form_close_browsers() {
    form_connect_started();
    std::vector<int> handles;
    {
        std::lock_guard lock(mutex_);
        for (const auto& [handle, known] : browsers_) {
            if (known && known->connected()) handles.push_back(handle);
        }
    }
    int closed = 0;
    for (int handle : handles) closed += form_close_browser(handle);
    return closed;
}

int CdpAutomation::form_set_window_title(int handle, const std::string& title) {
    auto target = page(handle);
    return target && target->setTitle(title) ? 1 : 0;
}

int CdpAutomation::form_set_cookies(int handle, const std::string& url, const std::string& cookieText) {
    const std::vector<CookiePair> cookies = parseCookieText(cookieText);
    auto target = browser(handle);
    if (!target || cookies.empty()) return 0;
    const int stored = static_cast<int>(cookies.size());
    // A parent domain the browser refuses (a public suffix) leaves the cookies on the host.
    const std::string domain = sharedCookieDomain(url);
    if (!domain.empty() && target->setCookies(cookieParams(cookies, url, domain))) return stored;
    return target->setCookies(cookieParams(cookies, url, "")) ? stored : 0;
}

std::string CdpAutomation::form_get_version(int handle) {
    auto target = browser(handle);
    return target ? target->versionJson() : std::string();
}

int CdpAutomation::form_forward_url(int handle, const std::string& url) {
    auto target = page(handle);
    return target && target->navigate(url, kNavigationTimeout) ? 1 : 0;
}

int CdpAutomation::form_js_dialog_overwrite(int handle) {
    // Dialogs are accepted as they open in every driven page; this also disarms the page's
    // own handlers so that leaving it asks nothing.
    auto target = page(handle);
    if (!target) return 0;
    target->neutraliseDialogs();
    return 1;
}

int CdpAutomation::form_page_wait_loaded(int handle, const std::string& text, int timeoutMs) {
    auto target = page(handle);
    return target && target->waitLoaded(text, Millis(std::max(0, timeoutMs))) ? 1 : 0;
}

int CdpAutomation::form_page_isloaded(int handle) {
    auto target = page(handle);
    return target && target->loaded() ? 1 : 0;
}

std::string CdpAutomation::form_get_page_url(int handle) {
    auto target = page(handle);
    return target ? target->url() : std::string();
}

std::string CdpAutomation::form_get_html(int handle) {
    auto target = page(handle);
    return target ? target->html() : std::string();
}

std::string CdpAutomation::form_capture_screenshot(int handle) {
    auto target = page(handle);
    return target ? target->screenshot() : std::string();
}

int CdpAutomation::form_dom_isexist(int handle, const std::string& selector) {
    return form_dom_count(handle, selector) > 0 ? 1 : 0;
}

int CdpAutomation::form_dom_count(int handle, const std::string& selector) {
    auto target = page(handle);
    return target ? target->count(selector) : 0;
}

int CdpAutomation::form_dom_click(int handle, const std::string& selector, int position) {
    auto target = page(handle);
    return target && target->click(selector, position) ? 1 : 0;
}

int CdpAutomation::form_dom_focus(int handle, const std::string& selector, int position) {
    auto target = page(handle);
    return target && target->focus(selector, position) ? 1 : 0;
}

std::string CdpAutomation::form_dom_gettext(int handle, const std::string& selector, int position) {
    auto target = page(handle);
    return target ? target->text(selector, position).value_or("") : std::string();
}

std::optional<std::string> CdpAutomation::form_dom_findtext(int handle, const std::string& selector, int position) {
    auto target = page(handle);
    return target ? target->text(selector, position) : std::nullopt;
}

std::string CdpAutomation::form_dom_innerhtml(int handle, const std::string& selector, int position) {
    auto target = page(handle);
    return target ? target->innerHtml(selector, position).value_or("") : std::string();
}

int CdpAutomation::form_dom_setvalue(int handle, const std::string& selector, const std::string& value, int position) {
    auto target = page(handle);
    return target && target->setValue(selector, position, value) ? 1 : 0;
}

int CdpAutomation::form_dom_settext(int handle, const std::string& selector, const std::string& text, int position) {
    auto target = page(handle);
    return target && target->setText(selector, position, text) ? 1 : 0;
}

int CdpAutomation::form_dom_input(int handle, const std::string& selector, const std::string& text, int position) {
    auto target = page(handle);
    return target && target->focus(selector, position) && target->type(text) ? 1 : 0;
}

int CdpAutomation::form_word_input(int handle, const std::string& selector, const std::string& text) {
    auto target = page(handle);
    return target && target->focus(selector, 0) && target->insertText(text) ? 1 : 0;
}

int CdpAutomation::form_dom_get_cursor(int handle, const std::string& selector) {
    auto target = page(handle);
    return target && target->placeCaretAtEnd(selector, 0) ? 1 : 0;
}

int CdpAutomation::form_press_special_key(int handle, int virtualKey) {
    auto target = page(handle);
    return target && target->pressKey(virtualKey, 0) ? 1 : 0;
}

int CdpAutomation::form_analog_keyboard_ex(int handle, const std::string& virtualKey, int modifiers) {
    auto target = page(handle);
    int code = std::atoi(virtualKey.c_str());
    return target && code > 0 && target->pressKey(code, modifiers) ? 1 : 0;
}

int CdpAutomation::form_upload_file(int handle, int chooser, const std::string& path) {
    auto target = browser(handle);
    auto driven = target ? target->page() : nullptr;
    if (!driven) return 0;
    FileTarget kind = chooser == kCoverChooser ? FileTarget::Image : FileTarget::Video;
    if (driven->setInputFile(kind, path)) return 1;
    // No input to hand it to yet: the page may create one when it opens its chooser.
    std::error_code ec;
    if (fs::is_regular_file(fs::u8path(path), ec)) target->answerNextFileChooser(fs::absolute(fs::u8path(path)).string());
    return 0;
}

int CdpAutomation::form_network_record(int handle) {
    auto target = browser(handle);
    const bool recording = target && target->recordNetwork();
    std::lock_guard lock(mutex_);
    networkRecords_[handle] = recording ? target->networkRecord() : nullptr;
    closedRecords_.erase(handle);
    return recording ? 1 : 0;
}

int CdpAutomation::form_network_stop(int handle) {
    std::shared_ptr<NetworkRecord> record;
    {
        std::lock_guard lock(mutex_);
        auto it = networkRecords_.find(handle);
        if (it == networkRecords_.end() || !it->second) return 0;
        record = std::move(it->second);
        networkRecords_.erase(it);
    }
    record->stop();  // outside the lock: it waits for the connection's
    std::lock_guard lock(mutex_);
    closedRecords_[handle] = record->exchanges();
    return 1;
}

// A browser that died right after a request went out still tells of that request: the
// record outlives it.
std::vector<BrowserAutomation::NetworkExchange> CdpAutomation::form_network_exchanges(int handle) {
    std::shared_ptr<NetworkRecord> record;
    {
        std::lock_guard lock(mutex_);
        auto it = networkRecords_.find(handle);
        if (it != networkRecords_.end()) record = it->second;
        auto closed = closedRecords_.find(handle);
        if (!record && closed != closedRecords_.end()) return closed->second;
    }
    return record ? record->exchanges() : std::vector<NetworkExchange>{};
}

std::string CdpAutomation::form_page_target(int handle) {
    auto target = page(handle);
    return target ? target->targetId() : std::string();
}

std::optional<std::string> CdpAutomation::form_fetch_text(int handle, const std::string& url, int timeoutMs) {
    auto target = page(handle);
    return target ? target->fetchText(url, Millis(std::max(0, timeoutMs))) : std::nullopt;
}

std::optional<std::string> CdpAutomation::form_target_text(int handle, const std::string& targetId) {
    auto target = browser(handle);
    return target ? target->targetText(targetId) : std::nullopt;
}

}  // namespace clipmill::cdp
