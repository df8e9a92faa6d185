#pragma once

#include <filesystem>

#include "browser/site_addresses.h"

namespace clipmill {

// The site addresses: the compiled-in defaults, each overridden by data/endpoints.ini next
// to the program when it names one (section [site], keys upload and login).
SiteAddresses loadSiteAddresses(const std::filesystem::path& programDir);

}  // namespace clipmill
