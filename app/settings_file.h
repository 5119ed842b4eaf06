// Brisel.ini beside the executable: read once at start, written once when
// the main window is destroyed.
#pragma once

#include "app/shell.h"

namespace brisel {

// The folder of "Brisel.exe" as the executable search finds it; empty when
// the search finds no file of that name (any letter case).
std::wstring ProgramFolder();

// Reads Brisel.ini from the current folder into g_shell; defaults when it
// cannot be read.
void LoadSettings();

// Writes Brisel.ini beside the executable with the window's position.
void SaveSettings(HWND mainWindow);

}  // namespace brisel
