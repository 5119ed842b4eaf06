// One complete output file for one page of the input.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/block.h"
#include "base/job.h"
#include "docstruct/document.h"
#include "pagewriter/page_encryption.h"

namespace brisel {

// BuildPageDocument's codes; the closure walk, the catalog and the bookmark
// tree add their own.
enum PageFileCode : int32_t {
    kPageEncryptionMissing = -7001,  // an encrypted input's page that cannot be encrypted
    kPageNotListed = -215,
    kPageNotDict = -232,
    kInheritedHolderNotDict = -250,
    kInheritedKeyMissing = -251,
    kInheritedResourcesNotDict = -252,
    kInheritedResourcesWalk = -253,
    kInheritedReferenceWalk = -254,
    kInheritedBoxNotClosed = -255,
    kPageNoMemory = -300,
    kPageHeaderEnd = -7002,
    kPageHeaderNoPdf = -303,
    kPageHeaderLineEnd = -304,
    kPageHeaderEndAfterLine = -305,
    kPageMarkerLineEnd = -307,
    kPageMarkerEndAfterLine = -308,
    kPageStreamLength = -7003,
    kPageClosureFailed = -7004,
    kPageInfoNumber = -7005,
    kPageXrefTooFar = -318,
};

// Builds one file of several pages of the input (a part) in memory, into
// out, whose capacity is reused from file to file: the pages in the order
// given (indexes into doc.pages; a page listed twice is one page of the
// file), as objects 3, 4, ... under the Pages object 2, with everything they
// reach, the bookmarks that lead to any of them and the document data that
// belongs to them. References to pages outside the set become null.
// encryption encrypts the file of an encrypted input (null: such a file
// fails). found receives what the file is written without (objects the
// input does not hold). With spans, the data of large streams is left out of
// out and listed there (see page_spans.h); without, out holds every byte.
// The failure (the job's stop code when it was stopped) leaves out empty.
Failure BuildPartDocument(Job& job, const std::vector<int32_t>& pageIndexes, const Document& doc, std::string& out,
                          PageEncryption* encryption = nullptr, WarningList* found = nullptr,
                          PageSpans* spans = nullptr);

// Builds the page file in memory (encrypted when the input was) into out,
// whose capacity is reused from page to page; encryption encrypts the page
// file of an encrypted input (null: such a page fails); its failure as
// BuildPartDocument's.
Failure BuildPageDocument(Job& job, int32_t pageIndex, const Document& doc, std::string& out,
                          PageEncryption* encryption = nullptr, WarningList* found = nullptr,
                          PageSpans* spans = nullptr);

}  // namespace brisel
