#include "split/failure_reason.h"

#include "docstruct/failure_reasons.h"
#include "pagewriter/failure_reasons.h"
#include "pdfread/failure_reasons.h"
#include "security/failure_reasons.h"
#include "split/output_naming.h"
#include "split/split_job.h"

namespace brisel {

namespace {

const ReasonText kReasonNoFreeName = {"no free names are left for the page files, or they would be too long",
                                      "分解ファイルに使える名前がないか、名前が長すぎます"};
const ReasonText kReasonNameTaken = {"a page file's name is taken", "分解ファイルの名前が既に使われています"};
const ReasonText kReasonNotWritten = {"a page file cannot be created or written, or its name was taken meanwhile",
                                      "分解ファイルを作成または書き込みできないか、同じ名前のファイルが作られました"};

const ReasonText* SplitFailureReason(JobStep step, int32_t code) {
    if (step == JobStep::Name && code == kNoFreeName) return &kReasonNoFreeName;
    if (step == JobStep::Name && code == kNameTaken) return &kReasonNameTaken;
    if (step == JobStep::Write && code == kPageFileNotWritten) return &kReasonNotWritten;
    return nullptr;
}

// The reason of a step whose codes no layer explains one by one.
const ReasonText* StepReason(JobStep step) {
    static const ReasonText kLoad = {"the file cannot be read, or is too short or too large for a PDF file",
                                     "ファイルを読み込めないか、PDF ファイルとしては短すぎるか大きすぎます"};
    static const ReasonText kRead = {"the cross-reference table is damaged and could not be repaired",
                                     "相互参照表が壊れていて修復できません"};
    static const ReasonText kUnlock = {"the encryption of the file cannot be opened", "ファイルの暗号化を解除できません"};
    static const ReasonText kOutlines = {"the bookmarks are damaged", "しおりが壊れています"};
    static const ReasonText kWrite = {"a page refers to an object that is missing or damaged",
                                      "ページが参照するオブジェクトが見つからないか壊れています"};
    switch (step) {
        case JobStep::Load:
            return &kLoad;
        case JobStep::Read:
            return &kRead;
        case JobStep::Unlock:
            return &kUnlock;
        case JobStep::Outlines:
            return &kOutlines;
        case JobStep::Write:
            return &kWrite;
        default:
            return nullptr;
    }
}

// The layers, top first.
constexpr ReasonLookup kLayers[] = {SplitFailureReason, SecurityFailureReason, PagewriterFailureReason,
                                    DocstructFailureReason, PdfreadFailureReason};

}  // namespace

std::string FailureReason(Language language, JobStep step, int32_t code) {
    for (ReasonLookup lookup : kLayers)
        if (const ReasonText* reason = lookup(step, code)) return ReasonIn(language, *reason);
    if (const ReasonText* reason = StepReason(step)) return ReasonIn(language, *reason);
    return CodeAsReason(language, code);
}

}  // namespace brisel
