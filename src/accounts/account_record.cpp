#include "accounts/account_record.h"

namespace clipmill {

const AccountRecord::Value* AccountRecord::find(const std::string& key) const {
    for (const auto& [k, v] : entries_)
        if (k == key) return &v;
    return nullptr;
}

void AccountRecord::set(const std::string& key, Value value) {
    for (auto& [k, v] : entries_) {
        if (k == key) {
            v = std::move(value);
            return;
        }
    }
    entries_.emplace_back(key, std::move(value));
}

std::string AccountRecord::text(const std::string& key) const {
    const Value* v = find(key);
    if (!v) return {};
    if (const auto* s = std::get_if<std::string>(v)) return *s;
    return std::to_string(std::get<std::int32_t>(*v));
}

std::int32_t AccountRecord::integer(const std::string& key) const {
    const Value* v = find(key);
    if (!v) return 0;
    if (const auto* i = std::get_if<std::int32_t>(v)) return *i;
    return 0;
}

bool AccountRecord::has(const std::string& key) const { return find(key) != nullptr; }

void AccountRecord::setText(const std::string& key, std::string value) { set(key, std::move(value)); }

void AccountRecord::setInteger(const std::string& key, std::int32_t value) { set(key, value); }

}  // namespace clipmill
