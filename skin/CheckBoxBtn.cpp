#include "skin/CheckBoxBtn.h"

#include "skin/Drawing.h"
#include "skin/PngResource.h"
#include "res/resource.h"

CCheckBoxBtn::CCheckBoxBtn() : m_brFill(::CreateSolidBrush(RGB(255, 255, 255))) {}

CCheckBoxBtn::~CCheckBoxBtn() { DeletePngImage(&m_pCheckImage); }

BOOL CCheckBoxBtn::CreateFontFromParent() {
    m_font = skin::CopyFontOf(GetParent());
    return m_font ? TRUE : FALSE;
}

LRESULT CCheckBoxBtn::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case BM_SETCHECK:
    case BM_SETSTATE:
    case WM_SETTEXT:
    case WM_ENABLE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_UPDATEUISTATE: {
        // The system check box draws its own look straight to the screen on these;
        // it is kept from doing so and the cell is repainted instead.
        const bool visible = (::GetWindowLongPtrW(m_hWnd, GWL_STYLE) & WS_VISIBLE) != 0;
        if (visible) ::DefWindowProcW(m_hWnd, WM_SETREDRAW, FALSE, 0);
        const LRESULT result = Default();
        if (visible) {
            ::DefWindowProcW(m_hWnd, WM_SETREDRAW, TRUE, 0);
            ::InvalidateRect(m_hWnd, nullptr, FALSE);
        }
        return result;
    }
    default:
        return CButton::WindowProc(msg, wp, lp);
    }
}

BOOL CCheckBoxBtn::OnEraseBkgnd(HDC) { return TRUE; }

void CCheckBoxBtn::OnPaint() {
    win::PaintDC paint(m_hWnd);
    m_rcClient = GetClientRect();
    skin::SkinCanvas canvas(paint.get(), m_rcClient, m_brFill.get());
    if (!canvas.ok()) return;
    if (m_pCheckImage || LoadPngResource(&m_pCheckImage, IDP_CHECKBOX)) {
        const skin::CheckBoxLayout layout = skin::LayoutCheckBox(m_rcClient, m_fScale);
        skin::DrawImageRect(canvas.Graphics(), m_pCheckImage, layout.cell, skin::CheckCellSource(GetCheck()));
        canvas.Text(m_font.get(), m_crText, GetWindowText(), layout.text, DT_VCENTER | DT_SINGLELINE);
        // Around the caption, as the system's check box has it.
        if (skin::ShowsFocusCue(m_hWnd)) canvas.FocusRect(layout.text);
    }
    canvas.Present();
}
