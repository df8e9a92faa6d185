// Loads a publication journal of 100,000 lines the way the "发布记录" page does (read the
// file, parse each line, make the rows) and reports the time, the median of five rounds,
// against the goal of one second. Then appends 100 lines and times following them, and the
// run's question before every video, whether it is held back by an open publication: the
// first question reads the file, every later one is a lookup.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "engine/journal_view.h"

namespace fs = std::filesystem;
using namespace clipmill;

namespace {

constexpr int kLines = 100000;
constexpr int kRounds = 5;

JournalEntry sampleEntry(int i) {
    static const char* const events[] = {kEventSubmitting, kEventSubmitted, kEventDisposed, kEventFailed};
    if (i % 1000 == 999) {  // now and then a submit whose answer was not seen
        JournalEntry unknown;
        unknown.event = kEventUnknown;
        unknown.time = "2024-05-01 13:04:05";
        unknown.accountId = "100";
        unknown.video = {"/home/user/视频/素材/未知" + std::to_string(i) + ".mp4", 1, 1};
        unknown.title = "未知";
        return unknown;
    }
    JournalEntry entry;
    entry.event = events[i % 4];
    entry.time = "2024-05-" + std::to_string(1 + (i / 4000) % 28) + " 13:04:05";
    if (entry.time.size() == 18) entry.time.insert(8, "0");
    entry.accountId = std::to_string(100 + i % 12);
    entry.nickname = "账号" + entry.accountId;
    entry.video = {"/home/user/视频/素材/第" + std::to_string(i / 4) + "集.mp4", 123456789, 1700000000000000000};
    if (entry.event == std::string(kEventSubmitted)) {
        entry.title = "今天的标题第" + std::to_string(i / 4) + "集";
        entry.zone = "生活";
        entry.subZone = "日常";
    }
    if (entry.event == std::string(kEventFailed)) {
        entry.reason = kFailUploadStalled;
        entry.reasonText = "上传停在37%";
    }
    return entry;
}

double loadMs(const fs::path& file, std::size_t& rows) {
    const auto start = std::chrono::steady_clock::now();
    JournalFollower follower(file);
    std::vector<JournalRow> loaded;
    appendJournalRows(follower.readNew(), loaded);
    rows = loaded.size();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

long peakRssKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    return 0;
}

}  // namespace

int main() {
    const fs::path file = fs::temp_directory_path() / ("journal_load_" + std::to_string(::getpid()) + ".jsonl");
    {
        std::ofstream out(file, std::ios::binary);
        for (int i = 0; i < kLines; ++i) out << journalLine(sampleEntry(i)) << '\n';
    }
    std::vector<double> times;
    std::size_t rows = 0;
    for (int r = 0; r < kRounds; ++r) times.push_back(loadMs(file, rows));
    std::sort(times.begin(), times.end());
    const double median = times[kRounds / 2];

    std::error_code ec;
    JournalFollower follower(file);
    follower.readNew();
    {
        std::ofstream out(file, std::ios::binary | std::ios::app);
        for (int i = 0; i < 100; ++i) out << journalLine(sampleEntry(i)) << '\n';
    }
    const auto start = std::chrono::steady_clock::now();
    const std::size_t followed = follower.readNew().size();
    const double followMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    // The run asks this of a real file before each video; one that exists, not in the journal.
    const fs::path video = file.parent_path() / ("journal_load_video_" + std::to_string(::getpid()) + ".mp4");
    std::ofstream(video, std::ios::binary) << "video";
    PublicationJournal journal(file);
    const auto firstStart = std::chrono::steady_clock::now();
    bool held = journal.heldBack(video.string());
    const double firstLookupMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - firstStart).count();
    constexpr int kLookups = 10000;
    const auto lookupsStart = std::chrono::steady_clock::now();
    for (int k = 0; k < kLookups; ++k) held = journal.heldBack(video.string()) || held;
    const double lookupUs =
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - lookupsStart).count() / kLookups;
    const std::size_t undecided = journal.heldBackCount();
    fs::remove(video, ec);
    const double peakMb = peakRssKiB() / 1024.0;

    std::printf("journal of %d lines, %zu rows on the page\n", kLines, rows);
    std::printf("load (read, parse, rows), median of %d  %8.1f ms\n", kRounds, median);
    std::printf("follow 100 appended lines             %8.2f ms (%zu entries)\n", followMs, followed);
    std::printf("held-back question, first (reads the file) %8.1f ms\n", firstLookupMs);
    std::printf("held-back question, each later one        %8.2f us (%zu held back)\n", lookupUs, undecided);
    std::printf("peak RSS of this program (VmHWM)       %8.1f MB\n", peakMb);
    fs::remove(file, ec);
    const bool met = median < 1000 && followed == 100 && lookupUs < 100 && !held;
    std::printf("summary: load_ms=%.0f goal<1000 followed_lines=%zu goal==100 open_lookup_us=%.1f goal<100 %s\n",
                median, followed, lookupUs, met ? "met" : "not met");
    return met ? 0 : 1;
}
