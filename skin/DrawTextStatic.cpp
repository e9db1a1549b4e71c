#include "skin/DrawTextStatic.h"

#include "skin/Drawing.h"

void CDrawTextStatic::SetTextColors(COLORREF normal, COLORREF hover) {
    m_crNormal = normal;
    m_crHover = hover;
}

BOOL CDrawTextStatic::HitTest(int x, int y) {
    const RECT rc = GetWindowRect();
    return ::PtInRect(&rc, POINT{x, y});
}

void CDrawTextStatic::UpdateHover(int x, int y) {
    const BOOL hover = HitTest(x, y) ? TRUE : FALSE;
    if (hover != m_bHover) {
        m_bHover = hover;
        Invalidate(TRUE);
    }
}

void CDrawTextStatic::OnPaint() {
    win::PaintDC paint(m_hWnd);
    m_rcClient = GetClientRect();
    if (!m_brFill) m_brFill.reset(::CreateSolidBrush(m_crBk));
    skin::SkinCanvas canvas(paint.get(), m_rcClient, m_brFill.get());
    if (!canvas.ok()) return;
    if (m_pBkImage) skin::DrawImageRect(canvas.Graphics(), m_pBkImage, m_rcClient, m_rcBkImage);
    if (const std::optional<UINT> format = skin::DrawTextFormat(m_nAlignMode)) {
        canvas.Text(m_font.get(), m_bHover ? m_crHover : m_crNormal, GetWindowText(), m_rcClient, *format);
    }
    canvas.Present();
}
