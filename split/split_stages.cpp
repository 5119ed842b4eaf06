#include "split/split_stages.h"

#include <algorithm>
#include <utility>

#include "base/job_host.h"
#include "docstruct/annots.h"
#include "docstruct/named_dest_pages.h"
#include "docstruct/page_tree.h"
#include "docstruct/struct_tree.h"
#include "pagewriter/page_document.h"
#include "pagewriter/shared_resources.h"
#include "pdfread/xref_table.h"
#include "security/encrypted_output.h"
#include "split/size_plan.h"
#include "split/split_job.h"
#include "split/unlock.h"

namespace brisel {

namespace {

// Whether the input was cut short under its mapping since it was read: the
// bytes met there were zeros, so nothing built from them may be delivered.
bool InputChanged(Job& job, const OpenedDocument& opened) {
    FileState now;
    const bool same = !opened.state || (GetFileState(opened.path, now) && now == *opened.state);
    if (same && InputFaultCount() == opened.inputFaults) return false;
    job.InputFault = FileFault::Changed;
    job.Step = JobStep::Load;
    return true;
}

}  // namespace

int OpenStage(Job& job, const InputSource& source, const SplitRequest& request, OpenedDocument& opened,
              bool count) {
    if (!count) {
        ResetJob(job);
        ShowStatus(job, Text::Reading, 0);
    }
    job.NeedOutlines = request.parts && request.parts->mode == PartMode::AtBookmarks;
    job.PartFiles = request.parts.has_value();
    opened.path = source.path;
    opened.fromFile = !source.inMemory();
    Document& doc = opened.doc;
    job.Step = JobStep::Load;
    if (source.inMemory()) {
        job.LastError = 0;
        // Reading edits the image (blanked annotations, decryption): the
        // caller's bytes are copied.
        if (source.size < 20 || !doc.image.Assign(source.data, source.size)) {
            job.LastError = kLoadFailed;
            return kResultFailed;
        }
    } else {
        // The input's times are taken before it is read, since reading may
        // change its access time.
        FileTimes times;
        const bool timesRead = request.fileTimes && GetFileTimes(source.path, times);
        if (timesRead) opened.times = times;
        // An input cut short while it is mapped shows as zeros, and in this count.
        opened.inputFaults = InputFaultCount();
        // The state before reading: a change while the file is read shows
        // at the next look (before each page file is delivered).
        if (FileState state; GetFileState(source.path, state)) opened.state = state;
        Result<Block> loaded = LoadFile(source.path, &job.InputFault);
        job.LastError = loaded.code();
        if (loaded) doc.image = std::move(*loaded);
        if (doc.image.empty()) return kResultFailed;
        if (request.fileTimes && !timesRead) return kResultFailed;
    }
    job.InflateLimit = std::max<uint64_t>(AppState::kMinInflateLimit, uint64_t{job.app.InflateFactor} * doc.image.size());
    if (job.Stopped()) return job.StopCode;

    if (count) {
        // The count needs no plain image: a readable encrypted file is not
        // unlocked.
        if (OpenInput(job, doc.image, doc.table, doc.reader, false, false) != 0) return kResultFailed;
        // The pages the walk finds, as the split counts them; viewer settings
        // and bookmarks play no part.
        const ViewerSettings viewer = job.Viewer;
        job.Viewer = ViewerSettings();
        const Result<int32_t> counted = AnalyzeOrRepair(job, doc, false);
        job.Viewer = viewer;
        job.LastError = counted.code();
        opened.pageCount = counted.value_or(-1);
        return counted ? 0 : kResultFailed;
    }

    if (int r = ReadUntilClassic(job, doc); r != 0) return InputChanged(job, opened) ? kResultFailed : r;
    doc.outlines.clear();
    job.Step = JobStep::Analyze;
    const Result<int32_t> analyzed = AnalyzeOrRepair(job, doc, true);
    // The analysis decides the job's failure: what reading survived is
    // no longer one.
    job.LastError = analyzed.code();
    const int32_t pages = analyzed.value_or(-1);
    opened.pageCount = job.PageCount = pages;
    if (InputChanged(job, opened)) return kResultFailed;
    if (pages < 0) return job.Stopped() ? job.StopCode.load() : kResultFailed;
    // A file that lost part of its page tree still gives the pages it holds,
    // even one alone.
    job.PagesScanned = doc.scannedPages;
    if (doc.lostTreeNodes() > 0)
        job.PagesNotFound = doc.declaredPages > pages                        ? doc.declaredPages - pages
                            : doc.declaredPages > 0 || doc.scannedPages > 0 ? 0
                                                                            : -1;
    job.UpdateCutShort = doc.reader.cutUpdate == CutUpdate::ObjectsLost;
    AppState& app = job.app;
    if (opened.fromFile && pages >= 1 && !(app.PageCountCacheCount == pages && app.PageCountCachePath == source.path)) {
        app.PageCountCacheCount = pages;
        app.PageCountCachePath = source.path;
    }
    return 0;
}

namespace {

// The pages (0-based, ascending) a request selects: its page list, within
// its range when it has one too; else its range; else every page. 0, or
// kResultBadPageRange with why set when the list names a page the document
// lacks.
int SelectPages(Job& job, int32_t count, const SplitRequest& request, std::vector<int32_t>& selected,
                std::string& why) {
    int32_t first = 0, last = count;
    if (request.range) {
        int32_t from = request.firstPage == 0 ? 1 : request.firstPage;
        int32_t to = request.lastPage == 0 ? count : request.lastPage;
        if (from > to) std::swap(from, to);
        if (from < 1 || to > count) return kResultBadPageRange;
        first = from - 1;
        last = to;
    }
    selected.clear();
    if (request.pages.empty()) {
        for (int32_t index = first; index < last; ++index) selected.push_back(index);
        return 0;
    }
    std::vector<char> chosen(static_cast<size_t>(count), 0);
    std::vector<int32_t> pages;
    for (const PageSpan& span : request.pages) {
        if (const int32_t missing = ResolvePageSpan(span, count, pages); missing != 0) {
            why = PageSpanProblem(job.app.language, span, missing, count);
            return kResultBadPageRange;
        }
        for (int32_t page : pages) chosen[static_cast<size_t>(page - 1)] = 1;
    }
    for (int32_t index = first; index < last; ++index)
        if (chosen[static_cast<size_t>(index)]) selected.push_back(index);
    return selected.empty() ? kResultBadPageRange : 0;
}

void FillPlan(const OpenedDocument& opened, const std::vector<Part>& parts, bool partFiles, SplitPlan& plan) {
    plan.partFiles = partFiles;
    plan.files.clear();
    plan.files.reserve(parts.size());
    const std::vector<std::string> nameTitles =
        partFiles ? PartTitles(opened.doc, parts) : std::vector<std::string>(parts.size());
    for (size_t k = 0; k < parts.size(); ++k) {
        PlannedFile file;
        file.pages = PartPages(parts[k]);
        file.first = parts[k].first + 1;
        file.last = parts[k].last + 1;
        file.bookmark = parts[k].bookmark;
        file.title = BookmarkTitle(opened.doc, parts[k].bookmark);
        file.nameTitle = nameTitles[k];
        plan.files.push_back(std::move(file));
    }
}

}  // namespace

int PlanStage(Job& job, OpenedDocument& opened, const SplitRequest& request, SplitPlan& plan) {
    const int32_t count = opened.pageCount;
    plan.why.clear();
    plan.dryRun = request.dryRun;
    const bool onePage = count == 1 && job.PagesNotFound == 0 && job.PagesScanned == 0;
    if (onePage && !request.onePageFile) return kResultOnePage;
    if (count < 1 && !request.range && !request.parts && request.pages.empty()) return kResultOnePage;
    if (count < 1) return kResultBadPageRange;

    std::vector<int32_t> selected;
    if (int r = SelectPages(job, count, request, selected, plan.why); r != 0) return r;

    std::vector<Part> parts;
    if (request.parts) {
        if (!PlanParts(*request.parts, opened.doc.outlines, count, selected, parts, &plan.why, job.app.language))
            return kResultBadPageRange;
    } else {
        for (int32_t index : selected) parts.push_back(Part{index, index, -1, {}});
    }
    FillPlan(opened, parts, request.parts.has_value(), plan);

    // Parts under a size are cut once the files the writer would write are
    // measured, links already blanked as for the parts before the cut.
    if (request.parts && request.parts->maxSize > 0) {
        PrepareFiles(job, opened, plan);
        if (job.Stopped()) return job.StopCode;
        InputKeyEncryption encryption(opened.doc.reader);
        std::vector<int32_t> oversized;
        std::vector<int64_t> sizes;
        const JobStep step = job.Step;
        job.Step = JobStep::Write;
        if (Failure f = CutPartsBySize(job, opened.doc, parts, request.parts->maxSize, &encryption, oversized, sizes)) {
            if (job.Stopped()) return job.StopCode;
            job.LastError = f.code;
            return kResultFailed;
        }
        job.Step = step;
        FillPlan(opened, parts, true, plan);
        for (int32_t k : oversized) plan.files[static_cast<size_t>(k)].oversized = true;
        for (size_t k = 0; k < sizes.size() && k < plan.files.size(); ++k) plan.files[k].bytes = sizes[k];
    }

    const AppState& app = job.app;
    const int32_t total = static_cast<int32_t>(plan.files.size());
    if (!request.dryRun && app.IsWarnLimit && total >= app.WarnLimitN &&
        !job.host.ConfirmWarnLimit(job, std::to_string(total)))
        return kResultAlreadyTold;
    return 0;
}

FileBuilder::FileBuilder(const OpenedDocument& opened)
    : opened_(opened), encryption_(std::make_unique<InputKeyEncryption>(opened.doc.reader)) {}

FileBuilder::~FileBuilder() = default;

Failure FileBuilder::Build(Job& job, const PlannedFile& file, bool partFile, std::string& out, WarningList* found,
                           PageSpans* spans) {
    if (file.pages.empty()) return Failure(kPageNotListed);
    if (!partFile) return BuildPageDocument(job, file.pages.front(), opened_.doc, out, encryption_.get(), found, spans);
    return BuildPartDocument(job, file.pages, opened_.doc, out, encryption_.get(), found, spans);
}

void PrepareFiles(Job& job, OpenedDocument& opened, const SplitPlan& plan) {
    if (!opened.prepared) ShowStatus(job, Text::Analyzing, 20);
    Document& doc = opened.doc;
    // A page file keeps the links and bookmarks that lead into it, by
    // explicit destination or by name; one rule for single pages and parts.
    std::vector<int32_t> partOf(static_cast<size_t>(opened.pageCount > 0 ? opened.pageCount : 0), -1);
    for (size_t k = 0; k < plan.files.size(); ++k)
        for (int32_t index : plan.files[k].pages)
            if (index >= 0 && index < opened.pageCount) partOf[static_cast<size_t>(index)] = static_cast<int32_t>(k);
    BlankPageAnnots(job, doc, job.app.KeepAnnotations, &partOf);
    // A plan cut again (parts under a size) only blanks the links that now
    // lead out of a file.
    if (opened.prepared) return;
    opened.prepared = true;
    IndexNamedDests(job, doc);
    // Page files keep the structure elements of their pages.
    if (job.app.KeepDocumentData) AnalyzeStructure(job, doc);
    if (job.app.PruneResources) FindSharedResources(job, doc);
}

int WriteStage(Job& job, OpenedDocument& opened, const SplitPlan& plan, FileSink& sink) {
    // A dry run names the files and writes none.
    if (plan.dryRun) {
        if (plan.files.empty()) return kResultOnePage;
        job.Step = JobStep::Name;
        if (int r = sink.Begin(job, opened, plan); r != 0) return job.Stopped() ? job.StopCode.load() : r;
        return kResultDone;
    }
    PrepareFiles(job, opened, plan);
    if (job.Stopped()) return job.StopCode;
    ShowStatus(job, Text::CreatingPages, 30);
    if (plan.files.empty()) return kResultOnePage;

    job.Step = JobStep::Name;
    if (int r = sink.Begin(job, opened, plan); r != 0) return job.Stopped() ? job.StopCode.load() : r;

    const int32_t total = static_cast<int32_t>(plan.files.size());
    int shownPercent = 30;
    std::string buffer;
    PageSpans spans;
    FileBuilder builder(opened);
    job.Step = JobStep::Write;
    job.PagesTotal = total;
    size_t taken = 0;
    WarningList fileWarnings;
    int32_t unreadableFailure = 0;
    bool outOfMemory = false;
    size_t built = 0;
    for (int32_t k = 1; k <= total; ++k) {
        if (job.Stopped()) break;
        const PlannedFile& file = plan.files[static_cast<size_t>(k - 1)];
        job.PagesDone = k;
        if (sink.Skip(static_cast<size_t>(k - 1))) {
            job.PagesWritten = k;
            continue;
        }
        job.StatusText = TrFormat(job.app.language, Text::CreatingPagesCounter, k, total);
        const int percent = 30 + static_cast<int>(static_cast<int64_t>(k) * 70 / total);
        if (percent > shownPercent) {
            shownPercent = percent;
            job.host.Progress(job, percent);
        } else {
            job.host.ReplaceStatusText(job);
        }
        job.OutputPath = sink.NameOf(static_cast<size_t>(k - 1));
        if (Failure f = builder.Build(job, file, plan.partFiles, buffer, &fileWarnings,
                                      sink.TakesSpans() ? &spans : nullptr)) {
            if (job.Stopped()) break;
            // Memory that ran out is no damage of the input's: the run ends
            // and says so (the files before stay).
            outOfMemory = f.code == kPageNoMemory;
            if (outOfMemory) break;
            // Damage that one file needs costs that file only: the run goes
            // on, and names its pages at the end.
            unreadableFailure = f.code;
            fileWarnings.Clear();
            for (int32_t index : file.pages) job.UnreadablePages.push_back(index + 1);
            opened.doc.warnings.Add({WarningKind::UnreadablePage, -1, -1, file.first, file.last});
            continue;
        }
        // A file built from zeros where the input was cut short is not delivered.
        if (InputChanged(job, opened)) break;
        // What the file has is kept (it may be all the user has of it), but
        // its pages are reported.
        opened.doc.warnings.Append(fileWarnings, file.first, file.last);
        const bool more = sink.Take(job, static_cast<size_t>(k - 1), file, buffer, spans);
        taken = static_cast<size_t>(k);
        ++built;
        job.PagesWritten = k;
        if (!more) break;
    }
    const int delivered = sink.Finish(job, taken, opened.doc.warnings);
    // A large stream copied while the input was cut short: its file was
    // left out for that reason.
    if (job.WriteFault == FileFault::Changed && !job.Stopped()) {
        job.LastError = 0;
        job.InputFault = FileFault::Changed;
        job.Step = JobStep::Load;
    }

    if (job.Stopped()) return job.StopCode;
    if (job.InputFault == FileFault::Changed) return kResultFailed;
    if (delivered != 0) return delivered;
    if (outOfMemory) {
        job.LastError = kPageNoMemory;
        return kResultFailed;
    }
    // Not one file could be built: the run failed, for the last reason met.
    if (built == 0 && unreadableFailure != 0) {
        job.LastError = unreadableFailure;
        return kResultFailed;
    }
    return opened.doc.warnings.Pages(WarningKind::MissingObject).empty() && job.PagesNotFound == 0 &&
                   !job.UpdateCutShort && job.PagesScanned == 0 && job.UnreadablePages.empty()
               ? kResultDone
               : kResultIncomplete;
}

namespace {

int RunEachStage(Job& job, const InputSource& source, const SplitRequest& request, FileSink& sink,
                 OpenedDocument& opened, SplitPlan& plan) {
    if (int r = OpenStage(job, source, request, opened); r != 0) return r;
    if (int r = PlanStage(job, opened, request, plan); r != 0) return r;
    return WriteStage(job, opened, plan, sink);
}

}  // namespace

int RunStages(Job& job, const InputSource& source, const SplitRequest& request, FileSink& sink, SplitPlan* planOut) {
    OpenedDocument opened;
    SplitPlan plan;
    const int result = RunEachStage(job, source, request, sink, opened, planOut ? *planOut : plan);
    // The document lives for one run; what it survived stays with the job.
    job.IncompletePages = opened.doc.warnings.Pages(WarningKind::MissingObject);
    job.RepairedPages = opened.doc.warnings.Pages(WarningKind::MendedStream);
    job.UnprunedPages = opened.doc.warnings.Pages(WarningKind::UnreadContent);
    job.Warnings = std::move(opened.doc.warnings);
    return result;
}

}  // namespace brisel
