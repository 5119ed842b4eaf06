// The main window: path field, four buttons, menu, drops, tooltip.
#pragma once

#include "app/shell.h"

namespace brisel {

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Puts a path that opened into the path field and moves the focus to
// Split(All).
void TakePath(HWND window, const std::wstring& path);

// Shows the file-not-found message with the path.
void ShowFileNotFound(HWND owner, const std::wstring& path);

// Moves the focus to a control and remembers it as the focus position.
void FocusControl(int position);

// Subclasses the five controls with their keyboard rules.
void InstallKeyRules();

// The tooltip of the path field: created once, its text follows the field.
void CreatePathTooltip(HWND window);
void UpdatePathTooltip();
// Places the tooltip just above the path field; for TTN_SHOW.
void PlacePathTooltip();

// Moves the window to the stored position, kept inside the work area.
void ApplyStoredPosition(HWND window);

}  // namespace brisel
