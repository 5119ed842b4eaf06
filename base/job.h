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

// The parsed encryption dictionary, the document identifier and the file key.
struct SecurityState {
    char FilterName[22] = {};
    uint8_t V = 0;
    uint8_t R = 0;
    // /O and /U: 32 bytes up to revision 4; 48 (hash, validation salt, key
    // salt) from revision 5 on, where writers may pad them up to 127.
    uint8_t Owner[128] = {};
    int32_t OwnerLength = 0;
    uint8_t User[128] = {};
    int32_t UserLength = 0;
    // Revisions 5 and 6: the file key wrapped by the owner and the user
    // password (/OE, /UE), and the permissions sealed with it (/Perms).
    uint8_t OwnerKey[32] = {};
    int32_t OwnerKeyLength = 0;
    uint8_t UserKey[32] = {};
    int32_t UserKeyLength = 0;
    uint8_t Perms[16] = {};
    int32_t PermsLength = 0;
    int32_t Permissions = 0;
    uint32_t KeyLength = 0;  // bits as read; UnlockDocument turns it into bytes
    int32_t EncryptMetadata = 1;
    int32_t StreamMethod = -1, StringMethod = -1, EmbeddedMethod = -1;
    int32_t StreamAuthEvent = 0, StringAuthEvent = 0, EmbeddedAuthEvent = 0;
    int32_t StreamKeyLength = 0, StringKeyLength = 0, EmbeddedKeyLength = 0;
    int32_t EncryptNumber = 0, EncryptGeneration = 0;
    uint8_t FileKey[256] = {};
    int32_t KeyBytes = 0;  // n: file key length in bytes (32 from revision 5 on)
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

    // Results of reading the cross-reference data.
    int XrefStreamFlag = 0;
    const uint8_t* EncryptKeyPos = nullptr;
    int32_t InfoNumber = 0, InfoGeneration = 0;
    uint8_t FileId[100] = {};
    int32_t FileIdLength = 0;
    int ReadAborted = 0;

    int CatalogSeen = 0;

    ViewerSettings Viewer;
    SecurityState Security;
    int InputEncrypted = 0;

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
