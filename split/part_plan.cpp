#include "split/part_plan.h"

#include <algorithm>

#include "base/pdf_text.h"
#include "pdfread/lexer.h"
#include "split/page_range.h"

namespace brisel {

std::vector<int32_t> PartPages(const Part& part) {
    if (!part.pages.empty()) return part.pages;
    std::vector<int32_t> pages;
    for (int32_t index = part.first; index <= part.last; ++index) pages.push_back(index);
    return pages;
}

Part MakePart(const std::vector<int32_t>& pages, int32_t bookmark) {
    Part part{pages.front(), pages.back(), bookmark, {}};
    if (pages.back() - pages.front() + 1 != static_cast<int32_t>(pages.size())) part.pages = pages;
    return part;
}

const char* PartRangesHelp() {
    return "--parts needs pages or ranges separated by commas, such as 1-3,7,9- or r3-z (A-B, A- to the end, "
           "-B from the start, A alone; z the last page, rN the N-th from the end; :odd or :even after any; "
           "A no greater than B; no page in two ranges)";
}

bool PlanParts(const PartRequest& request, const OutlineTable& outlines, int32_t pageCount,
               const std::vector<int32_t>& selected, std::vector<Part>& parts, std::string* why, Language language) {
    parts.clear();
    if (selected.empty()) return false;
    const int32_t total = static_cast<int32_t>(selected.size());
    auto slice = [&](int32_t from, int32_t to) {  // positions [from, to) of selected
        return std::vector<int32_t>(selected.begin() + from, selected.begin() + to);
    };
    switch (request.mode) {
        case PartMode::Size:
            parts.push_back(MakePart(selected));
            break;
        case PartMode::Every: {
            const int32_t n = std::max(request.every, 1);
            for (int32_t from = 0; from < total; from += std::min(n, total - from))
                parts.push_back(MakePart(slice(from, std::min(from + n, total))));
            break;
        }
        case PartMode::AtBookmarks: {
            // A bookmark of the level starts a part at its page (or at the
            // next selected page) when that lies after the start of the part
            // being made; bookmarks that lead nowhere, back, or to the same
            // page start none.
            int32_t start = 0, startBookmark = -1;
            for (size_t r = 1; r < outlines.size(); ++r) {
                const OutlineRecord& record = outlines[r];
                if (record.depth != request.level || record.pageIndex < 0) continue;
                const int32_t at = static_cast<int32_t>(
                    std::lower_bound(selected.begin(), selected.end(), record.pageIndex) - selected.begin());
                if (at >= total) continue;
                if (at <= start) {
                    // The bookmark of the first page names the first part.
                    if (at == start && selected[static_cast<size_t>(at)] == record.pageIndex && startBookmark < 0)
                        startBookmark = static_cast<int32_t>(r);
                    continue;
                }
                parts.push_back(MakePart(slice(start, at), startBookmark));
                start = at;
                startBookmark = static_cast<int32_t>(r);
            }
            parts.push_back(MakePart(slice(start, total), startBookmark));
            break;
        }
        case PartMode::Ranges: {
            std::vector<char> taken(static_cast<size_t>(pageCount), 0), chosen(static_cast<size_t>(pageCount), 0);
            for (int32_t index : selected) chosen[static_cast<size_t>(index)] = 1;
            std::vector<int32_t> pages;
            for (const PageSpan& span : request.ranges) {
                if (const int32_t missing = ResolvePageSpan(span, pageCount, pages); missing != 0) {
                    if (why) *why = PageSpanProblem(language, span, missing, pageCount);
                    parts.clear();
                    return false;
                }
                std::vector<int32_t> inPart;
                for (int32_t page : pages) {
                    if (taken[static_cast<size_t>(page - 1)]++) {
                        if (why)
                            *why = (language == Language::Japanese ? "ページ " : "page ") + std::to_string(page) +
                                   (language == Language::Japanese ? " が二つの範囲にあります" : " is in two ranges");
                        parts.clear();
                        return false;
                    }
                    if (chosen[static_cast<size_t>(page - 1)]) inPart.push_back(page - 1);
                }
                if (!inPart.empty()) parts.push_back(MakePart(inPart));
            }
            std::sort(parts.begin(), parts.end(), [](const Part& x, const Part& y) { return x.first < y.first; });
            break;
        }
    }
    return !parts.empty();
}

bool PlanParts(const PartRequest& request, const OutlineTable& outlines, int32_t pageCount, int32_t first,
               int32_t last, std::vector<Part>& parts) {
    std::vector<int32_t> selected;
    for (int32_t index = std::max(first, 0); index < std::min(last, pageCount); ++index) selected.push_back(index);
    return PlanParts(request, outlines, pageCount, selected, parts);
}

namespace {

constexpr size_t kMaxTitleBytes = 120;

// What a character of a title becomes in a file name: itself, "_" for one
// no file name on any platform brisel runs on can hold, or nothing for the
// invisible ones (bidirectional controls and zero-width characters would let
// a name show other than it is: "evil<U+202E>fdp.exe").
enum class InName { Keep, Underscore, Drop };

InName TitleCharacterInName(char32_t c) {
    if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0) || c == kReplacementCharacter) return InName::Underscore;
    if (c < 0x80 && std::string_view("/\\:*?\"<>|").find(static_cast<char>(c)) != std::string_view::npos)
        return InName::Underscore;
    // Line and paragraph separators.
    if (c == 0x2028 || c == 0x2029) return InName::Underscore;
    // Soft hyphen, Arabic letter mark, zero-width space and joiners, marks
    // and embeddings, word joiner and invisible operators, isolates, the
    // byte-order mark and interlinear annotation marks.
    if (c == 0xAD || c == 0x61C || c == 0x180E || (c >= 0x200B && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) ||
        (c >= 0x2060 && c <= 0x206F) || c == 0xFEFF || (c >= 0xFFF9 && c <= 0xFFFB))
        return InName::Drop;
    return InName::Keep;
}

// Whether the name (up to its first dot, trailing spaces aside) is one that
// Windows keeps for a device: CON, PRN, AUX, NUL, COM1-9, LPT1-9.
bool IsDeviceName(const std::string& name) {
    std::string stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    for (char& c : stem) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL") return true;
    return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) && stem[3] >= '1' &&
           stem[3] <= '9';
}

}  // namespace

std::string BookmarkTitle(const Document& doc, int32_t bookmark) {
    return PdfTextToUtf8(OutlineTitleBytes(doc, bookmark));
}

std::string TitleForFileName(std::string_view titleBytes) {
    std::string title;
    for (char32_t c : DecodePdfText(titleBytes)) {
        const InName what = TitleCharacterInName(c);
        if (what == InName::Drop) continue;
        std::string one;
        AppendUtf8(one, what == InName::Keep ? c : U'_');
        if (title.size() + one.size() > kMaxTitleBytes) break;
        title += one;
    }
    // No hidden file from a title that begins with a dot; no name that
    // Windows cuts (trailing dots and spaces) or keeps for a device. The
    // same title gives the same name on every platform.
    if (!title.empty() && title.front() == '.') title.front() = '_';
    while (!title.empty() && (title.back() == ' ' || title.back() == '.')) title.back() = '_';
    if (IsDeviceName(title)) {
        const size_t dot = std::min(title.find('.'), title.size());
        title = title.substr(0, dot) + '_' + title.substr(dot);
    }
    return title;
}

std::string OutlineTitleBytes(const Document& doc, int32_t record) {
    if (record <= 0 || static_cast<size_t>(record) >= doc.outlines.size()) return "";
    const OutlineRecord& r = doc.outlines[static_cast<size_t>(record)];
    if (r.titleLength < 2 || r.titlePosition < 0 ||
        r.titlePosition + r.titleLength > static_cast<int64_t>(doc.image.size()))
        return "";
    Cursor p = doc.start() + r.titlePosition;
    const Cursor end = p + r.titleLength;
    std::string bytes(static_cast<size_t>(r.titleLength), '\0');
    const bool literal = *p == '(';
    ++p;
    auto* out = reinterpret_cast<uint8_t*>(bytes.data());
    const int n = literal ? ReadLiteralString(p, end, out, r.titleLength) : ReadHexString(p, end, out, r.titleLength);
    bytes.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return bytes;
}

std::vector<std::string> PartTitles(const Document& doc, const std::vector<Part>& parts) {
    std::vector<std::string> titles(parts.size());
    for (size_t k = 0; k < parts.size(); ++k) titles[k] = TitleForFileName(OutlineTitleBytes(doc, parts[k].bookmark));
    return titles;
}

}  // namespace brisel
