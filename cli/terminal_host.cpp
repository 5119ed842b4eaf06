#include "cli/terminal_host.h"

#include <cstdio>

#include "split/engine.h"

namespace brisel {

TerminalHost::TerminalHost(bool yes, std::optional<std::string> password, bool quiet)
    : yes_(yes),
      password_(std::move(password)),
      progressTerminal_(!quiet && IsTerminal(stderr)),
      askTerminal_(IsTerminal(stdin) && IsTerminal(stderr)) {}

void TerminalHost::StartJob() {
    passwordOffered_ = false;
    percent_ = 0;
    lastDraw_ = {};
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
    Repaint(job);
}

void TerminalHost::ReplaceStatusText(Job& job) { Repaint(job); }

// The line is repainted at most ten times a second, and for the last page:
// a console that renders every repaint slowly would otherwise hold up the
// job. In the page loop it is a bar with the page count.
void TerminalHost::Repaint(Job& job) {
    if (!progressTerminal_) return;
    const bool inPageLoop = job.Step == JobStep::Write && job.PagesTotal > 0;
    const bool last = inPageLoop && job.PagesDone >= job.PagesTotal;
    const auto now = std::chrono::steady_clock::now();
    if (!last && now - lastDraw_ < std::chrono::milliseconds(100)) return;
    lastDraw_ = now;
    if (!inPageLoop) {
        DrawLine(job.StatusText + "  " + std::to_string(percent_) + "%");
        return;
    }
    constexpr int kWidth = 24;
    const int64_t done = job.PagesDone, total = job.PagesTotal;
    const int filled = static_cast<int>(done * kWidth / total);
    DrawLine(std::string(Tr(job.app.language, Text::CreatingPages)) + " [" + std::string(filled, '#') +
             std::string(kWidth - filled, '-') + "] " + std::to_string(done) + "/" + std::to_string(total) + " " +
             std::to_string(done * 100 / total) + "%");
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
