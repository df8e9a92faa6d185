#pragma once

#include <optional>
#include <string>
#include <vector>

namespace clipmill {

enum class Originality { SelfMade, Repost };

// Where the job's title came from; the page types it unless the page keeps its own.
enum class TitleSource {
    PageOwn,   // the page's own title, made from the file name, stays untouched
    FileName,  // the file name, with the affixes around it
    Library,   // a title taken from the title library's pool
};

// The cover the page is to end up with.
struct CoverChoice {
    enum class Kind {
        None,    // the page's own cover stays
        File,    // an image file; the system cover at `systemPosition` when it cannot be used
        System,  // the system cover at `systemPosition`
    };
    Kind kind = Kind::None;
    std::string file;
    int systemPosition = 1;  // 1-based among the covers the page offers; fewer offered: the last
};

// One video as it is to be published, composed completely before the browser is touched.
// The page steps carry it out and read nothing else.
struct UploadJob {
    std::string accountId;
    std::string nickname;
    std::string siteId;  // the site's id of the account as it was last seen; "" before its first publication
    std::string video;  // full path

    std::string title;  // what the title field shows at submit; the file's name for PageOwn
    TitleSource titleSource = TitleSource::PageOwn;
    std::string libraryTitle;  // Library: the title as the pool gave it, before the affixes
    std::optional<std::string> description;  // nothing: the description is not filled in

    std::vector<std::string> typedTags;  // typed one by one, each followed by Enter
    int recommendedTags = 0;             // how many of the page's recommended tags are clicked

    Originality originality = Originality::SelfMade;
    std::string repostSource;  // Repost only

    // 0-based indexes into the zone lists, -1 for none, and the names they show.
    int zoneIndex = -1;
    int subZoneIndex = -1;
    std::string zone;
    std::string subZone;

    CoverChoice cover;

    // Filled by the layouts that have them; empty on the classic page.
    std::string creationStatement;
    std::string scheduleTime;  // "YYYY-MM-DD HH:MM", local; empty: publish at once
    std::string collection;
};

}  // namespace clipmill
