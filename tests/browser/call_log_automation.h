#pragma once

#include <map>
#include <string>
#include <vector>

#include "browser/automation.h"

namespace clipmill::testing {

// An automation that drives no browser: it records each call as "name(arguments)" and
// answers from `results` (by operation name), else 0 or "".
class CallLogAutomation final : public BrowserAutomation {
public:
    std::vector<std::string> calls;
    std::map<std::string, std::vector<int>> results;  // answered in order, the last one repeats
    std::map<std::string, std::string> texts;
    ConnectCallback onConnect;

    int form_global_init(const std::string& path, ConnectCallback callback) override {
        onConnect = std::move(callback);
        return answer("form_global_init", {path});
    }
    int form_browser_start(const std::string& url, const BrowserStartRecord& r) override {
        return answer("form_browser_start", {url, r.profileDir, r.windowSize, r.windowPosition});
    }
    std::vector<int> form_connect_started() override {
        answer("form_connect_started", {});
        return {};
    }
    int form_session_isconnected(int h) override { return answer("form_session_isconnected", {n(h)}); }
    int form_close_other_pages(int h) override { return answer("form_close_other_pages", {n(h)}); }
    int form_active_page(int h) override { return answer("form_active_page", {n(h)}); }
    int form_close_browser(int h) override { return answer("form_close_browser", {n(h)}); }
    int form_close_browsers() override { return answer("form_close_browsers", {}); }
    int form_set_window_title(int h, const std::string& t) override { return answer("form_set_window_title", {n(h), t}); }
    int form_set_cookies(int h, const std::string& u, const std::string& c) override { return answer("form_set_cookies", {n(h), u, c}); }
    std::string form_get_version(int h) override { return text("form_get_version", {n(h)}); }
    int form_forward_url(int h, const std::string& u) override { return answer("form_forward_url", {n(h), u}); }
    int form_js_dialog_overwrite(int h) override { return answer("form_js_dialog_overwrite", {n(h)}); }
    int form_page_wait_loaded(int h, const std::string& t, int ms) override {
        return answer("form_page_wait_loaded", {n(h), t, n(ms)});
    }
    int form_page_isloaded(int h) override { return answer("form_page_isloaded", {n(h)}); }
    std::string form_get_page_url(int h) override { return text("form_get_page_url", {n(h)}); }
    std::string form_get_html(int h) override { return text("form_get_html", {n(h)}); }
    int form_dom_isexist(int h, const std::string& s) override { return answer("form_dom_isexist", {n(h), s}); }
    int form_dom_count(int h, const std::string& s) override { return answer("form_dom_count", {n(h), s}); }
    int form_dom_click(int h, const std::string& s, int p) override { return answer("form_dom_click", {n(h), s, n(p)}); }
    int form_dom_focus(int h, const std::string& s, int p) override { return answer("form_dom_focus", {n(h), s, n(p)}); }
    std::string form_dom_gettext(int h, const std::string& s, int p) override {
        return text("form_dom_gettext", {n(h), s, n(p)});
    }
    std::string form_dom_innerhtml(int h, const std::string& s, int p) override {
        return text("form_dom_innerhtml", {n(h), s, n(p)});
    }
    int form_dom_setvalue(int h, const std::string& s, const std::string& v, int p) override {
        return answer("form_dom_setvalue", {n(h), s, v, n(p)});
    }
    int form_dom_settext(int h, const std::string& s, const std::string& t, int p) override {
        return answer("form_dom_settext", {n(h), s, t, n(p)});
    }
    int form_dom_input(int h, const std::string& s, const std::string& t, int p) override {
        return answer("form_dom_input", {n(h), s, t, n(p)});
    }
    int form_word_input(int h, const std::string& s, const std::string& t) override {
        return answer("form_word_input", {n(h), s, t});
    }
    int form_dom_get_cursor(int h, const std::string& s) override { return answer("form_dom_get_cursor", {n(h), s}); }
    int form_press_special_key(int h, int k) override { return answer("form_press_special_key", {n(h), n(k)}); }
    int form_analog_keyboard_ex(int h, const std::string& k, int m) override {
        return answer("form_analog_keyboard_ex", {n(h), k, n(m)});
    }
    int form_upload_file(int h, int c, const std::string& p) override { return answer("form_upload_file", {n(h), n(c), p}); }

private:
    static std::string n(int value) { return std::to_string(value); }
    void record(const std::string& name, const std::vector<std::string>& args) {
        std::string call = name + "(";
        for (std::size_t i = 0; i < args.size(); ++i) call += (i ? "," : "") + args[i];
        calls.push_back(call + ")");
    }
    int answer(const std::string& name, const std::vector<std::string>& args) {
        record(name, args);
        auto it = results.find(name);
        if (it == results.end() || it->second.empty()) return 0;
        int value = it->second.front();
        if (it->second.size() > 1) it->second.erase(it->second.begin());
        return value;
    }
    std::string text(const std::string& name, const std::vector<std::string>& args) {
        record(name, args);
        auto it = texts.find(name);
        return it == texts.end() ? std::string() : it->second;
    }
};

}  // namespace clipmill::testing
