#include "split/job_outcome.h"

#include "base/texts.h"
#include "pagewriter/page_document.h"
#include "split/failure_reason.h"
#include "split/output_naming.h"
#include "split/split_job.h"

namespace brisel {

int JobExitStatus(int result) {
    switch (result) {
        case kResultDone:
        case kResultOnePage:
        case kResultCannotCreate:
        case kResultBadPageRange:
        case kResultAlreadyTold:
        case kResultIncomplete:
            return result;
        case kResultBreak:
            return 130;  // the command line turns it into 128 + the signal
        default:
            return 1;
    }
}

std::string JobReason(const Job& job, int result, bool range) {
    const Language lang = job.app.language;
    // What the job knows beyond its code (the page file that failed and why,
    // the pages left incomplete), else the reason of its code, with the taken
    // name.
    const std::string detail = ResultDetail(job, result);
    auto withReason = [&](Text text) {
        std::string reason = detail.empty() ? FailureReason(lang, job.Step, job.LastError) : detail;
        if (detail.empty() && job.LastError == kNameTaken) reason += ": " + job.OutputPath;
        return std::string(Tr(lang, text)) +
               (lang == Language::Japanese ? "\xEF\xBC\x88" + reason + "\xEF\xBC\x89" : " (" + reason + ")");
    };
    switch (result) {
        case kResultDone:
        case kResultAlreadyTold:
            return "";
        case kResultOnePage:
            return OneLine(Tr(lang, Text::OnePage));
        case kResultCannotCreate:
            return detail.empty() ? withReason(Text::CantCreate) : detail;
        case kResultIncomplete:
            return detail;
        case kResultBreak:
            return Tr(lang, Text::Break);
        case kResultBadPageRange:
            if (range) return Tr(lang, Text::BadPageInput);
            [[fallthrough]];
        default:
            return withReason(Text::Failed);
    }
}

const char* JobErrorKey(const Job& job, int result) {
    switch (result) {
        case kResultDone: return nullptr;
        case kResultOnePage: return "one-page";
        case kResultCannotCreate: return job.LastError == kNameTaken ? "name-taken" : "cannot-create";
        case kResultBadPageRange: return "page-range";
        case kResultIncomplete: return "incomplete";
        case kResultBreak: return "stopped";
        default: break;
    }
    if (job.InputFault == FileFault::Changed) return "input-changed";
    if (job.LastError == kPageNoMemory) return "no-memory";
    if (job.Step == JobStep::Load) return "unreadable";
    if (job.Step == JobStep::Unlock) return "encryption";
    return "damaged";
}

std::string OneLine(const std::string& text) {
    std::string line;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n') {
            line += text[i];
            continue;
        }
        while (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        if (i + 1 >= text.size() || text.compare(i + 1, 3, "\xEF\xBC\x88") == 0) continue;  // a full-width "("
        line += text[i + 1] == '(' ? " " : ": ";
    }
    return line;
}

}  // namespace brisel
