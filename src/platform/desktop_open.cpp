#include "platform/desktop_open.h"

#include "platform/child_process.h"

namespace clipmill {

bool openWithDesktop(const std::string& target) {
    return startDetached({"xdg-open", target});
}

}  // namespace clipmill
