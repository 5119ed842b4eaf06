#include "split/split_job.h"

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/job_host.h"
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
#include "split/file_sinks.h"
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
    job.RepairedPages.clear();
    job.UnprunedPages.clear();
    job.OwnerPasswordNeeded = false;
    job.IncompletePages.clear();
    job.UnreadablePages.clear();
    job.PagesNotFound = job.PagesScanned = 0;
    job.UpdateCutShort = false;
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

namespace {

Result<int32_t> AnalyzeOrRebuild(Job& job, Document& doc, bool showProgress) {
    const Result<int32_t> count = AnalyzeDocument(job, doc);
    // A page tree that lost nodes may only have been misplaced by the table.
    const int32_t lostNodes = doc.lostTreeNodes();
    const bool treeDamaged = !count || lostNodes > 0;
    if (job.Stopped() || (!treeDamaged && doc.reader.missingObjects.empty())) return count;
    // The repair works on a copy: a document that analysed well is kept
    // unless the repair finds an object its table missed.
    if (showProgress) ShowStatus(job, Text::Repairing, 10);
    Block image;
    XrefTable table;
    ReaderRecord reader = doc.reader;
    Failure repairFailure;
    bool repaired = image.Assign(doc.image.data(), doc.image.size());
    if (repaired) {
        repairFailure = RebuildWithObjectStreams(job, image, reader);
        if (!repairFailure) repairFailure = ReadXref(job, image.data(), image.data() + image.size(), table, reader);
        repaired = !repairFailure;
    }
    if (showProgress) ShowStatus(job, Text::Analyzing, 10);
    if (count && (!repaired || (!treeDamaged && !FindsMissingObjects(table, doc.reader.missingObjects)))) return count;
    // A repair that failed tells why; one that could not begin, the analysis.
    if (!repaired) return repairFailure ? repairFailure : count.failure();
    Document original;
    original.image = std::move(doc.image);
    doc.image = std::move(image);
    doc.table = std::move(table);
    std::swap(doc.reader, reader);
    doc.outlines.clear();
    const Result<int32_t> again = AnalyzeDocument(job, doc);
    if (!count || job.Stopped() || (again && doc.lostTreeNodes() <= lostNodes)) return again;
    // The repaired document fails, or loses more of the tree, where the
    // original did not: back to it.
    doc.image = std::move(original.image);
    std::swap(doc.reader, reader);
    if (Failure f = ReadXref(job, doc.start(), doc.end(), doc.table, doc.reader)) return f;
    doc.outlines.clear();
    return AnalyzeDocument(job, doc);
}

}  // namespace

Result<int32_t> AnalyzeOrRepair(Job& job, Document& doc, bool showProgress) {
    const Result<int32_t> count = AnalyzeOrRebuild(job, doc, showProgress);
    if (job.Stopped() || (count && !doc.treeDamaged)) return count;
    // The tree of the better of the two tables still lost pages: the page
    // objects it no longer reaches are looked for in the file itself. When
    // that finds none either, the first failure is the one to tell.
    doc.outlines.clear();
    const Result<int32_t> again = AnalyzeDocument(job, doc, true);
    if (!again && !count && doc.scannedPages == 0 && !job.Stopped()) return count;
    return again;
}

namespace {

// The disk split of the front ends: the settings of the application record
// and the job's page range make the request.
int RunSplit(Job& job, const std::string& path, bool range, const PartRequest* parts = nullptr) {
    const AppState& app = job.app;
    SplitRequest request;
    request.range = range;
    request.firstPage = job.FirstPage;
    request.lastPage = job.LastPage;
    if (parts) request.parts = *parts;
    request.fileTimes = range && app.IsSameDate;
    DiskSink sink(path, range && app.IsSaveFolder, app.SaveFolder, app.NamePattern);
    return RunStages(job, InputSource::File(path), request, sink);
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

std::string PageRanges(const std::vector<int32_t>& pages, const char* separator) {
    std::string text;
    for (size_t i = 0; i < pages.size();) {
        size_t j = i;
        while (j + 1 < pages.size() && pages[j + 1] == pages[j] + 1) ++j;
        if (!text.empty()) text += separator;
        text += std::to_string(pages[i]);
        if (j > i) {
            text += '-';
            text += std::to_string(pages[j]);
        }
        i = j + 1;
    }
    return text;
}

std::string ResultDetail(const Job& job, int result) {
    const Language lang = job.app.language;
    if (result == kResultIncomplete) {
        std::string text;
        const char* separator = lang == Language::Japanese ? "\xE3\x80\x82" : "; ";
        if (job.PagesScanned > 0) {
            text = Substitute(Tr(lang, Text::PagesScanned), {std::to_string(job.PagesScanned)});
            if (job.PagesNotFound != 0) text += separator;
        }
        if (job.PagesNotFound > 0)
            text += Substitute(Tr(lang, Text::PagesNotFound), {std::to_string(job.PagesNotFound),
                                                                std::to_string(job.PagesNotFound + job.PageCount)});
        else if (job.PagesNotFound < 0)
            text += Tr(lang, Text::SomePagesNotFound);
        if (job.UpdateCutShort) {
            if (!text.empty()) text += separator;
            text += Tr(lang, Text::UpdateCutShort);
        }
        if (!job.UnreadablePages.empty()) {
            if (!text.empty()) text += separator;
            text += Substitute(Tr(lang, Text::PagesUnreadable), {std::to_string(job.UnreadablePages.size()),
                                                                  std::to_string(job.PageCount),
                                                                  PageRanges(job.UnreadablePages)});
        }
        if (job.IncompletePages.empty()) return text;
        if (!text.empty()) text += separator;
        return text + Substitute(Tr(lang, Text::PagesIncomplete), {std::to_string(job.IncompletePages.size()),
                                                                    std::to_string(job.PagesTotal),
                                                                    PageRanges(job.IncompletePages)});
    }
    if (result == kResultCannotCreate && job.WriteFault != FileFault::None)
        return FileTitle(job.FailedFile) + ": " + FaultText(lang, job.WriteFault, false) + " " +
               Substitute(Tr(lang, Text::PagesWritten),
                          {std::to_string(job.PagesWritten), std::to_string(job.PagesTotal)});
    if (result == kResultFailed && job.Step == JobStep::Load && job.InputFault != FileFault::None) {
        // A change met while page files were written: the files written
        // were built and checked before it, the rest are not written.
        if (job.InputFault != FileFault::Changed || job.PagesTotal == 0) return FaultText(lang, job.InputFault, true);
        return std::string(FaultText(lang, job.InputFault, true)) + " " +
               Substitute(Tr(lang, Text::PagesWritten),
                          {std::to_string(job.PagesWritten), std::to_string(job.PagesTotal)});
    }
    return "";
}

std::string RepairNote(const Job& job) {
    const Language lang = job.app.language;
    std::string text;
    const std::string total = std::to_string(job.PagesTotal);
    if (!job.RepairedPages.empty())
        text = Substitute(Tr(lang, Text::PagesRepaired),
                          {std::to_string(job.RepairedPages.size()), total, PageRanges(job.RepairedPages)});
    if (!job.UnprunedPages.empty()) {
        if (!text.empty()) text += lang == Language::Japanese ? "\xE3\x80\x82" : "; ";
        text += Substitute(Tr(lang, Text::PagesResourcesKept),
                           {std::to_string(job.UnprunedPages.size()), total, PageRanges(job.UnprunedPages)});
    }
    return text;
}

std::string RenamedNote(const Job& job) {
    if (job.PagesRenamed == 0) return "";
    return Substitute(Tr(job.app.language, Text::PagesRenamed), {std::to_string(job.PagesRenamed)});
}

int SplitAllPages(Job& job, const std::string& inputPath) { return RunSplit(job, inputPath, false); }

int SplitPageRange(Job& job, const std::string& inputPath) { return RunSplit(job, inputPath, true); }

int SplitParts(Job& job, const std::string& inputPath, bool range, const PartRequest& request) {
    return RunSplit(job, inputPath, range, &request);
}

}  // namespace brisel
