// The JobHost of the Windows program. Its worker thread creates no window:
// every status line, question and message goes as a synchronous message to
// a window of the window thread (the progress window, or the dialog that
// runs a query), which answers it there.
#pragma once

#include "app/shell.h"

namespace brisel {

// What a worker asks of the window thread; lParam of kHostRequest.
struct HostRequest {
    enum Kind { Status, WarnLimit, Password, Message };
    Kind kind = Status;
    Job* job = nullptr;
    std::wstring text;               // count text (WarnLimit) or message (Message)
    UINT icon = 0;                   // Message
    std::string* password = nullptr;  // Password: receives the typed text
    bool answer = false;
};

constexpr UINT kHostRequest = WM_APP + 1;

// Answers a request on the window thread, with the dialogs owned by window;
// the window procedure that receives kHostRequest calls it.
void AnswerHostRequest(HWND window, HostRequest& request);

class WinJobHost : public JobHost {
public:
    // progress: the target shows the percentage (command 3000).
    explicit WinJobHost(HWND target = nullptr, bool progress = false) : target_(target), progress_(progress) {}
    void SetTarget(HWND window, bool progress) { target_ = window, progress_ = progress; }
    // Page files (or parts) that stayed on disk since the last reset.
    int32_t Written() const { return written_; }
    void ResetWritten() { written_ = 0; }

    void Progress(Job& job, int percent) override;
    void ReplaceStatusText(Job& job) override;
    bool ConfirmWarnLimit(Job& job, const std::string& countText) override;
    bool AskPassword(Job& job, std::string& password) override;
    void ShowMessage(Job& job, MessageIcon icon, const std::string& text) override;
    void PageFileWritten(Job&, const std::string&) override { ++written_; }

private:
    bool Ask(HostRequest& request);
    HWND target_;
    bool progress_;
    int32_t written_ = 0;
};

}  // namespace brisel
