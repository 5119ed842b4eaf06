// The stored window position, limited to the part of the screen the taskbar
// leaves free.
#include "app/main_window.h"

#include <shellapi.h>
#include "app/settings_text.h"

namespace brisel {

void ApplyStoredPosition(HWND window) {
    int x = 0, y = 0;
    if (!ReadPosition(g_shell.position, x, y)) return;
    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    APPBARDATA bar = {};
    bar.cbSize = sizeof bar;
    RECT taskbar = desktop;  // no taskbar: the whole desktop is usable
    if (SHAppBarMessage(ABM_GETTASKBARPOS, &bar)) taskbar = bar.rc;
    const int s = GetSystemMetrics(SM_CYSIZE);
    auto within = [s](LONG a, LONG b) { return (a > b ? a - b : b - a) < s; };
    if (within(taskbar.left, desktop.left)) taskbar.left = desktop.left;
    if (within(taskbar.top, desktop.top)) taskbar.top = desktop.top;
    if (within(taskbar.right, desktop.right)) taskbar.right = desktop.right;
    if (within(taskbar.bottom, desktop.bottom)) taskbar.bottom = desktop.bottom;

    RECT usable = desktop;
    if (taskbar.left != desktop.left) usable.right = taskbar.left;        // taskbar on the right
    else if (taskbar.right != desktop.right) usable.left = taskbar.right;  // on the left
    if (taskbar.top != desktop.top) usable.bottom = taskbar.top;          // at the bottom
    else if (taskbar.bottom != desktop.bottom) usable.top = taskbar.bottom;  // at the top
    usable.bottom -= s;
    usable.right -= 2 * s;

    if (x < usable.left) x = usable.left;
    if (x > usable.right) x = usable.right;
    if (y < usable.top) y = usable.top;
    if (y > usable.bottom) y = usable.bottom;
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOREDRAW);
}

}  // namespace brisel
