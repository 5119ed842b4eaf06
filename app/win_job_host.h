// The JobHost of the Windows program: progress goes to the progress window,
// questions come up as dialogs owned by it (or by the main window when no
// progress window is shown, as for the page count query).
#pragma once

#include "app/shell.h"

namespace brisel {

class WinJobHost : public JobHost {
public:
    explicit WinJobHost(HWND owner) : owner_(owner) {}
    // The progress window, once it exists; its status control shows the text.
    void SetProgressWindow(HWND window) { owner_ = window, progress_ = window; }

    void Progress(Job& job, int percent) override;
    void ReplaceStatusText(Job& job) override;
    bool ConfirmWarnLimit(Job& job, const std::string& countText) override;
    bool AskPassword(Job& job, std::string& password) override;
    void ShowMessage(Job& job, MessageIcon icon, const std::string& text) override;

private:
    HWND owner_;
    HWND progress_ = nullptr;
};

}  // namespace brisel
