// Program start: settings, language, the window class and the message loop.
#include "app/main_window.h"

#include <commctrl.h>
#include <objbase.h>

#include "app/command_line_text.h"
#include "app/dpi.h"
#include "app/settings_file.h"

using namespace brisel;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showState) {
    // A copy that runs already receives this start's file (see the dispatch).
    g_shell.otherInstance = FindWindowW(L"Brisel", L"Brisel");
    // A relative path on the command line names a file in the folder the
    // program was started in.
    g_shell.launchFolder = CurrentFolder();
    // The settings file and the help files live beside the program. The
    // folder comes from the running executable itself: a search by name
    // could find another copy on the search path.
    std::wstring folder = ProgramFolder();
    if (!folder.empty()) {
        SetCurrentDirectoryW(folder.c_str());
        // Without its backslash, unless it is a drive's root.
        if (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
        g_shell.startFolder = folder;
    }
    LoadSettings();
    g_shell.app.Viewer = ViewerSettings{};
    g_shell.instance = instance;
    g_shell.commandLine = ArgumentsAfterProgram(GetCommandLineW());
    g_shell.app.language = GetUserDefaultLangID() == 1041 ? Language::Japanese : Language::English;
    ApplyLanguageSwitch(g_shell.commandLine, g_shell.app.language);

    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    WNDCLASSW windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, L"BRISELICON");
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszMenuName = Japanese() ? L"BRISEL" : L"BRISELE";
    windowClass.lpszClassName = L"Brisel";
    if (!RegisterClassW(&windowClass)) return 0;

    // 400 x 198 pixels at 96 DPI, scaled to the screen's DPI; a window that
    // opens on a monitor of another DPI takes that one's size.
    const UINT dpi = SystemDpi();
    HWND window = CreateWindowExW(0, L"Brisel", L"Brisel", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                                  CW_USEDEFAULT, CW_USEDEFAULT, Scale(kMainWidth, dpi), Scale(kMainHeight, dpi),
                                  nullptr, nullptr, instance, nullptr);
    if (window && IsWindow(window) && WindowDpi(window) != dpi) {
        const UINT own = WindowDpi(window);
        SetWindowPos(window, nullptr, 0, 0, Scale(kMainWidth, own), Scale(kMainHeight, own),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (window) {
        ShowWindow(window, showState);
        UpdateWindow(window);
    }
    // A start that did its work while the window was created has closed it
    // again; the loop then only collects the quit message.
    HACCEL accelerators = LoadAcceleratorsW(instance, L"BRACCEL");
    MSG message;
    int code = 0;
    if (!window && !PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE)) return 0;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (g_shell.mainWindow && IsWindow(g_shell.mainWindow) &&
            TranslateAcceleratorW(g_shell.mainWindow, accelerators, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    code = static_cast<int>(message.wParam);
    CoUninitialize();
    return code;
}
