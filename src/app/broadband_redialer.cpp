#include "app/broadband_redialer.h"

#include "net/redial.h"

namespace clipmill {

namespace {

constexpr const char* kHint = "宽带_提示";

class HintLabel final : public net::RedialPrompt {
public:
    explicit HintLabel(WindowState& window) : window_(window) {}
    void show(const std::string& text) override { window_.setCaption(kHint, text); }
    void append(const std::string& text) override { window_.setCaption(kHint, window_.caption(kHint) + text); }

private:
    WindowState& window_;
};

}  // namespace

void BroadbandRedialer::redial(Waiter& waiter) {
    HintLabel hint(window_);
    auto settings = [this] {
        return net::DialSettings{window_.text("宽带_名称"), window_.text("宽带_账号"), window_.text("宽带_密码")};
    };
    net::redial(settings, hint, waiter, ipEcho_);
}

}  // namespace clipmill
