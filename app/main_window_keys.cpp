// The keyboard rules of the main window's five controls: Tab, Shift+Tab,
// Enter and the arrow keys move between them or run their command.
#include "app/main_window.h"
#include "resources/ids.h"

namespace brisel {

namespace {

// Where a key leads. kSplitAllOrExit and kSplitRangeOrRef depend on whether
// the split commands are enabled; kOwn leaves the key to the control.
enum Target { kOwn = -1, kSplitAllOrExit = 10, kSplitRangeOrRef = 11 };

struct KeyRule {
    int tab, shiftTab, enterCommand, leftUp, rightDown;
};

const KeyRule kRules[kControlCount] = {
    /* path field */ {kFocusRef, kFocusExit, 0, kOwn, kOwn},
    /* Ref */ {kSplitAllOrExit, kFocusPath, ID_REF, kFocusExit, kSplitAllOrExit},
    /* Split(All) */ {kFocusSplitRange, kFocusRef, ID_SPLIT_ALL, kFocusRef, kFocusSplitRange},
    /* Split(Page) */ {kFocusExit, kFocusSplitAll, ID_SPLIT_RANGE, kFocusSplitAll, kFocusExit},
    /* Exit */ {kFocusPath, kSplitRangeOrRef, ID_EXIT, kSplitRangeOrRef, kFocusRef},
};

int Resolve(int target) {
    bool enabled = IsWindowEnabled(g_shell.controls[kFocusSplitAll]) != FALSE;
    if (target == kSplitAllOrExit) return enabled ? kFocusSplitAll : kFocusExit;
    if (target == kSplitRangeOrRef) return enabled ? kFocusSplitRange : kFocusRef;
    return target;
}

LRESULT CALLBACK ControlKeyProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    int index = 0;
    while (index < kControlCount && g_shell.controls[index] != control) ++index;
    if (index == kControlCount) return DefWindowProcW(control, message, wParam, lParam);
    WNDPROC previous = g_shell.previousProc[index];
    if (message == WM_KEYDOWN) {
        const KeyRule& rule = kRules[index];
        int target = kOwn;
        switch (wParam) {
            case VK_TAB:
                target = GetKeyState(VK_SHIFT) < 0 ? rule.shiftTab : rule.tab;
                break;
            case VK_RETURN:
                if (rule.enterCommand) {
                    SendMessageW(g_shell.mainWindow, WM_COMMAND, static_cast<WPARAM>(rule.enterCommand), 0);
                    return 0;
                }
                break;
            case VK_LEFT:
            case VK_UP:
                target = rule.leftUp;
                break;
            case VK_RIGHT:
            case VK_DOWN:
                target = rule.rightDown;
                break;
        }
        if (target != kOwn) {
            FocusControl(Resolve(target));
            return 0;
        }
    }
    return CallWindowProcW(previous, control, message, wParam, lParam);
}

}  // namespace

void FocusControl(int position) {
    g_shell.focus = position;
    SetFocus(g_shell.controls[position]);
}

void InstallKeyRules() {
    for (int i = 0; i < kControlCount; ++i) {
        g_shell.previousProc[i] = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(g_shell.controls[i], GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ControlKeyProc)));
    }
}

}  // namespace brisel
