#include "engine/file_listing.h"

#include <sys/stat.h>
#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>

#include "support/dir_handle.h"
#include "support/utf8_text.h"

namespace clipmill {

namespace {

UChar32 characterAt(std::string_view text, std::size_t& offset) {
    const auto length = static_cast<int32_t>(text.size());
    auto i = static_cast<int32_t>(offset);
    UChar32 c;
    U8_NEXT(reinterpret_cast<const uint8_t*>(text.data()), i, length, c);
    offset = static_cast<std::size_t>(i);
    return c;
}

bool sameLetter(UChar32 a, UChar32 b) {
    if (a == b) return true;
    if (a < 0 || b < 0) return false;
    if (a < 0x80 && b < 0x80) return (a | 0x20) == (b | 0x20) && (a | 0x20) >= 'a' && (a | 0x20) <= 'z';
    return u_foldCase(a, U_FOLD_CASE_DEFAULT) == u_foldCase(b, U_FOLD_CASE_DEFAULT);
}

struct Entries {
    std::vector<std::string> files;
    std::vector<std::string> folders;
};

enum class EntryKind { File, Folder, Other };

EntryKind kindOf(const std::string& folder, const dirent& entry) {
    if (entry.d_type == DT_REG) return EntryKind::File;
    if (entry.d_type == DT_DIR) return EntryKind::Folder;
    if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN) return EntryKind::Other;
    const std::string path = folder + entry.d_name;
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) return EntryKind::Other;
    if (S_ISDIR(info.st_mode)) return EntryKind::Folder;
    if (S_ISLNK(info.st_mode) && stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) return EntryKind::File;
    return S_ISREG(info.st_mode) ? EntryKind::File : EntryKind::Other;
}

// `folder` ends in "/". Names of matching files and of subfolders, unsorted.
Entries readFolder(const std::string& folder, std::string_view pattern, bool withFolders) {
    Entries entries;
    DirHandle dir = openFolder(folder);
    if (!dir) return entries;
    while (const dirent* entry = readdir(dir.get())) {
        if (entry->d_name[0] == '.') continue;
        const EntryKind kind = kindOf(folder, *entry);
        if (kind == EntryKind::File && wildcardMatch(pattern, entry->d_name)) entries.files.emplace_back(entry->d_name);
        if (kind == EntryKind::Folder && withFolders) entries.folders.emplace_back(entry->d_name);
    }
    return entries;
}

void sortAsListed(std::vector<std::string>& names) {
    if (names.size() < 2) return;
    std::vector<std::pair<std::u16string, std::string>> keyed;
    keyed.reserve(names.size());
    for (auto& name : names) keyed.emplace_back(caseFoldedSortKey(name), std::move(name));
    std::sort(keyed.begin(), keyed.end());
    for (std::size_t i = 0; i < names.size(); ++i) names[i] = std::move(keyed[i].second);
}

void collect(const std::string& folder, std::string_view pattern, bool subfolders, std::size_t limit,
             std::vector<std::string>& out) {
    Entries entries = readFolder(folder, pattern, subfolders);
    sortAsListed(entries.files);
    for (const auto& name : entries.files) {
        if (out.size() >= limit) return;
        out.push_back(folder + name);
    }
    sortAsListed(entries.folders);
    for (const auto& name : entries.folders) {
        if (out.size() >= limit) return;
        collect(folder + name + "/", pattern, subfolders, limit, out);
    }
}

}  // namespace

bool wildcardMatch(std::string_view pattern, std::string_view name) {
    std::size_t p = 0, n = 0;
    std::size_t starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = ++p;
            starN = n;
            continue;
        }
        std::size_t nextP = p, nextN = n;
        if (p < pattern.size()) {
            const UChar32 want = characterAt(pattern, nextP);
            const UChar32 have = characterAt(name, nextN);
            if (want == '?' || sameLetter(want, have)) {
                p = nextP;
                n = nextN;
                continue;
            }
        }
        if (starP == std::string_view::npos) return false;
        p = starP;
        characterAt(name, starN);  // the star takes one more character
        n = starN;
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

std::vector<std::string> listFiles(const std::string& folder, std::string_view pattern, bool subfolders,
                                   std::size_t limit) {
    std::vector<std::string> out;
    if (folder.empty() || limit == 0) return out;
    collect(folder.back() == '/' ? folder : folder + "/", pattern, subfolders, limit, out);
    return out;
}

}  // namespace clipmill
