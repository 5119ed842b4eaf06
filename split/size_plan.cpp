#include "split/size_plan.h"

#include <string>

#include "pagewriter/page_document.h"

namespace brisel {

namespace {

// The size of the file of pages [from, from + count) of the list, or why it
// cannot be built.
Result<int64_t> BuiltSize(Job& job, const Document& doc, const std::vector<int32_t>& pages, size_t from, size_t count,
                  PageEncryption* encryption, std::string& buffer) {
    const std::vector<int32_t> some(pages.begin() + static_cast<std::ptrdiff_t>(from),
                                    pages.begin() + static_cast<std::ptrdiff_t>(from + count));
    // What the pages lack is reported when the part is written, not here.
    // Large streams are measured, not copied.
    PageSpans spans;
    if (Failure f = BuildPartDocument(job, some, doc, buffer, encryption, nullptr, &spans)) return f;
    return static_cast<int64_t>(buffer.size() + spans.bytes);
}

}  // namespace

Failure CutPartsBySize(Job& job, const Document& doc, std::vector<Part>& parts, int64_t maxSize,
                   PageEncryption* encryption, std::vector<int32_t>& oversized, std::vector<int64_t>& sizes) {
    std::vector<Part> cut;
    oversized.clear();
    sizes.clear();
    std::string buffer;
    for (const Part& part : parts) {
        const std::vector<int32_t> pages = PartPages(part);
        const size_t n = pages.size();
        for (size_t start = 0; start < n;) {
            // The longest run from start that fits: doubling until a run does
            // not fit or the part ends, then halving the gap. A file grows
            // with its pages, so that run is where the size is crossed.
            const Result<int64_t> first = BuiltSize(job, doc, pages, start, 1, encryption, buffer);
            if (!first) return first.failure();
            if (job.Stopped()) return Failure(job.StopCode);
            int64_t fitSize = *first;
            size_t fits = 1, fails = 0;
            const bool alone = fitSize > maxSize;
            while (!alone && fails == 0 && fits < n - start) {
                const size_t tryCount = std::min(fits * 2, n - start);
                const Result<int64_t> size = BuiltSize(job, doc, pages, start, tryCount, encryption, buffer);
                if (!size) return size.failure();
                if (job.Stopped()) return Failure(job.StopCode);
                if (*size <= maxSize) fits = tryCount, fitSize = *size;
                else fails = tryCount;
            }
            while (fails > fits + 1) {
                const size_t middle = fits + (fails - fits) / 2;
                const Result<int64_t> size = BuiltSize(job, doc, pages, start, middle, encryption, buffer);
                if (!size) return size.failure();
                if (job.Stopped()) return Failure(job.StopCode);
                if (*size <= maxSize) fits = middle, fitSize = *size;
                else fails = middle;
            }
            if (alone) oversized.push_back(static_cast<int32_t>(cut.size()));
            const std::vector<int32_t> run(pages.begin() + static_cast<std::ptrdiff_t>(start),
                                           pages.begin() + static_cast<std::ptrdiff_t>(start + fits));
            // The bookmark that started the part names its first piece.
            cut.push_back(MakePart(run, start == 0 ? part.bookmark : -1));
            sizes.push_back(fitSize);
            start += fits;
        }
    }
    parts = std::move(cut);
    return {};
}

bool ParseByteSize(const std::string& text, int64_t& bytes) {
    size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
    if (digits == 0 || digits > 15) return false;
    int64_t value = std::stoll(text.substr(0, digits));
    std::string unit = text.substr(digits);
    for (char& c : unit) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    int shift = 0;
    if (!unit.empty() && (unit[0] == 'K' || unit[0] == 'M' || unit[0] == 'G')) {
        shift = unit[0] == 'K' ? 10 : unit[0] == 'M' ? 20 : 30;
        unit.erase(0, 1);
        if (unit == "IB" || unit == "B") unit.clear();
    } else if (unit == "B") {
        unit.clear();
    }
    if (!unit.empty() || value <= 0 || value > (INT64_MAX >> 31)) return false;
    bytes = value << shift;
    return true;
}

}  // namespace brisel
