#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace clipmill::net {

// Block arithmetic of a download, 64-bit so files of 2 GiB and more are right.
inline constexpr std::int64_t kBlockSize = 1024 * 1024;
inline constexpr std::size_t kReadSize = 20480;

struct ByteRange {
    std::int64_t first = 0;
    std::int64_t last = 0;  // inclusive; the last block's may lie beyond the end of the file
};
std::int64_t blockCountFor(std::int64_t totalSize);
ByteRange blockRange(std::int64_t blockNumber);  // 1-based

// The headers every request of the downloader sends.
extern const char* const kDownloadHeaders;

// Progress report: (task index, status, total size, bytes done). Status 1 after each chunk
// written (called with the task's lock held, on a worker thread, so it must not call the
// task's control operations), then once 0 = finished (after the rename) or -1 = failed
// (sizes 0), on the task's control thread. A stopped task makes no final report; a failed
// start (no answer, no content length, no file) makes none at all.
using ProgressCallback = std::function<void(int taskIndex, int status, std::int64_t total, std::int64_t done)>;

// Downloads files over HTTP in parallel 1 MiB range requests, each block written in place
// into TARGET.part, which is renamed to TARGET once every byte arrived. Tasks are numbered
// from 1 in start order; a failed start still takes a number.
class SegmentedDownloader {
public:
    SegmentedDownloader();
    ~SegmentedDownloader();  // stops every task and waits for its threads
    SegmentedDownloader(const SegmentedDownloader&) = delete;
    SegmentedDownloader& operator=(const SegmentedDownloader&) = delete;

    // Returns at once; the size probe and the download run on a control thread of its own.
    // The task index it got is the list's size after the call. A target without an extension
    // is a folder: the file takes the last path segment of the (redirected) URL as its name.
    // threadCount below 1 counts as 1.
    void start(const std::string& url, const std::string& targetPath, int threadCount, ProgressCallback callback);

    void pause(int taskIndex);
    void resume(int taskIndex);
    void stop(int taskIndex);
    void stopAll();

    int taskCount() const;

    struct Task;

private:
    std::shared_ptr<Task> task(int taskIndex) const;
    void joinEndedTasks();

    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<Task>> tasks_;
};

}  // namespace clipmill::net
