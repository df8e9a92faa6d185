#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace clipmill {

// The three kinds of page facts, each a section of data/page.ini.
enum class ProfileKind { Selector, Position, Text };

// One fact about the site's pages the program relies on: its role (the key in page.ini),
// the value it has when the file says nothing, and what it is.
struct ProfileEntry {
    ProfileKind kind;
    const char* role;
    const char* fallback;
    const char* meaning;
};

// Every selector, position and page text of the upload page steps, the browser session and
// the zone refresh, in page order.
const std::vector<ProfileEntry>& pageProfileTable();
const char* profileSection(ProfileKind kind);  // "selectors", "positions", "texts"

// Role names, as the code looks them up.
namespace role {
inline constexpr const char* kOriginality = "originality";
inline constexpr const char* kTitle = "title";
inline constexpr const char* kSource = "source";
inline constexpr const char* kZoneOpener = "zone_opener";
inline constexpr const char* kZone = "zone";
inline constexpr const char* kSubZone = "sub_zone";
inline constexpr const char* kSubZonePanel = "sub_zone_panel";
inline constexpr const char* kTagInput = "tag_input";
inline constexpr const char* kRecommendedTag = "recommended_tag";
inline constexpr const char* kCropConfirm = "crop_confirm";
inline constexpr const char* kCoverHint = "cover_hint";
inline constexpr const char* kCoverLoading = "cover_loading";
inline constexpr const char* kSystemCover = "system_cover";
inline constexpr const char* kDescription = "description";
inline constexpr const char* kPercentage = "percentage";
inline constexpr const char* kUploadState = "upload_state";
inline constexpr const char* kSubmit = "submit";
inline constexpr const char* kVerification = "verification";
inline constexpr const char* kSelfMade = "self_made";
inline constexpr const char* kRepost = "repost";
inline constexpr const char* kZoneOffset = "zone_offset";
inline constexpr const char* kSubZoneOffset = "sub_zone_offset";
inline constexpr const char* kUploadDone = "upload_done";
inline constexpr const char* kPageReady = "page_ready";
inline constexpr const char* kBanned = "banned";
inline constexpr const char* kLoginPage = "login_page";
inline constexpr const char* kTooFrequent = "too_frequent";
inline constexpr const char* kSuccessText = "success_text";
inline constexpr const char* kSubmitRequest = "submit_request";
inline constexpr const char* kAnswerWait = "answer_wait_seconds";
inline constexpr const char* kSubZoneOpening = "sub_zone_opening";
inline constexpr const char* kSubZoneClosing = "sub_zone_closing";
// Not in the table: the file inputs are found by what they accept.
inline constexpr const char* kVideo = "video";
inline constexpr const char* kCoverFile = "cover_file";
}  // namespace role

// The page facts in force: the table's values with those of data/page.ini over them.
class PageProfile {
public:
    // The table's values.
    PageProfile();
    // The table's values with the file's over them. A missing file or key keeps the table's
    // value; a value that cannot be used, or a key the table does not know, is left out and
    // named in problems().
    static PageProfile load(const std::filesystem::path& file);
    static PageProfile fromBytes(std::string_view gbkBytes);

    const std::string& selector(std::string_view role) const;
    // A position, or an offset added to a 0-based list index.
    int position(std::string_view role) const;
    // Whether page.ini sets this position (the source field has no fixed default).
    bool positionGiven(std::string_view role) const;
    const std::string& text(std::string_view role) const;
    // A text that lists alternatives joined by "|", without empty ones.
    std::vector<std::string> alternatives(std::string_view role) const;

    // One line for each value of the file that was ignored, and why.
    const std::vector<std::string>& problems() const { return problems_; }

private:
    void override(ProfileKind kind, const std::string& key, const std::string& value);

    std::map<std::string, std::string, std::less<>> values_[3];
    std::map<std::string, bool, std::less<>> given_;
    std::vector<std::string> problems_;
};

// data/page.ini of a program folder.
std::filesystem::path pageProfilePath(const std::filesystem::path& programDir);

// The profile the browser session and the zone refresh read, and that each publication
// reloads from the file before its first step.
class PageProfileSource {
public:
    explicit PageProfileSource(std::filesystem::path file = {}) : file_(std::move(file)) {}

    // Reads the file again (a missing one gives the table's values) and makes it current.
    std::shared_ptr<const PageProfile> reload();
    std::shared_ptr<const PageProfile> current() const;

private:
    std::filesystem::path file_;
    mutable std::mutex mutex_;
    std::shared_ptr<const PageProfile> current_ = std::make_shared<const PageProfile>();
};

}  // namespace clipmill
