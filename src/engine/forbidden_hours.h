#pragma once

#include <string>

namespace clipmill {

// True when `hour` (0-23) is listed in the forbidden-hours text, written as a number
// followed by "点" ("1点2点13点14点"). A leading zero ("01点") does not match hour 1.
bool isForbiddenHour(const std::string& hoursText, int hour);

}  // namespace clipmill
