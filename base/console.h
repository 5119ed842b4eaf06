// The terminal, for the command line: whether a stream is a terminal, text
// output in the terminal's encoding, line input with or without echo, the
// user's language and the interrupt key.
#pragma once

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "base/job.h"

namespace brisel {

bool IsTerminal(std::FILE* stream);

// The width of the terminal that shows the stream, in columns; 0 when it is
// no terminal or does not say.
int TerminalColumns(std::FILE* stream);

// The program's arguments in UTF-8, the encoding of the engine's paths. On
// Windows they are taken from the wide command line, so that a file name
// outside the ANSI code page reaches the engine intact.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// Writes UTF-8 text; a Windows console receives it as UTF-16.
void WriteText(std::FILE* stream, const std::string& text);

// Reads one line from the terminal (without its line end); false at the end
// of input. With echo off the typed characters are not shown.
bool ReadTerminalLine(std::string& line, bool echo);

// Japanese when the user's language is Japanese, English otherwise.
Language UserLanguage();

// From now on the interrupt key (Ctrl-C) and every request to end the
// program (SIGTERM, SIGHUP, SIGQUIT; on Windows Ctrl+Break, closing the
// console, log-off and shut-down) store kStopRequested into *stopCode, so
// that the job stops after the page files in flight; a null pointer
// detaches it again.
void RouteInterruptTo(std::atomic<int>* stopCode);

// Whether such a request came since RouteInterruptTo was first called.
bool InterruptRequested();

// The signal of the first request (SIGINT's number on Windows).
int InterruptSignal();

}  // namespace brisel
