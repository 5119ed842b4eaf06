// The question a job asks before it creates many files.
#include "app/dialogs.h"
#include "resources/ids.h"

namespace brisel {

namespace {

struct WarnQuestion {
    const std::wstring& countText;
    bool& warnLimit;
};

INT_PTR CALLBACK WarnLimitDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            SetWindowLongPtrW(window, DWLP_USER, lParam);
            const auto* question = reinterpret_cast<const WarnQuestion*>(lParam);
            std::wstring text = Widen(TrFormat(g_shell.app.language, Text::WarnLimit, Utf8(question->countText)));
            SetDlgItemTextW(window, ID_WARN_N, text.c_str());
            CheckDlgButton(window, ID_WARN_BOX, BST_CHECKED);
            return TRUE;
        }
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDOK:
                    // Unticked: the warning stays off, also in the settings file.
                    if (IsDlgButtonChecked(window, ID_WARN_BOX) != BST_CHECKED)
                        reinterpret_cast<WarnQuestion*>(GetWindowLongPtrW(window, DWLP_USER))->warnLimit = false;
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

int RunWarnLimitDialog(HWND owner, const std::wstring& countText, bool& warnLimit) {
    WarnQuestion question{countText, warnLimit};
    return static_cast<int>(DialogBoxParamW(g_shell.instance, TemplateName(L"WARNLIMITDLG", L"WARNLIMITDLGE"), owner,
                                            WarnLimitDialogProc, reinterpret_cast<LPARAM>(&question)));
}

}  // namespace brisel
