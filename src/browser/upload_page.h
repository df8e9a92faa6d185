#pragma once

#include <filesystem>
#include <optional>

#include "browser/page_work.h"
#include "browser/publication.h"

namespace clipmill {

// Publishes one job on the site's upload page by working its elements as a person would,
// step after step of the page layout, and settles what came of it.
class UploadPage final : public Publisher {
public:
    // `profiles` gives the page facts, read again before each publication (the built-in ones
    // when null); failure records go under `recordsRoot` (none when it is empty).
    UploadPage(PageTools tools, const PageLayout& layout, PageProfileSource* profiles = nullptr,
               std::filesystem::path recordsRoot = {});

    PublishOutcome publish(const UploadJob& job, PublishContext& context) override;

private:
    PublishOutcome carryOut(PageWork& work);
    std::optional<PublishOutcome> confirmIdentity(PageWork& work);
    PublishOutcome notPublished(PageWork& work, bool gaveUp = false);
    void writeRecord(PageWork& work, PublishOutcome& outcome);

    PageTools tools_;
    const PageLayout& layout_;
    PageProfileSource* profiles_;
    std::filesystem::path recordsRoot_;
};

}  // namespace clipmill
