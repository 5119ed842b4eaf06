// The records that carry state: one Job per split job, and one AppState for
// what outlives a job (settings, page-count cache, the typed password).
// Every operation takes the Job by reference; nothing lives in globals, so
// jobs can run side by side.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace brisel {

class JobHost;

enum class Language { English = 0, Japanese = 1 };

// How each output file opens in a viewer, and whether it carries bookmarks.
struct ViewerSettings {
    std::string OpenActionMode;  // "", "N", zoom percent, "A", "W", "H", "O"
    // Offset into the image of the view part of the input's open action:
    // kViewNotSet until the analysis looks, kViewNone when none was found.
    static constexpr int64_t kViewNotSet = -2;
    static constexpr int64_t kViewNone = -1;
    int64_t OpenActionView = kViewNotSet;
    int FitWindow = 0;
    int Direction = 0;   // 0 none, 1 R2L, 2 keep
    int PageLayout = 0;  // 0 none, 1 OneColumn, 2 TwoColumnLeft, 3 TwoColumnRight, 4 keep, 5 SinglePage
    int PageMode = 0;    // 0 none .. 6, see the writer
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
    // Viewer settings chosen by the user; each job starts from a copy.
    ViewerSettings Viewer;
};

struct Job {
    Job(AppState& appState, JobHost& jobHost) : app(appState), host(jobHost) {}
    Job(const Job&) = delete;
    Job& operator=(const Job&) = delete;

    AppState& app;
    JobHost& host;

    int32_t LastError = 0;
    std::atomic<int> StopCode{0};  // 0, or -2 once the user asked to stop

    std::string StatusText;
    std::string OutputPath;
    int32_t PageCount = 0;
    int32_t FirstPage = 0, LastPage = 0;

    ViewerSettings Viewer;

    bool Stopped() const { return StopCode.load(std::memory_order_relaxed) != 0; }
};

// Stores a failure code in LastError and returns it.
inline int32_t Fail(Job& job, int32_t code) {
    job.LastError = code;
    return code;
}

// Stores a failure code in LastError and returns -1, the result of the
// operations that report every failure as -1.
inline int32_t FailMinusOne(Job& job, int32_t code) {
    job.LastError = code;
    return -1;
}

}  // namespace brisel
