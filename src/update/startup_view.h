#pragma once

#include <string>

namespace clipmill {

// What the start-up work writes into the start-up window. Callable from any thread: the
// window carries each change to its own thread.
class StartupView {
public:
    virtual ~StartupView() = default;
    virtual void setStatusPart(int part, const std::string& text) = 0;  // 状态条1
    virtual void setUpdateText(const std::string& text) = 0;            // 透明标签_更新, made visible
    virtual void setOpenCaption(const std::string& caption) = 0;        // 超级按钮_打开
    virtual void showOpenButton() = 0;
    // Brings the window back on screen, so the user can follow a download and start its result.
    virtual void bringBack() = 0;
    // The advertisement picture (GIF bytes, possibly animated) and the link its click opens.
    virtual void setAdvertisement(const std::string& pictureBytes, const std::string& link) = 0;
};

}  // namespace clipmill
