#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "browser/cdp/connection.h"
#include "browser/cdp/network_record.h"
#include "browser/cdp/page.h"

namespace clipmill::cdp {

struct WindowBounds {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// One running browser reached over its DevTools endpoint, and the page of it that is driven.
// The page is attached on first use and again after it was closed; dialogs it opens are
// accepted, and file choosers it opens are answered instead of showing a window.
class ChromiumBrowser : public std::enable_shared_from_this<ChromiumBrowser> {
public:
    static std::shared_ptr<ChromiumBrowser> connect(const Endpoint& endpoint, const std::string& profileDir,
                                                    std::string& error);
    ~ChromiumBrowser();

    const std::string& profileDir() const { return profileDir_; }
    const Endpoint& endpoint() const { return endpoint_; }
    bool connected() const { return connection_->connected(); }
    // The browser still answers a call.
    bool responds();

    // The driven page; null when the browser has no page or does not answer.
    std::shared_ptr<PageSession> page();

    bool closeOtherPages();
    bool activatePage();
    bool setWindowBounds(const WindowBounds& bounds);
    std::optional<WindowBounds> windowBounds();
    std::string versionJson();
    // Stores cookies in the profile (Storage.setCookies); `cookies` is the JSON array of
    // cookie parameters.
    bool setCookies(const std::string& cookies);
    // Asks the browser to quit and waits until the connection drops.
    bool close();

    // The next file chooser the page opens gets this file.
    void answerNextFileChooser(const std::string& path);

    // Starts a new record of the driven page's requests, dropping the earlier one. The
    // record stays with that tab: after the page is attached anew it holds what it had.
    bool recordNetwork();
    std::vector<NetworkRecord::Exchange> networkExchanges();
    // The record in progress, null when none; it keeps what it has after the browser ends.
    std::shared_ptr<NetworkRecord> networkRecord();
    // The visible text of tab `targetId`, read over a session of its own so that the
    // driven page is left as it is; nothing when there is no such tab.
    std::optional<std::string> targetText(const std::string& targetId);

private:
    ChromiumBrowser(std::shared_ptr<Connection> connection, Endpoint endpoint, std::string profileDir);
    std::vector<std::string> pageTargetIds();
    std::shared_ptr<PageSession> attach(const std::string& targetId);
    void onDetached(const std::string& sessionId);
    void onFileChooser(const std::string& sessionId, int backendNodeId);
    std::optional<int> windowId();

    std::shared_ptr<Connection> connection_;
    Endpoint endpoint_;
    std::string profileDir_;
    int detachSubscription_ = 0;
    std::mutex mutex_;
    std::shared_ptr<PageSession> page_;
    std::vector<int> pageSubscriptions_;
    std::string chooserFile_;
    std::shared_ptr<NetworkRecord> networkRecord_;
};

}  // namespace clipmill::cdp
