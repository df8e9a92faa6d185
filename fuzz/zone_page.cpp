// The zone refresh's reading of the upload page: input
// "sub-zone list HTML\0zone entry text\0opening marker\0closing marker" (the markers of
// page.ini; the built-in ones when empty).
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/category_refresh.h"
#include "catalogue/category_tree.h"
#include "fuzz_input.h"

namespace {

size_t occurrences(std::string_view text, std::string_view part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string_view::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

// A name the catalogue line holds unchanged: no line break, and no "--" made with the marks
// around it.
bool fitsCatalogueLine(std::string_view name) {
    return name.find('\n') == std::string_view::npos && name.find("--") == std::string_view::npos &&
           !name.starts_with('-') && !name.ends_with('-');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const clipmill::fuzz::FuzzFields input = clipmill::fuzz::splitInput(data, size, 3);
    const std::string_view html = input.payload;
    const std::string_view opening = input.parameters[1].empty() ? "item-main\">" : input.parameters[1];
    const std::string_view closing = input.parameters[2].empty() ? "</p>" : input.parameters[2];

    const clipmill::Zone zone = clipmill::zoneFromPage(input.parameters[0], html, opening, closing);
    FUZZ_CHECK(zone.name == input.parameters[0]);
    FUZZ_CHECK(zone.subZones.size() <= occurrences(html, opening));
    size_t from = 0;
    for (const std::string& name : zone.subZones) {
        // Each name is the text after an opening marker, up to the next closing marker.
        const size_t at = html.find(std::string(opening) + name + std::string(closing), from);
        FUZZ_CHECK(at != std::string_view::npos);
        FUZZ_CHECK(name.find(closing) == std::string::npos);
        from = at + opening.size();
    }

    // The catalogue line reads back as the zone whenever its names fit the format.
    const std::string line = clipmill::CategoryTree::zoneLine(zone);
    FUZZ_CHECK(line.starts_with("++") && line.ends_with("++"));
    bool fits = fitsCatalogueLine(zone.name);
    for (const std::string& name : zone.subZones) fits = fits && fitsCatalogueLine(name);
    if (fits) {
        const clipmill::CategoryTree tree = clipmill::CategoryTree::parse(line + "\r\n");
        FUZZ_CHECK(tree.zones().size() == 1 && tree.zones().front() == zone);
    }
    return 0;
}
