#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/endpoints.h"
#include "net/segmented_downloader.h"
#include "support/clock.h"
#include "update/self_update.h"

namespace clipmill {

class Dialogs;
class RunLog;
class StartupView;
class WindowState;

// The start-up window's work: the disclaimer, the start-up thread (update check, then the
// quote of the day), the announcement thread, the version display of the main window, the
// self-update's download and the window's buttons. Its threads end when it goes.
class StartupWork {
public:
    struct Services {
        std::filesystem::path programDir;
        std::filesystem::path programFile;  // the running program, for the desktop shortcut
        OutsideAddresses addresses;
        RunLog& log;
        StartupView& view;
        Dialogs& dialogs;  // boxes owned by the start-up window
    };

    explicit StartupWork(Services services);
    ~StartupWork();
    StartupWork(const StartupWork&) = delete;
    StartupWork& operator=(const StartupWork&) = delete;

    void showDisclaimer();
    // The start-up thread and the announcement thread.
    void startBackgroundThreads();
    // The version display in part 3 of the main window's status bar.
    void startVersionLoop(WindowState& mainWindow);

    // The window's buttons and picture.
    bool openLatest();
    void createShortcut();
    void openAdvertisement(const std::string& link);

private:
    std::string serverA() const;

    Services s_;
    SystemClock clock_;
    StopSignal stop_;
    Waiter waiter_;
    SelfUpdate update_;
    // After the update it reports to, so it is gone (its threads joined) before the update.
    net::SegmentedDownloader downloader_;
    std::vector<std::thread> threads_;
};

}  // namespace clipmill
