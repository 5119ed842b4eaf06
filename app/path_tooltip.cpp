// The tooltip that shows the whole path when it is wider than the path field.
#include "app/main_window.h"

#include <commctrl.h>

#include "app/dpi.h"
#include "app/win_handles.h"

namespace brisel {

namespace {

TTTOOLINFOW ToolInfo() {
    TTTOOLINFOW tool = {};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = g_shell.mainWindow;
    tool.uId = reinterpret_cast<UINT_PTR>(g_shell.controls[kFocusPath]);
    tool.hinst = g_shell.instance;
    tool.lpszText = const_cast<wchar_t*>(g_shell.tooltipText.c_str());
    return tool;
}

}  // namespace

void CreatePathTooltip(HWND window) {
    g_shell.tooltip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr,
                                      g_shell.instance, nullptr);
    if (!g_shell.tooltip) return;
    g_shell.tooltipText.clear();
    TTTOOLINFOW tool = ToolInfo();
    SendMessageW(g_shell.tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    SendMessageW(g_shell.tooltip, TTM_SETDELAYTIME, TTDT_AUTOPOP, 10000);
}

void UpdatePathTooltip() {
    HWND field = g_shell.controls[kFocusPath];
    std::wstring path = WindowText(field);
    SIZE size = {};
    {
        WindowDc dc(field);
        Selection font(dc.get(), reinterpret_cast<HGDIOBJ>(SendMessageW(field, WM_GETFONT, 0, 0)));
        GetTextExtentPoint32W(dc.get(), path.c_str(), static_cast<int>(path.size()), &size);
    }
    RECT client;
    GetClientRect(field, &client);
    g_shell.tooltipText = client.right < size.cx + Scale(5, WindowDpi(field)) ? path : std::wstring();
    if (!g_shell.tooltip) return;
    TTTOOLINFOW tool = ToolInfo();
    SendMessageW(g_shell.tooltip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void PlacePathTooltip() {
    RECT rect;
    GetWindowRect(g_shell.controls[kFocusPath], &rect);
    SendMessageW(g_shell.tooltip, TTM_ADJUSTRECT, TRUE, reinterpret_cast<LPARAM>(&rect));
    const UINT dpi = WindowDpi(g_shell.mainWindow);
    int x = rect.left + Scale(4, dpi);
    // A tip wider than the room right of the field would run off the
    // screen and lose the end of the path, the part that names the file.
    RECT tip;
    GetWindowRect(g_shell.tooltip, &tip);
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    if (GetMonitorInfoW(MonitorFromWindow(g_shell.mainWindow, MONITOR_DEFAULTTONEAREST), &monitor)) {
        LONG width = tip.right - tip.left;
        if (x + width > monitor.rcMonitor.right) x = monitor.rcMonitor.right - width;
        if (x < monitor.rcMonitor.left) x = monitor.rcMonitor.left;
    }
    SetWindowPos(g_shell.tooltip, nullptr, x, rect.top - Scale(18, dpi), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace brisel
