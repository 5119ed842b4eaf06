// The settings dialog: the many-files warning and its limit.
#include <cstdlib>

#include "app/dialogs.h"
#include "resources/ids.h"

namespace brisel {

namespace {

// Centres the dialog over its owner; without one, over the screen.
void CentreOver(HWND window, HWND owner) {
    RECT outer, dialog;
    GetWindowRect(owner ? owner : GetDesktopWindow(), &outer);
    GetWindowRect(window, &dialog);
    int width = dialog.right - dialog.left, height = dialog.bottom - dialog.top;
    int left = outer.left + (outer.right - outer.left) / 2 - width / 2;
    int top = outer.top + (outer.bottom - outer.top) / 2 - height / 2;
    SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ShowWindow(window, SW_SHOW);
}

INT_PTR CALLBACK SettingsDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    AppState& app = g_shell.app;
    switch (message) {
        case WM_INITDIALOG: {
            if (app.WarnLimitN > 0) SetDlgItemInt(window, ID_WARN_N, static_cast<UINT>(app.WarnLimitN), FALSE);
            bool ticked = app.IsWarnLimit && app.WarnLimitN > 0;
            CheckDlgButton(window, ID_WARN_BOX, ticked ? BST_CHECKED : BST_UNCHECKED);
            EnableWindow(GetDlgItem(window, ID_WARN_N), ticked);
            CentreOver(window, reinterpret_cast<HWND>(lParam));
            return TRUE;
        }
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case ID_WARN_BOX: {
                    HWND field = GetDlgItem(window, ID_WARN_N);
                    if (IsDlgButtonChecked(window, ID_WARN_BOX) == BST_CHECKED) {
                        EnableWindow(field, TRUE);
                        SetFocus(field);
                        SendMessageW(field, EM_SETSEL, 0, -1);
                    } else {
                        EnableWindow(field, FALSE);
                    }
                    return TRUE;
                }
                case IDOK:
                    if (IsDlgButtonChecked(window, ID_WARN_BOX) == BST_CHECKED) {
                        wchar_t text[11] = {};
                        GetDlgItemTextW(window, ID_WARN_N, text, 11);
                        app.WarnLimitN = static_cast<int32_t>(std::wcstol(text, nullptr, 10));
                        app.IsWarnLimit = true;
                    } else {
                        app.IsWarnLimit = false;
                    }
                    EndDialog(window, IDOK);
                    return TRUE;
                case IDCANCEL:
                    EndDialog(window, IDCANCEL);
                    return TRUE;
            }
            return FALSE;
    }
    return FALSE;
}

}  // namespace

int RunSettingsDialog(HWND owner) {
    return static_cast<int>(DialogBoxParamW(g_shell.instance, TemplateName(L"SETDLG", L"SETDLGE"), owner,
                                            SettingsDialogProc, reinterpret_cast<LPARAM>(owner)));
}

}  // namespace brisel
