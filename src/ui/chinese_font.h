#pragma once

#include <QApplication>

namespace clipmill::ui {

// Sets the application font to a Simplified Chinese face ("WenQuanYi Micro Hei" when
// installed, else the first face that covers Simplified Chinese) at 12 pixels, the size
// the window's geometry was laid out for. Returns the family chosen, "" when none.
QString useChineseFont(QApplication& app);

}  // namespace clipmill::ui
