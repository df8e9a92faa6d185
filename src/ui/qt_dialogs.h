#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>

#include "support/dialogs.h"

namespace clipmill::ui {

// Message boxes, modal to the main window. Calls from other threads are carried to the
// UI thread and wait for the answer. A script, when set, answers instead of a box.
class QtDialogs final : public Dialogs {
public:
    enum class Kind { Information, Confirm, OkCancel };
    // Receives each box instead of showing it; its result answers a question.
    using Script = std::function<bool(Kind kind, const std::string& text, const std::string& title)>;

    void setParentWindow(QWidget* window) { parent_ = window; }
    void setScript(Script script) { script_ = std::move(script); }

    void information(const std::string& text, const std::string& title = "信息：") override;
    bool confirm(const std::string& text, const std::string& title = "信息：") override;
    bool confirmOkCancel(const std::string& text, const std::string& title) override;

private:
    bool ask(Kind kind, const std::string& text, const std::string& title);
    bool showBox(Kind kind, const std::string& text, const std::string& title);

    QPointer<QWidget> parent_;
    Script script_;
};

}  // namespace clipmill::ui
