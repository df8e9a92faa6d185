#pragma once

#include <array>

namespace clipmill {

// The account list's columns as the window shows them. The window's table and the account
// table both take their shape from here.
constexpr int kAccountColumnCount = 18;

struct AccountColumnSpec {
    const char* header;
    int width;
};

// Headers and widths of the 18 columns, in order.
const std::array<AccountColumnSpec, kAccountColumnCount>& accountColumns();

}  // namespace clipmill
