// brisel: the portable command line. Splits each PDF file named on the
// command line into one PDF file per page.
#include <cstdio>
#include <string>
#include <vector>

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
        case kResultIncomplete:
            return result;
        case kResultBreak:
            return kExitBreak;  // the caller turns it into 128 + the signal
        default:
            return kExitFailure;
    }
}

// A message about one input file: "brisel: NAME: message", with the reason
// in parentheses when there is one.
void ReportFileProblem(Language lang, const std::string& path, const char* message, const std::string& reason = "") {
    std::string line = "brisel: " + path + ": " + message;
    if (!reason.empty())
        line += lang == Language::Japanese ? "\xEF\xBC\x88" + reason + "\xEF\xBC\x89" : " (" + reason + ")";
    WriteText(stderr, line + "\n");
}

// Prints the message that belongs to a job's result; with quiet, only
// failures.
void ReportResult(const Job& job, const std::string& path, int result, bool range, bool quiet) {
    const AppState& app = job.app;
    Language lang = app.language;
    const std::string detail = ResultDetail(job, result);
    if (const std::string note = RenamedNote(job); !note.empty() && !quiet) WriteText(stderr, "brisel: " + path + ": " + note + "\n");
    switch (result) {
        case kResultDone:
            if (quiet) return;
            WriteText(stdout, std::string(Tr(lang, app.RememberedPassword ? Text::DoneRememberedPassword : Text::Done)) +
                                  "\n");
            return;
        case kResultAlreadyTold:
            return;
        case kResultOnePage:
            ReportFileProblem(lang, path, Tr(lang, Text::OnePage));
            return;
        case kResultCannotCreate:
            if (!detail.empty()) WriteText(stderr, "brisel: " + path + ": " + detail + "\n");
            else ReportFileProblem(lang, path, Tr(lang, Text::CantCreate), FailureReason(lang, job.Step, job.LastError));
            return;
        case kResultIncomplete:
            WriteText(stderr, "brisel: " + path + ": " + detail + "\n");
            return;
        case kResultBreak:
            if (!quiet) ReportFileProblem(lang, path, Tr(lang, Text::Break));
            return;
        case kResultBadPageRange:
            if (range) {
                ReportFileProblem(lang, path, Tr(lang, Text::BadPageInput));
                return;
            }
            [[fallthrough]];
        default:
            ReportFileProblem(lang, path, Tr(lang, Text::Failed),
                              detail.empty() ? FailureReason(lang, job.Step, job.LastError) : detail);
    }
}

int SplitOne(AppState& app, TerminalHost& host, const CliOptions& options, const std::string& path) {
    if (!NamesPdfFile(path)) {
        ReportFileProblem(app.language, path, Tr(app.language, Text::NotPdfFile));
        return kExitUsage;
    }
    FileFault fault = FileFault::None;
    if (PathLength(path) > kMaxPathLength || !FileOpensForReading(path, &fault)) {
        if (fault == FileFault::LinkLoop) ReportFileProblem(app.language, path, FaultText(app.language, fault, true));
        else WriteText(stderr, TrFormat(app.language, Text::FileNotFound, path) + "\n");
        return kExitFailure;
    }
    // Page files go into --out DIR, made with its parents when missing; a
    // folder that cannot be made fails the job like any page file that
    // cannot be created.
    if (options.hasOut) CreateFolders(options.outDir);
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
    ReportResult(job, path, result, options.range, options.quiet);
    return ExitStatusOf(result);
}

}  // namespace

int main(int argc, char** argv) {
    AppState app;
    app.language = UserLanguage();
    CliOptions options;
    const std::vector<std::string> arguments = Utf8Arguments(argc, argv);
    std::vector<const char*> argumentPointers;
    for (const std::string& argument : arguments) argumentPointers.push_back(argument.c_str());
    std::string error = ParseArguments(static_cast<int>(argumentPointers.size()), argumentPointers.data(), app.language,
                                       options);
    if (!error.empty()) {
        WriteText(stderr, "brisel: " + error + "\nTry 'brisel --help'.\n");
        return kExitUsage;
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
    app.KeepAnnotations = options.keepAnnotations;
    app.Viewer = options.viewer;

    TerminalHost host(options.yes, options.password, options.quiet);
    int status = 0;
    for (const std::string& path : options.files) {
        int fileStatus = SplitOne(app, host, options, path);
        if (status == 0) status = fileStatus;
        if (fileStatus == kExitBreak || InterruptRequested()) return 128 + InterruptSignal();
    }
    return status;
}
