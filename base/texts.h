// Every text a person sees, in English and Japanese (UTF-8 here; the Win32
// program converts to UTF-16 for display).
#pragma once

#include <string>

#include "base/job.h"
#include "base/platform.h"

namespace brisel {

enum class Text {
    // Status line of a job.
    Reading,
    Analyzing,
    Repairing,
    CreatingPages,
    CreatingPagesCounter,  // "%d/%d"
    AnalyzingOutline,
    AnalyzingOutlineShort,  // alternates with AnalyzingOutline in Japanese
    // Result messages.
    Done,
    DoneRememberedPassword,
    OnePage,
    CantCreate,
    BadPageInput,
    Break,
    Failed,
    // Security handler.
    FailInDecrypting,
    SplitNotAdmitted,
    InputRightPassword,
    InputPassword,
    // Front ends.
    NotPdfFile,
    FileNotFound,  // "%s"
    WarnLimit,     // "%s"
    BadField,
    PageCountFailed,
    OnePageFile,
    // Results that say what happened.
    PagesIncomplete,  // "%d of %d ... %s"
    PagesWritten,     // "(%d of %d ...)"
    PagesRenamed,     // "%d ..."
    PagesNotFound,    // "%d of %d ..."
    SomePagesNotFound,
    UpdateCutShort,
    PagesScanned,     // "... %d pages found by scanning ..."
    PagesUnreadable,  // "%d of %d pages could not be read ...: %s"
    PagesRepaired,       // "%d of %d ... %s"
    PagesResourcesKept,  // "%d of %d ... %s"
};

const char* Tr(Language language, Text text);

// One text in both languages, for the front ends' own tables.
struct TextPair {
    const char* english;
    const char* japanese;
};
inline const char* Pick(Language language, const TextPair& pair) {
    return language == Language::Japanese ? pair.japanese : pair.english;
}

// Tr() with one printf argument substituted.
std::string TrFormat(Language language, Text text, const std::string& arg);
std::string TrFormat(Language language, Text text, int a, int b);

// What a file fault means, for a page file being written or for the input
// being read.
const char* FaultText(Language language, FileFault fault, bool input);

}  // namespace brisel
