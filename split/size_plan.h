// Parts under a size: each part is cut before its file would grow past the
// limit, measured by building the files the writer would write.
#pragma once

#include <cstdint>
#include <vector>

#include "base/job.h"
#include "docstruct/document.h"
#include "pagewriter/page_encryption.h"
#include "split/part_plan.h"

namespace brisel {

// Cuts every part into parts whose files take at most maxSize bytes, pages
// in order, each as long as it can be. A page whose file alone is larger
// stays a part of its own (oversized holds its index among the new parts,
// sizes the bytes of each new part). The sizes are those of the files as
// built (objects the pages share counted once, encrypted like the input),
// before links to pages in other parts are cut, so a file written later is
// never larger. The failure of a file that could not be built, or the
// job's stop code.
Failure CutPartsBySize(Job& job, const Document& doc, std::vector<Part>& parts, int64_t maxSize,
                   PageEncryption* encryption, std::vector<int32_t>& oversized, std::vector<int64_t>& sizes);

// Reads a size such as "10M", "500K", "2G" or "123456" (bytes; K, M and G
// are 1024, 1024² and 1024³, with an optional "B" or "iB" after them).
// false when the text is no such size or not above 0.
bool ParseByteSize(const std::string& text, int64_t& bytes);

}  // namespace brisel
