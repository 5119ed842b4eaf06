#include "pdfread/failure_reasons.h"

#include "pdfread/catalog.h"
#include "pdfread/repair.h"
#include "pdfread/stream_decode.h"

namespace brisel {

const ReasonText kReasonPagesOrViewer = {"the catalog's page tree or viewer settings are damaged",
                                         "カタログのページツリーまたは表示設定が壊れています"};
const ReasonText kReasonPageTree = {"the page tree is damaged", "ページツリーが壊れています"};

namespace {

const ReasonText kReasonCatalog = {"the catalog is missing or damaged", "カタログが見つからないか壊れています"};

}  // namespace

const ReasonText* PdfreadFailureReason(JobStep step, int32_t code) {
    static const ReasonText kKeyLost = {
        "the file is encrypted, and its key was lost with its trailer: the file is damaged or cut short",
        "暗号化されたファイルですが、トレーラとともに鍵が失われています（ファイルが壊れているか途中で切れています）"};
    static const ReasonText kEncryptionLost = {
        "the file is encrypted, and its encryption dictionary is lost: the file is damaged or cut short",
        "暗号化されたファイルですが、暗号化辞書が失われています（ファイルが壊れているか途中で切れています）"};
    static const ReasonText kInflateBomb = {
        "a compressed stream inflates to more than 100 times the file's size: the file is damaged or made to "
        "exhaust memory",
        "圧縮されたストリームがファイルの 100 倍を超える大きさに展開されます（ファイルが壊れているか、メモリを使い尽くすよう作られています）"};
    if (code == kInflateTooLarge) return &kInflateBomb;
    if (code == kRepairKeyLost) return &kKeyLost;
    if (code == kRepairEncryptionLost) return &kEncryptionLost;
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
