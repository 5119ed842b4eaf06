// The command line's JobHost: a self-updating progress line on stderr when it
// is a terminal, questions on the terminal, and plain messages otherwise.
#pragma once

#include <optional>
#include <string>

#include "split/engine.h"

namespace brisel {

class TerminalHost : public JobHost {
public:
    TerminalHost(bool yes, std::optional<std::string> password);

    // Called before each job: the --password answer is offered once per job.
    void StartJob();
    // Ends the progress line, if one is shown.
    void EndProgress();

    void Progress(Job& job, int percent) override;
    void ReplaceStatusText(Job& job) override;
    bool ConfirmWarnLimit(Job& job, const std::string& countText) override;
    bool AskPassword(Job& job, std::string& password) override;
    void ShowMessage(Job& job, MessageIcon icon, const std::string& text) override;

private:
    void DrawLine(const std::string& text);

    bool yes_;
    std::optional<std::string> password_;
    bool passwordOffered_ = false;
    bool progressTerminal_;
    bool askTerminal_;
    int percent_ = 0;
    size_t lineWidth_ = 0;
};

}  // namespace brisel
