#include "split/page_range.h"

#include <algorithm>
#include <climits>
#include <initializer_list>
#include <string_view>

#include "split/split_stages.h"

namespace brisel {

bool ReadPageField(const std::string& text, int32_t& value) {
    size_t from = text.find_first_not_of(' ');
    if (from == std::string::npos) {
        value = 0;
        return true;
    }
    size_t to = text.find_last_not_of(' ') + 1;
    int64_t v = 0;
    for (size_t i = from; i < to; ++i) {
        char c = text[i];
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
        if (v > INT32_MAX) return false;
    }
    if (v == 0) return false;
    value = static_cast<int32_t>(v);
    return true;
}

namespace {

std::string Trimmed(const std::string& text) {
    const size_t from = text.find_first_not_of(' ');
    if (from == std::string::npos) return "";
    return text.substr(from, text.find_last_not_of(' ') + 1 - from);
}

// "7", "z", "r3"; false for anything else (an empty text is an open side,
// handled by the caller).
bool ReadPageRef(const std::string& text, PageRef& ref) {
    const std::string t = Trimmed(text);
    if (t == "z" || t == "Z") {
        ref = PageRef{1, true};
        return true;
    }
    ref.fromEnd = !t.empty() && (t[0] == 'r' || t[0] == 'R');
    return !t.empty() && ReadPageField(t.substr(ref.fromEnd ? 1 : 0), ref.number) && ref.number > 0;
}

bool Absolute(const PageSpan& s) { return !s.first.fromEnd && !s.last.fromEnd; }

// Whether two items without pages counted from the end share a page.
bool Overlap(const PageSpan& a, const PageSpan& b) {
    const int64_t lo = std::max(a.first.number ? a.first.number : 1, b.first.number ? b.first.number : 1);
    const int64_t hi = std::min<int64_t>(a.last.number ? a.last.number : INT32_MAX, b.last.number ? b.last.number : INT32_MAX);
    if (lo > hi) return false;
    Parity parity = a.parity == Parity::All ? b.parity : a.parity;
    if (a.parity != Parity::All && b.parity != Parity::All && a.parity != b.parity) return false;
    if (parity == Parity::All || lo < hi) return true;
    return (lo % 2 == 1) == (parity == Parity::Odd);
}

}  // namespace

std::string ParsePageSelection(const std::string& text, std::vector<PageSpan>& spans, bool disjoint) {
    spans.clear();
    size_t from = 0;
    for (;;) {
        const size_t comma = std::min(text.find(',', from), text.size());
        PageSpan span;
        span.text = Trimmed(text.substr(from, comma - from));
        std::string range = span.text;
        if (const size_t colon = range.find(':'); colon != std::string::npos) {
            const std::string parity = Trimmed(range.substr(colon + 1));
            if (parity == "odd") span.parity = Parity::Odd;
            else if (parity == "even") span.parity = Parity::Even;
            else return "\"" + span.text + "\": after \":\" comes odd or even";
        range = range.substr(0, colon);
        }
        const size_t dash = range.find('-');
        bool ok;
        if (dash == std::string::npos) {
            ok = ReadPageRef(range, span.first);
            span.last = span.first;
        } else {
            const std::string a = Trimmed(range.substr(0, dash)), b = Trimmed(range.substr(dash + 1));
            ok = !(a.empty() && b.empty()) && (a.empty() || ReadPageRef(a, span.first)) &&
                 (b.empty() || ReadPageRef(b, span.last));
        }
        if (!ok) return span.text.empty() ? "an empty item" : "\"" + span.text + "\" is not a page or a range of pages";
        if (Absolute(span) && span.last.number != 0 && span.first.number > span.last.number)
            return "\"" + span.text + "\" runs backwards (write " + std::to_string(span.last.number) + "-" +
                   std::to_string(span.first.number) + ")";
        if (span.first.fromEnd && span.last.fromEnd && span.first.number < span.last.number)
            return "\"" + span.text + "\" runs backwards";
        spans.push_back(span);
        if (comma == text.size()) break;
        from = comma + 1;
    }
    if (disjoint)
        for (size_t i = 0; i < spans.size(); ++i)
            for (size_t j = 0; j < i; ++j)
                if (Absolute(spans[i]) && Absolute(spans[j]) && Overlap(spans[i], spans[j]))
                    return "\"" + spans[j].text + "\" and \"" + spans[i].text + "\" share pages (no page in two parts)";
    return "";
}

int32_t ResolvePageSpan(const PageSpan& span, int32_t count, std::vector<int32_t>& pages) {
    pages.clear();
    auto page = [&](const PageRef& ref, int32_t open, int32_t& value) {
        if (ref.number == 0) {
            value = open;
            return true;
        }
        if (ref.fromEnd) {
            value = count + 1 - ref.number;
            return ref.number <= count;
        }
        value = ref.number;
        return ref.number <= count;
    };
    int32_t a = 0, b = 0;
    if (!page(span.first, 1, a)) return span.first.fromEnd ? -span.first.number : span.first.number;
    if (!page(span.last, count, b)) return span.last.fromEnd ? -span.last.number : span.last.number;
    if (a > b) return INT32_MIN;
    for (int32_t p = a; p <= b; ++p)
        if (span.parity == Parity::All || (p % 2 == 1) == (span.parity == Parity::Odd)) pages.push_back(p);
    return 0;
}

namespace {

std::string Joined(std::initializer_list<std::string_view> pieces) {
    std::string text;
    for (std::string_view piece : pieces) text += piece;
    return text;
}

}  // namespace

std::string PageSpanProblem(Language language, const PageSpan& span, int32_t missing, int32_t count) {
    const bool ja = language == Language::Japanese;
    const std::string n = std::to_string(count);
    if (missing == INT32_MIN)
        return ja ? Joined({"\"", span.text, "\" は逆順です（", n, " ページの文書）"})
                  : Joined({"\"", span.text, "\" runs backwards in a document of ", n, " pages"});
    if (missing < 0) {
        std::string r = "r";
        r += std::to_string(-missing);
        return ja ? Joined({"ページ ", r, " は最初のページより前です（", n, " ページの文書）"})
                  : Joined({"page ", r, " is before the first page (", n, " pages)"});
    }
    const std::string m = std::to_string(missing);
    return ja ? Joined({"ページ ", m, " は最終ページ（", n, "）より後です"})
              : Joined({"page ", m, " is past the last page (", n, ")"});
}

int32_t QueryPageCount(Job& job, const std::string& inputPath) {
    job.LastError = 0;
    job.StopCode = 0;
    OpenedDocument opened;
    if (OpenStage(job, InputSource::File(inputPath), SplitRequest(), opened, true) != 0) return -1;
    return opened.pageCount;
}

}  // namespace brisel
