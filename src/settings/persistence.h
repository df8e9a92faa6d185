#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "settings/ini_file.h"
#include "settings/window_state.h"

namespace clipmill {

inline constexpr const char* kTextFieldSection = "编辑框";
inline constexpr const char* kRadioButtonSection = "单选框";
inline constexpr const char* kDropDownSection = "组合框";
inline constexpr const char* kCategorySection = "pz";
inline constexpr const char* kZoneIndexKey = "f1";
inline constexpr const char* kSubZoneIndexKey = "f2";

// programDir/data/setsoft.ini; the data folder is created when it is missing.
std::filesystem::path settingsFilePath(const std::filesystem::path& programDir);

// A text field's text as stored: line breaks become "><br><", then double quotes "#引号".
std::string escapeFieldText(std::string_view text);
// The reverse, in the same order: "><br><" becomes CR LF, then "#引号" a double quote.
std::string unescapeFieldText(std::string_view stored);
// A drop-down as stored: "text<|>value<||>" per item, then "index<|>current text", with
// every double quote written as "#引号".
std::string dropDownValue(const std::vector<DropDownItem>& items, int index);

// Each walks every control of its kind in window order, between the window and a file held
// in memory.
void saveTextFields(const WindowState& window, IniFile& ini);
void saveRadioButtons(const WindowState& window, IniFile& ini);
void saveDropDowns(const WindowState& window, IniFile& ini);
void saveCategorySelection(const WindowState& window, IniFile& ini);
// A missing or empty value leaves the control as it is.
void restoreTextFields(WindowState& window, const IniFile& ini);
// "假" clears a radio button, any other non-empty value selects it.
void restoreRadioButtons(WindowState& window, const IniFile& ini);

// The moments the settings are saved; each reads the file once and writes it once.
enum class SaveMoment {
    SaveButton,       // "保存设置": texts, radio buttons, drop-downs, zone selection
    CloseButton,      // "关闭软件": texts, radio buttons, drop-downs
    WindowDestroyed,  // closed from the title bar: texts, radio buttons, zone selection
};
// False when the file could not be written, or is there but could not be read (it is then left
// as it is); "保存设置" reports success either way.
bool saveSettings(const WindowState& window, const std::filesystem::path& programDir, SaveMoment moment);

// Restores the texts, then the radio buttons, from the settings file when the window is made.
void restoreSettings(WindowState& window, const std::filesystem::path& programDir);

// The saved zone and sub-zone indexes; a missing or non-numeric value counts as 0.
struct CategorySelection {
    int zone = 0;
    int subZone = 0;
};
CategorySelection loadCategorySelection(const std::filesystem::path& programDir);

}  // namespace clipmill
