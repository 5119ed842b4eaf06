// The question a job asks before it creates many files.
#include "app/dialogs.h"
#include "resources/ids.h"

namespace brisel {

namespace {

INT_PTR CALLBACK WarnLimitDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            const auto* count = reinterpret_cast<const std::wstring*>(lParam);
            std::wstring text = Widen(TrFormat(g_shell.app.language, Text::WarnLimit, Utf8(*count)));
            SetDlgItemTextW(window, ID_WARN_N, text.c_str());
            CheckDlgButton(window, ID_WARN_BOX, BST_CHECKED);
            // The job's thread opens it: make it the active window, so that
            // the keys reach it.
            SetForegroundWindow(window);
            return TRUE;
        }
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDOK:
                    // Unticked: the warning stays off, also in the settings file.
                    if (IsDlgButtonChecked(window, ID_WARN_BOX) != BST_CHECKED) g_shell.app.IsWarnLimit = false;
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

int RunWarnLimitDialog(HWND owner, const std::wstring& countText) {
    return static_cast<int>(DialogBoxParamW(g_shell.instance, TemplateName(L"WARNLIMITDLG", L"WARNLIMITDLGE"), owner,
                                            WarnLimitDialogProc, reinterpret_cast<LPARAM>(&countText)));
}

}  // namespace brisel
