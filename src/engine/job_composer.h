#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/run_services.h"
#include "engine/title_pool.h"
#include "settings/run_settings.h"
#include "settings/window_state.h"

namespace clipmill {

// Replaces each placeholder by its value, pair after pair over the running result, matching
// letters without regard to case; a value put in by one pair is subject to the later pairs.
std::string replaceAll(std::string text, const std::vector<std::pair<std::string, std::string>>& pairs);

// Pieces of a tag text cut at every "+", empty ones kept: what is typed is what was written.
std::vector<std::string> splitAtPlus(const std::string& text);

// Composes each job from the window's settings at the moment it is made: title, tags,
// cover, description, originality and zone. Also places random covers next to videos.
class JobComposerImpl final : public JobComposer {
public:
    using Draw = std::function<int(int, int)>;

    // `titles` is the program's one title pool; `draw` is every random choice here
    // (inclusive bounds), randomInclusive unless a test fixes it.
    JobComposerImpl(WindowState& window, TitlePool& titles, Draw draw = {});

    UploadJob composeJob(const JobAccount& account, const std::string& videoPath) override;
    void giveBack(const UploadJob& job) override;
    // With random covers on, copies one image of the cover folder next to the video under the
    // video's name, unless an image of that name is there already.
    void copyRandomCover(const std::string& videoPath) override;

    // The next title of the pool, refilling it when empty; nothing when the library is empty.
    std::optional<std::string> nextLibraryTitle();
    // Rebuilds the title pool from the library and shows the count in the library's label.
    void refillTitlePool();

private:
    void composeTitle(UploadJob& job);
    void composeTags(UploadJob& job);
    CoverChoice coverFor(const std::string& video);
    std::optional<std::string> description(const UploadJob& job);
    std::pair<int, std::string> chosenItem(const DropDownSetting& list) const;
    std::vector<std::string> readTitleLibrary();
    std::string drawFrom(const std::vector<std::string>& files);

    WindowState& window_;
    RunSettings settings_;
    TitlePool& titles_;
    Draw draw_;
};

}  // namespace clipmill
