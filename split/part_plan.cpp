#include "split/part_plan.h"

#include <algorithm>

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

void AppendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// A title's characters: UTF-16BE after its byte-order mark, else one
// character per byte (the Latin characters of the PDF text encoding).
std::vector<uint32_t> TitleCharacters(const std::vector<uint8_t>& bytes) {
    std::vector<uint32_t> chars;
    if (bytes.size() >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF) {
        for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
            uint32_t c = static_cast<uint32_t>(bytes[i] << 8 | bytes[i + 1]);
            if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes.size()) {
                const uint32_t low = static_cast<uint32_t>(bytes[i + 2] << 8 | bytes[i + 3]);
                if (low >= 0xDC00 && low < 0xE000) {
                    c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                    i += 2;
                }
            }
            chars.push_back(c >= 0xD800 && c < 0xE000 ? '_' : c);
        }
    } else {
        for (uint8_t b : bytes) chars.push_back(b);
    }
    return chars;
}

// Whether a file name can hold the character on every platform brisel runs on.
bool FileNameCanHold(uint32_t c) {
    if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0)) return false;
    for (char bad : std::string("/\\:*?\"<>|"))
        if (c == static_cast<uint8_t>(bad)) return false;
    return true;
}

// The characters of an OutlineTable entry's title; false when it has none
// that can be read.
bool ReadTitle(const Document& doc, int32_t r, std::vector<uint32_t>& chars) {
    if (r <= 0 || static_cast<size_t>(r) >= doc.outlines.size()) return false;
    const OutlineRecord& record = doc.outlines[static_cast<size_t>(r)];
    if (record.titleLength < 2 || record.titlePosition < 0 ||
        record.titlePosition + record.titleLength > static_cast<int64_t>(doc.image.size()))
        return false;
    Cursor p = doc.start() + record.titlePosition;
    const Cursor end = p + record.titleLength;
    std::vector<uint8_t> bytes(static_cast<size_t>(record.titleLength));
    const bool literal = *p == '(';
    ++p;
    const int n = literal ? ReadLiteralString(p, end, bytes.data(), record.titleLength)
                          : ReadHexString(p, end, bytes.data(), record.titleLength);
    bytes.resize(n > 0 ? static_cast<size_t>(n) : 0);
    chars = TitleCharacters(bytes);
    return true;
}

}  // namespace

std::string BookmarkTitle(const Document& doc, int32_t bookmark) {
    std::vector<uint32_t> chars;
    std::string title;
    if (!ReadTitle(doc, bookmark, chars)) return title;
    for (uint32_t c : chars) AppendUtf8(title, c);
    return title;
}

std::vector<std::string> PartTitles(const Document& doc, const std::vector<Part>& parts) {
    std::vector<std::string> titles(parts.size());
    for (size_t k = 0; k < parts.size(); ++k) {
        std::vector<uint32_t> chars;
        if (!ReadTitle(doc, parts[k].bookmark, chars)) continue;
        std::string& title = titles[k];
        for (uint32_t c : chars) {
            std::string one;
            AppendUtf8(one, FileNameCanHold(c) ? c : '_');
            if (title.size() + one.size() > kMaxTitleBytes) break;
            title += one;
        }
        // A name that ends in a space or a dot is not one Windows keeps.
        while (!title.empty() && (title.back() == ' ' || title.back() == '.')) title.back() = '_';
    }
    return titles;
}

}  // namespace brisel
