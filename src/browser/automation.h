#pragma once

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace clipmill {

// What a browser is started with.
struct BrowserStartRecord {
    std::string profileDir;
    std::string windowSize;      // "width,height"; the width may have one decimal ("682.5,626")
    std::string windowPosition;  // "x,y"
};

// The browser automation the program drives its browsers through. A browser is named by a
// handle, 0 for none; every operation on a handle that names no browser, or a closed one,
// does nothing and gives 0 or "". Elements are a CSS selector and a position among its
// matches in document order: 1 the first, 0 also the first. Clicks, typing and keys are
// input events, as a person's would be.
class BrowserAutomation {
public:
    using ConnectCallback = std::function<void(int handle)>;

    virtual ~BrowserAutomation() = default;

    // Gets ready to start browsers: `browserPath` names the executable; "" finds an
    // installed one. The callback hears of each browser started. 1 when ready.
    virtual int form_global_init(const std::string& browserPath, ConnectCallback onConnect) = 0;

    // Starts a browser on the record's profile showing `url` (or takes over the one already
    // running on that profile). The handle, also given to the connect callback; 0 on failure.
    virtual int form_browser_start(const std::string& url, const BrowserStartRecord& record) = 0;
    // Handles of the browsers that can be reached now.
    virtual std::vector<int> form_connect_started() = 0;
    // The handle of the browser running on `profileDir` now, 0 when none is; starts nothing.
    virtual int form_find_started(const std::string& profileDir) { return 0; }
    virtual int form_session_isconnected(int handle) = 0;
    // Leaves the driven tab and closes every other one.
    virtual int form_close_other_pages(int handle) = 0;
    virtual int form_active_page(int handle) = 0;
    virtual int form_close_browser(int handle) = 0;
    virtual int form_close_browsers() = 0;
    virtual int form_set_window_title(int handle, const std::string& title) = 0;
    // Stores the cookies of `cookieText` ("name=value; name2=value2") in the browser's
    // profile for the site of `url`: on its parent domain, so every host of the site sees
    // them, or on its host when it has none. Kept for a year. The number of cookies stored.
    virtual int form_set_cookies(int handle, const std::string& url, const std::string& cookieText) = 0;
    // JSON with Browser, V8-Version, User-Agent, Protocol-Version and WebKit-Version.
    virtual std::string form_get_version(int handle) = 0;

    virtual int form_forward_url(int handle, const std::string& url) = 0;
    // From now on, page dialogs (alert, confirm, leaving the page) do not block.
    virtual int form_js_dialog_overwrite(int handle) = 0;
    // Waits up to `timeoutMs` until the page has loaded and shows `text` ("": any). 1 when it did.
    virtual int form_page_wait_loaded(int handle, const std::string& text, int timeoutMs) = 0;
    // 0 while the page is loading.
    virtual int form_page_isloaded(int handle) = 0;
    virtual std::string form_get_page_url(int handle) = 0;
    virtual std::string form_get_html(int handle) = 0;
    // A PNG picture of the page as it shows now; "" when there is none.
    virtual std::string form_capture_screenshot(int handle) { return {}; }

    virtual int form_dom_isexist(int handle, const std::string& selector) = 0;
    virtual int form_dom_count(int handle, const std::string& selector) = 0;
    virtual int form_dom_click(int handle, const std::string& selector, int position) = 0;
    virtual int form_dom_focus(int handle, const std::string& selector, int position) = 0;
    virtual std::string form_dom_gettext(int handle, const std::string& selector, int position) = 0;
    // The text of an element, or nothing when the selector matches nothing at that position.
    virtual std::optional<std::string> form_dom_findtext(int handle, const std::string& selector, int position) {
        std::string text = form_dom_gettext(handle, selector, position);
        if (!text.empty() || form_dom_count(handle, selector) > std::max(position - 1, 0)) return text;
        return std::nullopt;
    }
    virtual std::string form_dom_innerhtml(int handle, const std::string& selector, int position) = 0;
    // The value of a form field, set as a script would, with input and change events.
    virtual int form_dom_setvalue(int handle, const std::string& selector, const std::string& value, int position) = 0;
    // The text of an element (the value of a form field).
    virtual int form_dom_settext(int handle, const std::string& selector, const std::string& text, int position) = 0;
    // Focuses the element and types the text key by key.
    virtual int form_dom_input(int handle, const std::string& selector, const std::string& text, int position) = 0;
    // Enters the text into the element as one piece, as an input method commits a word.
    virtual int form_word_input(int handle, const std::string& selector, const std::string& text) = 0;
    // Focuses the element and puts the caret after its text.
    virtual int form_dom_get_cursor(int handle, const std::string& selector) = 0;
    // Presses a key (Windows virtual-key code, 13 Enter) on whatever has the focus.
    virtual int form_press_special_key(int handle, int virtualKey) = 0;
    // Presses a key given as decimal text ("86") with modifiers held (1 Alt, 2 Ctrl, 4 Meta, 8 Shift).
    virtual int form_analog_keyboard_ex(int handle, const std::string& virtualKey, int modifiers) = 0;

    // The driven tab's requests, as the browser's network events tell them. Recording starts
    // with form_network_record (earlier requests are forgotten) and follows the driven tab.
    struct NetworkExchange {
        enum class State { Sent, Answered, Failed };
        std::string method;  // "POST", "GET", ...
        std::string url;
        State state = State::Sent;
        int status = 0;      // Answered: the HTTP status
        std::string body;    // Answered: the answer's body as text (loading finished)
        std::string error;   // Failed: the browser's error text
    };
    // 1 when recording started.
    virtual int form_network_record(int handle) { return 0; }
    // Ends the record (the page's requests go on untouched); what it holds can still be read.
    virtual int form_network_stop(int handle) { return 0; }
    // What was recorded since form_network_record, in the order the requests were sent.
    virtual std::vector<NetworkExchange> form_network_exchanges(int handle) { return {}; }
    // The target id of the driven tab, "" when none.
    virtual std::string form_page_target(int handle) { return {}; }
    // GETs `url` from inside the driven tab with the profile's cookies. The body of a 2xx
    // answer; nothing on any other status, a network failure or after `timeoutMs`.
    virtual std::optional<std::string> form_fetch_text(int handle, const std::string& url, int timeoutMs) {
        return std::nullopt;
    }
    // The visible text of the browser's tab `targetId` (it need not be the driven one);
    // nothing when the browser has no such tab or does not answer.
    virtual std::optional<std::string> form_target_text(int handle, const std::string& targetId) {
        return std::nullopt;
    }

    // Which of the page's file inputs form_upload_file hands a file to.
    enum Chooser : int { kCoverChooser = 1, kVideoChooser = 2 };
    virtual int form_upload_file(int handle, int chooser, const std::string& path) = 0;
};

}  // namespace clipmill
