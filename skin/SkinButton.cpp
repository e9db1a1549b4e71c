#include "skin/SkinButton.h"

#include <commctrl.h>

#include "skin/PngResource.h"

CSkinButton::CSkinButton() : m_brFill(::CreateSolidBrush(RGB(255, 255, 255))) {}

CSkinButton::~CSkinButton() { ReleaseImages(); }

BOOL CSkinButton::SetImages(UINT normal, UINT hover, UINT pressed, UINT disabled) {
    const UINT ids[4] = {normal, hover, pressed, disabled};
    BOOL result = FALSE;
    for (int i = 0; i < 4; ++i) {
        // A second call replaces the pictures instead of leaking the first ones.
        DeletePngImage(&m_pImages[i]);
        result = LoadPngResource(&m_pImages[i], ids[i]);
    }
    return result;
}

void CSkinButton::SetBkImageRect(int left, int top, int right, int bottom) {
    m_rcBkImage = RECT{left, top, right, bottom};
}

void CSkinButton::ReleaseImages() {
    for (Gdiplus::Image*& image : m_pImages) DeletePngImage(&image);
}

bool CSkinButton::HasAllImages() const {
    for (Gdiplus::Image* image : m_pImages) {
        if (!image) return false;
    }
    return true;
}

Gdiplus::Image* CSkinButton::CurrentImage() const {
    return m_pImages[static_cast<int>(skin::ChooseButtonImage(m_nState, IsWindowEnabled() != FALSE))];
}

void CSkinButton::DrawBackground(Gdiplus::Graphics& graphics, const RECT& dst) const {
    if (m_pBkImage) skin::DrawImageRect(graphics, m_pBkImage, dst, m_rcBkImage);
}

bool CSkinButton::InClient(POINT client) const {
    // Button-up arrives under capture outside the button too; it must not leave the
    // hover picture on a button the pointer has left.
    const RECT rc = GetClientRect();
    return ::PtInRect(&rc, client) != FALSE;
}

void CSkinButton::Apply(skin::ButtonEvent event, bool pointInside) {
    const int next = skin::NextButtonState(m_nState, event, IsWindowEnabled() != FALSE, pointInside);
    if (next != m_nState) {
        m_nState = next;
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
    }
}

void CSkinButton::OnMouseMove(UINT, POINT) {
    Default();
    if (IsWindowEnabled() && !m_bTracking) {
        TRACKMOUSEEVENT tme{};
        tme.cbSize = sizeof(tme);
        tme.dwFlags = TME_HOVER | TME_LEAVE;
        tme.hwndTrack = m_hWnd;
        tme.dwHoverTime = 10;
        if (::_TrackMouseEvent(&tme)) {
            m_bTracking = 1;
            // A request made when the pointer has already left again can be dropped
            // without any leave notification, which would leave the flag set for
            // good and the button deaf to hover; leaving is what happened then.
            TRACKMOUSEEVENT query{};
            query.cbSize = sizeof(query);
            query.dwFlags = TME_QUERY;
            if (::_TrackMouseEvent(&query) && !(query.hwndTrack == m_hWnd && (query.dwFlags & TME_LEAVE))) {
                ::PostMessageW(m_hWnd, WM_MOUSELEAVE, 0, 0);
            }
        }
    }
}

void CSkinButton::OnMouseHover(UINT, POINT point) {
    Apply(skin::ButtonEvent::Hover, InClient(point));
    Default();
}

void CSkinButton::OnLButtonDown(UINT, POINT point) {
    Apply(skin::ButtonEvent::LButtonDown, InClient(point));
    Default();
}

void CSkinButton::OnLButtonUp(UINT, POINT point) {
    Apply(skin::ButtonEvent::LButtonUp, InClient(point));
    Default();
}

void CSkinButton::OnMouseLeave() {
    Default();
    Apply(skin::ButtonEvent::Leave, true);
    m_bTracking = 0;
}
