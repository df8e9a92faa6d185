#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "accounts/account_record.h"

namespace clipmill {

// Reads an account file (one JSON object, UTF-8 with or without a byte-order mark) into
// `record`, replacing its content. Strings become text values, numbers that fit in 32
// bits become integers; other members are ignored. A missing, unreadable or malformed
// file leaves the record empty and gives false.
bool readAccountFile(const std::filesystem::path& path, AccountRecord& record);
// The same for the file's content already read.
bool parseAccountFile(std::string_view content, AccountRecord& record);

// The record as one JSON object: text values as strings, integers as numbers, in the
// record's key order. Empty when a text is not valid UTF-8.
std::string accountFileContent(const AccountRecord& record);

// Writes the record to `path` (UTF-8, no byte-order mark), replacing the file atomically.
bool writeAccountFile(const std::filesystem::path& path, const AccountRecord& record);

}  // namespace clipmill
