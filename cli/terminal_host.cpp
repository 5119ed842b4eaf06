#include "cli/terminal_host.h"

#include <cstdio>

#include "split/engine.h"

namespace brisel {

TerminalHost::TerminalHost(bool yes, std::optional<std::string> password)
    : yes_(yes),
      password_(std::move(password)),
      progressTerminal_(IsTerminal(stderr)),
      askTerminal_(IsTerminal(stdin) && IsTerminal(stderr)) {}

void TerminalHost::StartJob() {
    passwordOffered_ = false;
    percent_ = 0;
}

void TerminalHost::DrawLine(const std::string& text) {
    if (!progressTerminal_) return;
    std::string line = "\r" + text;
    if (text.size() < lineWidth_) line.append(lineWidth_ - text.size(), ' ');
    lineWidth_ = text.size();
    WriteText(stderr, line);
}

void TerminalHost::EndProgress() {
    if (lineWidth_ == 0) return;
    DrawLine("");
    WriteText(stderr, "\r");
    lineWidth_ = 0;
}

void TerminalHost::Progress(Job& job, int percent) {
    percent_ = percent;
    ReplaceStatusText(job);
}

void TerminalHost::ReplaceStatusText(Job& job) {
    DrawLine(job.StatusText + "  " + std::to_string(percent_) + "%");
}

bool TerminalHost::ConfirmWarnLimit(Job& job, const std::string& countText) {
    if (yes_) return true;
    EndProgress();
    std::string question = TrFormat(job.app.language, Text::WarnLimit, countText);
    if (!askTerminal_) {
        WriteText(stderr, question + "\nRun again with --yes to go on, or change the limit with --warn-limit N or --no-warn.\n");
        return false;
    }
    WriteText(stderr, question + " [y/N] ");
    std::string answer;
    if (!ReadTerminalLine(answer, true)) return false;
    return answer == "y" || answer == "Y" || answer == "yes";
}

bool TerminalHost::AskPassword(Job& job, std::string& password) {
    if (password_ && !passwordOffered_) {
        passwordOffered_ = true;
        password = *password_;
        return true;
    }
    EndProgress();
    if (!askTerminal_) {
        // After a wrong --password the file's own message has said so.
        if (!passwordOffered_) WriteText(stderr, "This file needs a password: give it with --password PW.\n");
        return false;
    }
    WriteText(stderr, std::string(Tr(job.app.language, Text::InputPassword)) + ": ");
    return ReadTerminalLine(password, false);
}

void TerminalHost::ShowMessage(Job&, MessageIcon, const std::string& text) {
    EndProgress();
    WriteText(stderr, text + "\n");
}

}  // namespace brisel
