// The public C++ API over the engine's stages: one job, one application
// record and one host per call, nothing shared between calls.
#include <cstring>
#include <utility>

#include "brisel/brisel.hpp"
#include "cli/json_result.h"
#include "split/engine.h"

namespace brisel {

namespace {

// The host of a library call: nobody to ask or to show anything to. The
// password given is offered once; a message of failure becomes the reason.
class LibraryHost : public JobHost {
public:
    LibraryHost(std::optional<std::string> password, std::atomic<int>* stop)
        : password_(std::move(password)), stop_(stop) {}
    // The caller's stop reaches the job here, between files and steps.
    void Progress(Job& job, int) override { CheckStop(job); }
    void ReplaceStatusText(Job& job) override { CheckStop(job); }
    bool ConfirmWarnLimit(Job&, const std::string&) override { return true; }
    bool AskPassword(Job&, std::string& password) override {
        if (password_ && !offered_) {
            offered_ = true;
            password = *password_;
            return true;
        }
        passwordRefused_ = true;
        reason_ = offered_ ? "the password is wrong" : "the file is encrypted and needs a password";
        return false;
    }
    void ShowMessage(Job&, MessageIcon icon, const std::string& text) override {
        if (icon == MessageIcon::Error && reason_.empty()) reason_ = OneLine(text);
    }
    const std::string& reason() const { return reason_; }
    bool passwordRefused() const { return passwordRefused_; }
    // The stable name of why the host refused the job.
    const char* errorKey() const { return !passwordRefused_ ? "stopped" : offered_ ? "password" : "password-needed"; }

private:
    void CheckStop(Job& job) {
        if (stop_ && stop_->load(std::memory_order_relaxed) != 0) job.StopCode = kStopRequested;
    }
    std::optional<std::string> password_;
    std::atomic<int>* stop_;
    bool offered_ = false;
    bool passwordRefused_ = false;
    std::string reason_;
};

enum { kStatusUsage = 2 };

// The request and the settings the options make; a usage error for options
// the command line refuses.
void MakeRequest(const SplitOptions& options, const std::string& path, AppState& app, SplitRequest& request) {
    auto refuse = [&](const std::string& reason) { throw Error(kStatusUsage, reason, path, false); };
    const int kinds = (options.every != 0) + (options.atBookmarks != 0) + !options.parts.empty();
    if (kinds > 1) refuse("choose one of every, at_bookmarks and parts");
    if (options.every < 0) refuse("every must be at least 1");
    if (options.atBookmarks < 0) refuse("at_bookmarks must be at least 1");
    if (!options.pages.empty())
        if (const std::string why = ParsePageSelection(options.pages, request.pages, false); !why.empty())
            refuse("pages: " + why);
    if (kinds == 1) {
        PartRequest parts;
        if (options.every > 0) {
            parts.mode = PartMode::Every;
            parts.every = options.every;
        } else if (options.atBookmarks > 0) {
            parts.mode = PartMode::AtBookmarks;
            parts.level = options.atBookmarks;
        } else {
            parts.mode = PartMode::Ranges;
            if (const std::string why = ParsePageSelection(options.parts, parts.ranges, true); !why.empty())
                refuse("parts: " + why);
        }
        request.parts = parts;
        // Parts keep the bookmarks of their pages, as on the command line.
        app.Viewer.KeepOutlines = 1;
    }
    app.IsWarnLimit = false;
    app.KeepAnnotations = options.keepAnnotations;
    app.KeepDocumentData = options.keepDocumentData;
}

// Bytes when the caller gave them, else the file; neither is an empty
// input, which fails as one.
InputSource InputOf(const Source& source) {
    static const uint8_t kNone = 0;
    if (source.data || source.path.empty())
        return InputSource::Bytes(source.data ? source.data : &kNone, source.data ? source.size : 0, source.path);
    return InputSource::File(source.path);
}

std::string NameOf(const Source& source) { return source.path.empty() ? std::string("(bytes)") : source.path; }

// Runs the stages and throws the failure, if any.
void RunToMemory(const Source& source, const SplitOptions& options, const std::function<bool(OutputFile&)>& onFile) {
    AppState app;
    SplitRequest request;
    request.onePageFile = true;
    MakeRequest(options, NameOf(source), app, request);
    LibraryHost host(options.password, options.stop);
    Job job(app, host);
    OutputFile out;
    MemorySink sink([&](const PlannedFile& file, std::string& bytes) {
        out.pages.clear();
        for (int32_t index : file.pages) out.pages.push_back(index + 1);
        out.first = file.first;
        out.last = file.last;
        out.title = file.title;
        out.bytes.swap(bytes);
        const bool more = onFile(out);
        out.bytes.swap(bytes);
        return more;
    });
    const int result = RunStages(job, InputOf(source), request, sink);
    if (result == kResultDone) return;
    std::string reason = JobReason(job, result, true);
    if (reason.empty()) reason = host.reason();
    throw Error(JobExitStatus(result), reason, NameOf(source), host.passwordRefused());
}

}  // namespace

void Split(const Source& source, const SplitOptions& options, const std::function<bool(OutputFile&)>& onFile) {
    RunToMemory(source, options, onFile);
}

std::vector<OutputFile> Split(const Source& source, const SplitOptions& options) {
    std::vector<OutputFile> files;
    RunToMemory(source, options, [&files](OutputFile& file) {
        files.push_back(std::move(file));
        file = OutputFile();
        return true;
    });
    return files;
}

SplitRecord SplitTo(const Source& source, const std::string& folder, const std::string& pattern,
                    const SplitOptions& options) {
    AppState app;
    SplitRequest request;
    SplitRecord record;
    record.file = source.data ? NameOf(source) : source.path;
    MakeRequest(options, record.file, app, request);
    // Files go into the folder, as --out puts them: a split of a range.
    request.range = true;
    CreateFolders(folder);
    LibraryHost host(options.password, options.stop);
    Job job(app, host);
    // Bytes without a name are named as a file "document.pdf" would be.
    const std::string base = source.path.empty() ? std::string("document.pdf") : source.path;
    DiskSink sink(base, true, folder, pattern);
    const int result = RunStages(job, InputOf(source), request, sink);
    record.status = JobExitStatus(result);
    record.pages = job.PageCount > 0 ? job.PageCount : 0;
    record.written = sink.written();
    record.reason = JobReason(job, result, true);
    if (record.reason.empty()) record.reason = host.reason();
    if (const char* key = JobErrorKey(job, result)) record.error = key;
    if (result == kResultAlreadyTold) record.error = host.errorKey();
    record.passwordError = host.passwordRefused();
    for (const Warning& w : job.Warnings.items())
        record.warnings.push_back({WarningName(w.kind), w.object, w.offset, w.firstPage, w.lastPage});
    return record;
}

int32_t PageCount(const Source& source, const std::optional<std::string>& password) {
    AppState app;
    LibraryHost host(password, nullptr);
    Job job(app, host);
    OpenedDocument opened;
    const int result = OpenStage(job, InputOf(source), SplitRequest(), opened, true);
    if (result == 0) return opened.pageCount;
    std::string reason = JobReason(job, result, false);
    if (reason.empty()) reason = host.reason();
    throw Error(JobExitStatus(result), reason, NameOf(source), host.passwordRefused());
}

namespace {

// The kind a warning's name stands for (the names the JSON prints).
WarningKind KindNamed(const std::string& name) {
    // Every kind has its own name; past the last one comes the generic name.
    for (int k = 0; k < 256; ++k) {
        const char* known = WarningName(static_cast<WarningKind>(k));
        if (std::string(known) == "warning") break;
        if (name == known) return static_cast<WarningKind>(k);
    }
    return WarningKind::MissingObject;
}

}  // namespace

std::string SplitRecord::Json() const {
    InputOutcome outcome;
    outcome.file = file;
    outcome.status = status;
    outcome.pages = pages;
    outcome.written = written;
    outcome.reason = reason;
    outcome.error = error.empty() ? nullptr : error.c_str();
    for (const SplitWarning& w : warnings) outcome.warnings.push_back({KindNamed(w.kind), w.object, w.offset, w.firstPage, w.lastPage});
    return JsonLine(outcome);
}

const char* Version() { return BRISEL_VERSION; }

}  // namespace brisel
