// One complete output file for one page of the input.
#pragma once

#include <cstdint>
#include <string>

#include "base/block.h"
#include "base/job.h"
#include "docstruct/document.h"
#include "pagewriter/page_encryption.h"

namespace brisel {

// Builds the page file in memory (encrypted when the input was) into out,
// whose capacity is reused from page to page; encryption encrypts the page
// file of an encrypted input (null: such a page fails). 1 on success; 0
// otherwise, with LastError set unless the job was stopped.
int BuildPageDocument(Job& job, int32_t pageIndex, const Document& doc, std::string& out,
                      PageEncryption* encryption = nullptr);

}  // namespace brisel
