#include "cli/terminal_host.h"

#include <algorithm>
#include <cstdio>

#include "cli/messages.h"
#include "split/engine.h"

namespace brisel {

TerminalHost::TerminalHost(bool yes, std::optional<std::string> password, bool quiet)
    : yes_(yes),
      password_(std::move(password)),
      quiet_(quiet),
      progressTerminal_(!quiet && IsTerminal(stderr)),
      // A question needs someone to read it and to answer it.
      askTerminal_(IsTerminal(stdin) && IsTerminal(stderr)) {}

void TerminalHost::StartJob(const std::string& file) {
    file_ = file;
    reason_.clear();
    reasonShown_ = false;
    errorKey_ = nullptr;
    written_.clear();
    passwordOffered_ = false;
    percent_ = 0;
    lastDraw_ = {};
}

// The line stays within the terminal's width (less one column, where some
// terminals wrap), so that repainting it never scrolls.
void TerminalHost::DrawLine(const std::string& text) {
    if (!progressTerminal_) return;
    const int columns = TerminalColumns(stderr);
    const std::string shown = columns > 1 ? FitColumns(text, static_cast<size_t>(columns - 1)) : text;
    const size_t width = TextColumns(shown);
    std::string line = "\r" + shown;
    if (width < lineWidth_) line.append(lineWidth_ - width, ' ');
    lineWidth_ = width;
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
    // The bar takes 24 columns, fewer when the terminal is narrow, none
    // when nothing else fits.
    const int64_t done = job.PagesDone, total = job.PagesTotal;
    const std::string label = Tr(job.app.language, Text::CreatingPages);
    const std::string count = std::to_string(done) + "/" + std::to_string(total) + " " +
                              std::to_string(done * 100 / total) + "%";
    const int columns = TerminalColumns(stderr);
    int barWidth = 24;
    if (columns > 0)
        barWidth = std::min<int>(barWidth, columns - 1 - static_cast<int>(TextColumns(label) + count.size()) - 4);
    if (barWidth < 4) {
        DrawLine(label + " " + count);
        return;
    }
    const int filled = static_cast<int>(done * barWidth / total);
    DrawLine(label + " [" + std::string(filled, '#') + std::string(barWidth - filled, '-') + "] " + count);
}

void TerminalHost::Fail(const std::string& reason) {
    reason_ = OneLine(reason);
    reasonShown_ = true;
    ReportFailure(file_, reason_);
}

// Without a terminal nobody can answer: a script is never stopped by the
// question, only told that the limit was passed.
bool TerminalHost::ConfirmWarnLimit(Job& job, const std::string& countText) {
    if (yes_) return true;
    EndProgress();
    const Language language = job.app.language;
    if (!askTerminal_) {
        if (!quiet_)
            ReportFailure(file_, CliTrFormat(language, CliText::PastWarnLimit, countText));
        return true;
    }
    WriteText(stderr, OneLine(TrFormat(language, Text::WarnLimit, countText)) + " [y/N] ");
    std::string answer;
    if (ReadTerminalLine(answer, true) && (answer == "y" || answer == "Y" || answer == "yes")) return true;
    reason_ = CliTrFormat(language, CliText::WarnDeclined, countText);
    errorKey_ = "declined";
    return false;
}

bool TerminalHost::AskPassword(Job& job, std::string& password) {
    if (password_ && !passwordOffered_) {
        passwordOffered_ = true;
        password = *password_;
        return true;
    }
    EndProgress();
    const Language language = job.app.language;
    if (!askTerminal_) {
        errorKey_ = job.OwnerPasswordNeeded ? "owner-password" : passwordOffered_ ? "password" : "password-needed";
        Fail(CliTr(language, job.OwnerPasswordNeeded ? CliText::OwnerPasswordNeeded
                             : passwordOffered_      ? CliText::PasswordWrong
                                                     : CliText::PasswordNoTerminal));
        return false;
    }
    WriteText(stderr, std::string(Tr(language, Text::InputPassword)) + ": ");
    if (ReadTerminalLine(password, false)) return true;
    WriteText(stderr, "\n");
    reason_ = CliTr(language, CliText::NoPasswordGiven);
    errorKey_ = "password-needed";
    return false;
}

void TerminalHost::ShowMessage(Job& job, MessageIcon icon, const std::string& text) {
    EndProgress();
    // "Input right password" comes before the next prompt; without a
    // terminal there is none, and AskPassword tells why.
    if (text == Tr(job.app.language, Text::InputRightPassword)) {
        reason_ = CliTr(job.app.language, CliText::PasswordWrong);
        errorKey_ = "password";
        if (!askTerminal_) return;
    }
    if (icon == MessageIcon::Error) {
        if (!errorKey_) errorKey_ = "encryption";
        Fail(text);
        return;
    }
    ReportFailure(file_, text);
}

void TerminalHost::PageFileWritten(Job&, const std::string& path) { written_.push_back(path); }

}  // namespace brisel
