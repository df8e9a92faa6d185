#include "catalogue/category_lists.h"

#include "catalogue/category_tree.h"

namespace clipmill {
namespace {

std::vector<DropDownItem> listItems(const std::vector<std::string>& names) {
    std::vector<DropDownItem> items;
    items.reserve(names.size());
    for (const std::string& name : names) items.push_back({name, 0});
    return items;
}

std::vector<std::string> zoneNames(const CategoryTree& tree) {
    std::vector<std::string> names;
    for (const Zone& zone : tree.zones()) names.push_back(zone.name);
    return names;
}

// Selects `index` when the list has such an entry, else nothing.
void selectIfPresent(WindowState& window, const char* list, int index) {
    const int count = static_cast<int>(window.items(list).size());
    window.setIndex(list, index >= 0 && index < count ? index : -1);
}

std::string selectedZoneName(const WindowState& window) {
    const std::vector<DropDownItem> zones = window.items(kZoneList);
    const int index = window.index(kZoneList);
    return index >= 0 && index < static_cast<int>(zones.size()) ? zones[static_cast<std::size_t>(index)].text : "";
}

void fillSubZonesOfSelectedZone(WindowState& window) {
    const Zone* zone = CategoryTree::builtIn().findZone(selectedZoneName(window));
    window.setItems(kSubZoneList, zone ? listItems(zone->subZones) : std::vector<DropDownItem>{});
}

}  // namespace

void fillCategoryLists(WindowState& window, const CategorySelection& saved) {
    window.setIndex(kZoneList, -1);
    window.setIndex(kSubZoneList, -1);
    window.setItems(kSubZoneList, {});
    window.setItems(kZoneList, listItems(zoneNames(CategoryTree::builtIn())));
    selectIfPresent(window, kZoneList, saved.zone);
    fillSubZonesOfSelectedZone(window);
    selectIfPresent(window, kSubZoneList, saved.subZone);
}

void fillCategoryLists(WindowState& window, const std::filesystem::path& programDir) {
    fillCategoryLists(window, loadCategorySelection(programDir));
}

void showSubZones(WindowState& window) {
    fillSubZonesOfSelectedZone(window);
    selectIfPresent(window, kSubZoneList, 0);
}

}  // namespace clipmill
