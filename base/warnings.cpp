#include "base/warnings.h"

#include <algorithm>

namespace brisel {

const char* WarningName(WarningKind kind) {
    switch (kind) {
        case WarningKind::MissingObject: return "missing-object";
        case WarningKind::LostTreeNode: return "lost-page-tree-node";
        case WarningKind::RepairedEntry: return "repaired-entry";
        case WarningKind::ResealedPerms: return "resealed-perms";
    }
    return "warning";
}

std::string DescribeWarning(const Warning& warning) {
    std::string text;
    for (const char* p = WarningName(warning.kind); *p; ++p) text += *p == '-' ? ' ' : *p;
    if (warning.object >= 0) text.append(" ").append(std::to_string(warning.object));
    if (warning.offset >= 0) text.append(" at offset ").append(std::to_string(warning.offset));
    if (warning.firstPage > 0) {
        const bool several = warning.lastPage > warning.firstPage;
        text.append(several ? ", pages " : ", page ").append(std::to_string(warning.firstPage));
        if (several) text.append("-").append(std::to_string(warning.lastPage));
    }
    return text;
}

void WarningList::Append(const WarningList& other, int32_t firstPage, int32_t lastPage) {
    for (Warning w : other.items_) {
        if (w.firstPage == 0) {
            w.firstPage = firstPage;
            w.lastPage = lastPage;
        }
        items_.push_back(w);
    }
}

void WarningList::ClearKind(WarningKind kind) {
    std::erase_if(items_, [&](const Warning& w) { return w.kind == kind; });
}

void WarningList::DropPagesAfter(int32_t lastPage) {
    std::erase_if(items_, [&](const Warning& w) { return w.firstPage > lastPage; });
}

int32_t WarningList::Count(WarningKind kind) const {
    return static_cast<int32_t>(std::count_if(items_.begin(), items_.end(), [&](const Warning& w) { return w.kind == kind; }));
}

std::vector<int32_t> WarningList::Pages(WarningKind kind) const {
    std::vector<int32_t> pages;
    for (const Warning& w : items_)
        if (w.kind == kind)
            for (int32_t p = w.firstPage; p > 0 && p <= std::max(w.firstPage, w.lastPage); ++p) pages.push_back(p);
    std::sort(pages.begin(), pages.end());
    pages.erase(std::unique(pages.begin(), pages.end()), pages.end());
    return pages;
}

}  // namespace brisel
