#include "catalogue/category_refresh.h"

#include <system_error>

#include "catalogue/category_lists.h"
#include "catalogue/category_tree.h"
#include "support/atomic_file.h"
#include "support/gbk.h"

namespace clipmill {
namespace {

std::shared_ptr<const PageProfile> freshProfile(const CategoryRefreshServices& services) {
    return services.profiles ? services.profiles->reload() : std::make_shared<const PageProfile>();
}

}  // namespace

std::filesystem::path categoryFilePath(const std::filesystem::path& programDir) {
    std::error_code ignored;
    std::filesystem::create_directories(programDir / "data", ignored);
    return programDir / "data" / "fenlei.txt";
}

std::vector<std::string> subZoneNamesInHtml(std::string_view html, std::string_view opening, std::string_view closing) {
    std::vector<std::string> names;
    if (opening.empty() || closing.empty()) return names;
    std::size_t from = 0;
    while (true) {
        const std::size_t found = html.find(opening, from);
        if (found == std::string_view::npos) break;
        const std::size_t start = found + opening.size();
        const std::size_t end = html.find(closing, start);
        if (end == std::string_view::npos) break;
        names.emplace_back(html.substr(start, end - start));
        from = start;
    }
    return names;
}

Zone zoneFromPage(std::string_view entryText, std::string_view subZoneHtml, std::string_view opening,
                  std::string_view closing) {
    return Zone{std::string(entryText), subZoneNamesInHtml(subZoneHtml, opening, closing)};
}

std::optional<std::string> collectCategoriesFromPage(BrowserAutomation& automation, int handle, Waiter& waiter,
                                                     const PageProfile& profile) {
    const std::string& zoneEntry = profile.selector(role::kZone);
    automation.form_dom_click(handle, profile.selector(role::kZoneOpener), profile.position(role::kZoneOpener));
    const int entries = automation.form_dom_count(handle, zoneEntry);
    std::string text;
    // The page's entries before the first zone of the catalogue are skipped.
    for (int position = profile.position(role::kZoneOffset); position <= entries; ++position) {
        automation.form_dom_click(handle, zoneEntry, position);
        if (!waiter.waitSeconds(1)) return std::nullopt;
        const std::string html = automation.form_dom_innerhtml(handle, profile.selector(role::kSubZonePanel),
                                                               profile.position(role::kSubZonePanel));
        const Zone zone = zoneFromPage(automation.form_dom_gettext(handle, zoneEntry, position), html,
                                       profile.text(role::kSubZoneOpening), profile.text(role::kSubZoneClosing));
        // A browser that went away answers every query with nothing, which would read as empty zones.
        if (automation.form_session_isconnected(handle) != 1) return std::nullopt;
        text += CategoryTree::zoneLine(zone) + "\r\n";
    }
    return text;
}

RefreshOutcome readCategoriesFromPage(const CategoryRefreshServices& services, int handle, Waiter& waiter) {
    const auto profile = freshProfile(services);
    const std::optional<std::string> text = collectCategoriesFromPage(services.automation, handle, waiter, *profile);
    if (!text) return RefreshOutcome::Interrupted;
    services.clipboard.setText(*text);
    writeFileAtomically(categoryFilePath(services.programDir), utf8ToGbk(*text));
    return RefreshOutcome::ReadFromPage;
}

RefreshOutcome refreshCategories(const CategoryRefreshServices& services, int handle, Waiter& waiter) {
    if (services.automation.form_dom_isexist(handle, freshProfile(services)->selector(role::kZoneOpener)) == 1) {
        return readCategoriesFromPage(services, handle, waiter);
    }
    WindowState& window = services.window;
    auto refill = [&window, programDir = services.programDir] { fillCategoryLists(window, programDir); };
    if (services.runInBackground) {
        services.runInBackground(refill);
    } else {
        refill();
    }
    return RefreshOutcome::ListsRefilled;
}

}  // namespace clipmill
