#include "app/endpoints.h"

#include "settings/ini_file.h"

namespace clipmill {

namespace {

IniFile loadEndpointsFile(const std::filesystem::path& programDir) {
    return IniFile::load(programDir / "data" / "endpoints.ini");
}

std::vector<std::string> splitServers(const std::string& text) {
    std::vector<std::string> servers;
    std::size_t start = 0;
    while (start <= text.size()) {
        const auto bar = text.find('|', start);
        const std::string server = text.substr(start, bar == std::string::npos ? std::string::npos : bar - start);
        if (!server.empty()) servers.push_back(server);
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    return servers;
}

}  // namespace

SiteAddresses loadSiteAddresses(const std::filesystem::path& programDir) {
    SiteAddresses addresses = defaultSiteAddresses();
    const IniFile ini = loadEndpointsFile(programDir);
    addresses.uploadPage = ini.value("site", "upload", addresses.uploadPage);
    addresses.loginPage = ini.value("site", "login", addresses.loginPage);
    // A file that moves the upload page elsewhere (a practice site, a mirror) and names no
    // identity or submissions address turns those checks off rather than ask the real site.
    const bool ownSite = !ini.value("site", "upload", "").empty();
    addresses.identity = ini.value("site", "identity", ownSite ? std::string() : addresses.identity);
    addresses.archives = ini.value("site", "archives", ownSite ? std::string() : addresses.archives);
    return addresses;
}

OutsideAddresses loadOutsideAddresses(const std::filesystem::path& programDir) {
    const IniFile ini = loadEndpointsFile(programDir);
    OutsideAddresses addresses;
    addresses.updateServers = splitServers(ini.value("update", "servers", ""));
    addresses.productFolder = ini.value("update", "product", "");
    addresses.reportEndpoint = ini.value("report", "endpoint", "");
    addresses.reportTarget = ini.value("report", "target", "");
    addresses.quoteUrl = ini.value("quote", "url", "");
    addresses.makerSite = ini.value("maker", "site", "");
    addresses.ipEcho = ini.value("redial", "ipecho", "");
    return addresses;
}

}  // namespace clipmill
