#include "split/option_line.h"

#include <cstdint>
#include <string>

namespace brisel {

namespace {

constexpr int kLineEnd = -1;

// Hands out the line one character at a time. A line feed or the end of the
// text ends it; a carriage return before the line feed reads as the line feed
// alone, as a file opened in text mode gives it.
class LineReader {
public:
    explicit LineReader(std::string_view text) : text_(text) {}
    int Next() {
        if (ended_ || pos_ >= text_.size()) return End();
        char c = text_[pos_++];
        if (c == '\n' || (c == '\r' && pos_ < text_.size() && text_[pos_] == '\n')) return End();
        return static_cast<unsigned char>(c);
    }
    bool ended() const { return ended_; }

private:
    int End() {
        ended_ = true;
        return kLineEnd;
    }
    std::string_view text_;
    size_t pos_ = 0;
    bool ended_ = false;
};

// What ends a code: a space or the end of the line.
bool EndsCode(int c) { return c == ' ' || c == kLineEnd; }

struct ZoomChoice {
    enum class Kind { None, Percent, Letter } kind = Kind::None;
    int32_t percent = 0;
    bool fit = false;
    char letter = 0;
};

// /d: a letter, or digits ended by a space, the line end or "f". A run too
// long for a percentage sets nothing, like any other malformed code.
void ReadZoom(LineReader& r, ZoomChoice& zoom) {
    int c = r.Next();
    switch (c) {
        case 'a': zoom = {ZoomChoice::Kind::Letter, 0, false, 'A'}; return;
        case 'w': zoom = {ZoomChoice::Kind::Letter, 0, false, 'W'}; return;
        case 'h': zoom = {ZoomChoice::Kind::Letter, 0, false, 'H'}; return;
        case 'o': zoom = {ZoomChoice::Kind::Letter, 0, false, 'O'}; return;
        default: break;
    }
    if (c != 'f' && !(c >= '0' && c <= '9')) return;
    int64_t value = 0;
    bool fits = true;
    for (; c >= '0' && c <= '9'; c = r.Next()) {
        value = value * 10 + (c - '0');
        if (value > INT32_MAX) {
            fits = false;
            value = INT32_MAX;
        }
    }
    if (fits && (EndsCode(c) || c == 'f'))
        zoom = {ZoomChoice::Kind::Percent, static_cast<int32_t>(value), c == 'f', 0};
}

// /n: f, t, or o, ot, org, on each ended by a space or the line end.
void ReadPageMode(LineReader& r, int& mode) {
    int c = r.Next();
    if (c == 'f') {
        mode = kModeFullScreen;
    } else if (c == 't') {
        mode = kModeThumbs;
    } else if (c == 'o') {
        c = r.Next();
        if (EndsCode(c)) mode = kModeOutlines;
        else if (c == 't' && EndsCode(r.Next())) mode = kModeOutlinesOrThumbs;
        else if (c == 'r' && r.Next() == 'g' && EndsCode(r.Next())) mode = kModeKeep;
        else if (c == 'n' && EndsCode(r.Next())) mode = kModeOutlinesOrNone;
    }
}

// /o: k or kt, ended by a space or the line end. 1 keeps the bookmarks, 2
// keeps them in one flat level.
void ReadOutlines(LineReader& r, int& outlines) {
    if (r.Next() != 'k') return;
    int c = r.Next();
    if (EndsCode(c)) outlines = 1;
    else if (c == 't' && EndsCode(r.Next())) outlines = 2;
}

void ReadPageLayout(LineReader& r, int& layout) {
    switch (r.Next()) {
        case '1': layout = kLayoutOneColumn; break;
        case '2': {
            int c = r.Next();
            if (c == 'l') layout = kLayoutTwoColumnLeft;
            else if (c == 'r') layout = kLayoutTwoColumnRight;
            break;
        }
        case 'o': layout = kLayoutKeep; break;
        case 's': layout = kLayoutSinglePage; break;
        default: break;
    }
}

void ReadDirection(LineReader& r, int& direction) {
    int c = r.Next();
    if (c == 'o') direction = kDirectionKeep;
    else if (c == 'r') direction = kDirectionR2L;
}

}  // namespace

ViewerSettings ParseOptionLine(std::string_view line) {
    ViewerSettings v;
    ZoomChoice zoom;
    int outlines = 0;
    LineReader r(line);
    while (!r.ended()) {
        if (r.Next() != '/') continue;
        switch (r.Next()) {
            case 'd': ReadZoom(r, zoom); break;
            case 'i': ReadDirection(r, v.Direction); break;
            case 'n': ReadPageMode(r, v.PageMode); break;
            case 'o': ReadOutlines(r, outlines); break;
            case 'p': ReadPageLayout(r, v.PageLayout); break;
            default: break;  // a letter that names no option, or the line end
        }
    }
    // No zoom, or zoom 0, is no open action.
    if (zoom.kind == ZoomChoice::Kind::Letter) {
        v.OpenActionMode.assign(1, zoom.letter);
    } else if (zoom.kind == ZoomChoice::Kind::Percent && zoom.percent > 0) {
        v.OpenActionMode = std::to_string(zoom.percent);
        v.FitWindow = zoom.fit;
    } else {
        v.OpenActionMode.assign(1, 'N');
    }
    v.KeepOutlines = outlines >= 1;
    v.FlatOutlines = outlines == 2;
    return v;
}

}  // namespace brisel
