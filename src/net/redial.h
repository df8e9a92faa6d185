#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "platform/child_process.h"
#include "support/clock.h"

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

// What one redial attempt dials: the dial-up entry (the connection's id) and its account.
struct DialSettings {
    std::string entry;
    std::string user;
    std::string password;
};
// Gives the settings as they are now; asked again before every attempt.
using DialSettingsSource = std::function<DialSettings()>;

// Where a redial tells the user how it goes.
class RedialPrompt {
public:
    virtual ~RedialPrompt() = default;
    // Replaces the prompt's text.
    virtual void show(const std::string& text) = 0;
    // Adds to the end of the text the prompt shows now.
    virtual void append(const std::string& text) = 0;
};

// The whole procedure: shows the current address, redials until it succeeds (up to ten more
// tries, 8 s apart) and adds the outcome to the prompt. Ends within a second of a stop.
void redial(const DialSettingsSource& settings, RedialPrompt& prompt, Waiter& waiter, const std::string& ipEchoUrl);

}  // namespace clipmill::net
