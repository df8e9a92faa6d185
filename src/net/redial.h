#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "platform/child_process.h"
#include "support/clock.h"

namespace clipmill {
class WindowState;
}

namespace clipmill::net {

// The first IPv4 address of each network adapter in system order ("0.0.0.0" for an adapter
// without one), loopback left out.
std::vector<std::string> adapterAddresses();

// The public address as the IP-echo page shows it; "" when the address is empty, the page
// cannot be reached or its markers are missing.
std::string currentPublicIp(const std::string& echoUrl, const std::function<bool()>& cancelled = {});

// One redial's dial-up work on a NetworkManager PPPoE connection, driven through nmcli. The
// dial-up entry name is the connection's id.
class Redialer {
public:
    explicit Redialer(Waiter& waiter) : waiter_(waiter) {}

    // Hangs the entry up when it is the active connection, dials it and gives the address it
    // got; "" when the attempt failed.
    std::string redialOnce(const std::string& entry, const std::string& user, const std::string& password);
    bool isConnectedAs(const std::string& entry);
    // Hangs up the connection this object dialled; false when it dialled none.
    bool hangUp();
    bool dial(const std::string& entry, const std::string& user, const std::string& password);

    // True once the machine showed it can never dial this entry: no nmcli, NetworkManager not
    // running, or no connection of that name. Further attempts are pointless.
    bool dialImpossible() const { return impossible_; }

private:
    CommandResult nmcli(const std::vector<std::string>& args, std::chrono::milliseconds limit);
    bool hangUpByName(const std::string& entry);
    bool bringUp(const std::string& entry, const std::string& passwordFile);
    std::string connectionAddress(const std::string& entry);

    Waiter& waiter_;
    std::string connection_;  // the connection this object brought up; "" until a dial succeeded
    bool impossible_ = false;
};

// The whole procedure: shows the current address, redials until it succeeds (up to ten more
// tries, 8 s apart) and shows the outcome in the label 宽带_提示. The three settings are read at
// each attempt. Ends within a second of a stop.
void redial(WindowState& window, Waiter& waiter, const std::string& ipEchoUrl);

}  // namespace clipmill::net
