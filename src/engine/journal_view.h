#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "engine/publication_journal.h"

namespace clipmill {

// One publication's outcome as the "发布记录" page lists it.
struct JournalRow {
    std::string time;
    std::string accountId;
    std::string nickname;
    std::string video;  // file name
    std::string title;
    std::string result;  // "已发布", "上传失败" or "待核实"
    std::string reason;  // a failure's reason; a publication's evidence and the site's number
    std::string recordFolder;
    bool failed = false;
    bool published = false;  // the site has it (a "submitted" line)
    bool undecided = false;  // an unknown outcome nothing has decided since
    VideoIdentity file;      // the video file the line names
};

// The rows of the outcomes among `entries` (published, failed, unknown), in journal order,
// after `rows`; unknown rows they decide are marked so (see markDecided).
void appendJournalRows(const std::vector<JournalEntry>& entries, std::vector<JournalRow>& rows);

// Marks as decided each unknown row that an outcome of the same video from `firstNew` on
// follows. True when a row before `firstNew` changed.
bool markDecided(std::vector<JournalRow>& rows, std::size_t firstNew);

// The day of a row, "2024-05-01".
std::string rowDay(const JournalRow& row);

// Published count per account id on `day`.
std::map<std::string, int> publishedOn(const std::vector<JournalRow>& rows, const std::string& day);

// Reads a journal file as it grows: each call gives the whole lines added since the last
// one. A line still being written stays for the next call; a file that was replaced by a
// shorter one is read again from its start.
class JournalFollower {
public:
    explicit JournalFollower(std::filesystem::path file) : file_(std::move(file)) {}
    std::vector<JournalEntry> readNew();
    // True when the last readNew started the file over.
    bool restarted() const { return restarted_; }

private:
    std::filesystem::path file_;
    std::uintmax_t offset_ = 0;
    bool restarted_ = false;
};

}  // namespace clipmill
