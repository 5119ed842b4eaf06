// The text rules of the program's command line, kept apart from the windows
// so that they are tested on every platform.
#pragma once

#include <string>

#include "split/engine.h"

namespace brisel {

// The arguments after the program name, as the C runtime hands them to
// WinMain: the name ends at its closing quote or at the first blank, and the
// blanks after it are skipped.
std::wstring ArgumentsAfterProgram(const std::wstring& commandLine);

// "/us" or "/jp" (either case) at the start switches the language; the three
// characters and the spaces after them are removed. true when it switched.
bool ApplyLanguageSwitch(std::wstring& commandLine, Language& language);

// The file path at the start of the command line: quoted up to the next
// quote (the quotes removed), else up to the first space. more is true when
// the command line holds anything beyond it, or the quote never closes.
struct CommandLinePath {
    std::wstring path;
    bool more = false;
};
CommandLinePath ReadCommandLinePath(const std::wstring& commandLine);

// A batch option file: the option line (up to its line feed), and the input
// path, the text after it up to the file's last line feed. A CR before an LF
// is dropped as text mode does; a leading UTF-8 byte-order mark says that
// the path is UTF-8 rather than the ANSI code page the companion tool uses.
struct OptionFileText {
    std::string optionLine;
    std::string inputPath;  // bytes
    bool utf8 = false;
};
OptionFileText SplitOptionFile(const std::string& bytes);

// Whether the text is longer than 4 characters and ends in ".pdf" in any
// letter case.
bool NamesPdf(const std::wstring& path);

}  // namespace brisel
