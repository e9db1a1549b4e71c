#include "skin/SkinStatic.h"

#include "skin/Drawing.h"

BOOL CSkinStatic::CreateFontFromParent() {
    m_font = skin::CopyFontOf(GetParent());
    return m_font ? TRUE : FALSE;
}

void CSkinStatic::SetBkImageRect(int left, int top, int right, int bottom) {
    m_rcBkImage = RECT{left, top, right, bottom};
}

LRESULT CSkinStatic::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_SETTEXT) {
        // The system static would draw the new text itself; only store it and let
        // the next paint show it.
        const LRESULT result = ::DefWindowProcW(m_hWnd, msg, wp, lp);
        ::InvalidateRect(m_hWnd, nullptr, FALSE);
        return result;
    }
    return CStatic::WindowProc(msg, wp, lp);
}

BOOL CSkinStatic::OnEraseBkgnd(HDC) { return TRUE; }
