// The main window: path field, four buttons, menu, drops, tooltip.
#pragma once

#include <vector>

#include "app/shell.h"
#include "app/win_handles.h"

namespace brisel {

// The painted label and hint fonts, made for the DPI they were made at.
struct LabelFonts {
    UINT dpi = 0;
    Font large, small;
};

// The main window's state, made in WM_NCCREATE and reached through the
// window (GWLP_USERDATA); only the window thread touches it.
struct MainWindow {
    HWND window = nullptr;
    int focus = kFocusExit;
    HWND controls[kControlCount] = {};
    HWND tooltip = nullptr;
    std::wstring tooltipText;
    // The controls' font: the message font at the window's DPI.
    Font font;
    LabelFonts labelFonts;
    // Files dropped or chosen together; the path field shows the first and
    // how many more (queueText). Typing in the field drops the queue.
    std::vector<std::wstring> queue;
    std::wstring queueText;
    // The window was asked to close while a job ran: it closes once the job
    // has stopped, without a result box.
    bool closeAfterJob = false;
};

MainWindow& MainOf(HWND window);

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Puts a path that opened into the path field and moves the focus to
// Split(All).
void TakePath(MainWindow& main, const std::wstring& path);

// Shows the file-not-found message with the path.
void ShowFileNotFound(HWND owner, const std::wstring& path);

// Moves the focus to a control and remembers it as the focus position.
void FocusControl(MainWindow& main, int position);

// Subclasses the five controls with their keyboard rules.
void InstallKeyRules(MainWindow& main);

// The tooltip of the path field: created once, its text follows the field.
void CreatePathTooltip(MainWindow& main);
void UpdatePathTooltip(MainWindow& main);
// Places the tooltip just above the path field; for TTN_SHOW.
void PlacePathTooltip(MainWindow& main);

// Moves the window to the stored position, kept inside the work area.
void ApplyStoredPosition(HWND window);

}  // namespace brisel
