#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>
#include <string>

#include "browser/account_browser.h"
#include "browser/automation.h"
#include "browser/page_profile.h"
#include "browser/site_addresses.h"
#include "browser/site_answers.h"
#include "platform/memory_trim.h"
#include "settings/window_state.h"
#include "support/clock.h"
#include "support/dialogs.h"

namespace clipmill {

struct ScreenSize {
    int width = 0;
    int height = 0;
};

// Which attempt initBrowserEnvironment makes first: the automatic one at start-up, the
// configured browser path when the user presses "手动初始化环境".
enum class InitOrder { StartUp, Button };

// The one automated browser of the program, bound to an account only through the profile
// folder it runs on. `handle` is 0 until a browser is started or reached and keeps naming
// the last one after it was closed (the automation makes such a handle harmless).
class BrowserSession final : public AccountBrowser {
public:
    struct Services {
        BrowserAutomation& automation;
        WindowState& window;
        Dialogs& dialogs;
        Clock& clock;
        std::string programDir;  // without a trailing separator
        SiteAddresses addresses = defaultSiteAddresses();
        std::function<ScreenSize()> screenSize;  // of the screen the browser window goes on
        // The page texts and the login page address; the built-in ones when null.
        PageProfileSource* profiles = nullptr;
    };

    explicit BrowserSession(Services services);

    int handle() const override { return handle_.load(); }
    const SiteAddresses& addresses() const override { return services_.addresses; }

    void initBrowserEnvironment(InitOrder order);
    // The automation's connect callback: the browser it names becomes the current one.
    void onBrowserConnected(int handle) { handle_.store(handle); }

    // Starts (or takes over) the browser on the account's profile, showing the upload page;
    // the handle arrives through the connect callback.
    void startBrowser(const std::string& accountId);
    // Reuses a reachable browser, whatever profile it runs on, or starts one on the
    // account's profile. True when a browser is there afterwards.
    bool attachBrowser(const std::string& accountId, Waiter& waiter);
    // Brings up the upload page: shown when it is there for a usable account; otherwise
    // banned, logged out, gone, stopped or given up.
    PageOpening openUploadPage(const std::string& accountId, PublishContext& context) override;

    // The upload page's address, without query and fragment, as it was once it had loaded
    // for the current publication (after the site's redirects); "" before the first.
    std::string landedUploadPage() const;
    // The visible text of the tab `tabId` of the browser running on the account's profile;
    // nothing when no browser runs there, it has no such tab or does not answer. Starts and
    // changes nothing.
    std::optional<std::string> tabTextOf(const std::string& accountId, const std::string& tabId);
    // The account's submissions list, read with its cookies in the browser on its own profile
    // (started when none runs there and `startBrowser`); nothing when it could not be read or
    // the check is off.
    std::optional<std::vector<SiteSubmission>> submissionsOf(const std::string& accountId, Waiter& waiter,
                                                             bool startBrowser);
    // The sign-in page's address: page.ini's, else the site's.
    std::string loginPage() const;

    void setBrowserTitle(const std::string& title) override;
    void closeBrowser() override;
    void closeAllBrowsers();
    void showBrowserVersion();

    std::string profileDirectory(const std::string& accountId) const;
    BrowserStartRecord startRecord(const std::string& accountId) const;

    // Half the screen width (one decimal when odd) and the screen height less 142.
    static std::string windowSizeText(int screenWidth, int screenHeight);

private:
    int tryStart(const std::string& accountId, Waiter& waiter);
    bool showsUploadPage(const std::string& address) const;
    std::shared_ptr<const PageProfile> profile() const;

    Services services_;
    std::atomic<int> handle_{0};
    MemoryTrimmer trimmer_;
    mutable std::mutex landedMutex_;
    std::string landed_;
    StopSignal ownStop_;
    Waiter ownWaiter_;
};

}  // namespace clipmill
