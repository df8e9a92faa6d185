#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "browser/automation.h"
#include "browser/cdp/browser.h"

namespace clipmill::cdp {

enum class BrowserMode { Automatic, Headless, Headed };  // Automatic: headed when there is a display

// The browser automation over the Chrome DevTools Protocol. Browsers run on profile
// folders; the ones under `profilesRoot` that are running (started by this program now or
// by an earlier run) can be reached again through the port file in each profile.
class CdpAutomation final : public BrowserAutomation {
public:
    struct Options {
        std::string profilesRoot;
        BrowserMode mode = BrowserMode::Automatic;
    };
    explicit CdpAutomation(Options options);
    ~CdpAutomation() override;

    int form_global_init(const std::string& browserPath, ConnectCallback onConnect) override;
    int form_browser_start(const std::string& url, const BrowserStartRecord& record) override;
    std::vector<int> form_connect_started() override;
    int form_find_started(const std::string& profileDir) override;
    int form_session_isconnected(int handle) override;
    int form_close_other_pages(int handle) override;
    int form_active_page(int handle) override;
    int form_close_browser(int handle) override;
    int form_close_browsers() override;
    int form_set_window_title(int handle, const std::string& title) override;
    int form_set_cookies(int handle, const std::string& url, const std::string& cookieText) override;
    std::string form_get_version(int handle) override;
    int form_forward_url(int handle, const std::string& url) override;
    int form_js_dialog_overwrite(int handle) override;
    int form_page_wait_loaded(int handle, const std::string& text, int timeoutMs) override;
    int form_page_isloaded(int handle) override;
    std::string form_get_page_url(int handle) override;
    std::string form_get_html(int handle) override;
    std::string form_capture_screenshot(int handle) override;
    int form_dom_isexist(int handle, const std::string& selector) override;
    int form_dom_count(int handle, const std::string& selector) override;
    int form_dom_click(int handle, const std::string& selector, int position) override;
    int form_dom_focus(int handle, const std::string& selector, int position) override;
    std::string form_dom_gettext(int handle, const std::string& selector, int position) override;
    std::optional<std::string> form_dom_findtext(int handle, const std::string& selector, int position) override;
    std::string form_dom_innerhtml(int handle, const std::string& selector, int position) override;
    int form_dom_setvalue(int handle, const std::string& selector, const std::string& value, int position) override;
    int form_dom_settext(int handle, const std::string& selector, const std::string& text, int position) override;
    int form_dom_input(int handle, const std::string& selector, const std::string& text, int position) override;
    int form_word_input(int handle, const std::string& selector, const std::string& text) override;
    int form_dom_get_cursor(int handle, const std::string& selector) override;
    int form_press_special_key(int handle, int virtualKey) override;
    int form_analog_keyboard_ex(int handle, const std::string& virtualKey, int modifiers) override;
    int form_upload_file(int handle, int chooser, const std::string& path) override;
    int form_network_record(int handle) override;
    int form_network_stop(int handle) override;
    std::vector<NetworkExchange> form_network_exchanges(int handle) override;
    std::string form_page_target(int handle) override;
    std::optional<std::string> form_fetch_text(int handle, const std::string& url, int timeoutMs) override;
    std::optional<std::string> form_target_text(int handle, const std::string& targetId) override;

    // The connected browser a handle names, or null.
    std::shared_ptr<ChromiumBrowser> browser(int handle);
    // Why the last start failed.
    std::string lastError() const;

private:
    std::shared_ptr<PageSession> page(int handle);
    int handleFor(const std::string& profileDir, const Endpoint& endpoint);
    bool headless() const;
    void releaseClosed();
    void fail(const std::string& error);

    Options options_;
    mutable std::mutex mutex_;
    std::string executable_;
    ConnectCallback onConnect_;
    int nextHandle_ = 0;
    std::map<int, std::shared_ptr<ChromiumBrowser>> browsers_;  // null once closed
    // The last network record of each handle; once its browser is let go, what it held.
    std::map<int, std::shared_ptr<NetworkRecord>> networkRecords_;
    std::map<int, std::vector<NetworkExchange>> closedRecords_;
    std::string lastError_;
};

// Parses "width,height" where either may have a fraction; {0, 0} when malformed.
std::pair<int, int> parseWindowPair(const std::string& text);

}  // namespace clipmill::cdp
