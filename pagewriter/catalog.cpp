#include "pagewriter/catalog.h"

#include <cstdio>
#include <cstdlib>

namespace brisel {

namespace {

constexpr const char* kEnding = ">>\nendobj\n";
constexpr size_t kEndingLength = 10;
constexpr const char* kFitWindow = "\n/ViewerPreferences << /FitWindow true >>";

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// Replaces the closing ">>\nendobj\n" of the catalog by an entry that ends
// with it again.
void AppendEntry(std::string& catalog, const char* entry) {
    catalog.resize(catalog.size() - kEndingLength);
    catalog += entry;
}

// The view part of the input's open action, up to and including the first
// "]" outside a comment.
bool CopyView(const Document& doc, int64_t view, std::string& out) {
    Cursor p = doc.start() + view;
    const Cursor end = doc.end();
    Cursor from = p;
    while (p < end) {
        if (*p == '%') {
            while (p < end && !IsLineEnd(*p)) ++p;
        } else if (*p++ == ']') {
            out.append(reinterpret_cast<const char*>(from), static_cast<size_t>(p - from));
            return true;
        }
    }
    return false;
}

}  // namespace

std::string ZoomText(const std::string& percent) {
    char text[64];
    // strtoll saturates where atoi would overflow on a long digit run.
    std::snprintf(text, sizeof text, "%f", static_cast<double>(std::strtoll(percent.c_str(), nullptr, 10)) / 100.0);
    return std::string(text).substr(0, 4);
}

Failure WriteCatalog(const Job& job, const Document& doc, int32_t outlinesNumber, const std::string& extraEntries,
                     std::string& out) {
    const ViewerSettings& v = job.Viewer;
    const std::string& mode = v.OpenActionMode;
    const bool viewFound = v.OpenActionView >= 0 && v.OpenActionView < static_cast<int64_t>(doc.image.size());
    std::string catalog = "1 0 obj\n<<\n/Type /Catalog\n/Pages 2 0 R\n";
    if (mode.empty() || mode == "N" || (mode == "O" && !viewFound)) {
        catalog += kEnding;
    } else {
        catalog += "/OpenAction [ 3 0 R ";
        if (mode == "A") {
            catalog += "/Fit ]\n>>\nendobj\n";
        } else if (mode == "H") {
            catalog += "/FitV null ]\n>>\nendobj\n";
        } else if (mode == "W") {
            catalog += "/FitH null ]\n>>\nendobj\n";
        } else {
            if (mode == "O") {
                if (!CopyView(doc, v.OpenActionView, catalog))
                    return Failure(kOpenActionViewUnclosed).At(-1, v.OpenActionView);
            } else {
                catalog += "/XYZ null null " + ZoomText(mode) + " ]";
            }
            if (v.FitWindow) catalog += kFitWindow;
            catalog += "\n>>\nendobj\n";
        }
    }

    if (v.Direction == kDirectionR2L) {
        if (EndsWith(catalog, std::string(kFitWindow) + "\n" + kEnding)) {
            catalog.resize(catalog.size() - kEndingLength - 3);
            catalog += "\n/Direction /R2L >>\n>>\nendobj\n";
        } else {
            AppendEntry(catalog, "/ViewerPreferences << /Direction /R2L >>\n>>\nendobj\n");
        }
    }
    switch (v.PageLayout) {
        case kLayoutNone: break;
        case kLayoutOneColumn: AppendEntry(catalog, "/PageLayout /OneColumn\n>>\nendobj\n"); break;
        case kLayoutTwoColumnLeft: AppendEntry(catalog, "/PageLayout /TwoColumnLeft\n>>\nendobj\n"); break;
        case kLayoutTwoColumnRight: AppendEntry(catalog, "/PageLayout /TwoColumnRight\n>>\nendobj\n"); break;
        case kLayoutSinglePage: AppendEntry(catalog, "/PageLayout /SinglePage\n>>\nendobj\n"); break;
        default: break;  // "keep" with nothing found in the input
    }
    const bool outlinesShown = v.KeepOutlines && outlinesNumber > 0;
    switch (v.PageMode) {
        case kModeNone: break;
        case kModeOutlines: AppendEntry(catalog, "/PageMode /UseOutlines\n>>\nendobj\n"); break;
        case kModeOutlinesOrThumbs:
            AppendEntry(catalog, outlinesShown ? "/PageMode /UseOutlines\n>>\nendobj\n" : "/PageMode /UseThumbs\n>>\nendobj\n");
            break;
        case kModeThumbs: AppendEntry(catalog, "/PageMode /UseThumbs\n>>\nendobj\n"); break;
        case kModeFullScreen: AppendEntry(catalog, "/PageMode /FullScreen\n>>\nendobj\n"); break;
        case kModeOutlinesOrNone:
            AppendEntry(catalog, outlinesShown ? "/PageMode /UseOutlines\n>>\nendobj\n" : "/PageMode /UseNone\n>>\nendobj\n");
            break;
        default: break;  // "keep" with nothing found in the input
    }
    if (outlinesNumber > 0) {
        catalog.resize(catalog.size() - kEndingLength);
        catalog += "/Outlines " + std::to_string(outlinesNumber) + " 0 R\n>>\nendobj\n";
    }
    if (!extraEntries.empty()) {
        catalog.resize(catalog.size() - kEndingLength);
        // The viewer settings of the job win over the input's preferences.
        const char* kPreferences = "/ViewerPreferences <<";
        const size_t own = extraEntries.find(kPreferences);
        if (own != std::string::npos && catalog.find(kPreferences) != std::string::npos) {
            const size_t lineEnd = extraEntries.find('\n', own);
            catalog += extraEntries.substr(0, own) + extraEntries.substr(lineEnd + 1);
        } else {
            catalog += extraEntries;
        }
        catalog += kEnding;
    }
    out += catalog;
    return {};
}

}  // namespace brisel
