// brisel: the portable command line. Splits each PDF file named on the
// command line into one PDF file per page.
#include <cstdio>
#include <string>

#include "cli/options.h"
#include "cli/terminal_host.h"
#include "split/engine.h"

using namespace brisel;

namespace {

enum ExitStatus { kExitFailure = 1, kExitUsage = 2, kExitBreak = 130 };

bool NamesPdfFile(const std::string& path) {
    if (path.size() < 5 || path[path.size() - 4] != '.') return false;
    auto is = [&](size_t fromEnd, char upper) {
        char c = path[path.size() - fromEnd];
        return c == upper || c == upper + 32;
    };
    return is(3, 'P') && is(2, 'D') && is(1, 'F');
}

int ExitStatusOf(int result) {
    switch (result) {
        case kResultDone:
        case kResultOnePage:
        case kResultCannotCreate:
        case kResultBadPageRange:
        case kResultAlreadyTold:
            return result;
        case kResultBreak:
            return kExitBreak;
        default:
            return kExitFailure;
    }
}

// Prints the message that belongs to a job's result.
void ReportResult(const AppState& app, int result, bool range) {
    Language lang = app.language;
    switch (result) {
        case kResultDone:
            WriteText(stdout, std::string(Tr(lang, app.RememberedPassword ? Text::DoneRememberedPassword : Text::Done)) +
                                  "\n");
            return;
        case kResultAlreadyTold:
            return;
        case kResultOnePage:
            WriteText(stderr, std::string(Tr(lang, Text::OnePage)) + "\n");
            return;
        case kResultCannotCreate:
            WriteText(stderr, std::string(Tr(lang, Text::CantCreate)) + "\n");
            return;
        case kResultBreak:
            WriteText(stderr, std::string(Tr(lang, Text::Break)) + "\n");
            return;
        case kResultBadPageRange:
            if (range) {
                WriteText(stderr, std::string(Tr(lang, Text::BadPageInput)) + "\n");
                return;
            }
            [[fallthrough]];
        default:
            WriteText(stderr, std::string(Tr(lang, Text::Failed)) + "\n");
    }
}

int SplitOne(AppState& app, TerminalHost& host, const CliOptions& options, const std::string& path) {
    if (!NamesPdfFile(path)) {
        WriteText(stderr, std::string(Tr(app.language, Text::NotPdfFile)) + "\n");
        return kExitUsage;
    }
    if (path.size() > kMaxPathLength || !FileOpensForReading(path)) {
        WriteText(stderr, TrFormat(app.language, Text::FileNotFound, path) + "\n");
        return kExitFailure;
    }
    app.RememberedPassword = false;
    host.StartJob();
    Job job(app, host);
    job.FirstPage = options.firstPage;
    job.LastPage = options.lastPage;
    RouteInterruptTo(&job.StopCode);
    if (InterruptRequested()) job.StopCode = kResultBreak;
    int result = options.range ? SplitPageRange(job, path) : SplitAllPages(job, path);
    RouteInterruptTo(nullptr);
    host.EndProgress();
    ReportResult(app, result, options.range);
    return ExitStatusOf(result);
}

}  // namespace

int main(int argc, char** argv) {
    AppState app;
    app.language = UserLanguage();
    CliOptions options;
    std::string error = ParseArguments(argc, argv, app.language, options);
    if (!error.empty()) {
        WriteText(stderr, "brisel: " + error + "\nTry 'brisel --help'.\n");
        return kExitUsage;
    }
    // The password in UTF-8 as typed, whatever the ANSI code page.
    if (options.password) {
        const std::vector<std::string> utf8 = Utf8Arguments();
        const size_t at = static_cast<size_t>(options.passwordArgument);
        if (at < utf8.size() && options.passwordOffset <= utf8[at].size())
            options.password = utf8[at].substr(options.passwordOffset);
    }
    if (options.help) {
        WriteText(stdout, UsageText());
        return 0;
    }
    if (options.version) {
        WriteText(stdout, std::string(kVersionText) + "\n");
        return 0;
    }
    if (options.files.empty()) {
        WriteText(stderr, std::string(UsageText()));
        return kExitUsage;
    }

    if (options.warnLimit) app.WarnLimitN = *options.warnLimit;
    if (options.noWarn) app.IsWarnLimit = false;
    app.IsSaveFolder = options.hasOut;
    app.SaveFolder = options.outDir;
    app.IsSameDate = options.sameDate;
    app.Viewer = options.viewer;

    TerminalHost host(options.yes, options.password);
    int status = 0;
    for (const std::string& path : options.files) {
        int fileStatus = SplitOne(app, host, options, path);
        if (status == 0) status = fileStatus;
        if (fileStatus == kExitBreak || InterruptRequested()) return kExitBreak;
    }
    return status;
}
