#pragma once

#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "browser/failure_reason.h"

namespace clipmill {

// A video file as it was when it was published: a file at the same path with another size
// or modification time is another video.
struct VideoIdentity {
    std::string path;
    long long size = -1;
    long long mtimeNs = 0;

    bool operator==(const VideoIdentity&) const = default;
};

// The identity of the file at `path` now, or nothing when there is no regular file there.
std::optional<VideoIdentity> identifyVideo(const std::string& path);

// The seconds since 1970 of a journal time ("2024-05-01 13:04:05", local), or 0.
long long epochOfLocalTime(const std::string& time);

// The events of a publication, in the order they happen.
inline constexpr const char* kEventSubmitting = "submitting";  // about to click submit
inline constexpr const char* kEventSubmitted = "submitted";    // proven: the site has the video
inline constexpr const char* kEventUnknown = "unknown";        // a submit went out, its answer was not seen
inline constexpr const char* kEventDisposed = "disposed";      // the file was moved or deleted
inline constexpr const char* kEventFailed = "failed";          // not published; `reason` says why

struct JournalEntry {
    std::string event;
    std::string time;  // local time, "2024-05-01 13:04:05"; filled in on append when empty
    std::string accountId;
    std::string nickname;
    VideoIdentity video;
    std::string title;
    std::string zone;
    std::string subZone;
    long long epoch = 0;        // the same moment in seconds since 1970; filled in on append when 0
                                // (lines of older versions have none: see epochOfLocalTime)
    std::string landedAddress;  // submitting: the upload page's address after it loaded
    std::string tabId;          // submitting: the browser tab the submit was clicked in
    long long submittingEpoch = 0;  // after a submitting entry: when that submit was made
    std::string evidence;       // submitted: what proved it; unknown: what was seen last
    std::string aid;            // submitted: the site's numbers for the video, when it gave them
    std::string bvid;
    std::string siteMessage;    // failed: the site's own words, when it answered
    std::string reason;         // failed only
    std::string reasonText;     // failed only: what the user was shown
    std::string recordFolder;   // failed or submitted: the failure record written for it, if any
};

// The publications that are not closed yet, kept current one event at a time: for each video
// whose last event is "submitting" or "unknown" (the site may or may not have it: the video is
// held back until that is decided) or "submitted" (the site has it, the file is still to be
// disposed of), that last entry.
class OpenPublications {
public:
    // The next event, in journal order.
    void apply(const JournalEntry& entry);
    // The open entries in the order they were written.
    std::vector<JournalEntry> list() const;
    // The open entry of this very file, if any.
    const JournalEntry* find(const VideoIdentity& video) const;
    std::size_t undecidedCount() const;

private:
    using VideoKey = std::tuple<std::string, long long, long long>;
    static VideoKey keyOf(const VideoIdentity& video) { return {video.path, video.size, video.mtimeNs}; }

    std::map<VideoKey, std::pair<std::size_t, JournalEntry>> open_;
    std::size_t next_ = 0;
};

// The publication journal: one JSON object a line, appended and flushed to disk before the
// caller goes on, so that what it says survives a crash or a power cut at any moment.
class PublicationJournal {
public:
    explicit PublicationJournal(std::filesystem::path file) : file_(std::move(file)) {}

    const std::filesystem::path& file() const { return file_; }
    // False when the line could not be written and flushed.
    bool append(JournalEntry entry);
    // Every entry in order. A line that is not a whole entry (a write cut short by a crash)
    // is left out.
    std::vector<JournalEntry> read() const;
    // The publications still open: the file is read once, then kept current by append.
    std::vector<JournalEntry> openPublications() const;
    // The open publication of this very file, if any.
    std::optional<JournalEntry> openPublicationOf(const VideoIdentity& video) const;
    // Whether the file at `path` waits for its outcome to be decided: it is neither offered
    // nor disposed of until then.
    bool heldBack(const std::string& path) const;
    // How many videos wait so.
    std::size_t heldBackCount() const;

private:
    std::vector<JournalEntry> readLocked() const;
    const OpenPublications& openLocked() const;

    std::filesystem::path file_;
    mutable std::mutex mutex_;
    mutable std::optional<OpenPublications> open_;
};

std::string journalLine(const JournalEntry& entry);
std::optional<JournalEntry> parseJournalLine(const std::string& line);

// Whether the site may or may not have this publication: nobody knows yet.
bool undecided(const JournalEntry& open);

// The publications of these entries that are not closed yet, in journal order.
std::vector<JournalEntry> openPublications(const std::vector<JournalEntry>& entries);

}  // namespace clipmill
