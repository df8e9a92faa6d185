#pragma once

#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace clipmill {

// Pieces of `text` cut at every `separator`: a separator at the start gives an empty first
// piece, two in a row an empty piece between them, one at the end nothing after it; an
// empty text gives no pieces. Pieces are not trimmed.
std::vector<std::string> splitPieces(std::string_view text, std::string_view separator);

// The titles a library text yields, one line after another: a line that is the absolute
// path of an existing file contributes that file's text cut at every ",", in whatever
// encoding the file is written; any other line is a title itself.
std::vector<std::string> titlesFromLibrary(std::string_view library);

// The program's one pool of library titles, shared by every run and thread. Each title is
// handed out once; an empty pool is refilled from the library on demand.
class TitlePool {
public:
    using Refill = std::function<std::vector<std::string>()>;
    // 0-based index of the entry to take from a pool of the given size.
    using Choose = std::function<std::size_t(std::size_t size)>;

    // Takes the chosen entry, refilling first when the pool is empty. Nothing when even the
    // refilled pool is empty.
    std::optional<std::string> take(const Refill& refill, const Choose& choose);
    // Puts a title taken earlier back in front, where the next take in order finds it.
    void giveBack(std::string title);
    // Replaces whatever is left with these titles.
    void refill(std::vector<std::string> titles);
    std::size_t size() const;

private:
    mutable std::mutex mutex_;
    std::vector<std::string> titles_;
};

}  // namespace clipmill
