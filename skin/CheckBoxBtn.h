#pragma once
#include <windows.h>
#include <gdiplus.h>

#include "win/Controls.h"
#include "win/Gdi.h"

// The agreement check box: a cell of the check-box picture and the caption, drawn
// over white. The check state is the system check box's own (BS_AUTOCHECKBOX).
class CCheckBoxBtn : public CButton {
public:
    CCheckBoxBtn();
    ~CCheckBoxBtn() override;

    // Copies the parent's font for the caption; the owner calls it once before the
    // first paint.
    BOOL CreateFontFromParent();

    // The owner's scale factor, written before the first paint.
    float m_fScale = 1.0f;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;
    void OnPaint() override;
    BOOL OnEraseBkgnd(HDC dc) override;

private:
    Gdiplus::Image* m_pCheckImage = nullptr;
    win::Brush m_brFill;
    RECT m_rcClient{};
    win::Font m_font;
    COLORREF m_crText = RGB(0, 0, 0);
};
