// The records that carry state: one Job per split job, and one AppState for
// what outlives a job (settings, page-count cache, the typed password).
// Every operation takes the Job by reference; nothing lives in globals, so
// jobs can run side by side.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "base/failure.h"
#include "base/platform.h"
#include "base/warnings.h"

namespace brisel {

class JobHost;

enum class Language { English = 0, Japanese = 1 };

// The viewer choices, by the values the settings file and the option line
// give them. "Keep" takes the input's own value.
enum DirectionChoice : int { kDirectionNone = 0, kDirectionR2L = 1, kDirectionKeep = 2 };
enum PageLayoutChoice : int {
    kLayoutNone = 0,
    kLayoutOneColumn = 1,
    kLayoutTwoColumnLeft = 2,
    kLayoutTwoColumnRight = 3,
    kLayoutKeep = 4,
    kLayoutSinglePage = 5,
};
enum PageModeChoice : int {
    kModeNone = 0,
    kModeOutlines = 1,
    kModeOutlinesOrThumbs = 2,  // outlines when the page file has bookmarks, else thumbnails
    kModeThumbs = 3,
    kModeFullScreen = 4,
    kModeKeep = 5,
    kModeOutlinesOrNone = 6,  // outlines when the page file has bookmarks, else none
};

// How each output file opens in a viewer, and whether it carries bookmarks.
struct ViewerSettings {
    std::string OpenActionMode;  // "", "N", zoom percent, "A", "W", "H", "O"
    // Offset into the image of the view part of the input's open action:
    // kViewNotSet until the analysis looks, kViewNone when none was found.
    static constexpr int64_t kViewNotSet = -2;
    static constexpr int64_t kViewNone = -1;
    int64_t OpenActionView = kViewNotSet;
    int FitWindow = 0;
    int Direction = kDirectionNone;  // a DirectionChoice
    int PageLayout = kLayoutNone;    // a PageLayoutChoice
    int PageMode = kModeNone;        // a PageModeChoice
    int KeepOutlines = 0;
    int FlatOutlines = 0;
};

// Choices that outlive a job. The front end owns one of these.
struct AppState {
    Language language = Language::English;
    // Settings.
    bool IsWarnLimit = true;
    int32_t WarnLimitN = 50;
    bool IsSaveFolder = false;
    std::string SaveFolder;
    bool IsSameDate = false;
    // The page count of the last analysed file.
    int32_t PageCountCacheCount = 0;
    std::string PageCountCachePath;
    // The password typed last, and whether it opened the current file.
    std::string PasswordText;
    bool RememberedPassword = false;
    // Whether page files keep the annotations of their page (all but links
    // into the document); false removes every annotation.
    bool KeepAnnotations = true;
    // Whether page files carry the input's document data: structure, language,
    // metadata, output intents, page labels and the descriptive entries of
    // the information dictionary.
    bool KeepDocumentData = true;
    // Page file names from a pattern (--name); empty: the input's name, a
    // discriminator and the padded page number.
    std::string NamePattern;
    // Viewer settings chosen by the user; each job starts from a copy.
    ViewerSettings Viewer;
};

// The value StopCode takes when the user asks to stop; a stopped job returns it.
constexpr int kStopRequested = -2;

struct Job {
    Job(AppState& appState, JobHost& jobHost) : app(appState), host(jobHost) {}
    Job(const Job&) = delete;
    Job& operator=(const Job&) = delete;

    AppState& app;
    JobHost& host;

    int32_t LastError = 0;
    std::atomic<int> StopCode{0};  // 0, or kStopRequested

    std::string StatusText;
    std::string OutputPath;
    int32_t PageCount = 0;
    int32_t FirstPage = 0, LastPage = 0;
    JobStep Step = JobStep::Start;
    // In the page loop: the page being written among PagesTotal (1-based).
    int32_t PagesDone = 0, PagesTotal = 0;

    ViewerSettings Viewer;
    // The bookmarks are analysed even when page files carry none: parts made
    // at bookmarks need their pages.
    bool NeedOutlines = false;
    // Files of several pages: a bookmark leading into a file keeps its
    // ancestors, as titles without destination where they lead elsewhere.
    bool PartFiles = false;

    // Why the input could not be read.
    FileFault InputFault = FileFault::None;
    // The page file that could not be written and why; the pages written
    // before it.
    FileFault WriteFault = FileFault::None;
    std::string FailedFile;
    int32_t PagesWritten = 0;
    // Page files written under another name than the one chosen, because
    // another program took that name meanwhile.
    int32_t PagesRenamed = 0;
    // The damage the job survived (the document's warnings once the job
    // ends), and what the result message counts from them: the pages
    // (1-based) written with objects the input does not hold, and the pages
    // lost with page-tree nodes the input does not hold (-1 when the input
    // does not say how many, 0 when none).
    WarningList Warnings;
    std::vector<int32_t> IncompletePages;
    int32_t PagesNotFound = 0;

    bool Stopped() const { return StopCode.load(std::memory_order_relaxed) != 0; }
};

// Stores a failure code in LastError and returns it: the one way a step
// reports a failure.
inline int32_t Fail(Job& job, int32_t code) {
    job.LastError = code;
    return code;
}

// Stores a failure code in LastError and returns the step's own failure
// result (-1, false, 0), for the steps that report every failure alike.
template <class Result>
Result Fail(Job& job, int32_t code, Result result) {
    job.LastError = code;
    return result;
}

}  // namespace brisel
