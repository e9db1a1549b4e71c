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
    if (skin::ShowsFocusCue(m_hWnd)) canvas.FocusRect(m_rcClient);
    canvas.Present();
}

LRESULT CDrawTextStatic::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_UPDATEUISTATE: {
        if (msg == WM_KILLFOCUS) m_bSpaceDown = false;
        const LRESULT result = CSkinStatic::WindowProc(msg, wp, lp);
        Invalidate(FALSE);
        return result;
    }
    case WM_KEYDOWN:
        // The first press only; a held key repeats its key-down.
        if (wp == VK_SPACE && !(lp & (1 << 30))) m_bSpaceDown = true;
        break;
    case WM_KEYUP:
        if (wp == VK_SPACE && m_bSpaceDown) {
            m_bSpaceDown = false;
            const int id = ::GetDlgCtrlID(m_hWnd);
            ::SendMessageW(GetParent(), WM_COMMAND, MAKEWPARAM(id, STN_CLICKED), reinterpret_cast<LPARAM>(m_hWnd));
            return 0;
        }
        break;
    default:
        break;
    }
    return CSkinStatic::WindowProc(msg, wp, lp);
}
