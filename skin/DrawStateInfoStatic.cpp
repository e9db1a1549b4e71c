#include "skin/DrawStateInfoStatic.h"

#include "skin/Drawing.h"

CDrawStateInfoStatic::CDrawStateInfoStatic() : m_brFill(::CreateSolidBrush(RGB(255, 255, 255))) {}

void CDrawStateInfoStatic::SetFontColor(COLORREF colour) {
    m_crText = colour;
    Invalidate(TRUE);
}

void CDrawStateInfoStatic::StartDotAnimation() { SetTimer(kDotTimer, 1000); }

void CDrawStateInfoStatic::StopDotAnimation() {
    KillTimer(kDotTimer);
    m_nDots = 0;
    Invalidate(TRUE);
}

std::wstring CDrawStateInfoStatic::GetDisplayText() const {
    return GetWindowText() + skin::DotSuffix(m_nDots);
}

void CDrawStateInfoStatic::OnPaint() {
    win::PaintDC paint(m_hWnd);
    m_rcClient = GetClientRect();
    skin::SkinCanvas canvas(paint.get(), m_rcClient, m_brFill.get());
    if (!canvas.ok()) return;
    if (m_pBkImage) skin::DrawImageRect(canvas.Graphics(false), m_pBkImage, m_rcClient, m_rcBkImage);
    canvas.Text(m_font.get(), m_crText, GetDisplayText(), m_rcClient, skin::StateInfoTextFormat(m_nAlignMode));
    canvas.Present();
}

void CDrawStateInfoStatic::OnTimer(UINT_PTR id) {
    if (id == kDotTimer) {
        m_nDots = skin::NextDotCount(m_nDots);
        Invalidate(TRUE);
    }
    Default();
}
