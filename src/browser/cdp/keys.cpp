#include "browser/cdp/keys.h"

#include <map>

#include "browser/cdp/json.h"

namespace clipmill::cdp {

namespace {

const std::map<int, KeyDefinition>& namedKeys() {
    static const std::map<int, KeyDefinition> keys{
        {8, {"Backspace", "Backspace", 8, ""}},  {9, {"Tab", "Tab", 9, ""}},
        {13, {"Enter", "Enter", 13, "\r"}},      {27, {"Escape", "Escape", 27, ""}},
        {32, {" ", "Space", 32, " "}},           {33, {"PageUp", "PageUp", 33, ""}},
        {34, {"PageDown", "PageDown", 34, ""}},  {35, {"End", "End", 35, ""}},
        {36, {"Home", "Home", 36, ""}},          {37, {"ArrowLeft", "ArrowLeft", 37, ""}},
        {38, {"ArrowUp", "ArrowUp", 38, ""}},    {39, {"ArrowRight", "ArrowRight", 39, ""}},
        {40, {"ArrowDown", "ArrowDown", 40, ""}}, {45, {"Insert", "Insert", 45, ""}},
        {46, {"Delete", "Delete", 46, ""}},
    };
    return keys;
}

std::string keyEvent(const char* type, const KeyDefinition& key, int modifiers, bool withText) {
    std::string text = withText ? key.text : std::string();
    return jsonObject({{"type", type},
                       {"modifiers", modifiers},
                       {"key", key.key},
                       {"code", key.code},
                       {"windowsVirtualKeyCode", key.virtualKey},
                       {"text", text},
                       {"unmodifiedText", text}});
}

}  // namespace

KeyDefinition keyForVirtualKey(int virtualKey, int modifiers) {
    auto named = namedKeys().find(virtualKey);
    if (named != namedKeys().end()) return named->second;
    bool shift = (modifiers & kShift) != 0;
    if (virtualKey >= 'A' && virtualKey <= 'Z') {
        std::string letter(1, static_cast<char>(shift ? virtualKey : virtualKey - 'A' + 'a'));
        return {letter, std::string("Key") + static_cast<char>(virtualKey), virtualKey, letter};
    }
    if (virtualKey >= '0' && virtualKey <= '9') {
        std::string digit(1, static_cast<char>(virtualKey));
        return {digit, "Digit" + digit, virtualKey, digit};
    }
    if (virtualKey >= 112 && virtualKey <= 123) {
        std::string name = "F" + std::to_string(virtualKey - 111);
        return {name, name, virtualKey, ""};
    }
    return {"", "", virtualKey, ""};
}

std::vector<std::string> keyPressEvents(const KeyDefinition& key, int modifiers) {
    bool shortcut = (modifiers & (kCtrl | kAlt | kMeta)) != 0;
    bool types = !shortcut && !key.text.empty();
    return {keyEvent(types ? "keyDown" : "rawKeyDown", key, modifiers, types), keyEvent("keyUp", key, modifiers, false)};
}

std::vector<std::string> utf8Characters(const std::string& text) {
    std::vector<std::string> characters;
    for (std::size_t i = 0; i < text.size();) {
        auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 1;
        characters.push_back(text.substr(i, length));
        i += length;
    }
    return characters;
}

std::vector<std::string> typingEvents(const std::string& utf8Text) {
    std::vector<std::string> events;
    for (const auto& character : utf8Characters(utf8Text)) {
        if (character == "\r") continue;
        KeyDefinition key = character == "\n" ? namedKeys().at(13) : KeyDefinition{character, "", 0, character};
        for (auto& event : keyPressEvents(key, 0)) events.push_back(std::move(event));
    }
    return events;
}

}  // namespace clipmill::cdp
