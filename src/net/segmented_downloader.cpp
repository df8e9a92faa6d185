#include "net/segmented_downloader.h"

#include "net/curl_easy.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <condition_variable>
#include <filesystem>
#include <optional>
#include <string_view>
#include <thread>

#include "support/thread_guard.h"

namespace clipmill::net {

const char* const kDownloadHeaders =
    "Accept: */*\r\nAccept-Language: zh-cn\r\nAccept-Encoding: gzip, deflate\r\n"
    "User-Agent: Mozilla/4.0(compatible; MSIE 6.0; Windows NT 5.0; MyIE2; .NET CLR 1.1.4322)";

std::int64_t blockCountFor(std::int64_t totalSize) {
    return totalSize <= 0 ? 0 : (totalSize + kBlockSize - 1) / kBlockSize;
}

ByteRange blockRange(std::int64_t blockNumber) {
    return {(blockNumber - 1) * kBlockSize, blockNumber * kBlockSize - 1};
}

namespace {

enum TaskState : int { kRunning = 0, kStopRequested = 1, kPaused = 2, kFailed = -1 };

constexpr long kConnectTimeoutSeconds = 30;
// A request that moves less than this many bytes a second for that long is given up.
constexpr long kLowSpeedBytes = 1;
constexpr long kLowSpeedSeconds = 30;
constexpr long kMaxRedirects = 10;

// kDownloadHeaders line by line, then `extraLine` when it is not empty; nullopt when out of memory.
std::optional<CurlHeaderList> downloadHeaderList(const std::string& extraLine) {
    CurlHeaderList list;
    std::string_view all = kDownloadHeaders;
    while (!all.empty()) {
        auto end = all.find("\r\n");
        if (!list.append(std::string(all.substr(0, end)))) return std::nullopt;
        all = end == std::string_view::npos ? std::string_view() : all.substr(end + 2);
    }
    if (!extraLine.empty() && !list.append(extraLine)) return std::nullopt;
    return list;
}

// An easy handle with what every request of the downloader shares. Content encodings are
// not decoded: a range is a range of the bytes as served.
CurlEasy newRequest(const std::string& url, curl_slist* headers) {
    CurlEasy handle = makeCurlEasy();
    if (!handle) return handle;
    CURL* h = handle.get();
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, kLowSpeedBytes);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, kLowSpeedSeconds);
    curl_easy_setopt(h, CURLOPT_BUFFERSIZE, static_cast<long>(kReadSize));
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    return handle;
}

bool writeAt(int fd, const char* data, std::size_t length, std::int64_t position) {
    while (length > 0) {
        ssize_t n = pwrite(fd, data, length, static_cast<off_t>(position));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        length -= static_cast<std::size_t>(n);
        position += n;
    }
    return true;
}

std::optional<std::int64_t> parseNumber(std::string_view text) {
    std::int64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// "bytes FIRST-LAST/TOTAL" (TOTAL may be "*") starting at `first`, of a file of `total` bytes.
bool contentRangeStartsAt(std::string_view value, std::int64_t first, std::int64_t total) {
    constexpr std::string_view unit = "bytes ";
    if (value.substr(0, unit.size()) != unit) return false;
    value.remove_prefix(unit.size());
    auto dash = value.find('-');
    auto slash = value.find('/');
    if (dash == std::string_view::npos || slash == std::string_view::npos || slash < dash) return false;
    auto from = parseNumber(value.substr(0, dash));
    auto size = value.substr(slash + 1);
    if (!from || *from != first) return false;
    return size == "*" || parseNumber(size) == total;
}

// The last path segment of a URL, without query or fragment.
std::string fileNameOf(const std::string& url) {
    auto scheme = url.find("://");
    auto pathStart = url.find('/', scheme == std::string::npos ? 0 : scheme + 3);
    if (pathStart == std::string::npos) return "";
    auto pathEnd = url.find_first_of("?#", pathStart);
    std::string path = url.substr(pathStart, pathEnd == std::string::npos ? std::string::npos : pathEnd - pathStart);
    std::string name = path.substr(path.rfind('/') + 1);
    return name == "." || name == ".." ? "" : name;
}

std::string resolveTarget(const std::string& targetPath, const std::string& url) {
    if (std::filesystem::path(targetPath).has_extension()) return targetPath;
    std::string name = fileNameOf(url);
    if (name.empty()) return "";
    return (std::filesystem::path(targetPath) / name).string();
}

}  // namespace

struct SegmentedDownloader::Task {
    int index = 0;
    std::string url;
    std::string targetPath;
    int threadCount = 1;
    ProgressCallback callback;

    std::mutex lock;
    std::condition_variable changed;   // state changed
    std::atomic<int> state{kRunning};  // written under `lock`; read without it to abort transfers
    bool ended = false;                // outcome decided: control operations no longer apply
    std::int64_t nextBlock = 0;        // the last block handed out
    std::int64_t bytesDone = 0;

    // Set by the control thread before the workers start, then only read.
    std::int64_t totalSize = 0;
    std::int64_t blockCount = 0;
    int fd = -1;

    std::thread control;
    std::atomic<bool> finished{false};  // the control thread has returned
};

namespace {

using Task = SegmentedDownloader::Task;

enum class Transfer { complete, paused, cancelled, failed };

void report(Task& task, int status, std::int64_t total, std::int64_t done) noexcept {
    if (!task.callback) return;
    try {
        task.callback(task.index, status, total, done);
    } catch (...) {
        // A caller's exception must not unwind through libcurl or end a thread.
    }
}

void markFailed(Task& task) {
    std::lock_guard lock(task.lock);
    if (task.state != kStopRequested) task.state = kFailed;
    task.changed.notify_all();
}

// Waits out a pause; true when the task is still running afterwards.
bool waitWhilePaused(Task& task) {
    std::unique_lock lock(task.lock);
    task.changed.wait(lock, [&] { return task.state != kPaused; });
    return task.state == kRunning;
}

std::optional<std::int64_t> takeNextBlock(Task& task) {
    std::unique_lock lock(task.lock);
    task.changed.wait(lock, [&] { return task.state != kPaused; });
    if (task.state != kRunning || task.nextBlock >= task.blockCount) return std::nullopt;
    return ++task.nextBlock;
}

int abortUnlessRunning(void* data, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<Task*>(data)->state == kRunning ? 0 : 1;
}

int abortOnStop(void* data, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<Task*>(data)->state == kStopRequested ? 1 : 0;
}

struct BlockWrite {
    Task& task;
    CURL* handle;
    std::int64_t& position;  // next byte of the file to write
    std::int64_t last;       // last byte of the block within the file
    bool answerChecked = false;
    Transfer outcome = Transfer::complete;
};

// Only a 206 whose range starts where this request asked may be written.
bool answerIsTheRange(CURL* handle, std::int64_t first, std::int64_t total) {
    long status = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    if (status != 206) return false;
    curl_header* header = nullptr;
    if (curl_easy_header(handle, "Content-Range", 0, CURLH_HEADER, -1, &header) != CURLHE_OK) return false;
    return contentRangeStartsAt(header->value, first, total);
}

std::size_t writeChunk(char* data, std::size_t, std::size_t length, void* userData) {
    auto& w = *static_cast<BlockWrite*>(userData);
    if (length == 0) return 0;
    try {
        if (!w.answerChecked && !answerIsTheRange(w.handle, w.position, w.task.totalSize)) {
            w.outcome = Transfer::failed;
            return 0;
        }
        w.answerChecked = true;
        if (static_cast<std::int64_t>(length) > w.last - w.position + 1 ||
            !writeAt(w.task.fd, data, length, w.position)) {
            w.outcome = Transfer::failed;
            return 0;
        }
        w.position += static_cast<std::int64_t>(length);
        int state;
        {
            std::lock_guard lock(w.task.lock);
            w.task.bytesDone += static_cast<std::int64_t>(length);
            report(w.task, 1, w.task.totalSize, w.task.bytesDone);
            state = w.task.state;
        }
        if (state == kRunning) return length;
        w.outcome = state == kPaused ? Transfer::paused : Transfer::cancelled;
        return 0;
    } catch (...) {
        w.outcome = Transfer::failed;
        return 0;
    }
}

// One range request from `position` to the block's end; a pause abandons it, and the rest of
// the block is asked for again after the resume.
Transfer requestRange(Task& task, std::int64_t& position, std::int64_t askedLast, std::int64_t last) {
    auto headers = downloadHeaderList("Range:bytes=" + std::to_string(position) + "-" + std::to_string(askedLast));
    if (!headers) return Transfer::failed;
    auto handle = newRequest(task.url, headers->get());
    if (!handle) return Transfer::failed;
    BlockWrite write{task, handle.get(), position, last};
    curl_easy_setopt(handle.get(), CURLOPT_WRITEFUNCTION, writeChunk);
    curl_easy_setopt(handle.get(), CURLOPT_WRITEDATA, &write);
    curl_easy_setopt(handle.get(), CURLOPT_XFERINFOFUNCTION, abortUnlessRunning);
    curl_easy_setopt(handle.get(), CURLOPT_XFERINFODATA, &task);
    CURLcode result = curl_easy_perform(handle.get());
    if (position > last) return write.outcome == Transfer::failed ? Transfer::failed : Transfer::complete;
    if (write.outcome != Transfer::complete) return write.outcome;
    // Aborted for a pause (or a stop): the caller's wait tells which, even if a resume came since.
    if (result == CURLE_ABORTED_BY_CALLBACK) return Transfer::paused;
    return Transfer::failed;  // an error, or an answer that ended before the block did
}

Transfer downloadBlock(Task& task, std::int64_t blockNumber) {
    ByteRange range = blockRange(blockNumber);
    std::int64_t last = std::min(range.last, task.totalSize - 1);
    std::int64_t position = range.first;
    while (position <= last) {
        if (!waitWhilePaused(task)) return Transfer::cancelled;
        Transfer result = requestRange(task, position, range.last, last);
        if (result == Transfer::failed || result == Transfer::cancelled) return result;
    }
    return Transfer::complete;
}

void runWorker(Task& task) noexcept {
    const bool returned = runGuarded("download worker", [&task] {
        while (auto block = takeNextBlock(task)) {
            if (downloadBlock(task, *block) == Transfer::failed) {
                markFailed(task);
                return;
            }
        }
    });
    if (!returned) markFailed(task);
}

void runWorkers(Task& task, int count) {
    std::vector<std::thread> workers;
    for (int i = 0; i < count; ++i) {
        try {
            workers.emplace_back(runWorker, std::ref(task));
        } catch (...) {
            markFailed(task);
            break;
        }
    }
    for (auto& worker : workers) worker.join();
}

struct Probe {
    std::int64_t size = 0;
    std::string url;  // after redirects
};

// A GET with the download's headers, abandoned at its first body byte: its Content-Length is
// the size of the very representation the range requests cut, which a HEAD answer (often
// refused or answered differently by signed or dynamic addresses) does not promise.
std::optional<Probe> probeSize(Task& task) {
    auto headers = downloadHeaderList("");
    if (!headers) return std::nullopt;
    auto handle = newRequest(task.url, headers->get());
    if (!handle) return std::nullopt;
    CURL* h = handle.get();
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, +[](char*, std::size_t, std::size_t, void*) -> std::size_t { return 0; });
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, abortOnStop);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &task);
    CURLcode result = curl_easy_perform(h);
    if (result != CURLE_OK && result != CURLE_WRITE_ERROR) return std::nullopt;
    long status = 0;
    curl_off_t length = -1;
    char* effective = nullptr;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_getinfo(h, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    curl_easy_getinfo(h, CURLINFO_EFFECTIVE_URL, &effective);
    if (status != 200 || length <= 0) return std::nullopt;
    return Probe{static_cast<std::int64_t>(length), effective ? effective : task.url};
}

void endWithoutReport(Task& task) {
    std::lock_guard lock(task.lock);
    task.ended = true;
}

// The file is complete when nothing failed or stopped and every byte arrived; only then does
// it take the target's name.
void finish(Task& task, const std::string& target, const std::string& part) {
    int state;
    bool complete;
    {
        std::lock_guard lock(task.lock);
        task.ended = true;
        state = task.state;
        complete = state != kFailed && state != kStopRequested && task.bytesDone == task.totalSize;
    }
    if (close(task.fd) != 0) complete = false;
    task.fd = -1;
    if (state == kStopRequested) {
        unlink(part.c_str());
        return;
    }
    if (complete && rename(part.c_str(), target.c_str()) == 0) {
        report(task, 0, task.totalSize, task.totalSize);
        return;
    }
    unlink(part.c_str());
    report(task, -1, 0, 0);
}

void runDownload(Task& task) {
    auto probe = probeSize(task);
    std::string target = probe ? resolveTarget(task.targetPath, probe->url) : "";
    if (target.empty()) return endWithoutReport(task);
    std::string part = target + ".part";
    int fd = open(part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return endWithoutReport(task);
    if (ftruncate(fd, static_cast<off_t>(probe->size)) != 0) {
        close(fd);
        unlink(part.c_str());
        return endWithoutReport(task);
    }
    task.fd = fd;
    task.totalSize = probe->size;
    task.blockCount = blockCountFor(probe->size);
    runWorkers(task, static_cast<int>(std::min<std::int64_t>(task.threadCount, task.blockCount)));
    finish(task, target, part);
}

void runControl(Task& task) noexcept {
    if (!runGuarded("download", [&task] { runDownload(task); })) endWithoutReport(task);
    task.finished = true;
}

}  // namespace

SegmentedDownloader::SegmentedDownloader() { ensureCurlGlobalInit(); }

SegmentedDownloader::~SegmentedDownloader() {
    stopAll();
    std::vector<std::shared_ptr<Task>> tasks;
    {
        std::lock_guard lock(mutex_);
        tasks = tasks_;
    }
    for (auto& task : tasks)
        if (task->control.joinable()) task->control.join();
}

void SegmentedDownloader::start(const std::string& url, const std::string& targetPath, int threadCount,
                                ProgressCallback callback) {
    auto task = std::make_shared<Task>();
    task->url = url;
    task->targetPath = targetPath;
    task->threadCount = std::max(1, threadCount);
    task->callback = std::move(callback);
    std::lock_guard lock(mutex_);
    joinEndedTasks();
    tasks_.push_back(task);
    task->index = static_cast<int>(tasks_.size());
    try {
        task->control = std::thread(runControl, std::ref(*task));
    } catch (...) {
        endWithoutReport(*task);
    }
}

void SegmentedDownloader::joinEndedTasks() {
    for (auto& task : tasks_)
        if (task->finished && task->control.joinable()) task->control.join();
}

std::shared_ptr<SegmentedDownloader::Task> SegmentedDownloader::task(int taskIndex) const {
    std::lock_guard lock(mutex_);
    if (taskIndex < 1 || taskIndex > static_cast<int>(tasks_.size())) return nullptr;
    return tasks_[taskIndex - 1];
}

int SegmentedDownloader::taskCount() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(tasks_.size());
}

namespace {

// pause: running -> paused; resume: paused -> running; stop: running or paused -> stop.
// Failed, stopped and ended tasks stay as they are.
void changeState(Task& task, int wanted) {
    std::lock_guard lock(task.lock);
    if (task.ended) return;
    int now = task.state;
    bool allowed = (wanted == kPaused && now == kRunning) || (wanted == kRunning && now == kPaused) ||
                   (wanted == kStopRequested && (now == kRunning || now == kPaused));
    if (!allowed) return;
    task.state = wanted;
    task.changed.notify_all();
}

}  // namespace

void SegmentedDownloader::pause(int taskIndex) {
    if (auto t = task(taskIndex)) changeState(*t, kPaused);
}

void SegmentedDownloader::resume(int taskIndex) {
    if (auto t = task(taskIndex)) changeState(*t, kRunning);
}

void SegmentedDownloader::stop(int taskIndex) {
    if (auto t = task(taskIndex)) changeState(*t, kStopRequested);
}

void SegmentedDownloader::stopAll() {
    for (int i = 1, n = taskCount(); i <= n; ++i) stop(i);
}

}  // namespace clipmill::net
