#include "app/run_log.h"

#include <cstdio>

#include "support/atomic_file.h"
#include "support/gbk.h"

namespace clipmill {

namespace {

std::tm localNow() {
    std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    return local;
}

std::string dateText(const std::tm& day) {
    return std::to_string(day.tm_year + 1900) + "年" + std::to_string(day.tm_mon + 1) + "月" +
           std::to_string(day.tm_mday) + "日";
}

}  // namespace

RunLog::RunLog(std::filesystem::path dataFolder, Now now) : dataFolder_(std::move(dataFolder)), now_(std::move(now)) {
    if (!now_) now_ = localNow;
}

std::string RunLog::fileName(const std::tm& day) { return "运行日志" + dateText(day) + ".txt"; }

std::string RunLog::timeStamp(const std::tm& m) {
    std::string stamp = dateText(m);
    if (m.tm_sec != 0)
        return stamp + std::to_string(m.tm_hour) + "时" + std::to_string(m.tm_min) + "分" + std::to_string(m.tm_sec) + "秒";
    if (m.tm_min != 0) return stamp + std::to_string(m.tm_hour) + "时" + std::to_string(m.tm_min) + "分";
    if (m.tm_hour != 0) return stamp + std::to_string(m.tm_hour) + "时";
    return stamp;
}

void RunLog::write(const std::string& message) {
    const std::tm now = now_();
    const std::string line = utf8ToGbk(timeStamp(now) + "   " + message + "\r\n");
    std::lock_guard lock(mutex_);
    std::error_code ec;
    if (!std::filesystem::is_directory(dataFolder_, ec)) return;
    const auto file = dataFolder_ / std::filesystem::u8path(fileName(now));
    // The newest line goes first. The file is small (a few lines a start), so it is
    // rewritten whole, and replaced atomically so a crash never leaves half a log.
    const ExistingContent earlier = readExistingContent(file);
    if (earlier.state == ExistingContent::State::Unreadable) {
        std::fprintf(stderr, "clipmill: %s cannot be read; a line was not added to it\n", file.c_str());
        return;
    }
    writeFileAtomically(file, line + earlier.bytes);
}

}  // namespace clipmill
