// The reasons of pdfread's codes.
#pragma once

#include "base/failure_reasons.h"

namespace brisel {

// Reasons the layers above share for their own codes of the same kind.
extern const ReasonText kReasonPagesOrViewer;
extern const ReasonText kReasonPageTree;

const ReasonText* PdfreadFailureReason(JobStep step, int32_t code);

}  // namespace brisel
