// What the command line says: every failure is one line
// "brisel: FILE: reason" on stderr, in English or Japanese.
#pragma once

#include <string>

#include "split/engine.h"

namespace brisel {

// The command line's own texts.
enum class CliText {
    NoSuchFile,
    IsFolder,
    NoPermission,
    CannotOpen,
    PastWarnLimit,       // "%s": the number of files
    PasswordNoTerminal,  // a password is needed and there is no terminal to ask
    PasswordWrong,
    NoPasswordGiven,
    OwnerPasswordNeeded,  // the input opens, but its permissions forbid splitting
    NotPdf,
    NamesTaken,     // "%s", "%s": the first name taken and the one written instead
    FilesSkipped,   // "%s": how many
    PageOversized,  // "%s", "%s": the page and the size limit
    WarnDeclined,   // "%s": the number of files
};

const char* CliTr(Language language, CliText text);
// CliTr() with its "%s" replaced by arg.
std::string CliTrFormat(Language language, CliText text, const std::string& arg, const std::string& second = "");

// The reason an input cannot be read; empty when it can.
std::string InputProblemText(Language language, InputProblem problem);

// Writes "brisel: FILE: reason" to stderr.
void ReportFailure(const std::string& file, const std::string& reason);

}  // namespace brisel
