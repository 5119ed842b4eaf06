#include "split/part_plan.h"

#include <algorithm>

#include "base/pdf_text.h"
#include "pdfread/lexer.h"
#include "split/page_range.h"

namespace brisel {

bool ParsePartRanges(const std::string& text, std::vector<PageSpan>& ranges) {
    ranges.clear();
    size_t from = 0;
    for (;;) {
        const size_t comma = std::min(text.find(',', from), text.size());
        const std::string item = text.substr(from, comma - from);
        const size_t dash = item.find('-');
        PageSpan span;
        if (dash == std::string::npos) {
            if (!ReadPageField(item, span.first) || span.first == 0) return false;
            span.last = span.first;
        } else if (!ReadPageField(item.substr(0, dash), span.first) || span.first == 0 ||
                   !ReadPageField(item.substr(dash + 1), span.last) || (span.last != 0 && span.last < span.first)) {
            return false;
        }
        ranges.push_back(span);
        if (comma == text.size()) break;
        from = comma + 1;
    }
    // No page in two parts: sorted by first page, each must end before the
    // next begins (an open end reaches every later page).
    std::vector<PageSpan> sorted = ranges;
    std::sort(sorted.begin(), sorted.end(), [](const PageSpan& a, const PageSpan& b) { return a.first < b.first; });
    for (size_t i = 1; i < sorted.size(); ++i)
        if (sorted[i - 1].last == 0 || sorted[i - 1].last >= sorted[i].first) return false;
    return true;
}

const char* PartRangesHelp() {
    return "--parts needs page ranges separated by commas, such as 1-3,7,9- (A-B, A- to the end, or A alone; "
           "A no greater than B; no page in two ranges)";
}

namespace {

// Appends the part [from, to] cut to [first, last); nothing when they do not
// meet.
void AddClipped(std::vector<Part>& parts, int32_t from, int32_t to, int32_t first, int32_t last, int32_t bookmark) {
    from = std::max(from, first);
    to = std::min(to, last - 1);
    if (from <= to) parts.push_back(Part{from, to, bookmark});
}

}  // namespace

bool PlanParts(const PartRequest& request, const OutlineTable& outlines, int32_t pageCount, int32_t first,
               int32_t last, std::vector<Part>& parts) {
    parts.clear();
    first = std::max(first, 0);
    last = std::min(last, pageCount);
    if (first >= last) return false;
    switch (request.mode) {
        case PartMode::Every: {
            const int32_t n = std::max(request.every, 1);
            for (int32_t from = first; from < last; from += std::min(n, last - from))
                parts.push_back(Part{from, std::min(from + n, last) - 1, -1});
            break;
        }
        case PartMode::AtBookmarks: {
            // A bookmark of the level starts a part at its page when that page
            // lies after the start of the part being made; bookmarks that lead
            // nowhere, back, or to the same page start none.
            int32_t start = first, startBookmark = -1;
            for (size_t r = 1; r < outlines.size(); ++r) {
                const OutlineRecord& record = outlines[r];
                if (record.depth != request.level || record.pageIndex < 0 || record.pageIndex >= last) continue;
                if (record.pageIndex <= start) {
                    // The bookmark of the first page names the first part.
                    if (record.pageIndex == start && startBookmark < 0) startBookmark = static_cast<int32_t>(r);
                    continue;
                }
                parts.push_back(Part{start, record.pageIndex - 1, startBookmark});
                start = record.pageIndex;
                startBookmark = static_cast<int32_t>(r);
            }
            parts.push_back(Part{start, last - 1, startBookmark});
            break;
        }
        case PartMode::Ranges: {
            for (const PageSpan& span : request.ranges)
                if (span.first > pageCount || span.last > pageCount) return false;
            std::vector<PageSpan> sorted = request.ranges;
            std::sort(sorted.begin(), sorted.end(),
                      [](const PageSpan& a, const PageSpan& b) { return a.first < b.first; });
            for (const PageSpan& span : sorted)
                AddClipped(parts, span.first - 1, span.last == 0 ? pageCount - 1 : span.last - 1, first, last, -1);
            break;
        }
    }
    return !parts.empty();
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
