#include "engine/forbidden_hours.h"

namespace clipmill {

bool isForbiddenHour(const std::string& hoursText, int hour) {
    const std::string marker = "点" + std::to_string(hour) + "点";
    return ("点" + hoursText).find(marker) != std::string::npos;
}

}  // namespace clipmill
