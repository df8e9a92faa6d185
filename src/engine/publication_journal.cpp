#include "engine/publication_journal.h"

#include <fcntl.h>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>
#include <sstream>

#include "support/atomic_file.h"

namespace clipmill {

namespace {

std::string localTimeText(std::time_t now) {
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

std::string stringMember(const rapidjson::Value& object, const char* name) {
    auto it = object.FindMember(name);
    return it != object.MemberEnd() && it->value.IsString() ? it->value.GetString() : std::string();
}

long long integerMember(const rapidjson::Value& object, const char* name, long long otherwise) {
    auto it = object.FindMember(name);
    return it != object.MemberEnd() && it->value.IsInt64() ? it->value.GetInt64() : otherwise;
}

// A line cut short by a crash has no end of line; the next line must not be glued to it.
bool endsWithNewline(int fd) {
    struct stat info {};
    if (fstat(fd, &info) != 0 || info.st_size == 0) return true;
    char last = '\n';
    return pread(fd, &last, 1, info.st_size - 1) == 1 && last == '\n';
}

}  // namespace

std::optional<VideoIdentity> identifyVideo(const std::string& path) {
    struct stat info {};
    if (path.empty() || stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    return VideoIdentity{path, static_cast<long long>(info.st_size),
                         static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec};
}

std::string journalLine(const JournalEntry& entry) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> json(buffer);
    auto text = [&json](const char* name, const std::string& value) {
        json.Key(name);
        json.String(value.c_str(), static_cast<rapidjson::SizeType>(value.size()));
    };
    auto textIfAny = [&text](const char* name, const std::string& value) {
        if (!value.empty()) text(name, value);
    };
    json.StartObject();
    text("event", entry.event);
    text("time", entry.time);
    text("account", entry.accountId);
    textIfAny("nickname", entry.nickname);
    text("video", entry.video.path);
    json.Key("size");
    json.Int64(entry.video.size);
    json.Key("mtime_ns");
    json.Int64(entry.video.mtimeNs);
    if (entry.event == kEventSubmitted || entry.event == kEventSubmitting || entry.event == kEventUnknown) {
        text("title", entry.title);
        text("zone", entry.zone);
        text("sub_zone", entry.subZone);
    }
    if (entry.epoch != 0) {
        json.Key("epoch");
        json.Int64(entry.epoch);
    }
    if (entry.submittingEpoch != 0) {
        json.Key("submitting_epoch");
        json.Int64(entry.submittingEpoch);
    }
    textIfAny("landed", entry.landedAddress);
    textIfAny("tab", entry.tabId);
    textIfAny("evidence", entry.evidence);
    textIfAny("aid", entry.aid);
    textIfAny("bvid", entry.bvid);
    textIfAny("site_message", entry.siteMessage);
    textIfAny("reason", entry.reason);
    textIfAny("reason_text", entry.reasonText);
    textIfAny("record", entry.recordFolder);
    json.EndObject();
    return buffer.GetString();
}

std::optional<JournalEntry> parseJournalLine(const std::string& line) {
    rapidjson::Document doc;
    doc.Parse(line.c_str(), line.size());
    if (doc.HasParseError() || !doc.IsObject()) return std::nullopt;
    JournalEntry entry;
    entry.event = stringMember(doc, "event");
    entry.video.path = stringMember(doc, "video");
    entry.video.size = integerMember(doc, "size", -1);
    entry.video.mtimeNs = integerMember(doc, "mtime_ns", 0);
    if (entry.event.empty() || entry.video.path.empty()) return std::nullopt;
    entry.time = stringMember(doc, "time");
    entry.accountId = stringMember(doc, "account");
    entry.nickname = stringMember(doc, "nickname");
    entry.title = stringMember(doc, "title");
    entry.zone = stringMember(doc, "zone");
    entry.subZone = stringMember(doc, "sub_zone");
    entry.epoch = integerMember(doc, "epoch", 0);
    entry.submittingEpoch = integerMember(doc, "submitting_epoch", 0);
    entry.landedAddress = stringMember(doc, "landed");
    entry.tabId = stringMember(doc, "tab");
    entry.evidence = stringMember(doc, "evidence");
    entry.aid = stringMember(doc, "aid");
    entry.bvid = stringMember(doc, "bvid");
    entry.siteMessage = stringMember(doc, "site_message");
    entry.reason = stringMember(doc, "reason");
    entry.reasonText = stringMember(doc, "reason_text");
    entry.recordFolder = stringMember(doc, "record");
    return entry;
}

long long epochOfLocalTime(const std::string& time) {
    std::tm local{};
    local.tm_isdst = -1;
    if (std::sscanf(time.c_str(), "%d-%d-%d %d:%d:%d", &local.tm_year, &local.tm_mon, &local.tm_mday, &local.tm_hour,
                    &local.tm_min, &local.tm_sec) != 6)
        return 0;
    local.tm_year -= 1900;
    local.tm_mon -= 1;
    const std::time_t seconds = std::mktime(&local);
    return seconds == static_cast<std::time_t>(-1) ? 0 : static_cast<long long>(seconds);
}

bool PublicationJournal::append(JournalEntry entry) {
    if (entry.epoch == 0) entry.epoch = static_cast<long long>(std::time(nullptr));
    if (entry.time.empty()) entry.time = localTimeText(static_cast<std::time_t>(entry.epoch));
    const std::string line = journalLine(entry) + "\n";
    std::lock_guard lock(mutex_);
    std::error_code ec;
    std::filesystem::create_directories(file_.parent_path(), ec);
    const bool existed = std::filesystem::exists(file_, ec);
    const int fd = ::open(file_.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    bool ok = endsWithNewline(fd) || writeFully(fd, "\n");
    ok = ok && writeFully(fd, line) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!existed) syncFolder(file_.parent_path());
    if (ok && open_) open_->apply(entry);
    return ok;
}

std::vector<JournalEntry> PublicationJournal::read() const {
    std::lock_guard lock(mutex_);
    return readLocked();
}

std::vector<JournalEntry> PublicationJournal::readLocked() const {
    std::vector<JournalEntry> entries;
    const std::optional<std::string> content = readWholeFile(file_);
    if (!content) return entries;
    std::istringstream lines(*content);
    for (std::string line; std::getline(lines, line);)
        if (auto entry = parseJournalLine(line)) entries.push_back(std::move(*entry));
    return entries;
}

const OpenPublications& PublicationJournal::openLocked() const {
    if (!open_) {
        open_.emplace();
        for (const JournalEntry& entry : readLocked()) open_->apply(entry);
    }
    return *open_;
}

std::vector<JournalEntry> PublicationJournal::openPublications() const {
    std::lock_guard lock(mutex_);
    return openLocked().list();
}

std::optional<JournalEntry> PublicationJournal::openPublicationOf(const VideoIdentity& video) const {
    std::lock_guard lock(mutex_);
    const JournalEntry* open = openLocked().find(video);
    return open ? std::optional<JournalEntry>(*open) : std::nullopt;
}

bool PublicationJournal::heldBack(const std::string& path) const {
    const std::optional<VideoIdentity> video = identifyVideo(path);
    if (!video) return false;
    std::lock_guard lock(mutex_);
    const JournalEntry* open = openLocked().find(*video);
    return open && undecided(*open);
}

std::size_t PublicationJournal::heldBackCount() const {
    std::lock_guard lock(mutex_);
    return openLocked().undecidedCount();
}

bool undecided(const JournalEntry& open) { return open.event == kEventSubmitting || open.event == kEventUnknown; }

void OpenPublications::apply(const JournalEntry& entry) {
    const std::size_t order = next_++;
    auto it = open_.find(keyOf(entry.video));
    const bool published = it != open_.end() && it->second.second.event == kEventSubmitted;
    if (entry.event == kEventSubmitting || entry.event == kEventUnknown || entry.event == kEventSubmitted) {
        if (!published) open_[keyOf(entry.video)] = {order, entry};
    } else if (entry.event == kEventDisposed || (entry.event == kEventFailed && !published)) {
        // A failure reported after the site had the video cannot undo its publication.
        if (it != open_.end()) open_.erase(it);
    }
}

std::vector<JournalEntry> OpenPublications::list() const {
    std::vector<const std::pair<std::size_t, JournalEntry>*> order;
    for (const auto& [key, open] : open_) order.push_back(&open);
    std::sort(order.begin(), order.end(), [](auto* a, auto* b) { return a->first < b->first; });
    std::vector<JournalEntry> entries;
    for (auto* open : order) entries.push_back(open->second);
    return entries;
}

const JournalEntry* OpenPublications::find(const VideoIdentity& video) const {
    auto it = open_.find(keyOf(video));
    return it == open_.end() ? nullptr : &it->second.second;
}

std::size_t OpenPublications::undecidedCount() const {
    return static_cast<std::size_t>(
        std::count_if(open_.begin(), open_.end(), [](const auto& item) { return undecided(item.second.second); }));
}

std::vector<JournalEntry> openPublications(const std::vector<JournalEntry>& entries) {
    OpenPublications open;
    for (const JournalEntry& entry : entries) open.apply(entry);
    return open.list();
}

}  // namespace clipmill
