// The keyboard rules of the main window's five controls: Tab, Shift+Tab,
// Enter and the arrow keys move between them or run their command.
#include "app/main_window.h"

#include <commctrl.h>

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

int Resolve(const MainWindow& main, int target) {
    bool enabled = IsWindowEnabled(main.controls[kFocusSplitAll]) != FALSE;
    if (target == kSplitAllOrExit) return enabled ? kFocusSplitAll : kFocusExit;
    if (target == kSplitRangeOrRef) return enabled ? kFocusSplitRange : kFocusRef;
    return target;
}

// The subclass of every control: the id tells which control it is, the
// reference data is the main window's state.
LRESULT CALLBACK ControlKeyProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR index,
                                DWORD_PTR data) {
    auto& main = *reinterpret_cast<MainWindow*>(data);
    if (message == WM_KEYDOWN && index < kControlCount) {
        const KeyRule& rule = kRules[index];
        int target = kOwn;
        switch (wParam) {
            case VK_TAB:
                target = GetKeyState(VK_SHIFT) < 0 ? rule.shiftTab : rule.tab;
                break;
            case VK_RETURN:
                if (rule.enterCommand) {
                    SendMessageW(main.window, WM_COMMAND, static_cast<WPARAM>(rule.enterCommand), 0);
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
            FocusControl(main, Resolve(main, target));
            return 0;
        }
    }
    if (message == WM_NCDESTROY) RemoveWindowSubclass(control, ControlKeyProc, index);
    return DefSubclassProc(control, message, wParam, lParam);
}

}  // namespace

void FocusControl(MainWindow& main, int position) {
    main.focus = position;
    SetFocus(main.controls[position]);
}

void InstallKeyRules(MainWindow& main) {
    for (int i = 0; i < kControlCount; ++i)
        SetWindowSubclass(main.controls[i], ControlKeyProc, static_cast<UINT_PTR>(i), reinterpret_cast<DWORD_PTR>(&main));
}

}  // namespace brisel
