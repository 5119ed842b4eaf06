#include "split/split_job.h"

#include <optional>
#include <string>

#include "base/job_host.h"
#include "base/platform.h"
#include "base/texts.h"
#include "docstruct/annots.h"
#include "docstruct/document.h"
#include "docstruct/page_tree.h"
#include "pagewriter/page_document.h"
#include "security/encrypted_output.h"
#include "split/output_naming.h"
#include "split/page_saver.h"
#include "split/split_stages.h"
#include "split/unlock.h"

namespace brisel {

void ResetJob(Job& job) {
    job.LastError = 0;
    job.Viewer = job.app.Viewer;
    job.Viewer.OpenActionView = ViewerSettings::kViewNotSet;
}

int ReadUntilClassic(Job& job, Document& doc) {
    const int r = OpenInput(job, doc.image, doc.table, doc.reader, true, true);
    return r == kOpenFailed ? kResultFailed : r;
}

namespace {

// LastError of a job whose page file could not be written.
constexpr int32_t kPageFileNotWritten = -4000;

int RunSplit(Job& job, const std::string& path, bool range) {
    ResetJob(job);
    ShowStatus(job, Text::Reading, 0);
    // The input's times are taken before it is read, since reading may
    // change its access time.
    const bool sameDate = range && job.app.IsSameDate;
    FileTimes times;
    const bool timesRead = sameDate && GetFileTimes(path, times);
    Document doc;
    doc.image = LoadFile(job, path);
    if (doc.image.empty()) return kResultFailed;
    if (sameDate && !timesRead) return kResultFailed;
    if (job.Stopped()) return job.StopCode;

    if (int r = ReadUntilClassic(job, doc); r != 0) return r;

    doc.outlines.clear();
    int32_t count = AnalyzeDocument(job, doc);
    job.PageCount = count;
    if (count < 0) return job.Stopped() ? job.StopCode.load() : kResultFailed;

    AppState& app = job.app;
    if (count >= 1 && !(app.PageCountCacheCount == count && app.PageCountCachePath == path)) {
        app.PageCountCacheCount = count;
        app.PageCountCachePath = path;
    }
    if (count == 1) return kResultOnePage;

    // Pages written: 0-based indexes [first, last).
    int32_t first = 0, last = count;
    if (range) {
        if (job.FirstPage == 0) job.FirstPage = 1;
        if (job.LastPage == 0) job.LastPage = count;
        if (job.FirstPage > job.LastPage) std::swap(job.FirstPage, job.LastPage);
        if (job.FirstPage < 1 || job.LastPage > count) return kResultBadPageRange;
        --job.FirstPage;
        first = job.FirstPage;
        last = job.LastPage;
    }

    const int32_t total = last - first;
    if (app.IsWarnLimit && total >= app.WarnLimitN && !job.host.ConfirmWarnLimit(job, std::to_string(total)))
        return kResultAlreadyTold;

    ShowStatus(job, Text::Analyzing, 20);
    BlankPageAnnots(job, doc);
    if (job.Stopped()) return job.StopCode;

    ShowStatus(job, Text::CreatingPages, 30);
    if (count <= 1) return kResultOnePage;

    OutputNaming naming;
    naming.SetBase(path, range && app.IsSaveFolder, app.SaveFolder);
    if (!naming.Choose(job, count, first, last)) {
        if (job.Stopped()) return job.StopCode;
        return kResultCannotCreate;
    }

    int shownPercent = 30;
    std::string pageBuffer;
    std::optional<FileTimes> pageTimes;
    if (sameDate) pageTimes = times;
    InputKeyEncryption encryption(doc.reader);
    PageSaver saver(PageSaver::DefaultThreads());
    for (int32_t index = first; index < last; ++index) {
        if (job.Stopped() || saver.Failed()) break;
        const int32_t k = index - first + 1;
        job.StatusText = TrFormat(app.language, Text::CreatingPagesCounter, k, total);
        const int percent = 30 + static_cast<int>(static_cast<int64_t>(k) * 70 / total);
        if (percent > shownPercent) {
            shownPercent = percent;
            job.host.Progress(job, percent);
        } else {
            job.host.ReplaceStatusText(job);
        }
        job.OutputPath = naming.PathFor(index + 1);
        if (!BuildPageDocument(job, index, doc, pageBuffer, &encryption)) break;
        saver.Submit(index, job.OutputPath, pageBuffer, pageTimes);
    }
    // A page file that could not be written ends the job as if it had been
    // the last one tried.
    if (saver.Finish() >= 0) job.LastError = kPageFileNotWritten;

    if (job.Stopped()) return job.StopCode;
    if (job.LastError != 0) return job.LastError == kPageFileNotWritten ? kResultCannotCreate : kResultFailed;
    return kResultDone;
}

}  // namespace

int SplitAllPages(Job& job, const std::string& inputPath) { return RunSplit(job, inputPath, false); }

int SplitPageRange(Job& job, const std::string& inputPath) { return RunSplit(job, inputPath, true); }

}  // namespace brisel
