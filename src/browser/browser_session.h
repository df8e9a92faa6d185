#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>

#include "accounts/account_record.h"
#include "accounts/account_table.h"
#include "browser/automation.h"
#include "browser/page_profile.h"
#include "browser/site_addresses.h"
#include "engine/run_services.h"
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
class BrowserSession final : public BrowserControl {
public:
    struct Services {
        BrowserAutomation& automation;
        WindowState& window;
        AccountTable& accounts;
        Dialogs& dialogs;
        Clock& clock;
        std::string programDir;  // without a trailing separator
        SiteAddresses addresses = defaultSiteAddresses();
        std::function<ScreenSize()> screenSize;  // of the screen the browser window goes on
        // The page texts and the login page address; the built-in ones when null.
        PageProfileSource* profiles = nullptr;
    };

    explicit BrowserSession(Services services);

    int handle() const { return handle_.load(); }
    const SiteAddresses& addresses() const { return services_.addresses; }

    void initBrowserEnvironment(InitOrder order);
    // The automation's connect callback: the browser it names becomes the current one.
    void onBrowserConnected(int handle) { handle_.store(handle); }

    // Starts (or takes over) the browser on the account's profile, showing the upload page.
    // Always 1; the handle arrives through the connect callback.
    int startBrowser(const std::string& accountId);
    int startBrowser(const std::string& accountId, Waiter& waiter);
    // Reuses a reachable browser, whatever profile it runs on, or starts one on the job's
    // profile. True when a browser is there afterwards.
    bool attachBrowser(const UploadJob& job, Waiter& waiter);
    // 1: the upload page of a usable account is showing; 0: banned, logged out or given up.
    int openAccountPage(const UploadJob& job, PublishContext& context);

    // The upload page's address, without query and fragment, as it was once it had loaded
    // for the current publication (after the site's redirects); "" before the first.
    std::string landedUploadPage() const;
    // The address the browser running on the account's profile shows now; "" when no
    // browser runs there or it does not answer. Starts and changes nothing.
    std::string pageAddressOf(const std::string& accountId);

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
    std::string loginPage() const;


    Services services_;
    std::atomic<int> handle_{0};
    MemoryTrimmer trimmer_;
    mutable std::mutex landedMutex_;
    std::string landed_;
    StopSignal ownStop_;
    Waiter ownWaiter_;
};

}  // namespace clipmill
