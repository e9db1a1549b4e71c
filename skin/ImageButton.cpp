#include "skin/ImageButton.h"

void CImageButton::SetHitMargins(int left, int top, int right, int bottom) {
    m_nHitLeft = left;
    m_nHitTop = top;
    m_nHitRight = right;
    m_nHitBottom = bottom;
}

BOOL CImageButton::IsCursorInButton() {
    const RECT hit = skin::HitRect(GetClientRect(), m_nHitLeft, m_nHitTop, m_nHitRight, m_nHitBottom);
    POINT pt{};
    if (!::GetCursorPos(&pt) || !::ScreenToClient(m_hWnd, &pt)) return FALSE;
    return ::PtInRect(&hit, pt);
}

void CImageButton::Paint(HDC target) {
    m_rcClient = GetClientRect();
    skin::SkinCanvas canvas(target, m_rcClient, m_brFill.get());
    if (!canvas.ok()) return;
    Gdiplus::Graphics& graphics = canvas.Graphics();
    DrawBackground(graphics, m_rcClient);
    skin::DrawWholeImage(graphics, CurrentImage(), m_rcClient);
    canvas.Present();
}

void CImageButton::DrawItem(LPDRAWITEMSTRUCT dis) {
    if (!dis || !HasAllImages()) return;
    Paint(dis->hDC);
}

BOOL CImageButton::OnEraseBkgnd(HDC dc) {
    Paint(dc);
    return TRUE;
}
