#include "settings/run_settings.h"

#include <stdexcept>

namespace clipmill {

SettingHandle::SettingHandle(SettingBinder& binder, ControlKind kind, const char* control)
    : state_(binder.state), control_(control) {
    if (!state_->has(control_)) throw std::invalid_argument("no control named " + control_);
    binder.fields.emplace_back(control_, kind);
}

}  // namespace clipmill
