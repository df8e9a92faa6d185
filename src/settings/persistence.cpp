#include "settings/persistence.h"

#include <cstdio>
#include <mutex>
#include <system_error>

#include "settings/control_table.h"

namespace clipmill {
namespace {

constexpr std::string_view kLineBreakEscape = "><br><";
constexpr std::string_view kQuoteEscape = "#引号";
constexpr const char* kSelected = "真";
constexpr const char* kCleared = "假";

// Saves may come from more than one thread; each reads, changes and replaces the whole file.
std::mutex& settingsFileMutex() {
    static std::mutex mutex;
    return mutex;
}

std::string replaceEach(std::string_view text, std::string_view wanted, std::string_view replacement) {
    std::string out;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find(wanted, start)) != std::string_view::npos; start = at + wanted.size()) {
        out.append(text, start, at - start).append(replacement);
    }
    return out.append(text, start);
}

// CR LF, and a CR or LF on its own (which would otherwise end the line in the file), all
// become the line-break escape.
std::string escapeLineBreaks(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out += kLineBreakEscape;
        } else {
            out += text[i];
        }
    }
    return out;
}

template <typename Change>
bool updateSettingsFile(const std::filesystem::path& programDir, Change change) {
    const std::filesystem::path path = settingsFilePath(programDir);
    std::lock_guard lock(settingsFileMutex());
    std::optional<IniFile> ini = IniFile::loadForRewrite(path);
    if (!ini) {
        std::fprintf(stderr, "clipmill: %s cannot be read; the settings were not saved over it\n", path.c_str());
        return false;
    }
    change(*ini);
    return ini->save(path);
}

IniFile loadSettingsFile(const std::filesystem::path& programDir) {
    const std::filesystem::path path = settingsFilePath(programDir);
    std::lock_guard lock(settingsFileMutex());
    return IniFile::load(path);
}

}  // namespace

std::filesystem::path settingsFilePath(const std::filesystem::path& programDir) {
    std::error_code ignored;
    std::filesystem::create_directories(programDir / "data", ignored);
    return programDir / "data" / "setsoft.ini";
}

std::string escapeFieldText(std::string_view text) {
    return replaceEach(escapeLineBreaks(text), "\"", kQuoteEscape);
}

std::string unescapeFieldText(std::string_view stored) {
    return replaceEach(replaceEach(stored, kLineBreakEscape, "\r\n"), kQuoteEscape, "\"");
}

std::string dropDownValue(const std::vector<DropDownItem>& items, int index) {
    std::string value;
    for (const DropDownItem& item : items) value += item.text + "<|>" + std::to_string(item.value) + "<||>";
    const bool selected = index >= 0 && index < static_cast<int>(items.size());
    value += std::to_string(index) + "<|>" + (selected ? items[static_cast<std::size_t>(index)].text : "");
    return replaceEach(value, "\"", kQuoteEscape);
}

void saveTextFields(const WindowState& window, IniFile& ini) {
    for (const ControlDef* field : controlsOfKind(ControlKind::TextField)) {
        ini.setValue(kTextFieldSection, field->name, escapeFieldText(window.text(field->name)));
    }
}

void saveRadioButtons(const WindowState& window, IniFile& ini) {
    for (const ControlDef* radio : controlsOfKind(ControlKind::RadioButton)) {
        ini.setValue(kRadioButtonSection, radio->name, window.checked(radio->name) ? kSelected : kCleared);
    }
}

void saveDropDowns(const WindowState& window, IniFile& ini) {
    for (const ControlDef* dropDown : controlsOfKind(ControlKind::DropDown)) {
        ini.setValue(kDropDownSection, dropDown->name,
                     dropDownValue(window.items(dropDown->name), window.index(dropDown->name)));
    }
}

void saveCategorySelection(const WindowState& window, IniFile& ini) {
    ini.setValue(kCategorySection, kZoneIndexKey, std::to_string(window.index("组合框1")));
    ini.setValue(kCategorySection, kSubZoneIndexKey, std::to_string(window.index("组合框2")));
}

void restoreTextFields(WindowState& window, const IniFile& ini) {
    for (const ControlDef* field : controlsOfKind(ControlKind::TextField)) {
        const std::string stored = ini.value(kTextFieldSection, field->name, "");
        if (!stored.empty()) window.setText(field->name, unescapeFieldText(stored));
    }
}

void restoreRadioButtons(WindowState& window, const IniFile& ini) {
    for (const ControlDef* radio : controlsOfKind(ControlKind::RadioButton)) {
        const std::string stored = ini.value(kRadioButtonSection, radio->name, "");
        if (!stored.empty()) window.setChecked(radio->name, stored != kCleared);
    }
}

bool saveSettings(const WindowState& window, const std::filesystem::path& programDir, SaveMoment moment) {
    return updateSettingsFile(programDir, [&](IniFile& ini) {
        saveTextFields(window, ini);
        saveRadioButtons(window, ini);
        if (moment != SaveMoment::WindowDestroyed) saveDropDowns(window, ini);
        if (moment != SaveMoment::CloseButton) saveCategorySelection(window, ini);
    });
}

void restoreSettings(WindowState& window, const std::filesystem::path& programDir) {
    const IniFile ini = loadSettingsFile(programDir);
    restoreTextFields(window, ini);
    restoreRadioButtons(window, ini);
}

CategorySelection loadCategorySelection(const std::filesystem::path& programDir) {
    const IniFile ini = loadSettingsFile(programDir);
    return {parseWholeNumber(ini.value(kCategorySection, kZoneIndexKey, "")),
            parseWholeNumber(ini.value(kCategorySection, kSubZoneIndexKey, ""))};
}

}  // namespace clipmill
