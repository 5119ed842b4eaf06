// brisel: the portable command line. Splits each PDF file named on the
// command line into one PDF file per page.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "cli/json_result.h"
#include "cli/messages.h"
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

InputOutcome SplitOne(AppState& app, TerminalHost& host, const CliOptions& options, const std::string& path) {
    InputOutcome outcome;
    outcome.file = path;
    const Language lang = app.language;
    auto refuse = [&](int status, const std::string& reason) {
        outcome.status = status;
        outcome.reason = reason;
        ReportFailure(path, reason);
        return outcome;
    };
    if (!NamesPdfFile(path)) return refuse(kExitUsage, Tr(lang, Text::NotPdfFile));
    if (PathLength(path) > kMaxPathLength) return refuse(kExitFailure, CliTr(lang, CliText::NoSuchFile));
    if (const InputProblem problem = ProbeInput(path); problem != InputProblem::None) {
        FileFault fault = FileFault::None;
        if (problem == InputProblem::Unreadable && !FileOpensForReading(path, &fault) && fault == FileFault::LinkLoop)
            return refuse(kExitFailure, FaultText(lang, fault, true));
        return refuse(kExitFailure, InputProblemText(lang, problem));
    }
    // Page files go into --out DIR, made with its parents when missing; a
    // folder that cannot be made fails the job like any page file that
    // cannot be created.
    if (options.hasOut) CreateFolders(options.outDir);
    app.RememberedPassword = false;
    host.StartJob(path);
    Job job(app, host);
    job.FirstPage = options.firstPage;
    job.LastPage = options.lastPage;
    RouteInterruptTo(&job.StopCode);
    if (InterruptRequested()) job.StopCode = kResultBreak;
    const int result = options.parts   ? SplitParts(job, path, options.range, *options.parts)
                       : options.range ? SplitPageRange(job, path)
                                       : SplitAllPages(job, path);
    RouteInterruptTo(nullptr);
    host.EndProgress();

    outcome.status = JobExitStatus(result);
    outcome.pages = job.PageCount;
    outcome.written = host.written();
    outcome.reason = JobReason(job, result, options.range || options.parts);
    outcome.warnings = job.Warnings.items();
    if (const std::string note = RenamedNote(job); !note.empty() && !options.quiet) ReportFailure(path, note);
    // Page files written from damaged input are whole and sound, but the run
    // says what it mended instead of "Done".
    const std::string repairs = RepairNote(job);
    if (!repairs.empty() && !options.quiet) ReportFailure(path, repairs);
    // A break is no failure worth a line under --quiet.
    if (!outcome.reason.empty() && !(result == kResultBreak && options.quiet)) ReportFailure(path, outcome.reason);
    if (outcome.reason.empty()) outcome.reason = host.reason();
    if (outcome.reason.empty()) outcome.reason = repairs;
    if (!options.json && !options.quiet) {
        if (options.verbose) {
            for (const std::string& file : outcome.written) WriteText(stdout, file + "\n");
            for (const Warning& warning : outcome.warnings) ReportFailure(path, "warning: " + DescribeWarning(warning));
        }
        if (result == kResultDone && repairs.empty())
            WriteText(stdout, OneLine(Tr(lang, app.RememberedPassword ? Text::DoneRememberedPassword : Text::Done)) +
                                  "\n");
    }
    return outcome;
}

// The first line of a file ("-": standard input) without its line end;
// false when the file cannot be read. Pipes and process substitutions are
// read like files.
bool ReadFirstLine(const std::string& path, std::string& line) {
    constexpr size_t kLongest = 4096;  // far beyond any password
    line.clear();
    std::ifstream file;
    std::istream* in = &std::cin;
    if (path != "-") {
        file.open(std::filesystem::path(std::u8string(path.begin(), path.end())), std::ios::binary);
        if (!file) return false;
        in = &file;
    }
    for (char c; line.size() < kLongest && in->get(c) && c != '\n';) line += c;
    if (in->bad()) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

// The password from --password, --password-file or BRISEL_PASSWORD; false
// (after saying why) when the password file cannot be read.
bool FindPassword(const CliOptions& options, Language lang, std::optional<std::string>& password) {
    password = options.password;
    if (options.passwordFile) {
        std::string line;
        const std::string& file = *options.passwordFile;
        if (!ReadFirstLine(file, line)) {
            const InputProblem problem = file == "-" ? InputProblem::Unreadable : ProbeInput(file);
            ReportFailure(file, InputProblemText(lang, problem == InputProblem::None ? InputProblem::Unreadable : problem));
            return false;
        }
        password = line;
    } else if (!password) {
        if (const char* fromEnvironment = std::getenv("BRISEL_PASSWORD")) password = fromEnvironment;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    // A stop request before the first job is kept, and stops that job at once.
    RouteInterruptTo(nullptr);
    // Inputs are mapped, and one cut short under its mapping fails its job
    // instead of ending the program.
    WatchMappedInputs();
    AppState app;
    app.language = UserLanguage();
    CliOptions options;
    const std::vector<std::string> arguments = Utf8Arguments(argc, argv);
    std::vector<const char*> argumentPointers;
    for (const std::string& argument : arguments) argumentPointers.push_back(argument.c_str());
    std::string error = ParseArguments(static_cast<int>(argumentPointers.size()), argumentPointers.data(), options);
    if (!error.empty()) {
        WriteText(stderr, "brisel: " + error + "\nTry 'brisel --help'.\n");
        return kExitUsage;
    }
    if (options.help) {
        WriteText(stdout, UsageText());
        return 0;
    }
    if (options.version) {
        WriteText(stdout, std::string(kVersionText) + "\nzlib " + ZlibVersion() + "\n");
        return 0;
    }
    if (options.files.empty()) {
        WriteText(stderr, UsageText());
        return kExitUsage;
    }
    std::optional<std::string> password;
    if (!FindPassword(options, app.language, password)) return kExitUsage;

    if (options.warnLimit) app.WarnLimitN = *options.warnLimit;
    if (options.noWarn) app.IsWarnLimit = false;
    app.IsSaveFolder = options.hasOut;
    app.SaveFolder = options.outDir;
    app.IsSameDate = options.sameDate;
    app.SyncPageFiles = !options.noSync;
    app.KeepAnnotations = options.keepAnnotations;
    app.KeepDocumentData = options.keepDocumentData;
    app.PruneResources = options.pruneResources;
    app.Viewer = options.viewer;
    if (options.parts && !options.bookmarksChosen) app.Viewer.KeepOutlines = 1;
    app.NamePattern = options.namePattern;

    TerminalHost host(options.yes, password, options.quiet);
    int status = 0;
    std::vector<InputOutcome> outcomes;
    for (const std::string& path : options.files) {
        outcomes.push_back(SplitOne(app, host, options, path));
        const int fileStatus = outcomes.back().status;
        if (status == 0) status = fileStatus;
        if (fileStatus == kExitBreak || InterruptRequested()) {
            status = 128 + InterruptSignal();
            break;
        }
    }
    if (options.json)
        for (const InputOutcome& outcome : outcomes) WriteText(stdout, JsonLine(outcome) + "\n");
    return status;
}
