#pragma once

#include <string>
#include <vector>

namespace clipmill {

enum class ControlKind {
    Window,
    TabControl,
    TabPage,
    GroupBox,
    TextField,
    CheckBox,
    RadioButton,
    DropDown,
    Button,
    Label,
    List,
    StatusBar,
    Timer,
};

struct Geometry {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const Geometry&) const = default;
};

// One control of the main window as data. The table of all controls, in window order,
// is the single description that the window, persistence and the run read.
struct ControlDef {
    std::string name{};      // the control name, also the Qt objectName and the INI key
    ControlKind kind = ControlKind::Label;
    std::string parent{};    // name of the containing window, tab page or group box
    Geometry geometry{};     // relative to the parent
    std::string caption{};   // caption, label text or button text
    std::string defaultText{};   // default text of a text field
    bool defaultChecked = false;  // check boxes and radio buttons
    bool enabled = true;
    std::string radioGroup{};    // radio buttons only
    // Presentation. multiLine: a text field of several lines, or a label or check box whose
    // caption wraps inside its box.
    bool multiLine = false;
    bool verticalScrollBar = false;
    bool redText = false;
    bool centred = false;
    bool number = false;
    int spinMin = 0;  // spinMin < spinMax: the field has a spinner with that range
    int spinMax = 0;
    // Tab controls: page names in order. Lists: column headers and widths.
    std::vector<std::string> items{};
    std::vector<int> widths{};
    // A number field that sits over a run of spaces in another control's caption names that
    // control here; with several such fields, they take the runs in table order.
    std::string gapOf{};
    int intervalMs = 0;  // timers
};

}  // namespace clipmill
