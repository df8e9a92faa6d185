#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "browser/automation.h"
#include "browser/page_profile.h"
#include "catalogue/category_tree.h"
#include "platform/clipboard.h"
#include "settings/window_state.h"
#include "support/clock.h"

namespace clipmill {

// programDir/data/fenlei.txt, where a catalogue read from the upload page is written.
std::filesystem::path categoryFilePath(const std::filesystem::path& programDir);

// The sub-zone names in the inner HTML of the page's sub-zone list: each text between
// `item-main">` and the next "</p>", in order.
std::vector<std::string> subZoneNamesInHtml(std::string_view html, std::string_view opening = "item-main\">",
                                            std::string_view closing = "</p>");

// The zone shown by a zone entry of text `entryText` whose sub-zone list has the inner HTML
// `subZoneHtml`, the sub-zone names read with subZoneNamesInHtml.
Zone zoneFromPage(std::string_view entryText, std::string_view subZoneHtml, std::string_view opening,
                  std::string_view closing);

// Opens the zone drop-down of the upload page showing in browser `handle`, clicks every
// zone entry after the first, waits a second for its sub-zones and collects them. The
// result is the catalogue text, every line ending in CR LF; a zone whose sub-zones have not
// appeared gives "++" + zone + "++". Nothing when Stop was requested or the browser went away
// before the last zone was read.
// The selectors, the first zone's position and the markers come from `profile`.
std::optional<std::string> collectCategoriesFromPage(BrowserAutomation& automation, int handle, Waiter& waiter,
                                                     const PageProfile& profile = PageProfile());

struct CategoryRefreshServices {
    BrowserAutomation& automation;
    WindowState& window;
    Clipboard& clipboard;
    std::filesystem::path programDir;
    // Runs the refill of the lists away from the caller's thread; empty: runs it in place.
    std::function<void(std::function<void()>)> runInBackground{};
    // The page facts, read again from their file for each refresh; the built-in ones when null.
    PageProfileSource* profiles = nullptr;
};

enum class RefreshOutcome { ReadFromPage, Interrupted, ListsRefilled };

// Reads the catalogue from the page and puts it on the clipboard and into the category
// file (GBK). The drop-down lists are left alone. Interrupted when the reading was cut short:
// the clipboard and the file are then left as they were.
RefreshOutcome readCategoriesFromPage(const CategoryRefreshServices& services, int handle, Waiter& waiter);

// "刷新分类": with the upload page's zone drop-down showing, reads the catalogue from the
// page (see readCategoriesFromPage); otherwise refills the lists from the built-in catalogue
// and the saved selection.
// The page is read on the calling thread and takes about a second per zone.
RefreshOutcome refreshCategories(const CategoryRefreshServices& services, int handle, Waiter& waiter);

}  // namespace clipmill
