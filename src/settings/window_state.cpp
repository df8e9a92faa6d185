#include "settings/window_state.h"

#include <cctype>
#include <climits>
#include <stdexcept>

namespace clipmill {

int parseWholeNumber(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    long long value = 0;
    bool any = false;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        any = true;
        if (value <= INT_MAX) value = value * 10 + (text[i] - '0');
    }
    if (!any) return 0;
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

WindowState::WindowState(const std::vector<ControlDef>& controls) {
    for (const auto& def : controls) {
        Value v;
        v.kind = def.kind;
        v.radioGroup = def.radioGroup;
        v.text = def.defaultText;
        v.checked = def.defaultChecked;
        v.caption = def.caption;
        v.enabled = def.enabled;
        if (def.kind == ControlKind::StatusBar) v.parts.resize(def.widths.size() + 1);
        values_[def.name] = std::move(v);
    }
}

bool WindowState::has(const std::string& control) const {
    std::lock_guard lock(mutex_);
    return values_.count(control) != 0;
}

const WindowState::Value& WindowState::at(const std::string& control) const {
    auto it = values_.find(control);
    if (it == values_.end()) throw std::invalid_argument("no control named " + control);
    return it->second;
}

WindowState::Value& WindowState::at(const std::string& control) {
    auto it = values_.find(control);
    if (it == values_.end()) throw std::invalid_argument("no control named " + control);
    return it->second;
}

std::string WindowState::text(const std::string& control) const {
    std::lock_guard lock(mutex_);
    return at(control).text;
}

int WindowState::number(const std::string& control) const { return parseWholeNumber(text(control)); }

bool WindowState::checked(const std::string& control) const {
    std::lock_guard lock(mutex_);
    return at(control).checked;
}

int WindowState::index(const std::string& control) const {
    std::lock_guard lock(mutex_);
    return at(control).index;
}

std::vector<DropDownItem> WindowState::items(const std::string& control) const {
    std::lock_guard lock(mutex_);
    return at(control).items;
}

std::string WindowState::caption(const std::string& control) const {
    std::lock_guard lock(mutex_);
    return at(control).caption;
}

bool WindowState::enabled(const std::string& control) const {
    std::lock_guard lock(mutex_);
    return at(control).enabled;
}

bool WindowState::visible(const std::string& control) const {
    std::lock_guard lock(mutex_);
    return at(control).visible;
}

std::string WindowState::statusPart(const std::string& control, int part) const {
    std::lock_guard lock(mutex_);
    const auto& parts = at(control).parts;
    return part >= 0 && part < static_cast<int>(parts.size()) ? parts[part] : std::string();
}

template <typename T>
void WindowState::assign(const std::string& control, T Value::*member, T value, ControlField field) {
    std::vector<Change> changes;
    {
        std::lock_guard lock(mutex_);
        Value& v = at(control);
        if (v.*member != value) {
            v.*member = std::move(value);
            changes.emplace_back(control, field);
        }
    }
    notify(changes);
}

void WindowState::setText(const std::string& control, const std::string& text) {
    assign(control, &Value::text, text, ControlField::Text);
}

void WindowState::setChecked(const std::string& control, bool checked) {
    std::vector<Change> changes;
    {
        std::lock_guard lock(mutex_);
        Value& v = at(control);
        if (v.checked != checked) {
            v.checked = checked;
            changes.emplace_back(control, ControlField::Checked);
        }
        if (checked && v.kind == ControlKind::RadioButton && !v.radioGroup.empty()) {
            for (auto& [name, other] : values_) {
                if (name == control || other.radioGroup != v.radioGroup || !other.checked) continue;
                other.checked = false;
                changes.emplace_back(name, ControlField::Checked);
            }
        }
    }
    notify(changes);
}

void WindowState::setIndex(const std::string& control, int index) {
    assign(control, &Value::index, index, ControlField::Index);
}

void WindowState::setItems(const std::string& control, std::vector<DropDownItem> items) {
    assign(control, &Value::items, std::move(items), ControlField::Items);
}

void WindowState::setCaption(const std::string& control, const std::string& caption) {
    assign(control, &Value::caption, caption, ControlField::Caption);
}

void WindowState::setEnabled(const std::string& control, bool enabled) {
    assign(control, &Value::enabled, enabled, ControlField::Enabled);
}

void WindowState::setVisible(const std::string& control, bool visible) {
    assign(control, &Value::visible, visible, ControlField::Visible);
}

void WindowState::setStatusPart(const std::string& control, int part, const std::string& text) {
    std::vector<Change> changes;
    {
        std::lock_guard lock(mutex_);
        auto& parts = at(control).parts;
        if (part < 0 || part >= static_cast<int>(parts.size()) || parts[part] == text) return;
        parts[part] = text;
        changes.emplace_back(control, ControlField::Text);
    }
    notify(changes);
}

int WindowState::subscribe(Listener listener) { return listeners_.add(std::move(listener)); }

void WindowState::unsubscribe(int id) { listeners_.remove(id); }

void WindowState::notify(const std::vector<Change>& changes) {
    for (const auto& [control, field] : changes) listeners_.notify(control, field);
}

}  // namespace clipmill
