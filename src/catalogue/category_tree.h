#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace clipmill {

struct Zone {
    std::string name;
    std::vector<std::string> subZones;
    bool operator==(const Zone&) const = default;
};

// The site's zones and their sub-zones, in the order the upload page lists them. The
// category step clicks entries by position, so the order is what matters.
//
// As text: one zone per line, "++" + zone + ("--" + sub-zone for each) + "++", lines
// separated by CR LF.
class CategoryTree {
public:
    CategoryTree() = default;
    explicit CategoryTree(std::vector<Zone> zones) : zones_(std::move(zones)) {}

    // The catalogue built into the program: 18 zones, 89 sub-zones.
    static const CategoryTree& builtIn();
    // Reads the text form; lines that are not "++...++" are skipped.
    static CategoryTree parse(std::string_view text);

    const std::vector<Zone>& zones() const { return zones_; }
    // The zone of that name, or nullptr.
    const Zone* findZone(std::string_view name) const;
    std::size_t subZoneCount() const;

    // One line per zone; every line ends in CR LF when `finalLineBreak`, else all but the last.
    std::string text(bool finalLineBreak) const;
    static std::string zoneLine(const Zone& zone);

    bool operator==(const CategoryTree&) const = default;

private:
    std::vector<Zone> zones_;
};

}  // namespace clipmill
