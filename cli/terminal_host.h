// The command line's JobHost: a self-updating progress line on stderr when it
// is a terminal, questions only on a terminal, and one line per message.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "split/engine.h"

namespace brisel {

class TerminalHost : public JobHost {
public:
    // quiet: no progress line and no notes.
    TerminalHost(bool yes, std::optional<std::string> password, bool quiet = false);

    // Called before each job: the given password is offered once per job,
    // and the messages name this file.
    void StartJob(const std::string& file);
    // Ends the progress line, if one is shown.
    void EndProgress();

    // The page files the job left on disk, in page order.
    const std::vector<std::string>& written() const { return written_; }
    // The reason the host gave for stopping the job, if it did.
    const std::string& reason() const { return reason_; }
    // Whether that reason was printed already.
    bool reasonShown() const { return reasonShown_; }
    // The stable name of that reason, for --json.
    const char* errorKey() const { return errorKey_; }

    void Progress(Job& job, int percent) override;
    void ReplaceStatusText(Job& job) override;
    bool ConfirmWarnLimit(Job& job, const std::string& countText) override;
    bool AskPassword(Job& job, std::string& password) override;
    void ShowMessage(Job& job, MessageIcon icon, const std::string& text) override;
    void PageFileWritten(Job& job, const std::string& path) override;

private:
    void DrawLine(const std::string& text);
    void Repaint(Job& job);
    void Fail(const std::string& reason);

    bool yes_;
    std::optional<std::string> password_;
    bool passwordOffered_ = false;
    bool quiet_;
    bool progressTerminal_;
    bool askTerminal_;
    std::string file_;
    std::string reason_;
    bool reasonShown_ = false;
    const char* errorKey_ = nullptr;
    std::vector<std::string> written_;
    int percent_ = 0;
    size_t lineWidth_ = 0;
    std::chrono::steady_clock::time_point lastDraw_{};
};

}  // namespace brisel
