#pragma once

#include <string>

namespace clipmill {

// The address without its query and fragment: the same page, whatever the site adds.
inline std::string addressWithoutQuery(const std::string& address) {
    return address.substr(0, address.find_first_of("?#"));
}

}  // namespace clipmill
