// The window procedure of the main window.
#include "app/main_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include <vector>

#include "app/command_line.h"
#include "app/dialogs.h"
#include "app/dpi.h"
#include "app/settings_file.h"
#include "app/win_handles.h"
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

// Where a control goes at the window's DPI.
RECT ControlRect(const ControlSpec& c, UINT dpi) {
    bool japanese = Japanese();
    int x = japanese ? c.jx : c.x, w = japanese ? c.jw : c.w;
    return Scale(RECT{x, c.y, x + w, c.y + c.h}, dpi);
}

void CreateControls(HWND window) {
    const UINT dpi = WindowDpi(window);
    for (int i = 0; i < kControlCount; ++i) {
        const ControlSpec& c = kControls[i];
        RECT r = ControlRect(c, dpi);
        g_shell.controls[i] = CreateWindowExW(0, c.className, Japanese() ? c.japanese : c.english,
                                              WS_CHILD | WS_VISIBLE | c.style, r.left, r.top, r.right - r.left,
                                              r.bottom - r.top, window,
                                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)),
                                              g_shell.instance, nullptr);
    }
}

// After a move to a monitor of another DPI: the suggested outer rectangle,
// the controls at their scaled places, fonts of the new size.
void DpiChanged(HWND window, UINT dpi, const RECT& suggested) {
    SetWindowPos(window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    for (int i = 0; i < kControlCount; ++i) {
        RECT r = ControlRect(kControls[i], dpi);
        MoveWindow(g_shell.controls[i], r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
    }
    UpdatePathTooltip();
    InvalidateRect(window, nullptr, TRUE);
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

const wchar_t kLabelFace[] = L"ＭＳ ゴシック";

int CALLBACK FoundFace(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

// Whether the label font is installed and has a glyph for every character
// of the text: without it the font mapper may pick a face that draws the
// Latin letters of the English texts as empty boxes.
bool LabelFaceDraws(HDC dc, HFONT font, const std::wstring& text) {
    LOGFONTW query = {};
    query.lfCharSet = SHIFTJIS_CHARSET;
    lstrcpynW(query.lfFaceName, kLabelFace, LF_FACESIZE);
    bool installed = false;
    EnumFontFamiliesExW(dc, &query, FoundFace, reinterpret_cast<LPARAM>(&installed), 0);
    if (!installed) return false;
    Selection selected(dc, font);
    std::vector<WORD> glyphs(text.size());
    if (GetGlyphIndicesW(dc, text.c_str(), static_cast<int>(text.size()), glyphs.data(),
                         GGI_MARK_NONEXISTING_GLYPHS) == GDI_ERROR)
        return false;
    for (WORD glyph : glyphs)
        if (glyph == 0xFFFF) return false;
    return true;
}

// The painted texts of the interface language: the label, then the hint
// lines with their places at 96 DPI.
struct PaintedText {
    const wchar_t* text;
    int x, y;
};

std::vector<PaintedText> HintLines() {
    if (Japanese())
        return {{L"※このウィンドウにＰＤＦファイルをドラッグしても", 30, 66}, {L"　ファイル名入力が可能です", 30, 82}};
    return {{L"*You Can Drag a PDF File into This Window", 30, 70}};
}

const wchar_t* LabelText() { return Pick(L"PDF File Name:", L"ＰＤＦファイル名："); }

// The label font at a height in pixels, or the dialog font at that height
// when the label font cannot draw the text.
Font LabelFont(HDC dc, int height, const std::wstring& text) {
    Font font(CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                          CLIP_DEFAULT_PRECIS, PROOF_QUALITY, FIXED_PITCH | FF_MODERN, kLabelFace));
    if (font && LabelFaceDraws(dc, font.get(), text)) return font;
    return Font(CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                            CLIP_DEFAULT_PRECIS, PROOF_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"MS Shell Dlg 2"));
}

// The two painted fonts, made once for the DPI the window is painted at.
struct LabelFonts {
    UINT dpi = 0;
    Font large, small;
};
LabelFonts g_labelFonts;

const LabelFonts& FontsFor(HDC dc, UINT dpi) {
    if (g_labelFonts.dpi != dpi) {
        std::wstring hint;
        for (const PaintedText& line : HintLines()) hint += line.text;
        g_labelFonts.large = LabelFont(dc, Scale(16, dpi), LabelText());
        g_labelFonts.small = LabelFont(dc, Scale(12, dpi), hint);
        g_labelFonts.dpi = dpi;
    }
    return g_labelFonts;
}

void Paint(HWND window) {
    PaintDc paint(window);
    HDC dc = paint.get();
    const UINT dpi = WindowDpi(window);
    const LabelFonts& fonts = FontsFor(dc, dpi);
    SetBkMode(dc, TRANSPARENT);
    {
        Selection large(dc, fonts.large.get());
        const wchar_t* label = LabelText();
        TextOutW(dc, Scale(15, dpi), Scale(9, dpi), label, lstrlenW(label));
    }
    Selection small(dc, fonts.small.get());
    for (const PaintedText& line : HintLines())
        TextOutW(dc, Scale(line.x, dpi), Scale(line.y, dpi), line.text, lstrlenW(line.text));
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
    if (g_shell.startFolder.empty()) g_shell.startFolder = CurrentFolder();
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
        case WM_DPICHANGED:
            DpiChanged(window, LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return 0;
        case WM_CLOSE:
            // During a job the window closes once the job has stopped after
            // the page files in flight.
            if (JobRunning()) {
                g_shell.closeAfterJob = true;
                StopRunningJob(0);
                return 0;
            }
            DestroyWindow(window);
            return 0;
        case WM_QUERYENDSESSION:
            return TRUE;
        case WM_ENDSESSION:
            // The process may end as soon as this returns: the job stops
            // first, within the time Windows allows.
            if (wParam) StopRunningJob(4500);
            return 0;
        case WM_DESTROY:
            g_shell.app.PageCountCachePath.clear();
            g_shell.app.PageCountCachePath.shrink_to_fit();
            SaveSettings(window);
            g_labelFonts = LabelFonts{};
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
