// Brisel.ini beside the executable (or in the user's profile where the
// executable's folder cannot be written): read once at start, written once
// when the main window is destroyed.
#pragma once

#include "app/shell.h"

namespace brisel {

// The folder of the running executable, ending in a backslash; empty when
// the system cannot tell.
std::wstring ProgramFolder();

// Reads Brisel.ini into g_shell: the one beside the executable, or the one in
// %APPDATA%\Brisel when the executable's folder cannot be written and that
// one exists. Defaults when neither can be read.
void LoadSettings();

// Writes Brisel.ini beside the executable with the window's position; when
// that folder cannot be written, into %APPDATA%\Brisel.
void SaveSettings(HWND mainWindow);

}  // namespace brisel
