#include "docstruct/failure_reasons.h"

#include "docstruct/direct_kids.h"
#include "docstruct/named_dests.h"
#include "docstruct/object_value.h"
#include "docstruct/outlines.h"
#include "docstruct/page_tree.h"
#include "docstruct/viewer_settings.h"
#include "pdfread/failure_reasons.h"

namespace brisel {

namespace {

const ReasonText kReasonTreeLoop = {"the page tree is too deep, or loops back on itself",
                                    "ページツリーが深すぎるか循環しています"};

}  // namespace

const ReasonText* DocstructFailureReason(JobStep step, int32_t code) {
    if (step != JobStep::Analyze) return nullptr;
    switch (code) {
        case kViewerNoGeneration:
        case kViewerMalformed:
        case kViewerNoR:
        case kViewerNotFound:
            return &kReasonPagesOrViewer;
        case kStackFull:
        case kPageListFull:
        case kNameTreeLoop:
        case kOutlineLoop:
            return &kReasonTreeLoop;
        case kNodeNotFound:
        case kNodeNotDict:
        case kNodeNotClosed:
        case kNodeEndAfterType:
        case kNodeNotPage:
        case kNodeEndAfterKids:
        case kNodeNoKids:
        case kNodeKidsNotArray:
        case kNodeTypeGlued:
        case kRootNoKids:
        case kRootEndAfterKids:
        case kRootKidsNotArray:
        case kKidsEndReached:
        case kKidsNotClosed:
        case kKidNotListed:
        case kKidUnreadable:
        case kNoPages:
        case kKidNoGeneration:
        case kKidEndReached:
        case kKidNoR:
        case kDirectKidsNotLifted:
        case kNameNodeMissing:
        case kNameNodeNotDict:
        case kNameNodeNotClosed:
        case kNameNodeEndAtKids:
        case kNameNodeKidsNotArray:
        case kDestsEndReached:
        case kNameKidNotListed:
        case kNameKidUnreadable:
            return &kReasonPageTree;
        default:
            return nullptr;
    }
}

}  // namespace brisel
