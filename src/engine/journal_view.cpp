#include "engine/journal_view.h"

#include <fstream>
#include <tuple>

#include "browser/failure_reason.h"

namespace clipmill {

namespace {

std::string reasonShown(const JournalEntry& entry) {
    if (entry.event == kEventSubmitted) return entry.bvid.empty() ? entry.evidence : entry.evidence + "（" + entry.bvid + "）";
    return entry.reasonText.empty() ? failureText(entry.reason) : entry.reasonText;
}

}  // namespace

bool markDecided(std::vector<JournalRow>& rows, std::size_t firstNew) {
    using VideoKey = std::tuple<std::string, long long, long long>;
    std::map<VideoKey, std::vector<std::size_t>> undecided;
    bool changedEarlier = false;
    auto keyOf = [&rows](std::size_t i) {
        const VideoIdentity& video = rows[i].file;
        return VideoKey{video.path, video.size, video.mtimeNs};
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].undecided) {
            undecided[keyOf(i)].push_back(i);
            continue;
        }
        if (i < firstNew || undecided.empty()) continue;
        auto it = undecided.find(keyOf(i));
        if (it == undecided.end()) continue;
        for (std::size_t open : it->second) {
            rows[open].undecided = false;
            rows[open].result = rows[i].failed ? "待核实→未发布" : "待核实→已发布";
            changedEarlier = changedEarlier || open < firstNew;
        }
        undecided.erase(it);
    }
    return changedEarlier;
}

void appendJournalRows(const std::vector<JournalEntry>& entries, std::vector<JournalRow>& rows) {
    const std::size_t first = rows.size();
    for (const JournalEntry& entry : entries) {
        const bool failed = entry.event == kEventFailed;
        const bool unknown = entry.event == kEventUnknown;
        if (!failed && !unknown && entry.event != kEventSubmitted) continue;
        JournalRow row;
        row.time = entry.time;
        row.accountId = entry.accountId;
        row.nickname = entry.nickname;
        row.video = std::filesystem::u8path(entry.video.path).filename().string();
        row.title = entry.title;
        row.failed = failed;
        row.published = entry.event == kEventSubmitted;
        row.undecided = unknown;
        row.result = failed ? "上传失败" : unknown ? "待核实" : "已发布";
        row.reason = reasonShown(entry);
        row.recordFolder = entry.recordFolder;
        row.file = entry.video;
        rows.push_back(std::move(row));
    }
    markDecided(rows, first);
}

std::string rowDay(const JournalRow& row) { return row.time.substr(0, 10); }

std::map<std::string, int> publishedOn(const std::vector<JournalRow>& rows, const std::string& day) {
    std::map<std::string, int> counts;
    for (const JournalRow& row : rows)
        if (row.published && rowDay(row) == day) ++counts[row.accountId];
    return counts;
}

std::vector<JournalEntry> JournalFollower::readNew() {
    std::vector<JournalEntry> entries;
    restarted_ = false;
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(file_, ec);
    if (ec) return entries;
    if (size < offset_) {
        offset_ = 0;
        restarted_ = true;
    }
    if (size == offset_) return entries;
    std::ifstream in(file_, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(offset_));
    std::string chunk(static_cast<std::size_t>(size - offset_), '\0');
    in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    chunk.resize(static_cast<std::size_t>(in.gcount()));
    const std::size_t end = chunk.rfind('\n');
    if (end == std::string::npos) return entries;
    std::size_t start = 0;
    while (start <= end) {
        const std::size_t newline = chunk.find('\n', start);
        if (newline > start) {
            if (auto entry = parseJournalLine(chunk.substr(start, newline - start))) entries.push_back(std::move(*entry));
        }
        start = newline + 1;
    }
    offset_ += end + 1;
    return entries;
}

}  // namespace clipmill
