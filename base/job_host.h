// How a split job reaches a person: progress, the many-files warning, the
// password prompt and the security handler's message boxes. The Win32
// program, the terminal and the tests each implement it.
#pragma once

#include <string>

#include "base/job.h"
#include "base/texts.h"

namespace brisel {

enum class MessageIcon { None, Information, Error };

class JobHost {
public:
    virtual ~JobHost() = default;
    // job.StatusText has changed; percent is 0..100.
    virtual void Progress(Job& job, int percent) = 0;
    // Only the status text changed (page counter inside the page loop).
    virtual void ReplaceStatusText(Job& job) = 0;
    // Many files are about to be written; true goes on, false stops the job.
    virtual bool ConfirmWarnLimit(Job& job, const std::string& countText) = 0;
    // Asks for a password; false when the user cancelled.
    virtual bool AskPassword(Job& job, std::string& password) = 0;
    virtual void ShowMessage(Job& job, MessageIcon icon, const std::string& text) = 0;
    // After the page loop, once per page file that stays on disk, in page
    // order.
    virtual void PageFileWritten(Job&, const std::string& /*path*/) {}
};

// A host that shows nothing, declines the warning and the password prompt.
class SilentHost : public JobHost {
public:
    void Progress(Job&, int) override {}
    void ReplaceStatusText(Job&) override {}
    bool ConfirmWarnLimit(Job&, const std::string&) override { return false; }
    bool AskPassword(Job&, std::string&) override { return false; }
    void ShowMessage(Job&, MessageIcon, const std::string&) override {}
};

// Sets the status line and reports the percentage.
inline void ShowStatus(Job& job, Text text, int percent) {
    job.StatusText = Tr(job.app.language, text);
    job.host.Progress(job, percent);
}

}  // namespace brisel
