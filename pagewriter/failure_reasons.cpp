#include "pagewriter/failure_reasons.h"

#include "pagewriter/catalog.h"
#include "pagewriter/page_document.h"

namespace brisel {

const ReasonText kReasonNoPdfHeader = {"the file does not begin with a PDF header",
                                       "ファイルの先頭に PDF ヘッダがありません"};

namespace {

const ReasonText kReasonNoMemory = {"not enough memory", "メモリが足りません"};
const ReasonText kReasonOpenAction = {"the open action of the file is damaged", "ファイルの開き方の設定が壊れています"};

}  // namespace

const ReasonText* PagewriterFailureReason(JobStep step, int32_t code) {
    if (step != JobStep::Write) return nullptr;
    switch (code) {
        case kPageNoMemory:
            return &kReasonNoMemory;
        case kPageHeaderEnd:
        case kPageHeaderNoPdf:
        case kPageHeaderLineEnd:
        case kPageHeaderEndAfterLine:
        case kPageMarkerLineEnd:
        case kPageMarkerEndAfterLine:
            return &kReasonNoPdfHeader;
        case kOpenActionViewUnclosed:
            return &kReasonOpenAction;
        default:
            return nullptr;
    }
}

}  // namespace brisel
