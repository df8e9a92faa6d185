#pragma once

#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

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

// The events of a publication, in the order they happen.
inline constexpr const char* kEventSubmitting = "submitting";  // about to click submit
inline constexpr const char* kEventSubmitted = "submitted";    // the page left the upload page
inline constexpr const char* kEventDisposed = "disposed";      // the file was moved or deleted
inline constexpr const char* kEventFailed = "failed";          // not published; `reason` says why

// Reason words of a failed publication.
inline constexpr const char* kFailStopped = "stopped";
inline constexpr const char* kFailGivenUp = "given_up";
inline constexpr const char* kFailBanned = "banned";
inline constexpr const char* kFailBrowserGone = "browser_gone";
inline constexpr const char* kFailNoVideo = "no_video";
inline constexpr const char* kFailUploadStalled = "upload_stalled";
inline constexpr const char* kFailSubmitRefused = "submit_refused";
inline constexpr const char* kFailElementMissing = "element_missing";
inline constexpr const char* kFailTooFrequent = "too_frequent";
inline constexpr const char* kFailVerification = "verification";

struct JournalEntry {
    std::string event;
    std::string time;  // local time, "2024-05-01 13:04:05"; filled in on append when empty
    std::string accountId;
    std::string nickname;
    VideoIdentity video;
    std::string title;
    std::string zone;
    std::string subZone;
    std::string landedAddress;  // submitting: the upload page's address after it loaded
    std::string reason;         // failed only
    std::string reasonText;     // failed only: what the user was shown
    std::string recordFolder;   // failed or submitted: the failure record written for it, if any
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

private:
    std::filesystem::path file_;
    mutable std::mutex mutex_;
};

std::string journalLine(const JournalEntry& entry);
std::optional<JournalEntry> parseJournalLine(const std::string& line);

// The publications that are not closed yet: for each video whose last event is
// "submitting" (the site may or may not have it) or "submitted" (the site has it, the file
// is still to be disposed of), that last entry, in journal order.
std::vector<JournalEntry> openPublications(const std::vector<JournalEntry>& entries);

}  // namespace clipmill
