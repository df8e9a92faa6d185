#pragma once

#include <QMainWindow>
#include <vector>

#include "settings/control_spec.h"
#include "ui/built_controls.h"

namespace clipmill::ui {

// Makes the widgets of a window from its control table: one function per kind of
// control, each widget named after its control (Qt objectName) and placed at the table's
// geometry. Values are filled in by the window state binder, not here.
class WindowBuilder {
public:
    explicit WindowBuilder(QMainWindow& window) : window_(window) {}

    BuiltControls build(const std::vector<ControlSpec>& table);

private:
    void addControl(const ControlSpec& spec);
    void addWindow(const ControlSpec& spec);
    void addTabControl(const ControlSpec& spec);
    void addTabPage(const ControlSpec& spec);
    void addGroupBox(const ControlSpec& spec);
    void addTextField(const ControlSpec& spec);
    void addCheckBox(const ControlSpec& spec);
    void addRadioButton(const ControlSpec& spec);
    void addDropDown(const ControlSpec& spec);
    void addButton(const ControlSpec& spec);
    void addLabel(const ControlSpec& spec);
    void addList(const ControlSpec& spec);
    void addStatusBar(const ControlSpec& spec);
    void addTimer(const ControlSpec& spec);

    QWidget* parentOf(const ControlSpec& spec) const;
    // Names, parents, places and enables a new control's widget.
    void adopt(QWidget* widget, const ControlSpec& spec);
    void addCaptionTails(const ControlSpec& owner);

    QMainWindow& window_;
    BuiltControls built_;
};

// Shows a control's caption on its widget. A caption whose runs of spaces hold number
// fields is shown in pieces: the owner shows the words before the first field and a label
// after each field shows the words that follow it.
void showCaption(BuiltControls& controls, const ControlSpec& spec, const std::string& caption);

}  // namespace clipmill::ui
