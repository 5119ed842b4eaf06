#include "pagewriter/bookmark_tree.h"

namespace brisel {

// Bookmarks are not carried into page files yet.
std::vector<int32_t> SelectPageBookmarks(const Job&, const Document&, int32_t) { return {}; }

int32_t WriteBookmarkTree(Job&, const Document&, const std::vector<int32_t>&, int32_t firstNumber, std::string&,
                          std::vector<size_t>&) {
    return firstNumber;
}

}  // namespace brisel
