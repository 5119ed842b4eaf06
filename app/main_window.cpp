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

}  // namespace

MainWindow& MainOf(HWND window) { return *reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA)); }

namespace {

HWND PathField(const MainWindow& main) { return main.controls[kFocusPath]; }

// The message font of the system at a DPI: the font every control of the
// main window takes, so that buttons grow with the menu at any scale.
Font MessageFont(UINT dpi) {
    using ForDpi = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
    static const auto forDpi = reinterpret_cast<ForDpi>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "SystemParametersInfoForDpi")));
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof metrics;
    if (forDpi && forDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi))
        return Font(CreateFontIndirectW(&metrics.lfMessageFont));
    // Without it the system's metrics are those of the system DPI.
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return Font();
    LOGFONTW font = metrics.lfMessageFont;
    font.lfHeight = MulDiv(font.lfHeight, static_cast<int>(dpi), static_cast<int>(SystemDpi()));
    return Font(CreateFontIndirectW(&font));
}

void ApplyControlFont(MainWindow& main, UINT dpi) {
    Font font = MessageFont(dpi);
    if (!font) return;
    for (HWND control : main.controls) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
    // The old font is deleted only once no control uses it.
    main.font = std::move(font);
}

// Where a control goes at the window's DPI.
RECT ControlRect(const ControlSpec& c, UINT dpi) {
    bool japanese = Japanese();
    int x = japanese ? c.jx : c.x, w = japanese ? c.jw : c.w;
    return Scale(RECT{x, c.y, x + w, c.y + c.h}, dpi);
}

void CreateControls(MainWindow& main) {
    HWND window = main.window;
    const UINT dpi = WindowDpi(window);
    for (int i = 0; i < kControlCount; ++i) {
        const ControlSpec& c = kControls[i];
        RECT r = ControlRect(c, dpi);
        main.controls[i] = CreateWindowExW(0, c.className, Japanese() ? c.japanese : c.english,
                                              WS_CHILD | WS_VISIBLE | c.style, r.left, r.top, r.right - r.left,
                                              r.bottom - r.top, window,
                                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)),
                                              g_shell.instance, nullptr);
    }
    ApplyControlFont(main, dpi);
}

// After a move to a monitor of another DPI: the suggested outer rectangle,
// the controls at their scaled places, fonts of the new size.
void DpiChanged(MainWindow& main, UINT dpi, const RECT& suggested) {
    HWND window = main.window;
    SetWindowPos(window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    for (int i = 0; i < kControlCount; ++i) {
        RECT r = ControlRect(kControls[i], dpi);
        MoveWindow(main.controls[i], r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
    }
    ApplyControlFont(main, dpi);
    UpdatePathTooltip(main);
    InvalidateRect(window, nullptr, TRUE);
}

// The split buttons and menu items are usable together or not at all.
void EnableSplitCommands(MainWindow& main, bool enable) {
    HWND window = main.window;
    EnableWindow(main.controls[kFocusSplitAll], enable);
    EnableWindow(main.controls[kFocusSplitRange], enable);
    HMENU menu = GetMenu(window);
    UINT state = MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED);
    EnableMenuItem(menu, ID_SPLIT_ALL, state);
    EnableMenuItem(menu, ID_SPLIT_RANGE, state);
    EnableMenuItem(menu, ID_SPLIT_PARTS, state);
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
const LabelFonts& FontsFor(MainWindow& main, HDC dc, UINT dpi) {
    LabelFonts& fonts = main.labelFonts;
    if (fonts.dpi != dpi) {
        std::wstring hint;
        for (const PaintedText& line : HintLines()) hint += line.text;
        fonts.large = LabelFont(dc, Scale(16, dpi), LabelText());
        fonts.small = LabelFont(dc, Scale(12, dpi), hint);
        fonts.dpi = dpi;
    }
    return fonts;
}

void Paint(MainWindow& main) {
    PaintDc paint(main.window);
    HDC dc = paint.get();
    const UINT dpi = WindowDpi(main.window);
    const LabelFonts& fonts = FontsFor(main, dc, dpi);
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

// The about box's text, with the version the build gives.
constexpr wchar_t kAboutText[] = L"Brisel Ver " BRISEL_VERSION;

void ShowAbout(HWND window) {
    MSGBOXPARAMSW box = {};
    box.cbSize = sizeof box;
    box.hwndOwner = window;
    box.hInstance = g_shell.instance;
    box.lpszText = kAboutText;
    box.lpszCaption = L"Brisel";
    box.dwStyle = MB_OK | MB_USERICON | MB_SETFOREGROUND;
    box.lpszIcon = L"BRISELICON";
    MessageBoxIndirectW(&box);
}

// The files a command works on: the queue while the path field shows it,
// else the path typed.
std::vector<std::wstring> CommandFiles(const MainWindow& main) {
    std::wstring text = WindowText(PathField(main));
    if (!main.queue.empty() && text == main.queueText) return main.queue;
    return {text};
}

void SplitCommand(MainWindow& main, SplitKind kind) {
    HWND window = main.window;
    if (kind != SplitKind::Parts) main.focus = kind == SplitKind::All ? kFocusSplitAll : kFocusSplitRange;
    SplitOrder order;
    order.kind = kind;
    order.files = CommandFiles(main);
    if (!EndsInPdf(order.files[0], 5)) return;
    g_shell.inputPath = order.files[0];
    g_shell.app.RememberedPassword = false;
    if (kind == SplitKind::Range &&
        RunPageRangeDialog(window, order.files[0], order.firstPage, order.lastPage) != IDOK)
        return;
    if (kind == SplitKind::Parts && RunPartsDialog(window, order.files[0], order.parts) != IDOK) return;
    RunOutcome outcome = RunProgressWindow(window, order);
    if (main.closeAfterJob) {
        // The window was closed during the job: it closes now, without a box.
        main.closeAfterJob = false;
        PostMessageW(window, WM_CLOSE, 0, 0);
        return;
    }
    ShowRunOutcome(window, order, outcome);
}

// Files taken together: the path field shows the first and how many more.
void TakeFiles(MainWindow& main, const std::vector<std::wstring>& files) {
    if (files.size() == 1) {
        TakePath(main, files[0]);
        return;
    }
    wchar_t more[64];
    wsprintfW(more, Pick(L" (+ %d more)", L" （他 %d 件）"), static_cast<int>(files.size() - 1));
    main.queue = files;
    main.queueText = files[0] + more;
    SetWindowTextW(PathField(main), main.queueText.c_str());
    // A long first path would hide how many more there are: the field
    // shows the end of its text.
    const auto end = static_cast<WPARAM>(main.queueText.size());
    SendMessageW(PathField(main), EM_SETSEL, end, static_cast<LPARAM>(end));
    SendMessageW(PathField(main), EM_SCROLLCARET, 0, 0);
    UpdatePathTooltip(main);
    FocusControl(main, kFocusSplitAll);
}

void PathChanged(MainWindow& main) {
    main.focus = kFocusPath;
    std::wstring path = WindowText(PathField(main));
    if (!main.queue.empty()) {
        if (path == main.queueText) path = main.queue[0];
        else main.queue.clear(), main.queueText.clear();
    }
    UpdatePathTooltip(main);
    EnableSplitCommands(main, EndsInPdf(path, 5) && OpensForReading(path));
}

// Chosen or dropped files: those that end in .pdf and open are taken; a
// single file that does not open is reported as before.
void TakeChosen(MainWindow& main, const std::vector<std::wstring>& names) {
    std::vector<std::wstring> files;
    for (const std::wstring& name : names)
        if (EndsInPdf(name, 5) && OpensForReading(name)) files.push_back(name);
    if (!files.empty()) TakeFiles(main, files);
    else ShowFileNotFound(main.window, names[0]);
}

void Command(MainWindow& main, WPARAM wParam) {
    HWND window = main.window;
    switch (LOWORD(wParam)) {
        case ID_EXIT:
            SendMessageW(window, WM_CLOSE, 0, 0);
            break;
        case ID_REF: {
            main.focus = kFocusRef;
            std::vector<std::wstring> files;
            if (ChooseInputFiles(window, files)) {
                g_shell.inputPath = files[0];
                TakeChosen(main, files);
            }
            break;
        }
        case ID_SPLIT_ALL:
            SplitCommand(main, SplitKind::All);
            break;
        case ID_SPLIT_RANGE:
            SplitCommand(main, SplitKind::Range);
            break;
        case ID_SPLIT_PARTS:
            SplitCommand(main, SplitKind::Parts);
            break;
        case ID_HELP:
            OpenHelp(window);
            break;
        case ID_ABOUT:
            ShowAbout(window);
            break;
        case ID_PATH:
            if (HIWORD(wParam) == EN_CHANGE) PathChanged(main);
            else if (HIWORD(wParam) == EN_SETFOCUS) SendMessageW(PathField(main), EM_SETSEL, 0, -1);
            break;
        case ID_SETTING:
            RunSettingsDialog(window);
            break;
    }
}

void Dropped(MainWindow& main, HDROP drop) {
    HWND window = main.window;
    UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    std::vector<std::wstring> pdfs;
    for (UINT i = 0; i < count; ++i) {
        UINT length = DragQueryFileW(drop, i, nullptr, 0);
        std::wstring name(length + 1, L'\0');
        DragQueryFileW(drop, i, name.data(), length + 1);
        name.resize(length);
        // Other files dropped with PDF files are left out.
        if (EndsInPdf(name, 5)) pdfs.push_back(name);
    }
    DragFinish(drop);
    if (pdfs.empty())
        ShowBox(window, Pick(L"Not PDF File", L"ドラッグされたファイルはＰＤＦファイルではありません"),
                MB_ICONERROR);
    else
        TakeChosen(main, pdfs);
}

// Returns true when the command line's work is done and the window closed.
bool Create(MainWindow& main) {
    HWND window = main.window;
    g_shell.mainWindow = window;
    if (g_shell.startFolder.empty()) g_shell.startFolder = CurrentFolder();
    CreateControls(main);
    InstallKeyRules(main);
    if (DispatchCommandLine(window)) {
        SendMessageW(window, WM_CLOSE, 0, 0);
        return true;
    }
    DragAcceptFiles(window, TRUE);
    bool hasPath = GetWindowTextLengthW(PathField(main)) > 0;
    EnableSplitCommands(main, hasPath);
    FocusControl(main, hasPath ? kFocusSplitAll : kFocusExit);
    ApplyStoredPosition(window);
    CreatePathTooltip(main);
    if (hasPath)
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(ID_PATH, EN_CHANGE), reinterpret_cast<LPARAM>(PathField(main)));
    return false;
}

}  // namespace

void TakePath(MainWindow& main, const std::wstring& path) {
    main.queue.clear();
    main.queueText.clear();
    SetWindowTextW(PathField(main), path.c_str());
    UpdatePathTooltip(main);
    FocusControl(main, kFocusSplitAll);
}

void ShowFileNotFound(HWND owner, const std::wstring& path) {
    ShowBox(owner, Widen(TrFormat(g_shell.app.language, Text::FileNotFound, Utf8(path))), MB_ICONERROR);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* state = new MainWindow;
        state->window = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
    }
    auto* state = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!state) return DefWindowProcW(window, message, wParam, lParam);
    MainWindow& main = *state;
    switch (message) {
        case WM_CREATE:
            Create(main);
            return 0;
        case WM_ACTIVATE:
            if (LOWORD(wParam) != WA_INACTIVE && main.controls[main.focus]) SetFocus(main.controls[main.focus]);
            return 0;
        case WM_PAINT:
            Paint(main);
            return 0;
        case WM_DPICHANGED:
            DpiChanged(main, LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return 0;
        case WM_CLOSE:
            // During a job the window closes once the job has stopped after
            // the page files in flight.
            if (JobRunning()) {
                main.closeAfterJob = true;
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
            PostQuitMessage(0);
            return 0;
        case WM_NCDESTROY:
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            if (g_shell.mainWindow == window) g_shell.mainWindow = nullptr;
            delete state;
            return DefWindowProcW(window, message, wParam, lParam);
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->hwndFrom == main.tooltip && header->code == TTN_SHOW) {
                PlacePathTooltip(main);
                return 1;
            }
            return 0;
        }
        case WM_COMMAND:
            Command(main, wParam);
            return 0;
        case WM_DROPFILES:
            Dropped(main, reinterpret_cast<HDROP>(wParam));
            return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace brisel
