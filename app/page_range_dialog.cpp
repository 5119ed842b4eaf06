// The page-range dialog: first and last page, the output-folder choice and
// the time-stamp choice of a page-range split, and "Disp Page".
#include "app/dialogs.h"
#include "app/win_job_host.h"
#include "resources/ids.h"

namespace brisel {

namespace {

// The dialog's state: the file it asks about, and the pages chosen.
struct PageChoice {
    std::wstring path;  // the input path when the dialog opened
    int32_t first = 0, last = 0;
};

PageChoice& ChoiceOf(HWND window) { return *reinterpret_cast<PageChoice*>(GetWindowLongPtrW(window, DWLP_USER)); }

void ShowPageCount(HWND window, int32_t count) {
    ShowWindow(GetDlgItem(window, ID_DISP_PAGE), SW_HIDE);
    HWND label = GetDlgItem(window, ID_PAGE_LABEL);
    wchar_t text[64];
    wsprintfW(text, Pick(L"/ Page %d", L"/ %dページ"), count);
    SetWindowTextW(label, text);
    ShowWindow(label, SW_SHOW);
}

// Reads one page field; shows "Bad" and returns false when its text breaks
// the rules.
bool ReadField(HWND window, int id, int32_t& value) {
    if (ReadPageField(Utf8(WindowText(GetDlgItem(window, id))), value)) return true;
    ShowBox(window, TextOf(Text::BadField), MB_ICONERROR);
    return false;
}

void QueryCount(HWND window) {
    HCURSOR previous = SetCursor(LoadCursor(nullptr, IDC_WAIT));
    // A password dialog belongs to this dialog: owned by the main window, it
    // would enable the main window again when it closes, under this modal
    // dialog.
    WinJobHost host(window);
    Job job(g_shell.app, host);
    std::string path = Utf8(ChoiceOf(window).path);
    int32_t count = QueryPageCount(job, path);
    SetCursor(previous);
    AppState& app = g_shell.app;
    if (count > 0) {
        app.PageCountCacheCount = count;
        app.PageCountCachePath = path;
    }
    if (count <= 0) {
        ShowBox(window, TextOf(Text::PageCountFailed), MB_ICONERROR);
        EndDialog(window, IDCANCEL);
    } else if (count == 1) {
        ShowBox(window, TextOf(Text::OnePageFile), MB_ICONERROR);
        EndDialog(window, IDCANCEL);
    } else {
        ShowPageCount(window, count);
    }
}

INT_PTR CALLBACK PageRangeDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    AppState& app = g_shell.app;
    switch (message) {
        case WM_INITDIALOG: {
            SetWindowLongPtrW(window, DWLP_USER, lParam);
            CheckDlgButton(window, ID_SAVE_FOLDER, app.IsSaveFolder ? BST_CHECKED : BST_UNCHECKED);
            CheckDlgButton(window, ID_SAME_DATE, app.IsSameDate ? BST_CHECKED : BST_UNCHECKED);
            if (app.PageCountCacheCount != 0) {
                std::string path = Utf8(ChoiceOf(window).path);
                if (app.PageCountCachePath != path) {
                    app.PageCountCacheCount = 0;
                    app.PageCountCachePath = path;
                } else if (app.PageCountCacheCount == 1) {
                    ShowBox(window, TextOf(Text::OnePageFile), MB_ICONERROR);
                    EndDialog(window, IDCANCEL);
                    return TRUE;
                } else {
                    ShowPageCount(window, app.PageCountCacheCount);
                }
            }
            RECT desktop, rect;
            GetWindowRect(GetDesktopWindow(), &desktop);
            GetWindowRect(window, &rect);
            int width = rect.right - rect.left, height = rect.bottom - rect.top;
            SetWindowPos(window, nullptr, (desktop.right - desktop.left - width) / 2,
                         (desktop.bottom - desktop.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
            SetFocus(GetDlgItem(window, ID_FIRST_PAGE));
            return FALSE;  // the focus is set
        }
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDOK: {
                    PageChoice& choice = ChoiceOf(window);
                    int32_t first = 0, last = 0;
                    if (!ReadField(window, ID_FIRST_PAGE, first) || !ReadField(window, ID_LAST_PAGE, last)) return TRUE;
                    if (IsDlgButtonChecked(window, ID_SAVE_FOLDER) == BST_CHECKED) {
                        std::wstring folder = Widen(app.SaveFolder);
                        if (!ChooseFolder(window, folder)) return TRUE;
                        app.SaveFolder = Utf8(folder);
                        app.IsSaveFolder = true;
                    } else {
                        app.IsSaveFolder = false;
                    }
                    app.IsSameDate = IsDlgButtonChecked(window, ID_SAME_DATE) == BST_CHECKED;
                    choice.first = first;
                    choice.last = last;
                    EndDialog(window, IDOK);
                    return TRUE;
                }
                case IDCANCEL:
                    EndDialog(window, IDCANCEL);
                    return TRUE;
                case ID_DISP_PAGE:
                    QueryCount(window);
                    return TRUE;
            }
            return FALSE;
    }
    return FALSE;
}

}  // namespace

int RunPageRangeDialog(HWND owner, int32_t& firstPage, int32_t& lastPage) {
    PageChoice choice;
    choice.path = g_shell.inputPath;
    INT_PTR result = DialogBoxParamW(g_shell.instance, TemplateName(L"PAGEDLG", L"PAGEDLGE"), owner,
                                     PageRangeDialogProc, reinterpret_cast<LPARAM>(&choice));
    if (result != IDOK) return IDCANCEL;
    firstPage = choice.first;
    lastPage = choice.last;
    return IDOK;
}

}  // namespace brisel
