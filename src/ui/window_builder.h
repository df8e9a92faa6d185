#pragma once

#include <QMainWindow>
#include <vector>

#include "settings/control_def.h"
#include "ui/built_controls.h"

namespace clipmill::ui {

// Makes the widgets of a window from its control table: one function per kind of
// control, each widget named after its control (Qt objectName) and placed at the table's
// geometry. Values are filled in by the window state binder, not here.
class WindowBuilder {
public:
    explicit WindowBuilder(QMainWindow& window) : window_(window) {}

    BuiltControls build(const std::vector<ControlDef>& table);

private:
    void addControl(const ControlDef& def);
    void addWindow(const ControlDef& def);
    void addTabControl(const ControlDef& def);
    void addTabPage(const ControlDef& def);
    void addGroupBox(const ControlDef& def);
    void addTextField(const ControlDef& def);
    void addCheckBox(const ControlDef& def);
    void addRadioButton(const ControlDef& def);
    void addDropDown(const ControlDef& def);
    void addButton(const ControlDef& def);
    void addLabel(const ControlDef& def);
    void addList(const ControlDef& def);
    void addStatusBar(const ControlDef& def);
    void addTimer(const ControlDef& def);

    QWidget* parentOf(const ControlDef& def) const;
    // Names, parents, places and enables a new control's widget.
    void adopt(QWidget* widget, const ControlDef& def);
    void addCaptionTails(const ControlDef& owner);

    QMainWindow& window_;
    BuiltControls built_;
};

// Shows a control's caption on its widget. A caption whose runs of spaces hold number
// fields is shown in pieces: the owner shows the words before the first field and a label
// after each field shows the words that follow it.
void showCaption(BuiltControls& controls, const ControlDef& def, const std::string& caption);

}  // namespace clipmill::ui
