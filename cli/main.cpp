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

// A file is a PDF when its first 1024 bytes hold "%PDF-", whatever its name.
// One without that header is still tried when it holds an object ("1 0
// obj"), since the repair may make a document of it.
enum class Content { Pdf, Objects, NotPdf, Unreadable };

Content ProbeContent(const std::string& path) {
    // Only a regular file is read here: a pipe or a device would block, and
    // the job refuses them with their own reason.
    std::error_code error;
    if (!std::filesystem::is_regular_file(std::filesystem::path(std::u8string(path.begin(), path.end())), error))
        return Content::Pdf;
    std::ifstream file(std::filesystem::path(std::u8string(path.begin(), path.end())), std::ios::binary);
    if (!file) return Content::Unreadable;
    std::string head(1024, '\0');
    file.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<size_t>(file.gcount()));
    if (head.find("%PDF-") != std::string::npos) return Content::Pdf;
    // "obj" after white space after a digit, read in blocks that overlap by
    // the length of what is sought.
    std::string block = head;
    for (;;) {
        for (size_t at = block.find("obj"); at != std::string::npos; at = block.find("obj", at + 1)) {
            size_t i = at;
            bool space = false;
            while (i > 0 && (block[i - 1] == ' ' || block[i - 1] == '\r' || block[i - 1] == '\n')) --i, space = true;
            if (space && i > 0 && block[i - 1] >= '0' && block[i - 1] <= '9') return Content::Objects;
        }
        if (!file) return Content::NotPdf;
        const std::string tail = block.size() > 16 ? block.substr(block.size() - 16) : block;
        block.assign(1 << 20, '\0');
        file.read(block.data(), static_cast<std::streamsize>(block.size()));
        block.resize(static_cast<size_t>(file.gcount()));
        if (block.empty()) return Content::NotPdf;
        block.insert(0, tail);
    }
}

// The folders of path that do not exist yet, outermost first.
std::vector<std::filesystem::path> MissingFolders(const std::string& path) {
    std::vector<std::filesystem::path> missing;
    std::error_code error;
    for (std::filesystem::path p(std::u8string(path.begin(), path.end())); !p.empty() && p != p.parent_path();
         p = p.parent_path()) {
        if (std::filesystem::symlink_status(p, error).type() != std::filesystem::file_type::not_found) break;
        missing.insert(missing.begin(), p);
    }
    return missing;
}


// 0-based page indexes as page numbers.
std::vector<int32_t> OneBased(const std::vector<int32_t>& indexes) {
    std::vector<int32_t> pages;
    for (int32_t index : indexes) pages.push_back(index + 1);
    return pages;
}

std::string SizeText(int64_t bytes) {
    char text[32];
    if (bytes >= (1 << 20)) std::snprintf(text, sizeof text, "%.1fM", static_cast<double>(bytes) / (1 << 20));
    else std::snprintf(text, sizeof text, "%.1fK", static_cast<double>(bytes) / 1024);
    return text;
}

InputOutcome SplitOne(AppState& app, TerminalHost& host, const CliOptions& options, const std::string& path) {
    InputOutcome outcome;
    outcome.file = path;
    const Language lang = app.language;
    auto refuse = [&](int status, const std::string& reason, const char* error) {
        outcome.status = status;
        outcome.reason = reason;
        outcome.error = error;
        ReportFailure(path, reason);
        return outcome;
    };
    if (PathLength(path) > kMaxPathLength) return refuse(kExitFailure, CliTr(lang, CliText::NoSuchFile), "missing");
    if (const InputProblem problem = ProbeInput(path); problem != InputProblem::None) {
        FileFault fault = FileFault::None;
        if (problem == InputProblem::Unreadable && !FileOpensForReading(path, &fault) && fault == FileFault::LinkLoop)
            return refuse(kExitFailure, FaultText(lang, fault, true), "unreadable");
        static const char* const kKeys[] = {nullptr, "missing", "folder", "permission", "unreadable"};
        return refuse(kExitFailure, InputProblemText(lang, problem), kKeys[static_cast<int>(problem)]);
    }
    // Reading the header must not cost the input the access time that
    // --same-date gives the page files.
    FileTimes inputTimes;
    const bool keepTimes = options.sameDate && GetFileTimes(path, inputTimes);
    const Content content = ProbeContent(path);
    if (keepTimes) SetFileTimes(path, inputTimes);
    if (content == Content::NotPdf) return refuse(kExitFailure, CliTr(lang, CliText::NotPdf), "not-pdf");
    // Page files go into --out DIR, made with its parents when missing; a
    // folder that cannot be made fails the job like any page file that
    // cannot be created. A run that writes nothing takes back the folders it
    // made; a dry run makes none.
    std::vector<std::filesystem::path> madeFolders;
    if (options.hasOut && !options.dryRun) {
        madeFolders = MissingFolders(options.outDir);
        CreateFolders(options.outDir);
    }
    app.RememberedPassword = false;
    host.StartJob(path);
    Job job(app, host);
    RouteInterruptTo(&job.StopCode);
    if (InterruptRequested()) job.StopCode = kResultBreak;
    SplitRequest request;
    request.range = options.range;
    request.firstPage = options.firstPage;
    request.lastPage = options.lastPage;
    request.pages = options.pageSpans;
    request.parts = options.parts;
    request.fileTimes = options.range && app.IsSameDate;
    // The command line writes a one-page input like any other.
    request.onePageFile = true;
    request.dryRun = options.dryRun;
    DiskSink sink(path, options.range && app.IsSaveFolder, app.SaveFolder, app.NamePattern);
    sink.SetIfExists(options.ifExists);
    SplitPlan plan;
    const int result = RunStages(job, InputSource::File(path), request, sink, &plan);
    RouteInterruptTo(nullptr);
    host.EndProgress();

    outcome.status = result == kResultBreak ? 128 + InterruptSignal() : JobExitStatus(result);
    outcome.pages = job.PageCount;
    outcome.written = host.written();
    outcome.error = JobErrorKey(job, result);
    outcome.reason = result == kResultBadPageRange && !plan.why.empty()
                         ? plan.why
                         : JobReason(job, result, options.range || options.parts);
    outcome.warnings = job.Warnings.items();
    // Page files written from damaged input are whole and sound, but the run
    // says what it mended instead of "Done".
    const std::string repairs = RepairNote(job);
    if (!options.quiet) {
        if (const std::string note = RenamedNote(job); !note.empty()) ReportFailure(path, note);
        if (!repairs.empty()) ReportFailure(path, repairs);
        if (const std::string taken = sink.TakenName(); !taken.empty())
            ReportFailure(path, CliTrFormat(lang, CliText::NamesTaken, FileTitle(taken), FileTitle(sink.UsedName())));
        if (sink.skipped() > 0)
            ReportFailure(path, CliTrFormat(lang, CliText::FilesSkipped, std::to_string(sink.skipped())));
        for (const PlannedFile& file : plan.files)
            if (file.oversized)
                ReportFailure(path, CliTrFormat(lang, CliText::PageOversized, PageRanges(OneBased(file.pages), ","),
                                                options.maxSizeText + " (" + SizeText(file.bytes) + ")"));
    }
    // A break is no failure worth a line under --quiet. A job the host
    // stopped (status 10) says why once.
    if (!outcome.reason.empty() && !(result == kResultBreak && options.quiet)) ReportFailure(path, outcome.reason);
    if (outcome.reason.empty()) {
        outcome.reason = host.reason();
        if (result == kResultAlreadyTold && !host.reasonShown() && !outcome.reason.empty())
            ReportFailure(path, outcome.reason);
    }
    if (outcome.reason.empty()) outcome.reason = repairs;
    if (result == kResultAlreadyTold) outcome.error = host.errorKey();
    if (outcome.status != 0 && outcome.written.empty())
        for (auto folder = madeFolders.rbegin(); folder != madeFolders.rend(); ++folder) {
            std::error_code error;
            std::filesystem::remove(*folder, error);  // only while it is empty
        }
    if (options.dryRun) {
        outcome.dryRun = true;
        if (result != kResultDone) return outcome;
        for (size_t k = 0; k < plan.files.size(); ++k) {
            const PlannedFile& file = plan.files[k];
            const std::vector<int32_t> pages = OneBased(file.pages);
            outcome.plan.push_back({sink.NameOf(k), pages, file.title, sink.Taken(k)});
            if (!options.json && !options.quiet)
                WriteText(stdout, sink.NameOf(k) + "\t" + PageRanges(pages, ",") + (file.title.empty() ? "" : "\t" + file.title) +
                                      "\n");
        }
        return outcome;
    }
    if (!options.json && !options.quiet) {
        // With --verbose the file list is alone on stdout; the summary and
        // the warnings go to stderr.
        if (options.verbose) {
            for (const std::string& file : outcome.written) WriteText(stdout, file + "\n");
            for (const Warning& warning : outcome.warnings) ReportFailure(path, "warning: " + DescribeWarning(warning));
        }
        if (result == kResultDone && repairs.empty())
            WriteText(options.verbose ? stderr : stdout,
                      OneLine(Tr(lang, app.RememberedPassword ? Text::DoneRememberedPassword : Text::Done)) + "\n");
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
        WriteText(stderr, "Usage: brisel [OPTIONS] FILE.pdf [FILE.pdf ...]\nTry 'brisel --help'.\n");
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
    // Tests lower the size above which streams are written in pieces, to
    // try that path on small files.
    if (const char* large = std::getenv("BRISEL_TEST_LARGE_STREAM")) {
        char* end = nullptr;
        const unsigned long long bytes = std::strtoull(large, &end, 10);
        if (end != large && *end == '\0') app.LargeStreamBytes = bytes;
    }
    app.KeepAnnotations = options.keepAnnotations;
    app.KeepDocumentData = options.keepDocumentData;
    app.PruneResources = options.pruneResources;
    app.CompressStreams = options.compressStreams;
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
        if (fileStatus > 128 || InterruptRequested()) {
            status = 128 + InterruptSignal();
            outcomes.back().status = status;
            break;
        }
    }
    if (options.json)
        for (const InputOutcome& outcome : outcomes) WriteText(stdout, JsonLine(outcome) + "\n");
    return status;
}
