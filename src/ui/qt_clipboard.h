#pragma once

#include <QObject>

#include "platform/clipboard.h"

namespace clipmill::ui {

// The system clipboard for the core. Calls from other threads are carried out on the
// window's thread; they wait for it a bounded time, so a thread can never hang on a
// window thread that is itself waiting for that thread.
class QtClipboard final : public Clipboard {
public:
    explicit QtClipboard(QObject* uiThreadObject) : context_(uiThreadObject) {}
    void setText(const std::string& text) override;
    std::string text() override;

private:
    QObject* context_;
};

}  // namespace clipmill::ui
