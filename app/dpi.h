// Scaling of the sizes the program gives in pixels at 96 DPI to the DPI of
// the monitor a window is on (the program is per-monitor DPI aware).
#pragma once

#include "app/shell.h"

namespace brisel {

constexpr UINT kBaseDpi = 96;
// The main window's outer size at 96 DPI.
constexpr int kMainWidth = 400, kMainHeight = 198;

// The DPI of the window's monitor; 96 where the system cannot tell.
UINT WindowDpi(HWND window);
// The DPI of the primary monitor, for a window not yet created.
UINT SystemDpi();

// A length in pixels at 96 DPI, at the given DPI.
inline int Scale(int pixels, UINT dpi) { return MulDiv(pixels, static_cast<int>(dpi), kBaseDpi); }
inline RECT Scale(const RECT& r, UINT dpi) {
    return {Scale(r.left, dpi), Scale(r.top, dpi), Scale(r.right, dpi), Scale(r.bottom, dpi)};
}

}  // namespace brisel
