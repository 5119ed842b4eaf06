#include "app/win_job_host.h"

#include "app/dialogs.h"
#include "resources/ids.h"

namespace brisel {

// The worker waits in the synchronous send while the window thread copies
// the status text, so the text never changes under the reader.
void WinJobHost::Progress(Job&, int percent) {
    if (progress_) SendMessageW(progress_, WM_COMMAND, ID_PROGRESS, percent);
}

void WinJobHost::ReplaceStatusText(Job& job) {
    if (progress_) SetDlgItemTextW(progress_, ID_STATUS, Widen(job.StatusText).c_str());
}

// A job asked to stop (the program is ending) asks nobody anything.
bool WinJobHost::ConfirmWarnLimit(Job& job, const std::string& countText) {
    if (job.Stopped()) return false;
    return RunWarnLimitDialog(owner_, Widen(countText), job.app.IsWarnLimit) == IDOK;
}

bool WinJobHost::AskPassword(Job& job, std::string& password) {
    if (job.Stopped()) return false;
    return RunPasswordDialog(owner_, password) == IDOK;
}

void WinJobHost::ShowMessage(Job&, MessageIcon icon, const std::string& text) {
    UINT flags = icon == MessageIcon::Error ? MB_ICONERROR : icon == MessageIcon::Information ? MB_ICONINFORMATION : 0;
    ShowBox(owner_, Widen(text), flags);
}

}  // namespace brisel
