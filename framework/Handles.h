// Owners of window-system handles: each closes its handle the one right way
// when it goes. Wrappers that only refer to a window (Window, Control) never
// own it; these do.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <utility>

// A handle with one release function, movable, not copyable.
template <class H, auto Release>
class UniqueGuiHandle {
public:
    UniqueGuiHandle() = default;
    explicit UniqueGuiHandle(H h) : h_(h) {}
    ~UniqueGuiHandle() { reset(); }
    UniqueGuiHandle(const UniqueGuiHandle&) = delete;
    UniqueGuiHandle& operator=(const UniqueGuiHandle&) = delete;
    UniqueGuiHandle(UniqueGuiHandle&& o) noexcept : h_(std::exchange(o.h_, nullptr)) {}
    UniqueGuiHandle& operator=(UniqueGuiHandle&& o) noexcept {
        if (this != &o) reset(std::exchange(o.h_, nullptr));
        return *this;
    }

    H get() const { return h_; }
    operator H() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }
    void reset(H h = nullptr) {
        if (h_ && h_ != h) Release(h_);
        h_ = h;
    }
    H release() { return std::exchange(h_, nullptr); }

private:
    H h_ = nullptr;
};

namespace handle_detail {
inline void deleteGdiObject(HGDIOBJ h) { DeleteObject(h); }
inline void destroyIcon(HICON h) { DestroyIcon(h); }
inline void destroyImageList(HIMAGELIST h) { ImageList_Destroy(h); }
inline void destroyMenu(HMENU h) { DestroyMenu(h); }
inline void destroyWindow(HWND h) { DestroyWindow(h); }
inline void deleteDC(HDC h) { DeleteDC(h); }
}  // namespace handle_detail

using FontHandle = UniqueGuiHandle<HFONT, handle_detail::deleteGdiObject>;
using BrushHandle = UniqueGuiHandle<HBRUSH, handle_detail::deleteGdiObject>;
using PenHandle = UniqueGuiHandle<HPEN, handle_detail::deleteGdiObject>;
using BitmapHandle = UniqueGuiHandle<HBITMAP, handle_detail::deleteGdiObject>;
using IconHandle = UniqueGuiHandle<HICON, handle_detail::destroyIcon>;
using ImageListHandle = UniqueGuiHandle<HIMAGELIST, handle_detail::destroyImageList>;
using MenuHandle = UniqueGuiHandle<HMENU, handle_detail::destroyMenu>;
using WindowHandle = UniqueGuiHandle<HWND, handle_detail::destroyWindow>;
// A memory device context (CreateCompatibleDC).
using MemoryDC = UniqueGuiHandle<HDC, handle_detail::deleteDC>;

// A window's device context for the length of a scope (GetDC/ReleaseDC).
class WindowDC {
public:
    explicit WindowDC(HWND hwnd) : hwnd_(hwnd), dc_(GetDC(hwnd)) {}
    ~WindowDC() {
        if (dc_) ReleaseDC(hwnd_, dc_);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC get() const { return dc_; }
    operator HDC() const { return dc_; }

private:
    HWND hwnd_;
    HDC dc_;
};

// WM_PAINT's BeginPaint/EndPaint.
class PaintDC {
public:
    explicit PaintDC(HWND hwnd) : hwnd_(hwnd) { dc_ = BeginPaint(hwnd, &ps_); }
    ~PaintDC() { EndPaint(hwnd_, &ps_); }
    PaintDC(const PaintDC&) = delete;
    PaintDC& operator=(const PaintDC&) = delete;
    operator HDC() const { return dc_; }
    const RECT& dirty() const { return ps_.rcPaint; }

private:
    HWND hwnd_;
    PAINTSTRUCT ps_;
    HDC dc_;
};

// An object selected into a device context until the scope ends.
class SelectIn {
public:
    SelectIn(HDC dc, HGDIOBJ obj) : dc_(dc), old_(obj ? SelectObject(dc, obj) : nullptr) {}
    ~SelectIn() {
        if (old_) SelectObject(dc_, old_);
    }
    SelectIn(const SelectIn&) = delete;
    SelectIn& operator=(const SelectIn&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};
