#include "app/program.h"

#include <unistd.h>

#include <climits>

#include "engine/stand_ins.h"
#include "settings/control_table.h"

namespace clipmill {

namespace fs = std::filesystem;

std::string mainWindowCaption() {
    return std::string("Clipmill") + "v" + kProgramVersion + "          按键盘 Ctrl + Alt + K  可以快速开始或停止";
}

// The operations the run hands off to. This is the one place that chooses them: the
// modules that are not built yet are stand-ins here.
struct Program::Services {
    NoVideoMaterial material;
    NoJobComposer composer;
    FailingPublisher publisher;
    NoRedialer redialer;
    NoBrowser browser;

    RunServices forRun() { return RunServices{material, composer, publisher, redialer, browser}; }
};

fs::path Program::executableDir() {
    char buffer[PATH_MAX];
    ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0) return fs::current_path();
    return fs::path(std::string(buffer, static_cast<size_t>(length))).parent_path();
}

Program::Program(fs::path programDir, Dialogs& dialogs)
    : programDir_(std::move(programDir)),
      window_(controlTable()),
      store_(programDir_, window_, accounts_, dialogs),
      services_(std::make_unique<Services>()) {
    auto readAccountFile = [this](const fs::path& path, AccountRecord& record) {
        record = store_.loadAccountFile(path);
        return !record.empty();
    };
    run_ = std::make_unique<RunController>(
        RunEnvironment{clock_, window_, accounts_, services_->forRun(), store_.listFolder(), readAccountFile, {}});
    window_.setCaption(kMainWindowName, mainWindowCaption());
}

Program::~Program() = default;

}  // namespace clipmill
