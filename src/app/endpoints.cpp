#include "app/endpoints.h"

#include "settings/ini_file.h"

namespace clipmill {

SiteAddresses loadSiteAddresses(const std::filesystem::path& programDir) {
    SiteAddresses addresses = defaultSiteAddresses();
    const IniFile ini = IniFile::load(programDir / "data" / "endpoints.ini");
    addresses.uploadPage = ini.value("site", "upload", addresses.uploadPage);
    addresses.loginPage = ini.value("site", "login", addresses.loginPage);
    return addresses;
}

}  // namespace clipmill
