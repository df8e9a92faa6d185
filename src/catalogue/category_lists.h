#pragma once

#include "settings/persistence.h"
#include "settings/window_state.h"

namespace clipmill {

inline constexpr const char* kZoneList = "组合框1";
inline constexpr const char* kSubZoneList = "组合框2";

// Fills the zone list from the built-in catalogue, selects the saved zone, fills the
// sub-zone list with that zone's sub-zones and selects the saved sub-zone. An index outside
// a list selects nothing; with no zone selected the sub-zone list stays empty.
void fillCategoryLists(WindowState& window, const CategorySelection& saved);
// The same with the selection saved in programDir's settings file.
void fillCategoryLists(WindowState& window, const std::filesystem::path& programDir);

// Refills the sub-zone list with the sub-zones of the zone selected now and selects the
// first of them.
void showSubZones(WindowState& window);

}  // namespace clipmill
