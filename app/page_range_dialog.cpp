// The page-range dialog: first and last page, the output-folder choice and
// the time-stamp choice of a page-range split, and "Disp Page".
#include "app/dialog_query.h"
#include "app/dialogs.h"
#include "resources/ids.h"

namespace brisel {

namespace {

// The dialog's state: the file it asks about, and the pages chosen.
struct PageChoice {
    std::wstring path;  // the input path when the dialog opened
    int32_t first = 0, last = 0;
    DialogQuery query;  // the page count, while it is being read
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

// "Disp Page" reads the file on a worker; while it runs the button stops it.
void QueryCount(HWND window) {
    PageChoice& choice = ChoiceOf(window);
    HWND button = GetDlgItem(window, ID_DISP_PAGE);
    if (choice.query.Running()) {
        choice.query.Stop();
        SetWindowTextW(button, Pick(L"Disp Page", L"ページ数表示"));
        return;
    }
    std::string path = Utf8(choice.path);
    if (!choice.query.Start(window, [path](Job& job, QueryAnswer& answer) { answer.pages = QueryPageCount(job, path); }))
        return;
    SetWindowTextW(button, Pick(L"Stop", L"中止"));
}

void CountFound(HWND window) {
    PageChoice& choice = ChoiceOf(window);
    SetWindowTextW(GetDlgItem(window, ID_DISP_PAGE), Pick(L"Disp Page", L"ページ数表示"));
    const int32_t count = choice.query.Finish().pages;
    AppState& app = g_shell.app;
    if (count > 0) {
        app.PageCountCacheCount = count;
        app.PageCountCachePath = Utf8(choice.path);
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
            ShowOutputChoices(window, app);
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
                    choice.query.Stop();
                    int32_t first = 0, last = 0;
                    if (!ReadField(window, ID_FIRST_PAGE, first) || !ReadField(window, ID_LAST_PAGE, last)) return TRUE;
                    if (!KeepOutputChoices(window, app)) return TRUE;
                    choice.first = first;
                    choice.last = last;
                    EndDialog(window, IDOK);
                    return TRUE;
                }
                case IDCANCEL:
                    ChoiceOf(window).query.Stop();
                    EndDialog(window, IDCANCEL);
                    return TRUE;
                case ID_DISP_PAGE:
                    QueryCount(window);
                    return TRUE;
            }
            return FALSE;
        case kQueryDone:
            if (ChoiceOf(window).query.Matches(wParam)) CountFound(window);
            return TRUE;
        case kHostRequest:
            AnswerHostRequest(window, *reinterpret_cast<HostRequest*>(lParam));
            return TRUE;
    }
    return FALSE;
}

}  // namespace

int RunPageRangeDialog(HWND owner, const std::wstring& path, int32_t& firstPage, int32_t& lastPage) {
    PageChoice choice;
    choice.path = path;
    INT_PTR result = DialogBoxParamW(g_shell.instance, TemplateName(L"PAGEDLG", L"PAGEDLGE"), owner,
                                     PageRangeDialogProc, reinterpret_cast<LPARAM>(&choice));
    if (result != IDOK) return IDCANCEL;
    firstPage = choice.first;
    lastPage = choice.last;
    return IDOK;
}

}  // namespace brisel
