#include "pdfread/failure_reasons.h"

#include "pdfread/catalog.h"

namespace brisel {

const ReasonText kReasonPagesOrViewer = {"the catalog's page tree or viewer settings are damaged",
                                         "カタログのページツリーまたは表示設定が壊れています"};
const ReasonText kReasonPageTree = {"the page tree is damaged", "ページツリーが壊れています"};

namespace {

const ReasonText kReasonCatalog = {"the catalog is missing or damaged", "カタログが見つからないか壊れています"};

}  // namespace

const ReasonText* PdfreadFailureReason(JobStep step, int32_t code) {
    if (step != JobStep::Analyze) return nullptr;
    switch (code) {
        case kCatalogNotListed:
        case kCatalogNotFound:
        case kCatalogNotDict:
        case kCatalogNotClosed:
        case kCatalogNoType:
        case kCatalogEndAfterType:
        case kCatalogWrongType:
        case kCatalogTypeGlued:
            return &kReasonCatalog;
        case kPagesNoKey:
        case kPagesNoNumber:
        case kPagesNoGeneration:
        case kPagesEndBeforeR:
        case kPagesNoR:
        case kPagesNotListed:
        case kPagesNotFound:
            return &kReasonPagesOrViewer;
        case kPagesNotDict:
        case kPagesNotClosed:
        case kPagesNoType:
        case kPagesEndAfterType:
        case kPagesWrongType:
        case kCountNotNumber:
            return &kReasonPageTree;
        default:
            return nullptr;
    }
}

}  // namespace brisel
