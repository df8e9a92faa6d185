#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "settings/control_def.h"
#include "support/listener_list.h"

namespace clipmill {

struct DropDownItem {
    std::string text;
    int value = 0;
    bool operator==(const DropDownItem&) const = default;
};

enum class ControlField { Text, Checked, Index, Items, Caption, Enabled, Visible };

// The values of every control of the main window: the one source of truth that any
// thread reads and writes, and that the window mirrors. Listeners are told of each change
// on the thread that made it, after the lock is released.
class WindowState {
public:
    using Listener = std::function<void(const std::string& control, ControlField field)>;

    explicit WindowState(const std::vector<ControlDef>& controls);

    bool has(const std::string& control) const;

    std::string text(const std::string& control) const;
    void setText(const std::string& control, const std::string& text);
    // The text as a whole number: leading digits after an optional sign; anything else 0.
    int number(const std::string& control) const;

    bool checked(const std::string& control) const;
    // Checking a radio button clears the other members of its group.
    void setChecked(const std::string& control, bool checked);

    int index(const std::string& control) const;
    void setIndex(const std::string& control, int index);
    std::vector<DropDownItem> items(const std::string& control) const;
    void setItems(const std::string& control, std::vector<DropDownItem> items);

    std::string caption(const std::string& control) const;
    void setCaption(const std::string& control, const std::string& caption);

    bool enabled(const std::string& control) const;
    void setEnabled(const std::string& control, bool enabled);
    bool visible(const std::string& control) const;
    void setVisible(const std::string& control, bool visible);

    // Status bar parts.
    std::string statusPart(const std::string& control, int part) const;
    void setStatusPart(const std::string& control, int part, const std::string& text);

    int subscribe(Listener listener);
    void unsubscribe(int id);

private:
    struct Value {
        ControlKind kind = ControlKind::Label;
        std::string radioGroup;
        std::string text;
        bool checked = false;
        int index = -1;
        std::vector<DropDownItem> items;
        std::string caption;
        bool enabled = true;
        bool visible = true;
        std::vector<std::string> parts;
    };
    using Change = std::pair<std::string, ControlField>;

    const Value& at(const std::string& control) const;  // mutex_ held
    Value& at(const std::string& control);               // mutex_ held
    template <typename T>
    void assign(const std::string& control, T Value::*member, T value, ControlField field);
    void notify(const std::vector<Change>& changes);

    mutable std::mutex mutex_;
    std::map<std::string, Value> values_;
    ListenerList<Listener> listeners_;
};

// Parses decimal text the way every number setting is read.
int parseWholeNumber(const std::string& text);

}  // namespace clipmill
