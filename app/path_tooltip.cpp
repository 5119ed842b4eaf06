// The tooltip that shows the whole path when it is wider than the path field.
#include "app/main_window.h"

#include <commctrl.h>

#include "app/dpi.h"
#include "app/win_handles.h"

namespace brisel {

namespace {

TTTOOLINFOW ToolInfo(MainWindow& main) {
    TTTOOLINFOW tool = {};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = main.window;
    tool.uId = reinterpret_cast<UINT_PTR>(main.controls[kFocusPath]);
    tool.hinst = g_shell.instance;
    tool.lpszText = const_cast<wchar_t*>(main.tooltipText.c_str());
    return tool;
}

}  // namespace

void CreatePathTooltip(MainWindow& main) {
    main.tooltip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, main.window, nullptr,
                                      g_shell.instance, nullptr);
    if (!main.tooltip) return;
    main.tooltipText.clear();
    TTTOOLINFOW tool = ToolInfo(main);
    SendMessageW(main.tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    SendMessageW(main.tooltip, TTM_SETDELAYTIME, TTDT_AUTOPOP, 10000);
}

void UpdatePathTooltip(MainWindow& main) {
    HWND field = main.controls[kFocusPath];
    std::wstring path = WindowText(field);
    SIZE size = {};
    {
        WindowDc dc(field);
        Selection font(dc.get(), reinterpret_cast<HGDIOBJ>(SendMessageW(field, WM_GETFONT, 0, 0)));
        GetTextExtentPoint32W(dc.get(), path.c_str(), static_cast<int>(path.size()), &size);
    }
    RECT client;
    GetClientRect(field, &client);
    main.tooltipText = client.right < size.cx + Scale(5, WindowDpi(field)) ? path : std::wstring();
    if (!main.tooltip) return;
    TTTOOLINFOW tool = ToolInfo(main);
    SendMessageW(main.tooltip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void PlacePathTooltip(MainWindow& main) {
    RECT rect;
    GetWindowRect(main.controls[kFocusPath], &rect);
    SendMessageW(main.tooltip, TTM_ADJUSTRECT, TRUE, reinterpret_cast<LPARAM>(&rect));
    const UINT dpi = WindowDpi(main.window);
    int x = rect.left + Scale(4, dpi);
    // A tip wider than the room right of the field would run off the
    // screen and lose the end of the path, the part that names the file.
    RECT tip;
    GetWindowRect(main.tooltip, &tip);
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    if (GetMonitorInfoW(MonitorFromWindow(main.window, MONITOR_DEFAULTTONEAREST), &monitor)) {
        LONG width = tip.right - tip.left;
        if (x + width > monitor.rcMonitor.right) x = monitor.rcMonitor.right - width;
        if (x < monitor.rcMonitor.left) x = monitor.rcMonitor.left;
    }
    SetWindowPos(main.tooltip, nullptr, x, rect.top - Scale(18, dpi), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace brisel
