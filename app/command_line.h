// The command-line dispatch at the start of the main window's creation.
#pragma once

#include "app/shell.h"

namespace brisel {

// Does what g_shell.commandLine asks. true when the program must close at
// once (batch run, settings only, refused start, hand-over); on a normal
// start a path that opens is put into the path field and false returned.
bool DispatchCommandLine(HWND window);

}  // namespace brisel
