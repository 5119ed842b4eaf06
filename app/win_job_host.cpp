#include "app/win_job_host.h"

#include "app/dialogs.h"
#include "resources/ids.h"

namespace brisel {

void AnswerHostRequest(HWND window, HostRequest& request) {
    Job& job = *request.job;
    switch (request.kind) {
        case HostRequest::Status:
            SetDlgItemTextW(window, ID_STATUS, Widen(job.StatusText).c_str());
            return;
        // A job asked to stop (Break, or the program is ending) asks nobody
        // anything.
        case HostRequest::WarnLimit:
            request.answer =
                !job.Stopped() && RunWarnLimitDialog(window, request.text, job.app.IsWarnLimit) == IDOK;
            return;
        case HostRequest::Password:
            request.answer = !job.Stopped() && RunPasswordDialog(window, *request.password) == IDOK;
            return;
        case HostRequest::Message:
            if (!job.Stopped()) ShowBox(window, request.text, request.icon);
            return;
    }
}

// The worker waits in the synchronous send while the window thread reads
// the job, so nothing changes under the reader.
bool WinJobHost::Ask(HostRequest& request) {
    if (!target_) return false;
    SendMessageW(target_, kHostRequest, 0, reinterpret_cast<LPARAM>(&request));
    return request.answer;
}

void WinJobHost::Progress(Job&, int percent) {
    if (target_ && progress_) SendMessageW(target_, WM_COMMAND, ID_PROGRESS, percent);
}

void WinJobHost::ReplaceStatusText(Job& job) {
    if (!progress_) return;
    HostRequest request;
    request.kind = HostRequest::Status;
    request.job = &job;
    Ask(request);
}

bool WinJobHost::ConfirmWarnLimit(Job& job, const std::string& countText) {
    if (job.Stopped()) return false;
    HostRequest request;
    request.kind = HostRequest::WarnLimit;
    request.job = &job;
    request.text = Widen(countText);
    return Ask(request);
}

bool WinJobHost::AskPassword(Job& job, std::string& password) {
    if (job.Stopped()) return false;
    HostRequest request;
    request.kind = HostRequest::Password;
    request.job = &job;
    request.password = &password;
    return Ask(request);
}

void WinJobHost::ShowMessage(Job& job, MessageIcon icon, const std::string& text) {
    HostRequest request;
    request.kind = HostRequest::Message;
    request.job = &job;
    request.text = Widen(text);
    request.icon = icon == MessageIcon::Error ? MB_ICONERROR : icon == MessageIcon::Information ? MB_ICONINFORMATION : 0;
    Ask(request);
}

}  // namespace brisel
