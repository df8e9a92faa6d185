#pragma once

#include <string>
#include <vector>

#include "settings/control_def.h"

namespace clipmill {

inline constexpr const char* kMainWindowName = "窗口_主窗口";

// Every control of the main window, in window order: the window, the outer tab control, then
// page by page and group by group, then the account list group, the top buttons, the status
// bar and the timer. A parent always comes before its children.
const std::vector<ControlDef>& controlTable();

// The control of that name, or nullptr.
const ControlDef* findControl(const std::string& name);

// The controls of one kind, in window order.
std::vector<const ControlDef*> controlsOfKind(ControlKind kind);

// The number fields that sit over runs of spaces in the caption of `owner`, in table order.
std::vector<const ControlDef*> gapFieldsOf(const std::string& owner);

// A caption cut at each run of two or more spaces: the words shown on either side of the
// fields that sit over those runs.
std::vector<std::string> captionPieces(const std::string& caption);

}  // namespace clipmill
