// The window procedure of the main window.
#include "app/main_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include "app/command_line.h"
#include "app/dialogs.h"
#include "app/settings_file.h"
#include "resources/ids.h"

namespace brisel {

namespace {

struct ControlSpec {
    const wchar_t* className;
    int id;
    int x, y, w, h;  // English
    int jx, jw;      // Japanese x and width where they differ
    const wchar_t* english;
    const wchar_t* japanese;
    DWORD style;
};

const ControlSpec kControls[kControlCount] = {
    {L"EDIT", ID_PATH, 15, 30, 310, 30, 15, 310, L"", L"", WS_DLGFRAME | ES_AUTOHSCROLL},
    {L"BUTTON", ID_REF, 330, 30, 50, 30, 330, 50, L"Ref", L"参照", BS_PUSHBUTTON},
    {L"BUTTON", ID_SPLIT_ALL, 15, 105, 120, 30, 15, 130, L"Split(All)", L"全ページ分解", BS_PUSHBUTTON},
    {L"BUTTON", ID_SPLIT_RANGE, 145, 105, 160, 30, 158, 144, L"Split(Page etc Input)", L"ページ等指定分解",
     BS_PUSHBUTTON},
    {L"BUTTON", ID_EXIT, 315, 105, 55, 30, 315, 55, L"Exit", L"終了", BS_PUSHBUTTON},
};

HWND PathField() { return g_shell.controls[kFocusPath]; }

void CreateControls(HWND window) {
    for (int i = 0; i < kControlCount; ++i) {
        const ControlSpec& c = kControls[i];
        bool japanese = Japanese();
        g_shell.controls[i] = CreateWindowExW(0, c.className, japanese ? c.japanese : c.english,
                                              WS_CHILD | WS_VISIBLE | c.style, japanese ? c.jx : c.x, c.y,
                                              japanese ? c.jw : c.w, c.h, window,
                                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)),
                                              g_shell.instance, nullptr);
    }
}

// The split buttons and menu items are usable together or not at all.
void EnableSplitCommands(HWND window, bool enable) {
    EnableWindow(g_shell.controls[kFocusSplitAll], enable);
    EnableWindow(g_shell.controls[kFocusSplitRange], enable);
    HMENU menu = GetMenu(window);
    UINT state = MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED);
    EnableMenuItem(menu, ID_SPLIT_ALL, state);
    EnableMenuItem(menu, ID_SPLIT_RANGE, state);
    DrawMenuBar(window);
}

void Paint(HWND window) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    SetBkMode(dc, TRANSPARENT);
    auto makeFont = [](int height) {
        return CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, PROOF_QUALITY, FIXED_PITCH | FF_MODERN, L"ＭＳ ゴシック");
    };
    HFONT large = makeFont(16);
    HGDIOBJ old = SelectObject(dc, large);
    const wchar_t* label = Pick(L"PDF File Name:", L"ＰＤＦファイル名：");
    TextOutW(dc, 15, 9, label, lstrlenW(label));
    HFONT small = makeFont(12);
    SelectObject(dc, small);
    if (Japanese()) {
        const wchar_t* line1 = L"※このウィンドウにＰＤＦファイルをドラッグしても";
        const wchar_t* line2 = L"　ファイル名入力が可能です";
        TextOutW(dc, 30, 66, line1, lstrlenW(line1));
        TextOutW(dc, 30, 82, line2, lstrlenW(line2));
    } else {
        const wchar_t* line = L"*You Can Drag a PDF File into This Window";
        TextOutW(dc, 30, 70, line, lstrlenW(line));
    }
    SelectObject(dc, old);
    DeleteObject(large);
    DeleteObject(small);
    EndPaint(window, &ps);
}

void OpenHelp(HWND window) {
    const std::wstring folder = g_shell.startFolder;
    auto open = [&](const wchar_t* name) {
        std::wstring path = folder + L"\\" + name;
        return reinterpret_cast<INT_PTR>(ShellExecuteW(window, nullptr, path.c_str(), nullptr, nullptr,
                                                       SW_SHOWNORMAL)) > 32;
    };
    if (!Japanese() && open(L"HelpE.htm")) return;
    if (open(L"Help.htm")) return;
    ShowBox(window, Pick(L"Can't Find Help File", L"ヘルプファイルの起動に失敗しました"), MB_ICONERROR);
}

void ShowAbout(HWND window) {
    MSGBOXPARAMSW box = {};
    box.cbSize = sizeof box;
    box.hwndOwner = window;
    box.hInstance = g_shell.instance;
    box.lpszText = L"Brisel Ver 2.22";
    box.lpszCaption = L"Brisel";
    box.dwStyle = MB_OK | MB_USERICON | MB_SETFOREGROUND;
    box.lpszIcon = L"BRISELICON";
    MessageBoxIndirectW(&box);
}

void SplitCommand(HWND window, bool range) {
    g_shell.focus = range ? kFocusSplitRange : kFocusSplitAll;
    g_shell.inputPath = WindowText(PathField());
    if (!EndsInPdf(g_shell.inputPath, 5)) return;
    AppState& app = g_shell.app;
    app.RememberedPassword = false;
    int32_t first = 0, last = 0;
    if (range) {
        if (RunPageRangeDialog(window, first, last) != IDOK) return;
        g_shell.inputPath = WindowText(PathField());
    }
    int result = RunProgressWindow(window, range, first, last);
    ShowResultMessage(window, result, range, app.RememberedPassword);
}

void PathChanged(HWND window) {
    g_shell.focus = kFocusPath;
    std::wstring path = WindowText(PathField());
    UpdatePathTooltip();
    EnableSplitCommands(window, EndsInPdf(path, 5) && OpensForReading(path));
}

void Command(HWND window, WPARAM wParam) {
    switch (LOWORD(wParam)) {
        case ID_EXIT:
            SendMessageW(window, WM_CLOSE, 0, 0);
            break;
        case ID_REF:
            g_shell.focus = kFocusRef;
            if (ChooseInputFile(window)) {
                if (OpensForReading(g_shell.inputPath)) TakePath(window, g_shell.inputPath);
                else ShowFileNotFound(window, g_shell.inputPath);
            }
            break;
        case ID_SPLIT_ALL:
            SplitCommand(window, false);
            break;
        case ID_SPLIT_RANGE:
            SplitCommand(window, true);
            break;
        case ID_HELP:
            OpenHelp(window);
            break;
        case ID_ABOUT:
            ShowAbout(window);
            break;
        case ID_PATH:
            if (HIWORD(wParam) == EN_CHANGE) PathChanged(window);
            else if (HIWORD(wParam) == EN_SETFOCUS) SendMessageW(PathField(), EM_SETSEL, 0, -1);
            break;
        case ID_SETTING:
            RunSettingsDialog(window);
            break;
    }
}

void Dropped(HWND window, HDROP drop) {
    UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    UINT length = DragQueryFileW(drop, 0, nullptr, 0);
    std::wstring name(length + 1, L'\0');
    DragQueryFileW(drop, 0, name.data(), length + 1);
    name.resize(length);
    if (EndsInPdf(name, 5)) {
        if (count > 1)
            ShowBox(window, Pick(L"Only One PDF File is Available", L"一度にドラッグ 分解できるファイルは一つです"),
                    MB_ICONINFORMATION);
        if (OpensForReading(name)) TakePath(window, name);
        else ShowFileNotFound(window, name);
    } else {
        ShowBox(window, Pick(L"Not PDF File", L"ドラッグされたファイルはＰＤＦファイルではありません"),
                MB_ICONERROR);
    }
    DragFinish(drop);
}

// Returns true when the command line's work is done and the window closed.
bool Create(HWND window) {
    g_shell.mainWindow = window;
    wchar_t folder[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, folder);
    g_shell.startFolder = folder;
    CreateControls(window);
    InstallKeyRules();
    if (DispatchCommandLine(window)) {
        SendMessageW(window, WM_CLOSE, 0, 0);
        return true;
    }
    DragAcceptFiles(window, TRUE);
    bool hasPath = GetWindowTextLengthW(PathField()) > 0;
    EnableSplitCommands(window, hasPath);
    FocusControl(hasPath ? kFocusSplitAll : kFocusExit);
    ApplyStoredPosition(window);
    CreatePathTooltip(window);
    if (hasPath)
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(ID_PATH, EN_CHANGE), reinterpret_cast<LPARAM>(PathField()));
    return false;
}

}  // namespace

void TakePath(HWND, const std::wstring& path) {
    SetWindowTextW(PathField(), path.c_str());
    UpdatePathTooltip();
    FocusControl(kFocusSplitAll);
}

void ShowFileNotFound(HWND owner, const std::wstring& path) {
    ShowBox(owner, Widen(TrFormat(g_shell.app.language, Text::FileNotFound, Utf8(path))), MB_ICONERROR);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            Create(window);
            return 0;
        case WM_ACTIVATE:
            if (LOWORD(wParam) != WA_INACTIVE && g_shell.controls[g_shell.focus])
                SetFocus(g_shell.controls[g_shell.focus]);
            return 0;
        case WM_PAINT:
            Paint(window);
            return 0;
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            g_shell.app.PageCountCachePath.clear();
            g_shell.app.PageCountCachePath.shrink_to_fit();
            SaveSettings(window);
            PostQuitMessage(0);
            return 0;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->hwndFrom == g_shell.tooltip && header->code == TTN_SHOW) {
                PlacePathTooltip();
                return 1;
            }
            return 0;
        }
        case WM_COMMAND:
            Command(window, wParam);
            return 0;
        case WM_DROPFILES:
            Dropped(window, reinterpret_cast<HDROP>(wParam));
            return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace brisel
