// The redial between accounts as the program wires it: settings from the window, progress in
// its label, against the stand-in nmcli.
#include "app/broadband_redialer.h"

#include <gtest/gtest.h>

#include "fixtures/stand_in_nmcli.h"
#include "settings/control_table.h"

namespace clipmill::testing {
namespace {

TEST(BroadbandRedialer, DialsTheWindowsEntryWithItsAccountAndReportsInTheLabel) {
    StandInNetworkManager nm;
    nm.setActive("宽带连接\n");
    WindowState window(controlTable());
    window.setText("宽带_名称", "宽带连接");
    window.setText("宽带_账号", "user01");
    window.setText("宽带_密码", "pw");
    FakeClock clock;
    StopSignal stop;
    Waiter waiter(clock, stop);

    BroadbandRedialer(window, "").redial(waiter);

    EXPECT_EQ(window.caption("宽带_提示"), "当前ip：\r\n重播成功新ip：100.64.7.9");
    EXPECT_EQ(nm.count("connection down id 宽带连接"), 1);
    EXPECT_EQ(nm.count("connection modify id 宽带连接 pppoe.username user01"), 1);
    EXPECT_EQ(nm.read("password_lines"), "pppoe.password:pw\n");
}

}  // namespace
}  // namespace clipmill::testing
