#pragma once
#include <windows.h>
#include <gdiplus.h>

#include "win/Controls.h"
#include "win/Gdi.h"

// What the drawn statics share: the parent's font, an alignment mode and a
// borrowed background. They paint everything in WM_PAINT themselves, so the
// system static never draws its own text over them.
class CSkinStatic : public CStatic {
public:
    // Copies the parent's font; the owner calls it once before the first paint.
    BOOL CreateFontFromParent();
    void SetAlignMode(int mode) { m_nAlignMode = mode; }
    // Borrows the owner's skin as background; never deleted here.
    void SetBkImage(Gdiplus::Image* image) { m_pBkImage = image; }
    void SetBkImageRect(int left, int top, int right, int bottom);

protected:
    CSkinStatic() = default;

    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;
    BOOL OnEraseBkgnd(HDC dc) override;

    RECT m_rcClient{};
    win::Font m_font;
    int m_nAlignMode = 0;
    Gdiplus::Image* m_pBkImage = nullptr;
    RECT m_rcBkImage{};
};
