#pragma once

#include <QButtonGroup>
#include <QLabel>
#include <QMenu>
#include <QTimer>
#include <QTreeWidget>
#include <map>
#include <string>
#include <vector>

namespace clipmill::ui {

// The widgets the window builder made from the control table, by control name.
struct BuiltControls {
    std::map<std::string, QWidget*> widgets;            // every control that is a widget
    std::map<std::string, QButtonGroup*> radioGroups;   // by radio group name
    // The words after each number field that sits in a caption's run of spaces, by owner.
    std::map<std::string, std::vector<QLabel*>> captionTails;
    std::vector<QLabel*> statusParts;                   // the status bar's four parts
    QTreeWidget* accountList = nullptr;
    QMenu* accountMenu = nullptr;                       // "账号管理"
    QTimer* startupTimer = nullptr;

    QWidget* widget(const std::string& name) const {
        auto it = widgets.find(name);
        return it == widgets.end() ? nullptr : it->second;
    }
    template <typename T>
    T* get(const std::string& name) const {
        return qobject_cast<T*>(widget(name));
    }
};

}  // namespace clipmill::ui
