#include "catalogue/category_refresh.h"

#include <system_error>

#include "catalogue/category_lists.h"
#include "catalogue/category_tree.h"
#include "support/atomic_file.h"
#include "support/gbk.h"

namespace clipmill {
namespace {

constexpr const char* kZoneDropDown = ".select-box-v2-controller";
constexpr const char* kZoneEntry = ".pre-item-content";
constexpr const char* kSubZonePanel = ".drop-cascader-list-wrp";
constexpr std::string_view kSubZoneOpening = "item-main\">";
constexpr std::string_view kSubZoneClosing = "</p>";
// The page's first zone entry is not a zone of the catalogue.
constexpr int kFirstZonePosition = 2;

}  // namespace

std::filesystem::path categoryFilePath(const std::filesystem::path& programDir) {
    std::error_code ignored;
    std::filesystem::create_directories(programDir / "data", ignored);
    return programDir / "data" / "fenlei.txt";
}

std::vector<std::string> subZoneNamesInHtml(std::string_view html) {
    std::vector<std::string> names;
    std::size_t from = 0;
    while (true) {
        const std::size_t opening = html.find(kSubZoneOpening, from);
        if (opening == std::string_view::npos) break;
        const std::size_t start = opening + kSubZoneOpening.size();
        const std::size_t end = html.find(kSubZoneClosing, start);
        if (end == std::string_view::npos) break;
        names.emplace_back(html.substr(start, end - start));
        from = start;
    }
    return names;
}

std::string collectCategoriesFromPage(BrowserAutomation& automation, int handle, Waiter& waiter) {
    automation.form_dom_click(handle, kZoneDropDown, 0);
    const int entries = automation.form_dom_count(handle, kZoneEntry);
    std::string text;
    for (int position = kFirstZonePosition; position <= entries; ++position) {
        automation.form_dom_click(handle, kZoneEntry, position);
        if (!waiter.waitSeconds(1)) break;
        Zone zone{automation.form_dom_gettext(handle, kZoneEntry, position),
                  subZoneNamesInHtml(automation.form_dom_innerhtml(handle, kSubZonePanel, 0))};
        text += CategoryTree::zoneLine(zone) + "\r\n";
    }
    return text;
}

bool readCategoriesFromPage(const CategoryRefreshServices& services, int handle, Waiter& waiter) {
    const std::string text = collectCategoriesFromPage(services.automation, handle, waiter);
    services.clipboard.setText(text);
    return writeFileAtomically(categoryFilePath(services.programDir), utf8ToGbk(text));
}

RefreshOutcome refreshCategories(const CategoryRefreshServices& services, int handle, Waiter& waiter) {
    if (services.automation.form_dom_isexist(handle, kZoneDropDown) == 1) {
        readCategoriesFromPage(services, handle, waiter);
        return RefreshOutcome::ReadFromPage;
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
