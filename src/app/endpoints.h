#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "browser/site_addresses.h"

namespace clipmill {

// The site addresses: the compiled-in defaults, each overridden by data/endpoints.ini next
// to the program when it names one (section [site], keys upload and login).
SiteAddresses loadSiteAddresses(const std::filesystem::path& programDir);

// Every other outside address. All default to empty, which switches the feature that uses
// the address off without a request, a prompt or a wait.
struct OutsideAddresses {
    std::vector<std::string> updateServers;  // [update] servers: base URLs A|B|C, each ending in "/"
    std::string productFolder;               // [update] product
    std::string reportEndpoint;              // [report] endpoint
    std::string reportTarget;                // [report] target
    std::string quoteUrl;                    // [quote] url
    std::string makerSite;                   // [maker] site
    std::string ipEcho;                      // [redial] ipecho
};

OutsideAddresses loadOutsideAddresses(const std::filesystem::path& programDir);

}  // namespace clipmill
