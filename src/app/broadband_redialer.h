#pragma once

#include <string>

#include "engine/run_services.h"
#include "settings/window_state.h"

namespace clipmill {

// Between accounts: the broadband connection named on the window, through NetworkManager.
// The entry, account and password are read from the window at each attempt; the progress
// goes to the label 宽带_提示.
class BroadbandRedialer final : public Redialer {
public:
    BroadbandRedialer(WindowState& window, std::string ipEcho) : window_(window), ipEcho_(std::move(ipEcho)) {}
    void redial(Waiter& waiter) override;

private:
    WindowState& window_;
    std::string ipEcho_;
};

}  // namespace clipmill
