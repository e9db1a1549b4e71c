#pragma once
#include <windows.h>
#include <utility>

namespace win {

// A GDI object (font, brush, pen, bitmap, region) deleted on scope exit.
template <class T>
class GdiObject {
public:
    GdiObject() = default;
    explicit GdiObject(T h) : h_(h) {}
    ~GdiObject() { reset(); }
    GdiObject(GdiObject&& o) noexcept : h_(o.release()) {}
    GdiObject& operator=(GdiObject&& o) noexcept {
        if (this != &o) reset(o.release());
        return *this;
    }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;

    T get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }
    T release() { T h = h_; h_ = nullptr; return h; }
    void reset(T h = nullptr) {
        if (h_) ::DeleteObject(h_);
        h_ = h;
    }

private:
    T h_ = nullptr;
};

using Font = GdiObject<HFONT>;
using Brush = GdiObject<HBRUSH>;
using Pen = GdiObject<HPEN>;
using Bitmap = GdiObject<HBITMAP>;

// A 32-bit top-down DIB's header: rows from the top, one DWORD per pixel (BGRA).
inline BITMAPINFO TopDownDibInfo(int width, int height) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    return bi;
}

// A 32-bit top-down DIB section and its pixels (null on failure), such as the
// premultiplied image of a layered window.
inline Bitmap CreateTopDownDib(HDC dc, int width, int height, void** bits) {
    const BITMAPINFO bi = TopDownDibInfo(width, height);
    *bits = nullptr;
    Bitmap dib(::CreateDIBSection(dc, &bi, DIB_RGB_COLORS, bits, nullptr, 0));
    if (!dib) *bits = nullptr;
    return dib;
}

// GetDC/ReleaseDC for a window (or the screen with a null window).
class WindowDC {
public:
    explicit WindowDC(HWND hwnd) : hwnd_(hwnd), dc_(::GetDC(hwnd)) {}
    ~WindowDC() { if (dc_) ::ReleaseDC(hwnd_, dc_); }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HWND hwnd_;
    HDC dc_;
};

// BeginPaint/EndPaint.
class PaintDC {
public:
    explicit PaintDC(HWND hwnd) : hwnd_(hwnd) { dc_ = ::BeginPaint(hwnd, &ps_); }
    ~PaintDC() { ::EndPaint(hwnd_, &ps_); }
    PaintDC(const PaintDC&) = delete;
    PaintDC& operator=(const PaintDC&) = delete;
    HDC get() const { return dc_; }
    const PAINTSTRUCT& paint() const { return ps_; }

private:
    HWND hwnd_;
    PAINTSTRUCT ps_{};
    HDC dc_ = nullptr;
};

// A memory DC deleted on scope exit.
class MemoryDC {
public:
    MemoryDC() = default;
    explicit MemoryDC(HDC compatibleWith) : dc_(::CreateCompatibleDC(compatibleWith)) {}
    ~MemoryDC() { reset(); }
    MemoryDC(MemoryDC&& o) noexcept : dc_(std::exchange(o.dc_, nullptr)) {}
    MemoryDC& operator=(MemoryDC&& o) noexcept {
        if (this != &o) { reset(); dc_ = std::exchange(o.dc_, nullptr); }
        return *this;
    }
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;
    HDC get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }
    void reset() { if (dc_) ::DeleteDC(dc_); dc_ = nullptr; }

private:
    HDC dc_ = nullptr;
};

// Selects an object into a DC and selects the previous one back on scope exit.
class ScopedSelect {
public:
    ScopedSelect(HDC dc, HGDIOBJ obj) : dc_(dc), prev_(dc && obj ? ::SelectObject(dc, obj) : nullptr) {}
    ~ScopedSelect() { if (dc_ && prev_) ::SelectObject(dc_, prev_); }
    ScopedSelect(const ScopedSelect&) = delete;
    ScopedSelect& operator=(const ScopedSelect&) = delete;

private:
    HDC dc_;
    HGDIOBJ prev_;
};

// The one off-screen buffer every skinned window and control paints through: a
// memory DC with a compatible bitmap of the given size selected into it. Present()
// copies it to the target at (0, 0); the bitmap and DC are released on scope exit,
// the previous bitmap selected back first.
class OffscreenBuffer {
public:
    OffscreenBuffer(HDC target, int width, int height)
        : target_(target), width_(width), height_(height),
          dc_(target),
          bitmap_(dc_ && width > 0 && height > 0 ? ::CreateCompatibleBitmap(target, width, height) : nullptr),
          select_(bitmap_ ? dc_.get() : nullptr, bitmap_.get()) {}
    OffscreenBuffer(const OffscreenBuffer&) = delete;
    OffscreenBuffer& operator=(const OffscreenBuffer&) = delete;

    bool ok() const { return dc_ && bitmap_; }
    HDC dc() const { return dc_.get(); }
    int width() const { return width_; }
    int height() const { return height_; }
    void Present() const {
        if (ok()) ::BitBlt(target_, 0, 0, width_, height_, dc_.get(), 0, 0, SRCCOPY);
    }

private:
    HDC target_;
    int width_, height_;
    MemoryDC dc_;
    Bitmap bitmap_;
    ScopedSelect select_;  // declared last: deselects before the bitmap and DC go
};

}  // namespace win
