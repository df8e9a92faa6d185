#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace clipmill {

// Ctrl+Alt+K, claimed from the X server for the whole desktop. The callback runs on the
// hot key's own thread: hand it to the window's thread before touching the window.
// When there is no X display, or another program holds the key, the hot key stays inactive
// and nothing is reported, as the Start button still works.
class GlobalHotKey {
public:
    // `display` names the X display; the DISPLAY variable's when empty.
    explicit GlobalHotKey(std::function<void()> onPress, const std::string& display = "");
    ~GlobalHotKey();  // releases the key
    GlobalHotKey(const GlobalHotKey&) = delete;
    GlobalHotKey& operator=(const GlobalHotKey&) = delete;

    bool active() const { return active_; }

private:
    void listen();

    std::function<void()> onPress_;
    void* display_ = nullptr;  // Display*, kept out of this header
    unsigned long root_ = 0;
    int keycode_ = 0;
    bool active_ = false;
    int wake_[2] = {-1, -1};
    std::thread thread_;
};

}  // namespace clipmill
