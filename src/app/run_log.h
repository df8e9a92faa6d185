#pragma once

#include <ctime>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>

namespace clipmill {

// The daily log of the program's start-up milestones: one GBK file per day in the data
// folder, newest line first. Writing never fails loudly: a line that cannot be written is lost,
// and a day's file that is there but cannot be read is left as it is.
class RunLog {
public:
    using Now = std::function<std::tm()>;

    // `now` gives the local date and time; the system's when empty.
    explicit RunLog(std::filesystem::path dataFolder, Now now = {});

    void write(const std::string& message);

    // "运行日志2021年5月29日.txt" for that day.
    static std::string fileName(const std::tm& day);
    // The date, then the time of day in its shortest form: "2021年5月29日9时5分".
    static std::string timeStamp(const std::tm& moment);

private:
    std::filesystem::path dataFolder_;
    Now now_;
    std::mutex mutex_;  // one write at a time, process-wide for this log
};

}  // namespace clipmill
