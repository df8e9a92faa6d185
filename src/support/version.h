#pragma once

namespace clipmill {

// The program's version text, compared as text with the update server's.
inline constexpr const char* kProgramVersion = "8.8";

}  // namespace clipmill
