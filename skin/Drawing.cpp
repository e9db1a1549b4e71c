#include "skin/Drawing.h"

#include <algorithm>

#include "win/Dialog.h"

namespace skin {

int NextButtonState(int state, ButtonEvent event, bool enabled, bool pointInside) {
    if (!enabled) return state;
    switch (event) {
    case ButtonEvent::Hover:
    case ButtonEvent::LButtonUp:
        return pointInside ? kStateHover : state;
    case ButtonEvent::LButtonDown:
        return pointInside ? kStatePressed : state;
    case ButtonEvent::Leave:
        return kStateNormal;
    }
    return state;
}

ButtonImage ChooseButtonImage(int state, bool enabled) {
    if (!enabled) return ButtonImage::Disabled;
    switch (state) {
    case kStateHover: return ButtonImage::Hover;
    case kStatePressed: return ButtonImage::Pressed;
    default: return ButtonImage::Normal;
    }
}

RECT HitRect(const RECT& client, int left, int top, int right, int bottom) {
    return RECT{client.left + left, client.top + top, client.right - right, client.bottom - bottom};
}

RECT PngButtonSource(UINT width, UINT height, float scale) {
    const LONG w = static_cast<LONG>(width), h = static_cast<LONG>(height);
    if (scale > 1.0f && w > 1 && h > 1) return RECT{0, 0, w - 1, h - 1};
    return RECT{0, 0, w, h};
}

UINT StateInfoTextFormat(int mode) {
    switch (mode) {
    case 2: return DT_CENTER | DT_VCENTER | DT_SINGLELINE;
    case 3: return DT_RIGHT | DT_VCENTER | DT_SINGLELINE;
    case 4: return DT_VCENTER | DT_WORDBREAK;
    case 5: return DT_CENTER | DT_VCENTER | DT_WORDBREAK;
    case 6: return DT_RIGHT | DT_VCENTER | DT_WORDBREAK;
    default: return DT_VCENTER | DT_SINGLELINE;
    }
}

std::optional<UINT> DrawTextFormat(int mode) {
    switch (mode) {
    case 0: return DT_VCENTER | DT_WORDBREAK;
    case 1: return DT_VCENTER | DT_SINGLELINE;
    case 2: return DT_CENTER | DT_VCENTER | DT_SINGLELINE;
    case 3: return DT_RIGHT | DT_VCENTER | DT_WORDBREAK;
    case 4: return DT_VCENTER | DT_SINGLELINE;
    default: return std::nullopt;
    }
}

int NextDotCount(int dots) { return dots >= 0 && dots < 3 ? dots + 1 : 0; }

std::wstring DotSuffix(int dots) {
    return dots >= 1 && dots <= 3 ? std::wstring(static_cast<size_t>(dots), L'.') : std::wstring();
}

CheckBoxLayout LayoutCheckBox(const RECT& client, float scale) {
    const int side = static_cast<int>(16 * scale);
    const LONG top = (client.bottom - client.top) / 2 - static_cast<int>(8 * scale);
    CheckBoxLayout layout;
    layout.cell = RECT{client.left, top, client.left + side, top + side};
    layout.text = client;
    layout.text.left += static_cast<int>(16 * scale) + 2;
    return layout;
}

RECT CheckCellSource(int checkState) {
    return checkState == BST_CHECKED ? RECT{16, 0, 32, 16} : RECT{0, 0, 16, 16};
}

win::Font CopyFontOf(HWND window) {
    HFONT font = window ? reinterpret_cast<HFONT>(::SendMessageW(window, WM_GETFONT, 0, 0)) : nullptr;
    if (!font) font = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    if (!font) font = static_cast<HFONT>(::GetStockObject(ANSI_VAR_FONT));
    LOGFONTW lf{};
    if (!font || !::GetObjectW(font, sizeof(lf), &lf)) return win::Font();
    return win::Font(::CreateFontIndirectW(&lf));
}

bool FocusCuesShown(HWND control) { return control && DialogShowsFocusCues(::GetParent(control)); }

bool ShowsFocusCue(HWND control) { return control && ::GetFocus() == control && FocusCuesShown(control); }

RECT FocusCueRect(const RECT& r, int inset) {
    const LONG w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0) return RECT{0, 0, 0, 0};
    // At least one pixel of the control inside the cue on each axis.
    const LONG dx = std::max<LONG>(0, std::min<LONG>(inset, (w - 1) / 2));
    const LONG dy = std::max<LONG>(0, std::min<LONG>(inset, (h - 1) / 2));
    return RECT{r.left + dx, r.top + dy, r.right - dx, r.bottom - dy};
}

bool DrawImageRect(Gdiplus::Graphics& graphics, Gdiplus::Image* image, const RECT& dst, const RECT& src) {
    if (!image) return false;
    const Gdiplus::Rect target(dst.left, dst.top, dst.right - dst.left, dst.bottom - dst.top);
    return graphics.DrawImage(image, target, src.left, src.top, src.right - src.left, src.bottom - src.top,
                              Gdiplus::UnitPixel) == Gdiplus::Ok;
}

bool DrawWholeImage(Gdiplus::Graphics& graphics, Gdiplus::Image* image, const RECT& dst) {
    if (!image) return false;
    const RECT src{0, 0, static_cast<LONG>(image->GetWidth()), static_cast<LONG>(image->GetHeight())};
    return DrawImageRect(graphics, image, dst, src);
}

SkinCanvas::SkinCanvas(HDC target, const RECT& client, HBRUSH fill)
    : client_(client), buffer_(target, client.right, client.bottom) {
    if (!ok()) return;
    if (fill) ::FillRect(dc(), &client_, fill);
    ::SetBkMode(dc(), TRANSPARENT);
}

Gdiplus::Graphics& SkinCanvas::Graphics(bool smooth) {
    if (!graphics_) {
        graphics_.emplace(dc());
        if (smooth) graphics_->SetSmoothingMode(Gdiplus::SmoothingModeHighQuality);
    }
    return *graphics_;
}

void SkinCanvas::EndGraphics() {
    if (!graphics_) return;
    graphics_->Flush(Gdiplus::FlushIntentionSync);
    graphics_.reset();
}

void SkinCanvas::Text(HFONT font, COLORREF colour, const std::wstring& text, RECT rect, UINT format) {
    if (!ok()) return;
    EndGraphics();
    win::ScopedSelect select(dc(), font);
    ::SetTextColor(dc(), colour);
    ::DrawTextW(dc(), text.c_str(), static_cast<int>(text.size()), &rect, format);
}

void SkinCanvas::FocusRect(const RECT& rect) {
    if (!ok() || rect.right <= rect.left || rect.bottom <= rect.top) return;
    EndGraphics();
    ::DrawFocusRect(dc(), &rect);
}

void SkinCanvas::Present() {
    EndGraphics();
    buffer_.Present();
}

}  // namespace skin
