#include "split/split_job.h"

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/job_host.h"
#include "base/pdf_text.h"
#include "base/platform.h"
#include "base/texts.h"
#include "docstruct/annots.h"
#include "docstruct/document.h"
#include "docstruct/named_dest_pages.h"
#include "docstruct/page_tree.h"
#include "docstruct/struct_tree.h"
#include "pagewriter/page_document.h"
#include "pdfread/read_xref.h"
#include "pdfread/xref_stream.h"
#include "security/encrypted_output.h"
#include "split/output_naming.h"
#include "split/page_saver.h"
#include "split/size_plan.h"
#include "split/split_stages.h"
#include "split/unlock.h"

namespace brisel {

void ResetJob(Job& job) {
    job.LastError = 0;
    job.Step = JobStep::Start;
    job.PagesDone = job.PagesTotal = 0;
    job.InputFault = job.WriteFault = FileFault::None;
    job.FailedFile.clear();
    job.PagesWritten = job.PagesRenamed = 0;
    job.Warnings.Clear();
    job.IncompletePages.clear();
    job.PagesNotFound = 0;
    job.Viewer = job.app.Viewer;
    job.Viewer.OpenActionView = ViewerSettings::kViewNotSet;
}

int ReadUntilClassic(Job& job, Document& doc) {
    const int r = OpenInput(job, doc.image, doc.table, doc.reader, true, true);
    return r == kOpenFailed ? kResultFailed : r;
}

namespace {

// Whether the repaired table places an object the original table missed.
bool FindsMissingObjects(const XrefTable& repaired, const std::vector<int32_t>& missing) {
    for (int32_t n : missing) {
        const XrefEntry* entry = repaired.Find(n);
        if (entry && entry->type == 'n') return true;
    }
    return false;
}

}  // namespace

int32_t AnalyzeOrRepair(Job& job, Document& doc, bool showProgress) {
    const int32_t count = AnalyzeDocument(job, doc);
    // A page tree that lost nodes may only have been misplaced by the table.
    const int32_t lostNodes = doc.lostTreeNodes();
    const bool treeDamaged = count < 0 || lostNodes > 0;
    if (job.Stopped() || (!treeDamaged && doc.reader.missingObjects.empty())) return count;
    // The repair works on a copy: a document that analysed well is kept
    // unless the repair finds an object its table missed.
    if (showProgress) ShowStatus(job, Text::Repairing, 10);
    Block image;
    XrefTable table;
    ReaderRecord reader = doc.reader;
    job.LastError = 0;
    const bool repaired = image.Assign(doc.image.data(), doc.image.size()) &&
                          RebuildWithObjectStreams(job, image, reader) == 0 &&
                          ReadXref(job, image.data(), image.data() + image.size(), table, reader);
    if (showProgress) ShowStatus(job, Text::Analyzing, 10);
    if (count >= 0 && (!repaired || (!treeDamaged && !FindsMissingObjects(table, doc.reader.missingObjects)))) {
        job.LastError = 0;
        return count;
    }
    if (!repaired) return -1;
    Document original;
    original.image = std::move(doc.image);
    doc.image = std::move(image);
    doc.table = std::move(table);
    std::swap(doc.reader, reader);
    doc.outlines.clear();
    const int32_t again = AnalyzeDocument(job, doc);
    if (count < 0 || job.Stopped() || (again >= 0 && doc.lostTreeNodes() <= lostNodes)) return again;
    // The repaired document fails, or loses more of the tree, where the
    // original did not: back to it.
    doc.image = std::move(original.image);
    std::swap(doc.reader, reader);
    if (!ReadXref(job, doc.start(), doc.end(), doc.table, doc.reader)) return -1;
    doc.outlines.clear();
    return AnalyzeDocument(job, doc);
}

namespace {

int RunSplitOn(Job& job, Document& doc, const std::string& path, bool range, const PartRequest* request,
               SplitChoices* choices) {
    ShowStatus(job, Text::Reading, 0);
    // The input's times are taken before it is read, since reading may
    // change its access time.
    const bool sameDate = range && job.app.IsSameDate;
    FileTimes times;
    const bool timesRead = sameDate && GetFileTimes(path, times);
    job.Step = JobStep::Load;
    // An input cut short while it is mapped shows as zeros, and in this count.
    const uint64_t inputFaults = InputFaultCount();
    auto inputChanged = [&] {
        if (InputFaultCount() == inputFaults) return false;
        job.InputFault = FileFault::Changed;
        job.Step = JobStep::Load;
        return true;
    };
    doc.image = LoadFile(job, path);
    if (doc.image.empty()) return kResultFailed;
    if (sameDate && !timesRead) return kResultFailed;
    if (job.Stopped()) return job.StopCode;

    if (int r = ReadUntilClassic(job, doc); r != 0) return inputChanged() ? kResultFailed : r;

    doc.outlines.clear();
    job.Step = JobStep::Analyze;
    int32_t count = AnalyzeOrRepair(job, doc, true);
    job.PageCount = count;
    if (inputChanged()) return kResultFailed;
    if (count < 0) return job.Stopped() ? job.StopCode.load() : kResultFailed;
    // A file that lost part of its page tree still gives the pages it holds,
    // even one alone.
    if (doc.lostTreeNodes() > 0) job.PagesNotFound = doc.declaredPages > count ? doc.declaredPages - count : -1;
    // The command line writes a one-page input like any other.
    const bool onePage = count == 1 && job.PagesNotFound == 0 && !(choices && choices->onePageInputs);

    AppState& app = job.app;
    if (count >= 1 && !(app.PageCountCacheCount == count && app.PageCountCachePath == path)) {
        app.PageCountCacheCount = count;
        app.PageCountCachePath = path;
    }
    if (onePage) return kResultOnePage;

    // Pages written: 0-based indexes [first, last), or those of a selection.
    int32_t first = 0, last = count;
    std::vector<int32_t> selected;
    if (choices && !choices->pages.empty()) {
        std::vector<char> chosen(static_cast<size_t>(count), 0);
        std::vector<int32_t> pages;
        for (const PageSpan& span : choices->pages) {
            if (const int32_t missing = ResolvePageSpan(span, count, pages); missing != 0) {
                choices->why = PageSpanProblem(app.language, span, missing, count);
                return kResultBadPageRange;
            }
            for (int32_t page : pages) chosen[static_cast<size_t>(page - 1)] = 1;
        }
        for (int32_t index = 0; index < count; ++index)
            if (chosen[static_cast<size_t>(index)]) selected.push_back(index);
    } else if (range) {
        if (job.FirstPage == 0) job.FirstPage = 1;
        if (job.LastPage == 0) job.LastPage = count;
        if (job.FirstPage > job.LastPage) std::swap(job.FirstPage, job.LastPage);
        if (job.FirstPage < 1 || job.LastPage > count) return kResultBadPageRange;
        --job.FirstPage;
        first = job.FirstPage;
        last = job.LastPage;
    }
    if (selected.empty())
        for (int32_t index = first; index < last; ++index) selected.push_back(index);
    first = selected.front();
    last = selected.back() + 1;
    // Names as the Windows program gives them, unless the pages leave gaps.
    const bool contiguous = selected.back() - selected.front() + 1 == static_cast<int32_t>(selected.size());

    // Files written: one per page, or one per part.
    std::vector<Part> parts;
    if (request) {
        std::string why;
        if (!PlanParts(*request, doc.outlines, count, selected, parts, &why, app.language)) {
            if (choices) choices->why = why;
            return kResultBadPageRange;
        }
    } else {
        for (int32_t index : selected) parts.push_back(Part{index, index, -1, {}});
    }
    const bool bySize = request && request->maxSize > 0;
    const bool dryRun = choices && choices->dryRun;
    auto confirmCount = [&] {
        const int32_t n = static_cast<int32_t>(parts.size());
        return dryRun || !app.IsWarnLimit || n < app.WarnLimitN || job.host.ConfirmWarnLimit(job, std::to_string(n));
    };
    // Parts under a size are counted once they are measured.
    if (!bySize && !confirmCount()) return kResultAlreadyTold;

    ShowStatus(job, Text::Analyzing, 20);
    // A file of several pages keeps the links between its pages.
    std::vector<int32_t> partOf;
    if (request) {
        partOf.assign(static_cast<size_t>(count), -1);
        for (size_t k = 0; k < parts.size(); ++k)
            for (int32_t index : PartPages(parts[k])) partOf[static_cast<size_t>(index)] = static_cast<int32_t>(k);
    }
    BlankPageAnnots(job, doc, app.KeepAnnotations, request ? &partOf : nullptr);
    if (request) IndexNamedDests(job, doc);
    // Page files keep the structure elements of their pages.
    if (app.KeepDocumentData) AnalyzeStructure(job, doc);
    if (job.Stopped()) return job.StopCode;
    InputKeyEncryption encryption(doc.reader);
    std::vector<int32_t> oversized;
    std::vector<int64_t> sizes;
    if (bySize) {
        job.Step = JobStep::Write;
        if (!CutPartsBySize(job, doc, parts, request->maxSize, &encryption, oversized, sizes))
            return job.Stopped() ? job.StopCode.load() : kResultFailed;
        job.Step = JobStep::Analyze;
        // Links between the pages of one part stay; those into other parts go.
        for (size_t k = 0; k < parts.size(); ++k)
            for (int32_t index : PartPages(parts[k])) partOf[static_cast<size_t>(index)] = static_cast<int32_t>(k);
        BlankPageAnnots(job, doc, app.KeepAnnotations, &partOf);
        if (!confirmCount()) return kResultAlreadyTold;
    }

    ShowStatus(job, Text::CreatingPages, 30);
    if (count < 1 || onePage) return kResultOnePage;

    job.Step = JobStep::Name;
    OutputNaming naming;
    naming.SetBase(path, range && app.IsSaveFolder, app.SaveFolder);
    naming.SetPattern(app.NamePattern);
    naming.SetIfExists(choices ? choices->ifExists : IfExists::Rename);
    const bool byParts = request || !contiguous;
    if (!(byParts ? naming.ChooseParts(job, count, parts, PartTitles(doc, parts))
                  : naming.Choose(job, count, first, last))) {
        if (job.Stopped()) return job.StopCode;
        return kResultCannotCreate;
    }
    auto pathOf = [&](size_t k) { return byParts ? naming.PathForPart(k) : naming.PathFor(parts[k].first + 1); };
    if (choices) {
        if (!naming.discriminator().empty()) {
            choices->takenName = byParts ? naming.PlainPathForPart(0) : naming.PlainPathFor(parts[0].first + 1);
            choices->usedName = pathOf(0);
        }
        choices->plan.clear();
        for (size_t k = 0; k < parts.size(); ++k) {
            PlannedFile file;
            file.path = pathOf(k);
            for (int32_t index : PartPages(parts[k])) file.pages.push_back(index + 1);
            file.title = PdfTextToUtf8(OutlineTitleBytes(doc, parts[k].bookmark));
            file.exists = naming.Taken(k);
            file.oversized = std::find(oversized.begin(), oversized.end(), static_cast<int32_t>(k)) != oversized.end();
            if (k < sizes.size()) file.bytes = sizes[k];
            choices->plan.push_back(std::move(file));
        }
        if (dryRun) return kResultDone;
    }

    int shownPercent = 30;
    std::string pageBuffer;
    std::optional<FileTimes> pageTimes;
    if (sameDate) pageTimes = times;
    PageSaver saver(PageSaver::DefaultThreads(), 4u << 20, 64,
                    [&naming](int32_t index, int attempt) { return naming.AlternativePath(index, attempt); });
    saver.SetReplace(choices && choices->ifExists == IfExists::Replace);
    const bool skipTaken = choices && choices->ifExists == IfExists::Skip;
    job.Step = JobStep::Write;
    const int32_t total = static_cast<int32_t>(parts.size());
    job.PagesTotal = total;
    std::vector<int32_t> partPages;
    WarningList fileWarnings;
    // What was handed to the saver: the index that keys each file, and its path.
    std::vector<std::pair<int32_t, std::string>> submitted;
    for (int32_t k = 1; k <= total; ++k) {
        if (job.Stopped() || saver.Failed()) break;
        const Part& part = parts[static_cast<size_t>(k - 1)];
        job.PagesDone = k;
        // An existing file is left as it is: a rerun writes only what is missing.
        if (skipTaken && naming.Taken(static_cast<size_t>(k - 1))) {
            ++choices->skipped;
            job.PagesWritten = k;
            continue;
        }
        job.StatusText = TrFormat(app.language, Text::CreatingPagesCounter, k, total);
        const int percent = 30 + static_cast<int>(static_cast<int64_t>(k) * 70 / total);
        if (percent > shownPercent) {
            shownPercent = percent;
            job.host.Progress(job, percent);
        } else {
            job.host.ReplaceStatusText(job);
        }
        job.OutputPath = pathOf(static_cast<size_t>(k - 1));
        if (!request) {
            if (!BuildPageDocument(job, part.first, doc, pageBuffer, &encryption, &fileWarnings)) break;
        } else {
            partPages = PartPages(part);
            if (!BuildPartDocument(job, partPages, doc, pageBuffer, &encryption, &fileWarnings)) break;
        }
        // A file built from zeros where the input was cut short is not written.
        if (inputChanged()) break;
        // What the file has is kept (it may be all the user has of it), but
        // its pages are reported.
        doc.warnings.Append(fileWarnings, part.first + 1, part.last + 1);
        saver.Submit(part.first, job.OutputPath, pageBuffer, pageTimes);
        submitted.emplace_back(part.first, job.OutputPath);
        job.PagesWritten = k;
    }
    // A page file that could not be written ends the job as if it had been
    // the last one tried: the files before it stay, those after it go.
    const int32_t failed = saver.Finish();
    job.PagesRenamed = saver.renamed();
    if (failed >= 0) {
        job.LastError = kPageFileNotWritten;
        job.WriteFault = saver.failedFault();
        job.FailedFile = saver.failedPath();
        job.PagesWritten = static_cast<int32_t>(
            std::count_if(submitted.begin(), submitted.end(), [&](const auto& file) { return file.first < failed; }));
        doc.warnings.DropPagesAfter(failed);
    }
    for (const auto& [index, written] : submitted) {
        if (failed >= 0 && index >= failed) continue;
        const auto renamed = saver.renamedPaths().find(index);
        job.host.PageFileWritten(job, renamed == saver.renamedPaths().end() ? written : renamed->second);
    }

    if (job.Stopped()) return job.StopCode;
    if (job.InputFault == FileFault::Changed) return kResultFailed;
    if (job.LastError != 0) return job.LastError == kPageFileNotWritten ? kResultCannotCreate : kResultFailed;
    return doc.warnings.Pages(WarningKind::MissingObject).empty() && job.PagesNotFound == 0 ? kResultDone
                                                                                          : kResultIncomplete;
}

// The job's document lives for one run; what it survived stays with the job.
int RunSplit(Job& job, const std::string& path, bool range, const PartRequest* request = nullptr,
             SplitChoices* choices = nullptr) {
    ResetJob(job);
    Document doc;
    const int result = RunSplitOn(job, doc, path, range, request, choices);
    job.IncompletePages = doc.warnings.Pages(WarningKind::MissingObject);
    job.Warnings = std::move(doc.warnings);
    return result;
}

// "130-2000" for a run of pages, "7" for one, runs joined by ", ".
std::string PageRanges(const std::vector<int32_t>& pages) {
    std::string text;
    for (size_t i = 0; i < pages.size();) {
        size_t j = i;
        while (j + 1 < pages.size() && pages[j + 1] == pages[j] + 1) ++j;
        if (!text.empty()) text += ", ";
        text += std::to_string(pages[i]);
        if (j > i) {
            text += '-';
            text += std::to_string(pages[j]);
        }
        i = j + 1;
    }
    return text;
}

std::string Substitute(std::string format, std::initializer_list<std::string> values) {
    size_t at = 0;
    for (const std::string& value : values) {
        at = format.find('%', at);
        if (at == std::string::npos || at + 1 >= format.size()) break;
        format.replace(at, 2, value);
        at += value.size();
    }
    return format;
}

}  // namespace

std::string ResultDetail(const Job& job, int result) {
    const Language lang = job.app.language;
    if (result == kResultIncomplete) {
        std::string text;
        if (job.PagesNotFound > 0)
            text = Substitute(Tr(lang, Text::PagesNotFound), {std::to_string(job.PagesNotFound),
                                                               std::to_string(job.PagesNotFound + job.PageCount)});
        else if (job.PagesNotFound < 0)
            text = Tr(lang, Text::SomePagesNotFound);
        if (job.IncompletePages.empty()) return text;
        if (!text.empty()) text += lang == Language::Japanese ? "\xE3\x80\x82" : "; ";
        return text + Substitute(Tr(lang, Text::PagesIncomplete), {std::to_string(job.IncompletePages.size()),
                                                                    std::to_string(job.PagesTotal),
                                                                    PageRanges(job.IncompletePages)});
    }
    if (result == kResultCannotCreate && job.WriteFault != FileFault::None)
        return FileTitle(job.FailedFile) + ": " + FaultText(lang, job.WriteFault, false) + " " +
               Substitute(Tr(lang, Text::PagesWritten),
                          {std::to_string(job.PagesWritten), std::to_string(job.PagesTotal)});
    if (result == kResultFailed && job.Step == JobStep::Load && job.InputFault != FileFault::None)
        return FaultText(lang, job.InputFault, true);
    return "";
}

std::string RenamedNote(const Job& job) {
    if (job.PagesRenamed == 0) return "";
    return Substitute(Tr(job.app.language, Text::PagesRenamed), {std::to_string(job.PagesRenamed)});
}

int SplitAllPages(Job& job, const std::string& inputPath) { return RunSplit(job, inputPath, false); }

int SplitPageRange(Job& job, const std::string& inputPath) { return RunSplit(job, inputPath, true); }

int SplitWithChoices(Job& job, const std::string& inputPath, bool range, const PartRequest* request,
                     SplitChoices& choices) {
    choices.why.clear();
    choices.plan.clear();
    choices.takenName.clear();
    choices.usedName.clear();
    choices.skipped = 0;
    job.NeedOutlines = request && request->mode == PartMode::AtBookmarks;
    job.PartFiles = request != nullptr;
    return RunSplit(job, inputPath, range || !choices.pages.empty(), request, &choices);
}

int SplitParts(Job& job, const std::string& inputPath, bool range, const PartRequest& request) {
    job.NeedOutlines = request.mode == PartMode::AtBookmarks;
    job.PartFiles = true;
    return RunSplit(job, inputPath, range, &request);
}

}  // namespace brisel
