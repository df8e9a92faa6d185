#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "accounts/account_store.h"
#include "accounts/account_table.h"
#include "engine/run_controller.h"
#include "settings/window_state.h"
#include "support/clock.h"
#include "support/dialogs.h"

namespace clipmill {

inline constexpr const char* kProgramVersion = "8.8";

// The main window's caption once the window is created: name, version and the hot key hint.
std::string mainWindowCaption();

// The program's one instance of each piece of state and service, wired together: the
// window state, the account list, the account store, the services the run hands off to
// and the run controller. The windows are built over it; it knows nothing of them.
class Program {
public:
    // `programDir` is the folder of the program file, without a trailing separator.
    Program(std::filesystem::path programDir, Dialogs& dialogs);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // The folder of the running executable.
    static std::filesystem::path executableDir();

    const std::filesystem::path& programDir() const { return programDir_; }
    std::filesystem::path dataDir() const { return programDir_ / "data"; }

    WindowState& window() { return window_; }
    AccountTable& accounts() { return accounts_; }
    AccountStore& store() { return store_; }
    RunController& run() { return *run_; }

private:
    struct Services;

    std::filesystem::path programDir_;
    SystemClock clock_;
    WindowState window_;
    AccountTable accounts_;
    AccountStore store_;
    std::unique_ptr<Services> services_;
    std::unique_ptr<RunController> run_;  // last: it stops its run before the rest goes
};

}  // namespace clipmill
