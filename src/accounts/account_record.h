#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace clipmill {

// One account as a key-value record of text and 32-bit integer values, in the order the
// keys were first set. A missing key reads as "" or 0.
class AccountRecord {
public:
    using Value = std::variant<std::string, std::int32_t>;

    std::string text(const std::string& key) const;
    std::int32_t integer(const std::string& key) const;
    bool has(const std::string& key) const;
    void setText(const std::string& key, std::string value);
    void setInteger(const std::string& key, std::int32_t value);
    void clear() { entries_.clear(); }
    bool empty() const { return entries_.empty(); }
    const std::vector<std::pair<std::string, Value>>& entries() const { return entries_; }

    bool operator==(const AccountRecord&) const = default;

private:
    const Value* find(const std::string& key) const;
    void set(const std::string& key, Value value);

    std::vector<std::pair<std::string, Value>> entries_;
};

}  // namespace clipmill
