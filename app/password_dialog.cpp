// The password dialog of an encrypted input.
#include "app/dialogs.h"
#include "resources/ids.h"

namespace brisel {

namespace {

INT_PTR CALLBACK PasswordDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtrW(window, DWLP_USER, lParam);
            CentreOnDesktop(window);
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDOK: {
                    // The engine takes passwords as UTF-8 text, as the
                    // command line does: AES-256 files prepare it from the
                    // characters typed, whatever the system's code page.
                    wchar_t typed[255] = {};
                    GetDlgItemTextW(window, ID_PASSWORD, typed, 255);
                    char bytes[1024] = {};
                    int n = WideCharToMultiByte(CP_UTF8, 0, typed, -1, bytes, sizeof bytes, nullptr, nullptr);
                    auto* password = reinterpret_cast<std::string*>(GetWindowLongPtrW(window, DWLP_USER));
                    password->assign(bytes, n > 0 ? static_cast<size_t>(n - 1) : 0);
                    if (password->size() > 254) password->resize(254);
                    SecureZeroMemory(typed, sizeof typed);
                    SecureZeroMemory(bytes, sizeof bytes);
                    EndDialog(window, IDOK);
                    return TRUE;
                }
                case IDCANCEL:
                    EndDialog(window, IDCANCEL);
                    return TRUE;
            }
            return FALSE;
    }
    return FALSE;
}

}  // namespace

int RunPasswordDialog(HWND owner, std::string& password) {
    return static_cast<int>(DialogBoxParamW(g_shell.instance, TemplateName(L"PASSDLG", L"PASSDLGE"), owner,
                                            PasswordDialogProc, reinterpret_cast<LPARAM>(&password)));
}

}  // namespace brisel
