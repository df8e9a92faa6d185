// The INI reader and writer: input "file bytes\0section\0key\0value" (section, key and value
// as UTF-8).
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_input.h"
#include "settings/ini_file.h"
#include "support/gbk.h"

namespace {

using clipmill::IniFile;

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// A section or key name the file format can hold: one that no INI reader reads as something
// else (a comment, a header, a key ending early, blanks trimmed away).
bool isHoldableName(std::string_view name) {
    if (name.empty() || isBlank(name.front()) || isBlank(name.back()) || !clipmill::fitsGbk(name)) return false;
    return name.find_first_of("[]=;\r\n", 0) == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

std::string withLineBreaksAsSpaces(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c == '\r' || c == '\n') c = ' ';
    return out;
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// Writing one key changes that key alone: every other key of the section reads as before.
void checkOtherKeysKept(const IniFile& before, const IniFile& after, std::string_view section, std::string_view key) {
    const std::vector<std::string> keysBefore = before.keys(section);
    const std::vector<std::string> keysAfter = after.keys(section);
    const bool existed = before.value(section, key).has_value();
    FUZZ_CHECK(keysAfter.size() == keysBefore.size() + (existed ? 0 : 1));
    for (const std::string& other : keysBefore) {
        if (sameName(other, key)) continue;
        FUZZ_CHECK(before.value(section, other) == after.value(section, other));
    }
}

void checkWrittenValueReadsBack(const IniFile& original, std::string_view section, std::string_view key,
                                std::string_view value) {
    if (!isHoldableName(section) || !isHoldableName(key) || !clipmill::fitsGbk(value)) return;
    const std::string expected = withLineBreaksAsSpaces(value);
    if (clipmill::utf8ToGbk(expected).size() > IniFile::kMaxValueBytes) return;

    IniFile file = original;
    file.setValue(section, key, value);
    FUZZ_CHECK(file.value(section, key) == expected);
    FUZZ_CHECK(IniFile::fromBytes(file.bytes()).value(section, key) == expected);
    checkOtherKeysKept(original, file, section, key);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const clipmill::fuzz::FuzzFields input = clipmill::fuzz::splitInput(data, size, 3);
    const IniFile file = IniFile::fromBytes(input.payload);
    // Reading keeps every byte, line ends included.
    FUZZ_CHECK(file.bytes() == input.payload);

    const std::string_view section = input.parameters[0];
    const std::string_view key = input.parameters[1];
    for (const std::string& name : file.keys(section)) {
        std::optional<std::string> value = file.value(section, name);
        // A key listed under its own spelling is found again, unless its bytes are not GBK
        // (then the UTF-8 spelling no longer names the same bytes).
        if (clipmill::utf8ToGbk(name).find('?') == std::string::npos) FUZZ_CHECK(value.has_value());
    }
    if (std::optional<std::string> value = file.value(section, key))
        FUZZ_CHECK(value->size() <= 3 * IniFile::kMaxValueBytes);

    checkWrittenValueReadsBack(file, section, key, input.parameters[2]);
    return 0;
}
