// The catalog check, the viewer settings taken from the input, and the page
// tree walk into the PageList.
#pragma once

#include <cstdint>

#include "base/job.h"
#include "docstruct/document.h"

namespace brisel {

// AnalyzeDocument's codes for the page tree.
enum PageTreeCode : int32_t {
    kNodeNotFound = -102,
    kNodeNotDict = -6001,
    kNodeNotClosed = -6002,
    kNodeEndAfterType = -6003,
    kNodeNotPage = -6004,
    kNodeEndAfterKids = -6005,
    kNodeNoKids = -108,
    kNodeKidsNotArray = -109,
    kNodeTypeGlued = -110,
    kRootNoKids = -132,
    kRootEndAfterKids = -133,
    kRootKidsNotArray = -134,
    kKidsEndReached = -135,
    kKidsNotClosed = -136,
    kKidNotListed = -143,
    kKidUnreadable = -144,
    kStackFull = -146,
    kPageListFull = -148,
    kNoPages = -149,
};

// Fills doc.pages (and doc.outlines when bookmarks are kept) and returns the
// number of pages found, or the failure (the job's stop code when it was
// stopped). Damage among the
// kids costs only the pages under it. With scan, a damaged tree (a root
// without kids, kids lost, fewer pages than its /Count) also gives the page
// objects it no longer reaches, after its own pages.
Result<int32_t> AnalyzeDocument(Job& job, Document& doc, bool scan = false);

}  // namespace brisel
