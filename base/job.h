// The records that carry state: one Job per split job (its request, its
// progress and its outcome), and one AppState for what outlives a job (the
// settings, and the state of one run of the program: page-count cache, the
// typed password).
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

// The choices a user makes, which the Windows program keeps in its settings
// file and the command line takes from its options.
struct Settings {
    Language language = Language::English;
    bool IsWarnLimit = true;
    int32_t WarnLimitN = 50;
    bool IsSaveFolder = false;
    std::string SaveFolder;
    bool IsSameDate = false;
    // Whether page files keep the annotations of their page (all but links
    // into the document); false removes every annotation.
    bool KeepAnnotations = true;
    // Whether page files carry the input's document data: structure, language,
    // metadata, output intents, page labels and the descriptive entries of
    // the information dictionary.
    bool KeepDocumentData = true;
    // Page files keep only the entries of shared resource dictionaries that
    // their pages use (--resources prune); false copies them whole.
    bool PruneResources = true;
    // Page files carry stream data the input left without a filter
    // Flate-compressed (--streams compress); false copies it as it is.
    bool CompressStreams = true;
    // Page file names from a pattern (--name); empty: the input's name, a
    // discriminator and the padded page number.
    std::string NamePattern;
    // The page files reach the disk before a job says it is done; off for
    // scratch output that a power cut may take.
    bool SyncPageFiles = true;
    // How far one compressed stream may inflate: this many times the
    // input's size, and at least kMinInflateLimit.
    uint32_t InflateFactor = 100;
    static constexpr uint64_t kMinInflateLimit = uint64_t{256} << 20;
    // Streams whose data is larger than this go into page files in pieces,
    // straight from the input, instead of through a copy in memory. Only
    // tests lower it.
    uint64_t LargeStreamBytes = kLargeStreamBytes;
    static constexpr uint64_t kLargeStreamBytes = uint64_t{64} << 20;
    // Viewer settings chosen by the user; each job starts from a copy.
    ViewerSettings Viewer;
};

// What one run of a program learns and keeps between its jobs, never saved.
struct RunState {
    // The page count of the last analysed file.
    int32_t PageCountCacheCount = 0;
    std::string PageCountCachePath;
    // The password typed last, and whether it opened the current file.
    std::string PasswordText;
    bool RememberedPassword = false;
};

// What outlives a job: the settings and the state of the program's run. The
// front end owns one of these.
struct AppState : Settings, RunState {};

// The value StopCode takes when the user asks to stop; a stopped job returns it.
constexpr int kStopRequested = -2;

// What a job is asked to do beyond its SplitRequest: the front ends' page
// range, and what the open stage derives from the request and the input
// before the document is read (the bookmarks it needs, the inflate limit).
struct JobRequest {
    int32_t FirstPage = 0, LastPage = 0;
    // The bookmarks are analysed even when page files carry none: parts made
    // at bookmarks need their pages.
    bool NeedOutlines = false;
    // Files of several pages: a bookmark leading into a file keeps its
    // ancestors, as titles without destination where they lead elsewhere.
    bool PartFiles = false;
    // The most bytes one compressed stream may inflate to (0: no limit of
    // the job's own): a multiple of the input's size, so that a small
    // file cannot make the job take gigabytes (a zlib bomb).
    uint64_t InflateLimit = 0;
};

// Where a running job stands, for its host to show, and the handle that
// stops it.
struct JobProgress {
    std::atomic<int> StopCode{0};  // 0, or kStopRequested
    std::string StatusText;
    std::string OutputPath;
    JobStep Step = JobStep::Start;
    // In the page loop: the page being written among PagesTotal (1-based).
    int32_t PagesDone = 0, PagesTotal = 0;

    bool Stopped() const { return StopCode.load(std::memory_order_relaxed) != 0; }
};

// What a job found and did: the failure of its last step, the document's
// page count and viewer settings, the files written, the damage survived.
struct JobOutcome {
    // The code of the failure the job ended with (0: none), which the front
    // ends turn into their message. The engine returns its failures as
    // values; only the split stages set it, from those values.
    int32_t LastError = 0;
    int32_t PageCount = 0;
    // The user's viewer settings, completed by what the input holds.
    ViewerSettings Viewer;
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
    // The input opens without a password, but its permissions forbid
    // splitting: the password asked for is the owner's.
    bool OwnerPasswordNeeded = false;
    // The damage the job survived (the document's warnings once the job
    // ends), and what the result message counts from them: the pages
    // (1-based) written with objects the input does not hold, the pages
    // whose streams were mended (a wrong /Length), the pages whose content
    // could not be read (every shared resource kept), and the pages lost
    // with page-tree nodes the input does not hold (-1 when the input does
    // not say how many, 0 when none).
    WarningList Warnings;
    std::vector<int32_t> IncompletePages;
    // The pages (1-based) whose files could not be built from the damaged
    // input, and were not written.
    std::vector<int32_t> UnreadablePages;
    std::vector<int32_t> RepairedPages;
    std::vector<int32_t> UnprunedPages;
    int32_t PagesNotFound = 0;
    // The input's last update was cut short among its objects: pages it
    // changed may show what they held before it.
    bool UpdateCutShort = false;
    // Pages a damaged page tree no longer reached, found by scanning the
    // input's objects.
    int32_t PagesScanned = 0;
};

// One split job: its request, its progress and its outcome, with the
// application state it runs under and the host that shows it.
struct Job : JobRequest, JobProgress, JobOutcome {
    Job(AppState& appState, JobHost& jobHost) : app(appState), host(jobHost) {}
    Job(const Job&) = delete;
    Job& operator=(const Job&) = delete;

    AppState& app;
    JobHost& host;
};

}  // namespace brisel
