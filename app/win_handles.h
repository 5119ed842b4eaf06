// Small owners of Win32 handles: each releases its handle (or puts back what
// it replaced) when it goes out of scope, so that no return path leaks one.
#pragma once

#ifndef UNICODE
#define UNICODE
#endif
#include <windows.h>

#include <utility>

namespace brisel {

// A handle with one release function; movable, not copyable.
template <typename H, auto Release>
class Owned {
public:
    Owned() = default;
    explicit Owned(H handle) : handle_(handle) {}
    Owned(Owned&& other) noexcept : handle_(std::exchange(other.handle_, H{})) {}
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) Reset(std::exchange(other.handle_, H{}));
        return *this;
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    ~Owned() { Reset(); }

    H get() const { return handle_; }
    explicit operator bool() const { return handle_ != H{} && handle_ != INVALID_HANDLE_VALUE; }
    void Reset(H handle = H{}) {
        if (*this) Release(handle_);
        handle_ = handle;
    }

private:
    H handle_{};
};

inline void CloseKernelHandle(HANDLE h) { CloseHandle(h); }
inline void DeleteGdiObject(HGDIOBJ h) { DeleteObject(h); }
inline void DeleteMemoryDc(HDC h) { DeleteDC(h); }
inline void CloseFindHandle(HANDLE h) { FindClose(h); }

using KernelHandle = Owned<HANDLE, CloseKernelHandle>;
using FindHandle = Owned<HANDLE, CloseFindHandle>;
using Font = Owned<HFONT, DeleteGdiObject>;
using Pen = Owned<HPEN, DeleteGdiObject>;
using Brush = Owned<HBRUSH, DeleteGdiObject>;
using Bitmap = Owned<HBITMAP, DeleteGdiObject>;
using MemoryDc = Owned<HDC, DeleteMemoryDc>;

// The device context of a window from GetDC, released to that window.
class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    ~WindowDc() {
        if (dc_) ReleaseDC(window_, dc_);
    }
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// BeginPaint and EndPaint of one WM_PAINT.
class PaintDc {
public:
    explicit PaintDc(HWND window) : window_(window) { dc_ = BeginPaint(window, &paint_); }
    PaintDc(const PaintDc&) = delete;
    PaintDc& operator=(const PaintDc&) = delete;
    ~PaintDc() { EndPaint(window_, &paint_); }
    HDC get() const { return dc_; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

// An object selected into a device context; the one it replaced comes back
// at the end of the scope.
class Selection {
public:
    Selection(HDC dc, HGDIOBJ object) : dc_(dc), old_(object ? SelectObject(dc, object) : nullptr) {}
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;
    ~Selection() {
        if (old_) SelectObject(dc_, old_);
    }

private:
    HDC dc_;
    HGDIOBJ old_;
};

}  // namespace brisel
