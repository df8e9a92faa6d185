#include "app/startup_work.h"

#include "app/run_log.h"
#include "platform/desktop_shortcut.h"
#include "platform/user_folders.h"
#include "support/random.h"
#include "support/thread_guard.h"
#include "update/notices.h"

namespace clipmill {

namespace {

UpdateServers updateServers(const OutsideAddresses& addresses) {
    return UpdateServers{addresses.updateServers, addresses.productFolder};
}

}  // namespace

StartupWork::StartupWork(Services services)
    : s_(std::move(services)),
      waiter_(clock_, stop_),
      update_(SelfUpdate::Services{updateServers(s_.addresses), s_.programDir,
                                   [&log = s_.log](const std::string& line) { log.write(line); }, s_.view, s_.dialogs,
                                   downloader_, waiter_}) {}

StartupWork::~StartupWork() {
    stop_.request();
    downloader_.stopAll();
    for (auto& thread : threads_) thread.join();
}

std::string StartupWork::serverA() const {
    return s_.addresses.updateServers.empty() ? std::string() : s_.addresses.updateServers.front();
}

void StartupWork::showDisclaimer() { clipmill::showDisclaimer(s_.dialogs, documentsFolder(), s_.addresses.makerSite); }

void StartupWork::startBackgroundThreads() {
    threads_.emplace_back([this] {
        runGuarded("update check", [this] {
            update_.startupUpdateStep();
            if (!stop_.requested()) showQuoteOfTheDay(s_.addresses.quoteUrl, s_.view);
        });
    });
    threads_.emplace_back([this] {
        runGuarded("announcement",
                   [this] { showAnnouncement(serverA(), s_.view, [] { return randomInclusive(1, 17); }); });
    });
}

void StartupWork::startVersionLoop(WindowState& mainWindow) {
    threads_.emplace_back([this, &mainWindow] {
        runGuarded("version check", [&] { showVersionLoop(updateServers(s_.addresses), mainWindow, waiter_); });
    });
}

bool StartupWork::openLatest() { return update_.openLatest(); }

void StartupWork::createShortcut() { createDesktopShortcut("Clipmill", s_.programFile, desktopFolder()); }

void StartupWork::openAdvertisement(const std::string& link) { clipmill::openAdvertisement(link, s_.dialogs); }

}  // namespace clipmill
