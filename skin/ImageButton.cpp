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

BOOL CImageButton::IsClickInside() {
    return m_bKeyClick || IsCursorInButton();
}

LRESULT CImageButton::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_LBUTTONUP) m_bKeyClick = false;
    if (msg != WM_KEYUP || wp != VK_SPACE) return CSkinButton::WindowProc(msg, wp, lp);
    // The system button sends BN_CLICKED while it handles the release, and the owner's
    // handler may run a modal loop inside it.
    const bool outer = m_bKeyClick;
    m_bKeyClick = true;
    const LRESULT result = CSkinButton::WindowProc(msg, wp, lp);
    m_bKeyClick = outer;
    return result;
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
