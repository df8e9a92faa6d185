#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>

namespace clipmill::ui {

// The system's folder browser, modal to its window. A script, when set, answers instead
// of the dialog, so that window tests can pick or cancel.
class FolderPicker {
public:
    // Receives the prompt and the starting folder; a folder, or nothing for cancel.
    using Script = std::function<std::optional<std::string>(const std::string& prompt, const std::string& startDir)>;

    explicit FolderPicker(QWidget* parent) : parent_(parent) {}
    void setScript(Script script) { script_ = std::move(script); }

    // The folder picked, trimmed of surrounding spaces; nothing when cancelled.
    std::optional<std::string> pick(const std::string& prompt, const std::string& startDir);

private:
    QPointer<QWidget> parent_;
    Script script_;
};

}  // namespace clipmill::ui
