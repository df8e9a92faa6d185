#pragma once

#include <string>

namespace clipmill {

// The one way the core shows a message box. The window implements it with modal boxes
// over the main window; tests script the answers.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    // A message with one OK button.
    virtual void information(const std::string& text, const std::string& title = "信息：") = 0;
    // A yes/no question; true for yes.
    virtual bool confirm(const std::string& text, const std::string& title = "信息：") = 0;
    // A question with OK and Cancel; true for OK.
    virtual bool confirmOkCancel(const std::string& text, const std::string& title) { return confirm(text, title); }
};

}  // namespace clipmill
