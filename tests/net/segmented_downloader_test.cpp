#include "net/segmented_downloader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

#include "fixtures/poll_until.h"
#include "fixtures/practice_http_server.h"
#include "fixtures/temp_dir.h"

namespace clipmill::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using net::kBlockSize;
using net::SegmentedDownloader;

struct Report {
    int task;
    int status;
    std::int64_t total;
    std::int64_t done;
};

// Every callback of a downloader, and whether two progress reports ever overlapped.
class Reports {
public:
    net::ProgressCallback callback() {
        return [this](int task, int status, std::int64_t total, std::int64_t done) {
            if (inside_.fetch_add(1) != 0 && status == 1) overlapped_ = true;
            {
                std::lock_guard lock(mutex_);
                all_.push_back({task, status, total, done});
            }
            changed_.notify_all();
            inside_.fetch_sub(1);
        };
    }
    std::optional<Report> waitForFinal(std::chrono::seconds limit = 30s) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, limit, [&] { return finalLocked().has_value(); });
        return finalLocked();
    }
    bool waitForBytes(std::int64_t atLeast) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 30s, [&] { return !all_.empty() && all_.back().done >= atLeast; });
    }
    std::int64_t bytesDone() {
        std::lock_guard lock(mutex_);
        return all_.empty() ? 0 : all_.back().done;
    }
    std::vector<Report> all() {
        std::lock_guard lock(mutex_);
        return all_;
    }
    bool overlapped() const { return overlapped_; }

private:
    std::optional<Report> finalLocked() const {
        for (const auto& r : all_)
            if (r.status != 1) return r;
        return std::nullopt;
    }
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Report> all_;
    std::atomic<int> inside_{0};
    std::atomic<bool> overlapped_{false};
};

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<ReceivedRequest> rangeRequests(const PracticeHttpServer& server, const std::string& path) {
    std::vector<ReceivedRequest> ranged;
    for (auto& r : server.requestsTo(path))
        if (r.has("Range")) ranged.push_back(std::move(r));
    return ranged;
}

// Progress reports rise by the chunks written; the last equals the total and the final
// report 0 repeats it.
void expectFinishedReports(const std::vector<Report>& reports, std::int64_t size) {
    ASSERT_GE(reports.size(), 2u);
    for (std::size_t i = 0; i + 1 < reports.size(); ++i) {
        EXPECT_EQ(reports[i].status, 1);
        EXPECT_EQ(reports[i].total, size);
        EXPECT_LE(reports[i].done, size);
        if (i > 0) EXPECT_GT(reports[i].done, reports[i - 1].done);
    }
    const Report& last = reports[reports.size() - 2];
    const Report& final = reports.back();
    EXPECT_EQ(last.done, size);
    EXPECT_EQ(final.status, 0);
    EXPECT_EQ(final.total, size);
    EXPECT_EQ(final.done, size);
}

TEST(SegmentedDownloader, BlockRangesAndWritePositionsAreSixtyFourBit) {
    EXPECT_EQ(net::blockCountFor(0), 0);
    EXPECT_EQ(net::blockCountFor(1), 1);
    EXPECT_EQ(net::blockCountFor(kBlockSize), 1);
    EXPECT_EQ(net::blockCountFor(kBlockSize + 1), 2);
    EXPECT_EQ(net::blockCountFor(5 * kBlockSize / 2), 3);
    const std::int64_t twoGiB = 2048 * kBlockSize;
    EXPECT_EQ(net::blockCountFor(twoGiB + kBlockSize), 2049);
    EXPECT_EQ(net::blockCountFor(5 * twoGiB + 7), 10241);
    struct Case {
        std::int64_t block;
        std::int64_t first;
        std::int64_t last;
    } cases[] = {
        {1, 0, 1048575},
        {2, 1048576, 2097151},
        {3, 2097152, 3145727},
        {2048, 2146435072, 2147483647},
        {2049, 2147483648, 2148532223},   // the first byte past 2^31
        {4097, 4294967296, 4296015871},   // past 2^32
    };
    for (const auto& c : cases) {
        auto range = net::blockRange(c.block);
        EXPECT_EQ(range.first, c.first) << c.block;
        EXPECT_EQ(range.last, c.last) << c.block;
        EXPECT_EQ(range.last - range.first + 1, kBlockSize);
    }
    // A chunk's place in the file is its block's first byte plus what the block has written.
    EXPECT_EQ(net::blockRange(2049).first + 3 * std::int64_t(net::kReadSize), 2147483648 + 61440);
}

TEST(SegmentedDownloader, ThreeBlocksOnTwoThreadsInOrderAndInParallel) {
    PracticeHttpServer server;
    const std::int64_t size = 5 * kBlockSize / 2;
    server.route("/release.zip", {.patternSize = size, .bytesPerSecond = 2 * kBlockSize});
    TempDir dir;
    auto target = dir.path() / "release.zip";
    Reports reports;
    {
        SegmentedDownloader downloader;
        downloader.start(server.url("/release.zip"), target.string(), 2, reports.callback());
        auto final = reports.waitForFinal();
        ASSERT_TRUE(final);
        EXPECT_EQ(final->task, 1);
    }
    expectFinishedReports(reports.all(), size);
    EXPECT_FALSE(reports.overlapped());
    EXPECT_EQ(readFile(target), patternBytes(0, size));
    EXPECT_FALSE(fs::exists(dir.path() / "release.zip.part"));

    auto ranged = rangeRequests(server, "/release.zip");
    ASSERT_EQ(ranged.size(), 3u);
    std::vector<std::string> lines;
    for (const auto& r : ranged) lines.push_back(r.header("Range"));
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, (std::vector<std::string>{"bytes=0-1048575", "bytes=1048576-2097151", "bytes=2097152-3145727"}));
    auto third = std::find_if(ranged.begin(), ranged.end(), [](auto& r) { return r.header("Range")[6] == '2'; });
    std::vector<ReceivedRequest> firstTwo;
    for (auto& r : ranged)
        if (&r != &*third) firstTwo.push_back(r);
    auto firstEnd = std::min(firstTwo[0].answered, firstTwo[1].answered);
    EXPECT_LT(std::max(firstTwo[0].received, firstTwo[1].received), firstEnd) << "blocks 1 and 2 run together";
    EXPECT_GE(third->received, firstEnd) << "block 3 waits for a free worker";

    for (const auto& r : server.requestsTo("/release.zip")) {
        EXPECT_EQ(r.header("Accept"), "*/*");
        EXPECT_EQ(r.header("Accept-Language"), "zh-cn");
        EXPECT_EQ(r.header("Accept-Encoding"), "gzip, deflate");
        EXPECT_EQ(r.header("User-Agent"), "Mozilla/4.0(compatible; MSIE 6.0; Windows NT 5.0; MyIE2; .NET CLR 1.1.4322)");
    }
}

TEST(SegmentedDownloader, OneBlockTakesOneWorkerWhateverTheThreadCount) {
    PracticeHttpServer server;
    server.servePattern("/one.bin", kBlockSize);
    TempDir dir;
    Reports reports;
    {
        SegmentedDownloader downloader;
        downloader.start(server.url("/one.bin"), (dir.path() / "one.bin").string(), 8, reports.callback());
        ASSERT_TRUE(reports.waitForFinal());
    }
    expectFinishedReports(reports.all(), kBlockSize);
    auto ranged = rangeRequests(server, "/one.bin");
    ASSERT_EQ(ranged.size(), 1u);
    EXPECT_EQ(ranged[0].header("Range"), "bytes=0-1048575");
    EXPECT_EQ(readFile(dir.path() / "one.bin"), patternBytes(0, kBlockSize));
}

TEST(SegmentedDownloader, FailuresLeaveNoFileUnderTheTargetsName) {
    const std::int64_t size = 5 * kBlockSize / 2;
    struct Case {
        const char* name;
        Route route;
        std::optional<int> finalStatus;  // nullopt: a failed start, no report at all
    } cases[] = {
        {"no content length", {.patternSize = size, .contentLength = false}, std::nullopt},
        {"error status", {.status = 404, .contentType = "text/html", .body = "<html>gone</html>"}, std::nullopt},
        {"connection dropped inside block 2", {.patternSize = size, .dropAt = 3 * kBlockSize / 2}, -1},
        {"200 and the whole body for a range", {.patternSize = size, .honourRange = false}, -1},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        PracticeHttpServer server;
        server.route("/release.zip", c.route);
        TempDir dir;
        Reports reports;
        {
            SegmentedDownloader downloader;
            downloader.start(server.url("/release.zip"), (dir.path() / "release.zip").string(), 2, reports.callback());
            if (c.finalStatus) {
                auto final = reports.waitForFinal();
                ASSERT_TRUE(final);
                EXPECT_EQ(final->status, *c.finalStatus);
                EXPECT_EQ(final->total, 0);
                EXPECT_EQ(final->done, 0);
            }
        }  // joins the task's threads
        auto all = reports.all();
        if (!c.finalStatus) EXPECT_TRUE(all.empty());
        if (c.finalStatus) EXPECT_EQ(std::count_if(all.begin(), all.end(), [](auto& r) { return r.status != 1; }), 1);
        EXPECT_TRUE(fs::is_empty(dir.path())) << "neither the target nor its .part is left";
    }
}

TEST(SegmentedDownloader, PauseHoldsTheByteCountAndResumeFinishesTheFile) {
    PracticeHttpServer server;
    const std::int64_t size = 3 * kBlockSize;
    server.route("/release.zip", {.patternSize = size, .bytesPerSecond = kBlockSize});
    TempDir dir;
    Reports reports;
    SegmentedDownloader downloader;
    downloader.start(server.url("/release.zip"), (dir.path() / "release.zip").string(), 2, reports.callback());
    ASSERT_TRUE(reports.waitForBytes(200 * 1024));
    downloader.pause(1);
    std::this_thread::sleep_for(200ms);  // a chunk under way may still land
    auto held = reports.bytesDone();
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(reports.bytesDone(), held);
    EXPECT_LT(held, size);
    downloader.resume(1);
    auto final = reports.waitForFinal();
    ASSERT_TRUE(final);
    EXPECT_EQ(final->status, 0);
    expectFinishedReports(reports.all(), size);
    EXPECT_EQ(readFile(dir.path() / "release.zip"), patternBytes(0, size));
    // The paused blocks were asked for again from where they stood.
    auto ranged = rangeRequests(server, "/release.zip");
    EXPECT_TRUE(std::any_of(ranged.begin(), ranged.end(), [](auto& r) {
        auto first = std::stoll(r.header("Range").substr(6));
        return first % kBlockSize != 0;
    }));
}

TEST(SegmentedDownloader, StopAndDestructionMidDownloadEndQuietly) {
    PracticeHttpServer server;
    const std::int64_t size = 4 * kBlockSize;
    server.route("/release.zip", {.patternSize = size, .bytesPerSecond = kBlockSize / 2});
    for (bool stopFirst : {true, false}) {
        SCOPED_TRACE(stopFirst ? "stop, then destroy" : "destroy while running");
        TempDir dir;
        Reports reports;
        auto began = std::chrono::steady_clock::now();
        {
            SegmentedDownloader downloader;
            downloader.start(server.url("/release.zip"), (dir.path() / "release.zip").string(), 2, reports.callback());
            ASSERT_TRUE(reports.waitForBytes(1));
            downloader.pause(0);  // indexes outside the list are ignored
            downloader.stop(2);
            if (stopFirst) downloader.stop(1);
            began = std::chrono::steady_clock::now();
        }
        EXPECT_LT(std::chrono::steady_clock::now() - began, 5s) << "the threads end without the download";
        auto all = reports.all();
        EXPECT_TRUE(std::all_of(all.begin(), all.end(), [](auto& r) { return r.status == 1; })) << "no final report";
        EXPECT_TRUE(fs::is_empty(dir.path()));
    }
}

TEST(SegmentedDownloader, TasksAreNumberedInStartOrderAndFailedStartsCount) {
    PracticeHttpServer server;
    server.route("/unsized", {.body = "abc", .contentLength = false});
    server.servePattern("/release.zip", 100000);
    TempDir dir;
    Reports reports;
    SegmentedDownloader downloader;
    downloader.start(server.url("/unsized"), (dir.path() / "a.bin").string(), 2, reports.callback());
    downloader.start(server.url("/release.zip"), (dir.path() / "b.zip").string(), 2, reports.callback());
    EXPECT_EQ(downloader.taskCount(), 2);
    auto final = reports.waitForFinal();
    ASSERT_TRUE(final);
    EXPECT_EQ(final->status, 0);
    auto all = reports.all();
    EXPECT_TRUE(std::all_of(all.begin(), all.end(), [](auto& r) { return r.task == 2; }));
    EXPECT_EQ(readFile(dir.path() / "b.zip"), patternBytes(0, 100000));
}

TEST(SegmentedDownloader, FollowsRedirectsAndNamesAFolderTargetAfterTheFile) {
    PracticeHttpServer server;
    server.redirect("/latest", "/files/clipmill-8.9.zip?sig=abc");
    server.servePattern("/files/clipmill-8.9.zip", 3 * kBlockSize / 2);
    TempDir dir;
    Reports reports;
    SegmentedDownloader downloader;
    downloader.start(server.url("/latest"), dir.str(), 2, reports.callback());
    auto final = reports.waitForFinal();
    ASSERT_TRUE(final);
    EXPECT_EQ(final->status, 0);
    EXPECT_EQ(readFile(dir.path() / "clipmill-8.9.zip"), patternBytes(0, 3 * kBlockSize / 2));
}

TEST(SegmentedDownloader, AGzipBodyArrivesAsTheBytesServed) {
    std::string plain;
    for (int i = 0; i < 200000; ++i) plain += std::to_string(i) + ",";
    PracticeHttpServer server;
    server.route("/notes.txt.gz", {.contentType = "text/plain", .body = plain, .gzip = true});
    TempDir dir;
    Reports reports;
    SegmentedDownloader downloader;
    downloader.start(server.url("/notes.txt.gz"), (dir.path() / "notes.txt.gz").string(), 2, reports.callback());
    auto final = reports.waitForFinal();
    ASSERT_TRUE(final);
    EXPECT_EQ(final->status, 0);
    EXPECT_EQ(readFile(dir.path() / "notes.txt.gz"), gzipped(plain));
}

TEST(SegmentedDownloader, AServerThatNeverAnswersDoesNotHoldUpTheDestructor) {
    TempDir dir;
    Reports reports;
    auto server = std::make_unique<PracticeHttpServer>();
    server->route("/release.zip", {.hang = true});
    auto began = std::chrono::steady_clock::now();
    {
        SegmentedDownloader downloader;
        downloader.start(server->url("/release.zip"), (dir.path() / "release.zip").string(), 2, reports.callback());
        ASSERT_TRUE(pollUntil([&] { return !server->requests().empty(); }, 5s, 10ms)) << "no request arrived";
    }
    EXPECT_LT(std::chrono::steady_clock::now() - began, 5s) << "the probe gives up on a stop";
    server.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - began, 10s) << "the held request ends with the server";
    EXPECT_TRUE(reports.all().empty());
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

}  // namespace
}  // namespace clipmill::testing
