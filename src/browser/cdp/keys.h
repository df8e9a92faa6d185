#pragma once

#include <string>
#include <vector>

namespace clipmill::cdp {

// Modifier bits as the protocol and the callers count them.
enum KeyModifier : int { kAlt = 1, kCtrl = 2, kMeta = 4, kShift = 8 };

// One key as Input.dispatchKeyEvent describes it.
struct KeyDefinition {
    std::string key;   // "Enter", "a", "ArrowLeft"
    std::string code;  // "Enter", "KeyA", "ArrowLeft"
    int virtualKey = 0;
    std::string text;  // what pressing it types; "" for keys that type nothing
};

// The key with the given Windows virtual-key code (13 Enter, 86 V, ...). Letters are lower
// case, upper case with Shift. Unknown codes give a key with only the code set.
KeyDefinition keyForVirtualKey(int virtualKey, int modifiers = 0);

// The parameters of the key events that press and release one key. With Ctrl, Alt or Meta
// held the key types nothing (a shortcut such as Ctrl+V).
std::vector<std::string> keyPressEvents(const KeyDefinition& key, int modifiers);

// The key events that type `text` one character at a time ("\n" presses Enter).
std::vector<std::string> typingEvents(const std::string& utf8Text);

// Splits UTF-8 text into its characters, each as UTF-8 bytes.
std::vector<std::string> utf8Characters(const std::string& text);

}  // namespace clipmill::cdp
