#include "engine/title_pool.h"

#include <sys/stat.h>

#include <algorithm>

#include "support/atomic_file.h"
#include "support/text_decoding.h"

namespace clipmill {

namespace {

bool isTitleFile(const std::string& line) {
    struct stat info {};
    return !line.empty() && line.front() == '/' && stat(line.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

std::vector<std::string> splitPieces(std::string_view text, std::string_view separator) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t at = text.find(separator, start);
        if (at == std::string_view::npos) {
            pieces.emplace_back(text.substr(start));
            break;
        }
        pieces.emplace_back(text.substr(start, at - start));
        start = at + separator.size();
    }
    return pieces;
}

std::vector<std::string> titlesFromLibrary(std::string_view library) {
    std::vector<std::string> titles;
    for (std::string line : splitPieces(library, "\n")) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!isTitleFile(line)) {
            titles.push_back(std::move(line));
            continue;
        }
        const auto bytes = readWholeFile(line);
        if (!bytes) continue;
        for (auto& piece : splitPieces(decodeToUtf8(*bytes), ",")) titles.push_back(std::move(piece));
    }
    return titles;
}

std::optional<std::string> TitlePool::take(const Refill& refill, const Choose& choose) {
    std::lock_guard lock(mutex_);
    if (titles_.empty()) titles_ = refill();
    if (titles_.empty()) return std::nullopt;
    const std::size_t k = std::min(choose(titles_.size()), titles_.size() - 1);
    std::string title = std::move(titles_[k]);
    titles_.erase(titles_.begin() + static_cast<std::ptrdiff_t>(k));
    return title;
}

void TitlePool::giveBack(std::string title) {
    std::lock_guard lock(mutex_);
    titles_.insert(titles_.begin(), std::move(title));
}

void TitlePool::refill(std::vector<std::string> titles) {
    std::lock_guard lock(mutex_);
    titles_ = std::move(titles);
}

std::size_t TitlePool::size() const {
    std::lock_guard lock(mutex_);
    return titles_.size();
}

}  // namespace clipmill
