#pragma once

#include <filesystem>
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

// Fills the job with tags, cover and description, places random covers next to videos, and
// makes the title, reading the settings at the moment of use.
class JobComposerImpl final : public JobComposer {
public:
    using Draw = std::function<int(int, int)>;

    // `titles` is the program's one title pool; `draw` is every random choice here
    // (inclusive bounds), randomInclusive unless a test fixes it.
    JobComposerImpl(WindowState& window, TitlePool& titles, Draw draw = {});

    // Sets "标签", "封面1" and "简介" from "视频路径" and "昵称".
    void composeJob(UploadJob& job) override;
    // With random covers on, copies one image of the cover folder next to the video under the
    // video's name, unless an image of that name is there already.
    void copyRandomCover(const std::string& videoPath) override;

    // The title to type for the job's video, or nothing when the page's own title stays.
    std::optional<std::string> composeTitle(const UploadJob& job);
    // The next title of the pool, refilling it when empty; nothing when the library is empty.
    std::optional<std::string> nextLibraryTitle();
    // Rebuilds the title pool from the library and shows the count in the library's label.
    void refillTitlePool();

private:
    std::vector<std::string> readTitleLibrary();
    std::string coverFor(const std::string& video);
    std::string description(const UploadJob& job);
    std::string drawFrom(const std::vector<std::string>& files);

    WindowState& window_;
    RunSettings settings_;
    TitlePool& titles_;
    Draw draw_;
};

}  // namespace clipmill
