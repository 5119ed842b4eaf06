// The modal windows of the program. Each Run function opens its template in
// the interface language and returns the dialog's result.
#pragma once

#include <cstdint>
#include <string>

#include "app/shell.h"

namespace brisel {

// Runs SplitAllPages (range false) or SplitPageRange on g_shell.inputPath on
// a worker thread behind the progress window; returns the job's result.
int RunProgressWindow(HWND owner, bool range, int32_t firstPage, int32_t lastPage);

// Whether a job runs behind the progress window.
bool JobRunning();

// Asks the running job to stop after the page files in flight (their files
// are finished, none is left cut short) and, for up to wait milliseconds,
// waits until it has ended, serving meanwhile the calls its worker makes to
// the progress window. Nothing happens without a running job.
void StopRunningJob(DWORD wait);

// The page-range dialog on g_shell.inputPath: IDOK with the two page fields
// (0 for an empty one), IDCANCEL when cancelled or the file cannot be split.
int RunPageRangeDialog(HWND owner, int32_t& firstPage, int32_t& lastPage);

// The settings dialog; owner null centres it on the screen.
int RunSettingsDialog(HWND owner);

// Asks whether countText files may be created: IDOK goes on. Unticking the
// box and going on turns warnLimit off.
int RunWarnLimitDialog(HWND owner, const std::wstring& countText, bool& warnLimit);

// Asks for a password; on IDOK it holds the typed text in the ANSI code page.
int RunPasswordDialog(HWND owner, std::string& password);

// The open-file dialog; true with the chosen path in g_shell.inputPath.
bool ChooseInputFile(HWND owner);

// The folder browser, starting at folder; true with the chosen folder in it.
bool ChooseFolder(HWND owner, std::wstring& folder);

}  // namespace brisel
