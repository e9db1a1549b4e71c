#include "skin/ImageButton.h"

namespace {
// The focus cue sits this far inside the art, clear of its rounded edge.
constexpr int kFocusCueInset = 3;
}  // namespace

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

void CImageButton::Paint(HDC target, bool focused) {
    m_rcClient = GetClientRect();
    skin::SkinCanvas canvas(target, m_rcClient, m_brFill.get());
    if (!canvas.ok()) return;
    Gdiplus::Graphics& graphics = canvas.Graphics();
    DrawBackground(graphics, m_rcClient);
    skin::DrawWholeImage(graphics, CurrentImage(), m_rcClient);
    if (focused && skin::FocusCuesShown(m_hWnd)) {
        // Inside the clickable area: the rim left out of it is the art's transparent edge.
        const RECT hit = skin::HitRect(m_rcClient, m_nHitLeft, m_nHitTop, m_nHitRight, m_nHitBottom);
        canvas.FocusRect(skin::FocusCueRect(hit, kFocusCueInset));
    }
    canvas.Present();
}

void CImageButton::DrawItem(LPDRAWITEMSTRUCT dis) {
    if (!dis || !HasAllImages()) return;
    // The system button says whether it has the focus: during a focus change it
    // already knows where the focus goes.
    Paint(dis->hDC, (dis->itemState & ODS_FOCUS) != 0);
}

BOOL CImageButton::OnEraseBkgnd(HDC dc) {
    Paint(dc, ::GetFocus() == m_hWnd);
    return TRUE;
}
