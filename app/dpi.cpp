#include "app/dpi.h"

#include "app/win_handles.h"

namespace brisel {

namespace {

// Looked up at run time, so that a system without them scales nothing
// rather than refusing to start.
template <typename F>
F UserFunction(const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

}  // namespace

UINT WindowDpi(HWND window) {
    static const auto forWindow = UserFunction<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
    UINT dpi = forWindow && window ? forWindow(window) : 0;
    return dpi ? dpi : SystemDpi();
}

UINT SystemDpi() {
    static const auto forSystem = UserFunction<UINT(WINAPI*)()>("GetDpiForSystem");
    UINT dpi = forSystem ? forSystem() : 0;
    if (!dpi) {
        WindowDc screen(nullptr);
        dpi = static_cast<UINT>(GetDeviceCaps(screen.get(), LOGPIXELSY));
    }
    return dpi ? dpi : kBaseDpi;
}

}  // namespace brisel
