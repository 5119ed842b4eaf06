// The parts dialog: every N pages, at the bookmarks of a level (with the
// number of parts that gives, read on a worker), by page ranges as the
// command line's --parts takes them, or under a size in megabytes; and the output-folder and time-stamp
// choices of the page-range dialog.
#include "app/dialog_query.h"
#include "app/dialogs.h"
#include "resources/ids.h"

namespace brisel {

namespace {

struct PartsChoice {
    std::wstring path;
    PartRequest request;
    DialogQuery query;
    bool counted = false;  // the bookmarks have been read
    int32_t pages = 0;
    std::vector<int32_t> partsPerLevel;
};

PartsChoice& ChoiceOf(HWND window) { return *reinterpret_cast<PartsChoice*>(GetWindowLongPtrW(window, DWLP_USER)); }

const int kModeButtons[] = {ID_PART_EVERY_MODE, ID_PART_LEVEL_MODE, ID_PART_RANGES_MODE, ID_PART_SIZE_MODE};
const int kModeFields[] = {ID_PART_EVERY, ID_PART_LEVEL, ID_PART_RANGES, ID_PART_SIZE};
constexpr int kModes = 4;

PartChoice ChosenMode(HWND window) {
    for (int k = 0; k < kModes; ++k)
        if (IsDlgButtonChecked(window, kModeButtons[k]) == BST_CHECKED) return static_cast<PartChoice>(k);
    return PartChoice::Every;
}

// A positive number in a field, or 0 when the field holds none.
int32_t FieldNumber(HWND window, int id) {
    int32_t value = 0;
    if (!ReadPageField(Utf8(WindowText(GetDlgItem(window, id))), value)) return 0;
    return value;
}

// The count beside the level: how many parts the bookmarks of the level
// give, or what keeps it from being known.
void ShowPartCount(HWND window) {
    PartsChoice& choice = ChoiceOf(window);
    std::wstring text;
    wchar_t buffer[96];
    if (choice.query.Running()) {
        text = Pick(L"(reading the bookmarks…)", L"（しおりを読み込み中…）");
    } else if (choice.counted && choice.pages <= 0) {
        text = Pick(L"(the file cannot be read)", L"（ファイルを読めません）");
    } else if (choice.counted && choice.partsPerLevel.empty()) {
        text = Pick(L"(no bookmarks)", L"（しおりなし）");
    } else if (choice.counted) {
        const int32_t level = FieldNumber(window, ID_PART_LEVEL);
        if (level == 0) {
            text.clear();
        } else {
            // No bookmark of a deeper level: the whole file is one part.
            int32_t parts = static_cast<size_t>(level) <= choice.partsPerLevel.size()
                                ? choice.partsPerLevel[static_cast<size_t>(level - 1)]
                                : 1;
            wsprintfW(buffer, Pick(L"(%d parts of %d pages)", L"（%d パート／%d ページ）"), parts, choice.pages);
            text = buffer;
        }
    }
    SetDlgItemTextW(window, ID_PART_COUNT, text.c_str());
}

void StartCount(HWND window) {
    PartsChoice& choice = ChoiceOf(window);
    if (choice.counted || choice.query.Running()) return;
    std::string path = Utf8(choice.path);
    choice.query.Start(window, [path](Job& job, QueryAnswer& answer) {
        answer.pages = QueryBookmarkParts(job, path, answer.partsPerLevel);
    });
    ShowPartCount(window);
}

void CountFound(HWND window) {
    PartsChoice& choice = ChoiceOf(window);
    QueryAnswer answer = choice.query.Finish();
    choice.counted = true;
    choice.pages = answer.pages;
    choice.partsPerLevel = std::move(answer.partsPerLevel);
    // The password that opened the file opens it again for the split.
    if (!answer.password.empty()) g_shell.app.PasswordText = answer.password;
    ShowPartCount(window);
}

void ModeChosen(HWND window) {
    const PartChoice mode = ChosenMode(window);
    for (int k = 0; k < kModes; ++k) EnableWindow(GetDlgItem(window, kModeFields[k]), static_cast<int>(mode) == k);
    if (mode == PartChoice::AtBookmarks) StartCount(window);
}

bool Refuse(HWND window, int field) {
    ShowBox(window, TextOf(Text::BadField), MB_ICONERROR);
    SetFocus(GetDlgItem(window, field));
    SendDlgItemMessageW(window, field, EM_SETSEL, 0, -1);
    return false;
}

// Reads the chosen mode's field into the request and the kept settings.
bool ReadRequest(HWND window, PartRequest& request, PartSettings& kept) {
    const PartChoice mode = ChosenMode(window);
    kept.mode = mode;
    switch (mode) {
        case PartChoice::Every:
            request.mode = PartMode::Every;
            request.every = FieldNumber(window, ID_PART_EVERY);
            if (request.every < 1) return Refuse(window, ID_PART_EVERY);
            kept.every = request.every;
            return true;
        case PartChoice::AtBookmarks:
            request.mode = PartMode::AtBookmarks;
            request.level = FieldNumber(window, ID_PART_LEVEL);
            if (request.level < 1) return Refuse(window, ID_PART_LEVEL);
            kept.level = request.level;
            return true;
        case PartChoice::BySize:
            // Parts of at most this many megabytes, each as long as fits.
            request.mode = PartMode::Size;
            kept.maxMegabytes = FieldNumber(window, ID_PART_SIZE);
            if (kept.maxMegabytes < 1) return Refuse(window, ID_PART_SIZE);
            request.maxSize = int64_t{kept.maxMegabytes} << 20;
            return true;
        case PartChoice::Ranges: {
            request.mode = PartMode::Ranges;
            const std::string text = Utf8(WindowText(GetDlgItem(window, ID_PART_RANGES)));
            if (!ParsePageSelection(text, request.ranges, true).empty()) return Refuse(window, ID_PART_RANGES);
            kept.ranges = text;
            return true;
        }
    }
    return false;
}

INT_PTR CALLBACK PartsDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    AppState& app = g_shell.app;
    switch (message) {
        case WM_INITDIALOG: {
            SetWindowLongPtrW(window, DWLP_USER, lParam);
            const PartSettings& kept = g_shell.parts;
            SetDlgItemInt(window, ID_PART_EVERY, static_cast<UINT>(kept.every), FALSE);
            SetDlgItemInt(window, ID_PART_LEVEL, static_cast<UINT>(kept.level), FALSE);
            SetDlgItemTextW(window, ID_PART_RANGES, Widen(kept.ranges).c_str());
            SetDlgItemInt(window, ID_PART_SIZE, static_cast<UINT>(kept.maxMegabytes), FALSE);
            SendDlgItemMessageW(window, ID_PART_SIZE, EM_LIMITTEXT, 6, 0);
            SendDlgItemMessageW(window, ID_PART_EVERY, EM_LIMITTEXT, 6, 0);
            SendDlgItemMessageW(window, ID_PART_LEVEL, EM_LIMITTEXT, 2, 0);
            int mode = static_cast<int>(kept.mode);
            if (mode < 0 || mode >= kModes) mode = 0;
            CheckRadioButton(window, ID_PART_EVERY_MODE, ID_PART_SIZE_MODE, kModeButtons[mode]);
            ShowOutputChoices(window, app);
            ModeChosen(window);
            CentreOnDesktop(window);
            HWND field = GetDlgItem(window, kModeFields[mode]);
            SetFocus(field);
            SendMessageW(field, EM_SETSEL, 0, -1);
            return FALSE;  // the focus is set
        }
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case ID_PART_EVERY_MODE:
                case ID_PART_LEVEL_MODE:
                case ID_PART_RANGES_MODE:
                case ID_PART_SIZE_MODE:
                    if (HIWORD(wParam) == BN_CLICKED) ModeChosen(window);
                    return TRUE;
                case ID_PART_LEVEL:
                    if (HIWORD(wParam) == EN_CHANGE) ShowPartCount(window);
                    return TRUE;
                case IDOK: {
                    PartsChoice& choice = ChoiceOf(window);
                    PartSettings kept = g_shell.parts;
                    if (!ReadRequest(window, choice.request, kept)) return TRUE;
                    if (!KeepOutputChoices(window, app)) return TRUE;
                    g_shell.parts = kept;
                    choice.query.Stop();
                    EndDialog(window, IDOK);
                    return TRUE;
                }
                case IDCANCEL:
                    ChoiceOf(window).query.Stop();
                    EndDialog(window, IDCANCEL);
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

int RunPartsDialog(HWND owner, const std::wstring& path, PartRequest& request) {
    PartsChoice choice;
    choice.path = path;
    INT_PTR result = DialogBoxParamW(g_shell.instance, TemplateName(L"PARTSDLG", L"PARTSDLGE"), owner,
                                     PartsDialogProc, reinterpret_cast<LPARAM>(&choice));
    if (result != IDOK) return IDCANCEL;
    request = choice.request;
    return IDOK;
}

}  // namespace brisel
