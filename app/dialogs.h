// The modal windows of the program. Each Run function opens its template in
// the interface language and returns the dialog's result.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/shell.h"

namespace brisel {

enum class SplitKind { All, Range, Parts };

// What one split command asks for: the files, one after the other, and how
// each is split.
struct SplitOrder {
    SplitKind kind = SplitKind::All;
    std::vector<std::wstring> files;
    int32_t firstPage = 0, lastPage = 0;  // Range: 0 for an empty field
    PartRequest parts;                    // Parts
};

// How one file of the order ended.
struct FileOutcome {
    std::wstring path;
    int result = kResultFailed;
    std::string detail, note;  // ResultDetail and RenamedNote of its job
    int32_t filesWritten = 0;  // page files or parts that stay on disk
};

struct RunOutcome {
    std::vector<FileOutcome> files;  // the files the run reached, in order
    size_t ordered = 0;              // how many files the order held
    bool remembered = false;         // the remembered password opened a file
};

// Runs the order on a worker thread behind the progress window: file k of
// n, then its pages. Break stops the file in progress after its page files
// in flight and skips the rest.
RunOutcome RunProgressWindow(HWND owner, const SplitOrder& order);

// The result box of a run: for one file the message of its result (with the
// number of parts for a parts split), for several the summary.
void ShowRunOutcome(HWND owner, const SplitOrder& order, const RunOutcome& outcome);

// Whether a job runs behind the progress window.
bool JobRunning();

// Asks the running job to stop after the page files in flight (their files
// are finished, none is left cut short) and, for up to wait milliseconds,
// waits until it has ended, serving meanwhile the calls its worker makes to
// the progress window. Nothing happens without a running job.
void StopRunningJob(DWORD wait);

// The page-range dialog on a file: IDOK with the two page fields (0 for an
// empty one), IDCANCEL when cancelled or the file cannot be split.
int RunPageRangeDialog(HWND owner, const std::wstring& path, int32_t& firstPage, int32_t& lastPage);

// The parts dialog on a file: IDOK with the request, the choices kept in
// g_shell.parts and the output-folder and time-stamp settings.
int RunPartsDialog(HWND owner, const std::wstring& path, PartRequest& request);

// The settings dialog; owner null centres it on the screen.
int RunSettingsDialog(HWND owner);

// Asks whether countText files may be created: IDOK goes on. Unticking the
// box and going on turns warnLimit off.
int RunWarnLimitDialog(HWND owner, const std::wstring& countText, bool& warnLimit);

// Asks for a password; on IDOK it holds the typed text in UTF-8.
int RunPasswordDialog(HWND owner, std::string& password);

// The open-file dialog, several files at once; true with the chosen paths.
bool ChooseInputFiles(HWND owner, std::vector<std::wstring>& files);

// The folder browser, starting at folder; true with the chosen folder in it.
bool ChooseFolder(HWND owner, std::wstring& folder);

// The output-folder and time-stamp boxes that the page-range and parts
// dialogs share: shown from the settings, and kept when the dialog is
// confirmed. KeepOutputChoices asks for the folder when its box is checked;
// false when the folder browser was cancelled (the dialog stays open).
void ShowOutputChoices(HWND dialog, const AppState& app);
bool KeepOutputChoices(HWND dialog, AppState& app);

}  // namespace brisel
