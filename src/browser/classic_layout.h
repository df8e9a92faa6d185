#pragma once

#include "browser/page_work.h"

namespace clipmill {

// The upload page as the site served it for years: file, original or repost, zone and
// sub-zone, tags, cover, description, upload progress, title, then a submit that leaves
// the page.
const PageLayout& classicLayout();

}  // namespace clipmill
