#include "engine/file_listing.h"

#include <sys/stat.h>
#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>

#include "support/dir_handle.h"
#include "support/utf8_text.h"

namespace clipmill {

namespace fs = std::filesystem;

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

enum class EntryKind { File, LinkToFile, Folder, Other };

EntryKind kindOf(const std::string& folder, const dirent& entry) {
    if (entry.d_type == DT_REG) return EntryKind::File;
    if (entry.d_type == DT_DIR) return EntryKind::Folder;
    if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN) return EntryKind::Other;
    const std::string path = folder + entry.d_name;
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) return EntryKind::Other;
    if (S_ISDIR(info.st_mode)) return EntryKind::Folder;
    if (S_ISLNK(info.st_mode) && stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) return EntryKind::LinkToFile;
    return S_ISREG(info.st_mode) ? EntryKind::File : EntryKind::Other;
}

// The path with every link, "." and ".." resolved and no trailing separator; "" when it
// cannot be resolved.
fs::path realPath(const fs::path& path) {
    if (path.empty()) return {};
    std::error_code error;
    fs::path real = fs::weakly_canonical(path, error);
    if (error) return {};
    if (!real.has_filename() && real.has_relative_path()) real = real.parent_path();
    return real;
}

bool liesIn(const fs::path& path, const fs::path& folder) {
    return std::mismatch(folder.begin(), folder.end(), path.begin(), path.end()).first == folder.end();
}

struct Walk {
    std::string_view pattern;
    bool subfolders;
    std::size_t limit;
    fs::path skipped;  // real path, or empty
    std::vector<std::string>& out;

    bool skips(const fs::path& real) const { return !skipped.empty() && liesIn(real, skipped); }
};

// `folder` ends in "/". Names of matching files and of subfolders, unsorted.
Entries readFolder(const std::string& folder, const Walk& walk) {
    Entries entries;
    DirHandle dir = openFolder(folder);
    if (!dir) return entries;
    while (const dirent* entry = readdir(dir.get())) {
        if (entry->d_name[0] == '.') continue;
        const EntryKind kind = kindOf(folder, *entry);
        const bool file =
            kind == EntryKind::File || (kind == EntryKind::LinkToFile && !walk.skips(realPath(folder + entry->d_name)));
        if (file && wildcardMatch(walk.pattern, entry->d_name)) entries.files.emplace_back(entry->d_name);
        if (kind == EntryKind::Folder && walk.subfolders) entries.folders.emplace_back(entry->d_name);
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

// `realFolder` is the real path of `folder` when something is skipped. Subfolders are real
// folders, never links, so the real path of each is that of its parent and its name.
void collect(const std::string& folder, const fs::path& realFolder, Walk& walk) {
    Entries entries = readFolder(folder, walk);
    sortAsListed(entries.files);
    for (const auto& name : entries.files) {
        if (walk.out.size() >= walk.limit) return;
        walk.out.push_back(folder + name);
    }
    sortAsListed(entries.folders);
    for (const auto& name : entries.folders) {
        if (walk.out.size() >= walk.limit) return;
        const fs::path realSubfolder = walk.skipped.empty() ? fs::path() : realFolder / name;
        if (walk.skips(realSubfolder)) continue;
        collect(folder + name + "/", realSubfolder, walk);
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
                                   std::size_t limit, const fs::path& skipped) {
    std::vector<std::string> out;
    if (folder.empty() || limit == 0) return out;
    Walk walk{pattern, subfolders, limit, realPath(skipped), out};
    const fs::path realFolder = walk.skipped.empty() ? fs::path() : realPath(folder);
    if (walk.skips(realFolder)) return out;
    collect(folder.back() == '/' ? folder : folder + "/", realFolder, walk);
    return out;
}

}  // namespace clipmill
