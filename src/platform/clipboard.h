#pragma once

#include <string>

namespace clipmill {

// The system clipboard as the core sees it. The window layer implements it on the real
// clipboard (on its own thread); tests without a window use a plain holder.
class Clipboard {
public:
    virtual ~Clipboard() = default;
    virtual void setText(const std::string& text) = 0;
    virtual std::string text() = 0;
};

}  // namespace clipmill
